#pragma once

// Reading a PNG file with libpng: every bit depth, palette, grey and alpha, interlaced or not, its rows decoded
// straight into the surface. 16-bit samples come down to 8 bits by eightBitSample(); the orientation of an eXIf
// chunk before the pixels is the header's turn.

#include "pixels/files/FormatReader.h"

#include <memory>

struct PngDecoding;

class PngReader : public FormatReader
{
public:
    PngReader();
    ~PngReader() override;

    PictureResult<PictureHeader> readHeader(QFile &file, qint64 budget) override;
    PictureResult<QImage> readPixels(QFile &file, SampleDepth depth) override;

private:
    std::unique_ptr<PngDecoding> m_decoding;
    PictureHeader m_header;
    qint64 m_budget = 0;
};
