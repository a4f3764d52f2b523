#pragma once

// Reading a TIFF file's first page with libtiff: strips or tiles, 8 or 16 bits, grey, RGB, palette or CMYK in
// any compression libtiff reads. A grey or RGB picture of 16-bit samples (its alpha, if any, not premultiplied)
// is read as stored, into a Format_RGBX64 or Format_RGBA64 surface when 16 bits are asked, otherwise each sample
// brought to 8 bits by eightBitSample(). Everything else goes through libtiff's RGBA interface, which converts
// them all (CMYK by its own conversion). The Orientation tag is the header's turn.

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
    PictureResult<QImage> readThroughRgba();

    qint64 m_budget = 0;
    std::unique_ptr<TiffDecoding> m_decoding;
    PictureHeader m_header;
};
