#pragma once

// Reading a GIF file's first frame with giflib, on the logical screen it names: what the frame leaves bare,
// and its transparent colour, are transparent. The header is read up to that frame's own, so a frame larger
// than the memory allows is refused before its pixels are decoded.

#include "pixels/files/FormatReader.h"

#include <memory>
#include <optional>

struct GifDecoding;

class GifReader : public FormatReader
{
public:
    GifReader();
    ~GifReader() override;

    PictureResult<PictureHeader> readHeader(QFile &file, qint64 budget) override;
    // 8 bits a sample whatever the depth asked: GIF holds no more.
    PictureResult<QImage> readPixels(QFile &file, SampleDepth depth) override;

private:
    bool readUpToFrame();

    std::unique_ptr<GifDecoding> m_decoding;
    PictureHeader m_header;
    std::optional<int> m_transparentIndex;
};
