#pragma once

#include "StdPicture.h"

#include "pixels/PictureMemory.h"

#include <QString>

// The toolkit's picture load and save functions. Both raise a run-time error when they fail.

// Decodes a JPEG or BMP file, told apart by content rather than name, into a new picture object with the
// JPEG's orientation applied. A picture larger than the memory at hand is refused before anything is allocated.
StdPicture LoadPicture(const QString &path);

// Writes the picture to `path`: as a JPEG when the name ends in ".jpg" or ".jpeg", otherwise as a 24-bit
// Windows bitmap. The file appears whole or not at all; a file that already stood there is replaced only
// once the new one is completely written. Only where the folder takes no new file is an existing file that may
// be written overwritten in place.
void SavePicture(const StdPicture &picture, const QString &path);
