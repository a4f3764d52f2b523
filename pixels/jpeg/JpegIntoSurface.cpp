#include "JpegIntoSurface.h"

#include "JpegDecompressor.h"

#include "pixels/memory/ImageAllocator.h"

#include <QColorSpace>

#include <array>
#include <cstring>

namespace {

// libjpeg hands out this many rows at most in one call, whatever its sampling.
constexpr int RowsAtOnce = 16;

// The header of the APP2 segments that carry an ICC profile, and the least length Qt takes for one.
constexpr char IccSignature[] = "ICC_PROFILE";
constexpr unsigned IccHeaderBytes = 14;
constexpr unsigned IccLeastSegmentBytes = 128 + 4 + IccHeaderBytes;

bool threeComponents(const jpeg_decompress_struct &decoder)
{
    return decoder.num_components == 3
           && (decoder.jpeg_color_space == JCS_YCbCr || decoder.jpeg_color_space == JCS_RGB);
}

// The ICC profile, its pieces joined in the order of the file, as Qt's reader takes it. Read with the header:
// the decoder lets go of the segments it kept once it is done.
void keepIccProfile(const jpeg_decompress_struct &decoder, QByteArray &profile)
{
    for (jpeg_saved_marker_ptr marker = decoder.marker_list; marker; marker = marker->next) {
        if (marker->data_length > IccLeastSegmentBytes
            && std::memcmp(marker->data, IccSignature, sizeof IccSignature) == 0)
            profile.append(reinterpret_cast<const char *>(marker->data) + IccHeaderBytes,
                           qsizetype(marker->data_length - IccHeaderBytes));
    }
}

// Runs the decoder over the whole stream into `surface`, allocated here once the header gives the size, and
// keeps the colour profile. Nothing here has a destructor that a refusal, jumping back past this frame, would
// skip; the decoder's warnings (stray bytes it skipped, say) change nothing in what it decodes.
bool decodeInto(jpeg_decompress_struct &decoder, QSize size, QImage &surface, QByteArray &profile)
{
    jpeg_save_markers(&decoder, JPEG_APP0 + 2, 0xFFFF);
    if (jpeg_read_header(&decoder, TRUE) != JPEG_HEADER_OK || !threeComponents(decoder))
        return false;
    keepIccProfile(decoder, profile);
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

// The resolution as Qt's reader reads it from the JFIF header: none for a mere aspect ratio.
void takeResolution(const jpeg_decompress_struct &decoder, QImage &surface)
{
    if (decoder.density_unit == 1) { // dots an inch
        surface.setDotsPerMeterX(int(100. * decoder.X_density / 2.54));
        surface.setDotsPerMeterY(int(100. * decoder.Y_density / 2.54));
    } else if (decoder.density_unit == 2) { // dots a centimetre
        surface.setDotsPerMeterX(int(100. * decoder.X_density));
        surface.setDotsPerMeterY(int(100. * decoder.Y_density));
    }
}

} // namespace

std::optional<QImage> decodeJpegIntoSurface(QByteArrayView bytes, QSize size)
{
    JpegDecompressor decompressor(bytes);
    QImage surface;
    QByteArray profile;
    const bool decoded =
        decompressor.run([&](jpeg_decompress_struct &decoder) { return decodeInto(decoder, size, surface, profile); });
    if (!decoded)
        return std::nullopt;
    if (!surface.isNull()) {
        takeResolution(decompressor.decoder(), surface);
        if (!profile.isEmpty())
            surface.setColorSpace(QColorSpace::fromIccProfile(profile));
    }
    return surface;
}
