#pragma once

// Reading a JPEG file. The file is read into memory once and decoded only when its whole structure proves sound:
// the common JPEG (three colour components, no EXIF turn, no comments) straight into the surface, every other
// one by Qt's reader with its EXIF orientation applied.
#include "pixels/files/FormatReader.h"

#include <QByteArray>

// Its EXIF orientation is applied here, so the header asks for no turn.
class JpegReader : public FormatReader
{
public:
    PictureResult<PictureHeader> readHeader(QFile &file, qint64 budget) override;
    PictureResult<QImage> readPixels(QFile &file, SampleDepth depth) override;

private:
    QByteArray m_bytes; // the whole file, checked
    QSize m_size;       // the frame's, as stored
};
