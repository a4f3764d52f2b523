#pragma once

// Reading a HEIC, HEIF or AVIF file's primary image with libheif, turned by the container's own transforms
// (rotation, mirror, crop) as libheif applies them; an EXIF orientation in it is not applied on top. A picture of
// more than 8 bits a sample comes to 8 bits by libheif's own conversion.

#include "pixels/files/FormatReader.h"

#include <QByteArray>

#include <memory>

struct HeifDecoding;

class HeifReader : public FormatReader
{
public:
    HeifReader();
    ~HeifReader() override;

    PictureResult<PictureHeader> readHeader(QFile &file, qint64 budget) override;
    // 8 bits a sample whatever the depth asked.
    PictureResult<QImage> readPixels(QFile &file, SampleDepth depth) override;

private:
    QByteArray m_bytes; // the whole file, which libheif reads in place
    std::unique_ptr<HeifDecoding> m_decoding;
    PictureHeader m_header;
};
