#pragma once

#include "pixels/PictureResult.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QSize>

// Reads a JPEG file. The file is read into memory once and decoded only when its whole structure proves sound:
// the common JPEG (three colour components, no EXIF turn, no comments) straight into the surface, every other
// one by Qt's reader with its EXIF orientation applied. Its failures name no file; its caller does.
class JpegReader
{
public:
    explicit JpegReader(QFile &file);

    // Reads and checks the stream, and gives its frame's size as stored. A picture whose surface would take more
    // than `budget` bytes is refused as OutOfMemory.
    PictureResult<QSize> inspect(qint64 budget);
    // Decodes the stream inspected.
    PictureResult<QImage> read();

private:
    QFile &m_file;
    QByteArray m_bytes;
    QSize m_size;
};
