#pragma once

// Reading a TIFF file's first page with libtiff: strips or tiles, 8 or 16 bits, grey, RGB, palette or CMYK in
// any compression libtiff reads, through libtiff's RGBA interface, which converts them all (16-bit samples to
// 8 bits by the rule eightBitSample() states, CMYK by its own conversion). The Orientation tag is the header's
// turn.

#include "pixels/files/FormatReader.h"

#include <memory>

struct TiffDecoding;

class TiffReader : public FormatReader
{
public:
    TiffReader();
    ~TiffReader() override;

    PictureResult<PictureHeader> readHeader(QFile &file, qint64 budget) override;
    // 8 bits a sample whatever the depth asked.
    PictureResult<QImage> readPixels(QFile &file, SampleDepth depth) override;

private:
    std::unique_ptr<TiffDecoding> m_decoding;
    PictureHeader m_header;
};
