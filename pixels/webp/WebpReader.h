#pragma once

// Reading a WebP file with libwebp: lossy or lossless, with or without alpha, decoded straight into the
// surface; of an animation, the first frame on its canvas. The orientation of its EXIF chunk is the header's
// turn.

#include "pixels/files/FormatReader.h"

#include <QByteArray>

class WebpReader : public FormatReader
{
public:
    PictureResult<PictureHeader> readHeader(QFile &file, qint64 budget) override;
    // 8 bits a sample whatever the depth asked: WebP holds no more.
    PictureResult<QImage> readPixels(QFile &file, SampleDepth depth) override;

private:
    PictureResult<QImage> readStill() const;
    PictureResult<QImage> readFirstFrame() const;

    QByteArray m_bytes; // the whole file
    PictureHeader m_header;
    bool m_animated = false;
};
