#pragma once

#include "StdPicture.h"

#include "pixels/memory/MemoryBudget.h"

#include <QByteArray>
#include <QString>

// The toolkit's picture load and save functions. Both raise a run-time error when they fail.

// Decodes a JPEG or BMP file, told apart by content rather than name, into a new picture object with the
// JPEG's orientation applied. A picture larger than the memory at hand is refused before anything is allocated.
StdPicture LoadPicture(const QString &path);
// The same for the file by the bytes the system spells its name with, also one that no encoding can decode.
StdPicture LoadPicture(const QByteArray &nativePath);

// Writes the picture to `path`: as a JPEG when the name ends in ".jpg" or ".jpeg", otherwise as a 24-bit
// Windows bitmap. The file appears whole or not at all; a file that already stood there is replaced only
// once the new one is completely written. Only where the folder takes no new file is an existing file that may
// be written overwritten in place.
void SavePicture(const StdPicture &picture, const QString &path);
