#pragma once

// Reading a Windows bitmap file. An uncompressed one is judged by its headers and decoded from the file itself,
// its rows holding nothing to check, by Qt's reader or, beyond the pixels Qt's reader takes, a band at a time;
// a run-length one is read whole first, since only its whole stream shows whether it fits the picture. The
// failures name no file; PictureReader names it.

#include "BmpStructure.h"

#include "pixels/PictureResult.h"

#include <QByteArray>
#include <QFile>
#include <QImage>

// A bitmap file whose headers hold together, ready to be decoded.
struct InspectedBitmap
{
    BmpLayout layout;
    QByteArray bytes; // the whole file when it is run-length coded, its start (every header) otherwise
};

// Reads and checks the headers. A picture whose surface would take more than `budget` bytes is refused as
// OutOfMemory.
PictureResult<InspectedBitmap> inspectBitmap(QFile &file, qint64 budget);

PictureResult<QImage> readBitmap(QFile &file, InspectedBitmap &bitmap);
