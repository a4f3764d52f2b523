#include "JpegIntoSurface.h"

#include "JpegDecompressor.h"

#include "pixels/memory/ImageAllocator.h"

#include <array>

namespace {

// libjpeg hands out this many rows at most in one call, whatever its sampling.
constexpr int RowsAtOnce = 16;

bool threeComponents(const jpeg_decompress_struct &decoder)
{
    return decoder.num_components == 3
           && (decoder.jpeg_color_space == JCS_YCbCr || decoder.jpeg_color_space == JCS_RGB);
}

// Runs the decoder over the whole stream into `surface`, allocated here once the header gives the size. Nothing
// here has a destructor that a refusal, jumping back past this frame, would skip; the decoder's warnings (stray bytes it skipped, say) change nothing in what it decodes.
bool decodeInto(jpeg_decompress_struct &decoder, QSize size, QImage &surface)
{
    if (jpeg_read_header(&decoder, TRUE) != JPEG_HEADER_OK || !threeComponents(decoder))
        return false;
    // Qt's settings at its default quality: the accurate transform and smooth upsampling, libjpeg's defaults.
    decoder.out_color_space = JCS_EXT_BGRX;
    jpeg_calc_output_dimensions(&decoder);
    if (QSize(int(decoder.output_width), int(decoder.output_height)) != size)
        return false;
    surface = ImageAllocator::allocate(size, QImage::Format_RGB32);
    if (surface.isNull())
        return true;
    jpeg_start_decompress(&decoder);
    std::array<JSAMPROW, RowsAtOnce> rows{};
    while (decoder.output_scanline < decoder.output_height) {
        const int top = int(decoder.output_scanline);
        const int count = qMin(RowsAtOnce, int(decoder.output_height) - top);
        for (int i = 0; i < count; ++i)
            rows[size_t(i)] = surface.scanLine(top + i);
        if (jpeg_read_scanlines(&decoder, rows.data(), JDIMENSION(count)) == 0)
            return false;
    }
    jpeg_finish_decompress(&decoder);
    return true;
}

} // namespace

std::optional<QImage> decodeJpegIntoSurface(QByteArrayView bytes, QSize size)
{
    JpegDecompressor decompressor(bytes);
    QImage surface;
    if (!decompressor.run([&](jpeg_decompress_struct &decoder) { return decodeInto(decoder, size, surface); }))
        return std::nullopt;
    return surface;
}
