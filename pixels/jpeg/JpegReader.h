#pragma once

// Reading a JPEG file. The file is read into memory once; its header, read from the marker structure alone,
// tells its size, orientation, resolution and metadata, and it is decoded only when its whole structure proves
// sound: the common JPEG (three colour components, no comments) straight into the surface, every other one by
// Qt's reader.
#include "JpegStructure.h"

#include "pixels/files/FormatReader.h"

#include <QByteArray>

class JpegReader : public FormatReader
{
public:
    PictureResult<PictureHeader> readHeader(QFile &file, qint64 budget) override;
    PictureResult<QImage> readPixels(QFile &file, SampleDepth depth) override;

private:
    QByteArray m_bytes; // the whole file, checked
    JpegLayout m_layout;
};
