#include "HeifReader.h"

#include "pixels/files/FileBytes.h"
#include "pixels/memory/ImageAllocator.h"
#include "pixels/memory/MemoryBudget.h"

#include <libheif/heif.h>

#include <QtEndian>

#include <cmath>
#include <cstring>
#include <vector>

// libheif's context and the primary image's handle, given back however the reading ends.
struct HeifDecoding
{
    heif_context *context = heif_context_alloc();
    heif_image_handle *primary = nullptr;

    ~HeifDecoding()
    {
        if (primary)
            heif_image_handle_release(primary);
        if (context)
            heif_context_free(context);
    }
    HeifDecoding() = default;
    HeifDecoding(const HeifDecoding &) = delete;
    HeifDecoding &operator=(const HeifDecoding &) = delete;
};

namespace {

// libheif holds each side of an image, and of the canvas a grid of tiles is put together on (which may claim far
// more than the image's own size says), to a limit before it allocates anything for the picture: the side of
// the largest square picture the budget holds, or libheif's own default where that is less.
constexpr qint64 LibheifLargestSide = 32768;

int largestSide(qint64 budget)
{
    const auto side = qint64(std::sqrt(double(budget) / double(surfaceBytes(1, 1))));
    return int(qBound<qint64>(1, side, LibheifLargestSide));
}

// A picture beyond the limits above, or beyond the memory at hand, is one too large; anything else is no
// picture libheif can read.
PictureFailure failureOf(heif_error error)
{
    return {error.code == heif_error_Memory_allocation_error ? PictureError::OutOfMemory : PictureError::NotAPicture,
            {}};
}

struct ImageDeleter
{
    void operator()(heif_image *image) const { heif_image_release(image); }
};

QByteArray metadataBlock(const heif_image_handle *handle, const char *type, const char *contentType = nullptr)
{
    const int count = heif_image_handle_get_number_of_metadata_blocks(handle, type);
    std::vector<heif_item_id> ids(size_t(qMax(count, 0)));
    heif_image_handle_get_list_of_metadata_block_IDs(handle, type, ids.data(), count);
    for (const heif_item_id id : ids) {
        if (contentType && std::strcmp(heif_image_handle_get_metadata_content_type(handle, id), contentType) != 0)
            continue;
        QByteArray bytes(qsizetype(heif_image_handle_get_metadata_size(handle, id)), Qt::Uninitialized);
        if (heif_image_handle_get_metadata(handle, id, bytes.data()).code == heif_error_Ok)
            return bytes;
    }
    return {};
}

// HEIF's EXIF block starts with the offset of the TIFF structure after the four bytes that give it.
QByteArray tiffStructureOf(const QByteArray &exif)
{
    if (exif.size() < 4)
        return {};
    const quint32 offset = qFromBigEndian<quint32>(exif.constData());
    return offset <= quint32(exif.size() - 4) ? exif.sliced(4 + qsizetype(offset)) : QByteArray();
}

QByteArray iccProfileOf(const heif_image_handle *handle)
{
    QByteArray profile(qsizetype(heif_image_handle_get_raw_color_profile_size(handle)), Qt::Uninitialized);
    if (profile.isEmpty() || heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok)
        return {};
    return profile;
}

// libheif's interleaved red, green, blue (and alpha) as the surface's 0xAARRGGBB.
void copyRows(const uint8_t *from, int stride, QImage &surface, bool alpha)
{
    const int step = alpha ? 4 : 3;
    for (int y = 0; y < surface.height(); ++y, from += stride) {
        auto *to = reinterpret_cast<quint32 *>(surface.scanLine(y));
        const uint8_t *pixel = from;
        for (int x = 0; x < surface.width(); ++x, pixel += step)
            to[x] =
                quint32(alpha ? pixel[3] : 0xFF) << 24 | quint32(pixel[0]) << 16 | quint32(pixel[1]) << 8 | pixel[2];
    }
}

} // namespace

HeifReader::HeifReader() = default;
HeifReader::~HeifReader() = default;

PictureResult<PictureHeader> HeifReader::readHeader(QFile &file, qint64 budget)
{
    std::optional<QByteArray> bytes = readEntireFile(file);
    if (!bytes)
        return PictureFailure{PictureError::FileAccess, {}};
    m_bytes = std::move(*bytes);
    m_decoding = std::make_unique<HeifDecoding>();
    heif_context *context = m_decoding->context;
    if (!context)
        return PictureFailure{PictureError::OutOfMemory, {}};
    heif_context_set_maximum_image_size_limit(context, largestSide(budget));
    const heif_error read =
        heif_context_read_from_memory_without_copy(context, m_bytes.constData(), size_t(m_bytes.size()), nullptr);
    if (read.code != heif_error_Ok)
        return failureOf(read);
    const heif_error primary = heif_context_get_primary_image_handle(context, &m_decoding->primary);
    if (primary.code != heif_error_Ok)
        return failureOf(primary);
    const heif_image_handle *handle = m_decoding->primary;
    m_header.size = QSize(heif_image_handle_get_width(handle), heif_image_handle_get_height(handle));
    if (m_header.size.isEmpty())
        return PictureFailure{PictureError::NotAPicture, {}};
    if (!surfaceFits(m_header.size, budget))
        return PictureFailure{PictureError::OutOfMemory, {}};
    m_header.hasAlpha = heif_image_handle_has_alpha_channel(handle);
    m_header.sixteenBitSamples = heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
    m_header.exif = tiffStructureOf(metadataBlock(handle, "Exif"));
    m_header.xmp = metadataBlock(handle, "mime", "application/rdf+xml");
    m_header.iccProfile = iccProfileOf(handle);
    return m_header;
}

PictureResult<QImage> HeifReader::readPixels(QFile & /*file*/, SampleDepth /*depth*/)
{
    heif_decoding_options *options = heif_decoding_options_alloc();
    if (!options)
        return PictureFailure{PictureError::OutOfMemory, {}};
    options->convert_hdr_to_8bit = 1;
    heif_image *decoded = nullptr;
    const heif_error error =
        heif_decode_image(m_decoding->primary, &decoded, heif_colorspace_RGB,
                          m_header.hasAlpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options);
    heif_decoding_options_free(options);
    const std::unique_ptr<heif_image, ImageDeleter> image(decoded);
    if (error.code != heif_error_Ok)
        return failureOf(error);
    if (!image)
        return PictureFailure{PictureError::NotAPicture, {}};
    int stride = 0;
    const uint8_t *rows = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!rows || heif_image_get_width(image.get(), heif_channel_interleaved) != m_header.size.width()
        || heif_image_get_height(image.get(), heif_channel_interleaved) != m_header.size.height())
        return PictureFailure{PictureError::NotAPicture, {}};
    QImage surface =
        ImageAllocator::allocate(m_header.size, m_header.hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (surface.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    copyRows(rows, stride, surface, m_header.hasAlpha);
    m_decoding.reset();
    m_bytes.clear();
    return surface;
}
