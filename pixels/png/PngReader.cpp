#include "PngReader.h"

#include "PngCallbacks.h"

#include "pixels/files/EightBitSamples.h"
#include "pixels/files/Orientation.h"
#include "pixels/memory/ImageAllocator.h"
#include "pixels/memory/MemoryBudget.h"

#include <csetjmp>
#include <cstring>
#include <vector>

// libpng's state for one file, given back however the reading ends.
struct PngDecoding
{
    png_structp png = nullptr;
    png_infop info = nullptr;

    PngDecoding()
    {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngJumpBack, pngIgnoreWarning);
        if (png)
            info = png_create_info_struct(png);
    }
    ~PngDecoding() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
    PngDecoding(const PngDecoding &) = delete;
    PngDecoding &operator=(const PngDecoding &) = delete;
};

namespace {

// An ancillary chunk (a profile, text, EXIF) larger than this is a file's lie, not its metadata.
constexpr png_alloc_size_t LargestChunkBytes = png_alloc_size_t(16) * 1024 * 1024;

void readFromFile(png_structp png, png_bytep data, size_t size)
{
    auto *file = static_cast<QFile *>(png_get_io_ptr(png));
    if (file->read(reinterpret_cast<char *>(data), qint64(size)) != qint64(size))
        png_error(png, "read");
}

// What the rows come out as: 8-bit blue, green, red and alpha (0xAARRGGBB in memory order, as the 32-bit
// surface keeps them), or 16-bit red, green, blue and alpha in the machine's byte order (QImage's RGBA64).
// Palettes and grey come out as their colours, and a missing alpha as opaque.
void setTransforms(png_structp png, png_infop info, bool sixteen)
{
    png_set_expand(png);
    const png_byte colorType = png_get_color_type(png, info);
    if (!(colorType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
    if (sixteen)
        png_set_swap(png);
    else
        png_set_bgr(png);
    png_set_filler(png, sixteen ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

bool readInfo(png_structp png, png_infop info)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    return true;
}

bool readAllRows(png_structp png, png_infop info, bool sixteen, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    setTransforms(png, info, sixteen);
    png_read_image(png, rows);
    return true;
}

// A 16-bit picture that is not interlaced comes to 8 bits a row at a time, through `row16`.
bool readReducedRows(png_structp png, png_infop info, quint16 *row16, QImage &surface)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    setTransforms(png, info, true);
    for (int y = 0; y < surface.height(); ++y) {
        png_read_row(png, reinterpret_cast<png_bytep>(row16), nullptr);
        reduceRow(row16, reinterpret_cast<quint32 *>(surface.scanLine(y)), surface.width());
    }
    return true;
}

QByteArray xmpOf(png_structp png, png_infop info)
{
    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    for (int i = 0; i < count; ++i)
        if (std::strcmp(texts[i].key, "XML:com.adobe.xmp") == 0)
            return {texts[i].text, qsizetype(texts[i].itxt_length ? texts[i].itxt_length : texts[i].text_length)};
    return {};
}

void readMetadata(png_structp png, png_infop info, PictureHeader &header)
{
    png_uint_32 exifLength = 0;
    png_bytep exif = nullptr;
    if (png_get_eXIf_1(png, info, &exifLength, &exif) && exif)
        header.exif = QByteArray(reinterpret_cast<const char *>(exif), qsizetype(exifLength));
    header.transformation = exifTransformation(header.exif);
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 profileLength = 0;
    if (png_get_iCCP(png, info, &name, &compression, &profile, &profileLength) && profile)
        header.iccProfile = QByteArray(reinterpret_cast<const char *>(profile), qsizetype(profileLength));
    header.xmp = xmpOf(png, info);
    png_uint_32 resolutionX = 0;
    png_uint_32 resolutionY = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &resolutionX, &resolutionY, &unit) && unit == PNG_RESOLUTION_METER) {
        header.dotsPerMeterX = int(qMin<png_uint_32>(resolutionX, INT_MAX));
        header.dotsPerMeterY = int(qMin<png_uint_32>(resolutionY, INT_MAX));
    }
}

std::vector<png_bytep> rowsOf(QImage &image)
{
    std::vector<png_bytep> rows(size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        rows[size_t(y)] = image.scanLine(y);
    return rows;
}

} // namespace

PngReader::PngReader() = default;
PngReader::~PngReader() = default;

PictureResult<PictureHeader> PngReader::readHeader(QFile &file, qint64 budget)
{
    m_budget = budget;
    m_decoding = std::make_unique<PngDecoding>();
    png_structp png = m_decoding->png;
    png_infop info = m_decoding->info;
    if (!png || !info)
        return PictureFailure{PictureError::OutOfMemory, {}};
    file.seek(0);
    png_set_read_fn(png, &file, readFromFile);
    png_set_chunk_malloc_max(png, LargestChunkBytes);
    if (!readInfo(png, info))
        return PictureFailure{PictureError::NotAPicture, {}};
    m_header.size = QSize(int(png_get_image_width(png, info)), int(png_get_image_height(png, info)));
    if (!surfaceFits(m_header.size, budget))
        return PictureFailure{PictureError::OutOfMemory, {}};
    m_header.hasAlpha =
        (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    m_header.sixteenBitSamples = png_get_bit_depth(png, info) == 16;
    readMetadata(png, info, m_header);
    return m_header;
}

PictureResult<QImage> PngReader::readPixels(QFile & /*file*/, SampleDepth depth)
{
    png_structp png = m_decoding->png;
    png_infop info = m_decoding->info;
    const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    const QImage::Format eightBit = m_header.hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (!m_header.sixteenBitSamples) {
        QImage surface = ImageAllocator::allocate(m_header.size, eightBit);
        if (surface.isNull())
            return PictureFailure{PictureError::OutOfMemory, {}};
        std::vector<png_bytep> rows = rowsOf(surface);
        if (!readAllRows(png, info, false, rows.data()))
            return PictureFailure{PictureError::NotAPicture, {}};
        return surface;
    }
    if (depth == SampleDepth::Eight && !interlaced) {
        QImage surface = ImageAllocator::allocate(m_header.size, eightBit);
        std::vector<quint16> row16(size_t(m_header.size.width()) * 4);
        if (surface.isNull())
            return PictureFailure{PictureError::OutOfMemory, {}};
        if (!readReducedRows(png, info, row16.data(), surface))
            return PictureFailure{PictureError::NotAPicture, {}};
        return surface;
    }
    // Interlaced rows come whole only after the last pass: the picture is decoded at 16 bits first, taking
    // twice the surface's memory.
    if (!surfaceFits(m_header.size, m_budget / 3))
        return PictureFailure{PictureError::OutOfMemory, {}};
    QImage wide = ImageAllocator::allocate(m_header.size, QImage::Format_RGBA64);
    if (wide.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    std::vector<png_bytep> rows = rowsOf(wide);
    if (!readAllRows(png, info, true, rows.data()))
        return PictureFailure{PictureError::NotAPicture, {}};
    if (depth == SampleDepth::Sixteen)
        return wide;
    return reduceToEightBits(wide, eightBit);
}
