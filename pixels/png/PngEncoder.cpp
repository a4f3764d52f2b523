#include "PngEncoder.h"
#include "PngCallbacks.h"

#include <QSysInfo>

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <vector>

namespace {

// How a picture is packed. A photograph keeps little for deflate's matches to find: what is left after the
// Avg filter is grain, which Huffman coding alone packs as tightly as a full search does, many times faster. A
// drawing or a scan, flat over large parts, is packed as libpng packs by default: every filter tried on every
// row, and deflate's full search, which finds its repeats.
struct Packing
{
    int filters;
    int strategy;
};

constexpr Packing PhotographPacking{PNG_FILTER_AVG, Z_HUFFMAN_ONLY};
constexpr Packing DrawingPacking{PNG_ALL_FILTERS, Z_FILTERED};

// One row in this many is looked at to tell a drawing from a photograph.
constexpr int SampledRowStep = 16;

// A picture is taken for a drawing when at least half the pixels of the sampled rows repeat the one before.
template<class Pixel>
bool looksDrawn(const QImage &picture)
{
    const int width = picture.width();
    qint64 looked = 0;
    qint64 repeated = 0;
    for (int y = 0; y < picture.height(); y += SampledRowStep) {
        const auto *row = reinterpret_cast<const Pixel *>(picture.constScanLine(y));
        for (int x = 1; x < width; ++x)
            repeated += row[x] == row[x - 1];
        looked += width - 1;
    }
    return 2 * repeated >= looked && looked > 0;
}

// libpng hands its output over in pieces of this size, each one PNG chunk.
constexpr size_t ChunkBytes = size_t(256) * 1024;

void writeToDevice(png_structp png, png_bytep data, size_t size)
{
    auto *device = static_cast<QIODevice *>(png_get_io_ptr(png));
    if (device->write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        png_error(png, "write");
}

void flushNothing(png_structp)
{
}

// A picture with transparency keeps its alpha beside the grey.
bool keepsAlpha(const QImage &picture)
{
    return picture.format() == QImage::Format_ARGB32;
}

void settle(png_structp png, png_infop info, const QImage &picture, Packing packing, int depth)
{
    png_set_IHDR(png, info, png_uint_32(picture.width()), png_uint_32(picture.height()), depth,
                 keepsAlpha(picture) ? PNG_COLOR_TYPE_GRAY_ALPHA : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (picture.dotsPerMeterX() > 0 || picture.dotsPerMeterY() > 0)
        png_set_pHYs(png, info, png_uint_32(picture.dotsPerMeterX()), png_uint_32(picture.dotsPerMeterY()),
                     PNG_RESOLUTION_METER);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, packing.filters);
    png_set_compression_strategy(png, packing.strategy);
    png_set_compression_mem_level(png, MAX_MEM_LEVEL);
    png_set_compression_buffer_size(png, ChunkBytes);
}

// libpng reports a failure by a long jump back into this function: nothing between here and libpng has a
// destructor to skip.
bool writeRows(png_structp png, png_infop info, const QImage &picture, Packing packing, png_bytep greyRow)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    settle(png, info, picture, packing, 8);
    png_write_info(png, info);
    const int width = picture.width();
    const bool alpha = keepsAlpha(picture);
    for (int y = 0; y < picture.height(); ++y) {
        const auto *row = reinterpret_cast<const quint32 *>(picture.constScanLine(y));
        if (alpha) {
            png_bytep to = greyRow;
            for (int x = 0; x < width; ++x) {
                *to++ = png_byte(row[x]);
                *to++ = png_byte(row[x] >> 24);
            }
        } else {
            for (int x = 0; x < width; ++x)
                greyRow[x] = png_byte(row[x]);
        }
        png_write_row(png, greyRow);
    }
    png_write_end(png, info);
    return true;
}

// The same for 16-bit grey rows, which are written as they lie, swapped to the file's byte order.
bool writeRows16(png_structp png, png_infop info, const QImage &picture, Packing packing)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    settle(png, info, picture, packing, 16);
    png_write_info(png, info);
    if (QSysInfo::ByteOrder == QSysInfo::LittleEndian)
        png_set_swap(png);
    for (int y = 0; y < picture.height(); ++y)
        png_write_row(png, picture.constScanLine(y));
    png_write_end(png, info);
    return true;
}

// Runs `write(png, info)` on a libpng writer that writes to `device`.
template<class Write>
bool writeTo(QIODevice &device, Write write)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, pngJumpBack, pngIgnoreWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    bool written = false;
    if (info) {
        png_set_write_fn(png, &device, writeToDevice, flushNothing);
        written = write(png, info);
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return written;
}

} // namespace

bool encodeGreyPng16(const QImage &picture, QIODevice &device)
{
    const Packing packing = looksDrawn<quint16>(picture) ? DrawingPacking : PhotographPacking;
    return writeTo(device, [&](png_structp png, png_infop info) { return writeRows16(png, info, picture, packing); });
}

bool encodeGreyPng(const QImage &picture, QIODevice &device)
{
    std::vector<png_byte> greyRow(size_t(picture.width()) * (keepsAlpha(picture) ? 2 : 1));
    const Packing packing = looksDrawn<quint32>(picture) ? DrawingPacking : PhotographPacking;
    return writeTo(device, [&](png_structp png, png_infop info) {
        return writeRows(png, info, picture, packing, greyRow.data());
    });
}
