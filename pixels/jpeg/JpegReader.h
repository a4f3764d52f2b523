#pragma once

// Reading a JPEG file. The file is read into memory once and decoded only when its whole structure proves sound:
// the common JPEG (three colour components, no EXIF turn, no comments) straight into the surface, every other
// one by Qt's reader with its EXIF orientation applied. The failures name no file; PictureReader names it.

#include "pixels/PictureResult.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QSize>

// A JPEG file checked and ready to be decoded.
struct InspectedJpeg
{
    QByteArray bytes; // the whole file
    QSize size;       // the frame's, as stored
};

// Reads and checks the stream. A picture whose surface would take more than `budget` bytes is refused as
// OutOfMemory.
PictureResult<InspectedJpeg> inspectJpeg(QFile &file, qint64 budget);

PictureResult<QImage> readJpeg(InspectedJpeg &jpeg);
