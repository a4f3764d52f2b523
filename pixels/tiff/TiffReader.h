#pragma once

// Reading a TIFF file's first page with libtiff: strips or tiles, 8 or 16 bits, grey, RGB, palette or CMYK in
// any compression libtiff reads, through libtiff's RGBA interface, which converts them all (16-bit samples to
// 8 bits by the rule eightBitSample() states, CMYK by its own conversion). Asked for 16 bits, a grey or RGB
// picture of 16-bit samples (alpha, if any, not premultiplied) is read as it is stored instead, strip by strip
// or tile by tile, into a Format_RGBX64 or Format_RGBA64 surface. The Orientation tag is the header's turn.

#include "pixels/files/FormatReader.h"

#include <memory>

struct TiffDecoding;

class TiffReader : public FormatReader
{
public:
    TiffReader();
    ~TiffReader() override;

    PictureResult<PictureHeader> readHeader(QFile &file, qint64 budget) override;
    PictureResult<QImage> readPixels(QFile &file, SampleDepth depth) override;

private:
    PictureResult<QImage> readEightBits();

    qint64 m_budget = 0;
    std::unique_ptr<TiffDecoding> m_decoding;
    PictureHeader m_header;
};
