#include "TiffReader.h"

#include "pixels/files/FileBytes.h"
#include "pixels/files/Orientation.h"
#include "pixels/memory/ImageAllocator.h"
#include "pixels/memory/MemoryBudget.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstring>

namespace {

// libtiff's complaints about a bad file: the failure itself is the answer.
int ignoreMessage(TIFF *, void *, const char *, const char *, va_list)
{
    return 1;
}

constexpr double CentimetresPerMetre = 100;
constexpr double InchesPerMetre = 100 / 2.54;

int dotsPerMeter(float resolution, quint16 unit)
{
    const double perMetre = unit == RESUNIT_CENTIMETER ? CentimetresPerMetre : InchesPerMetre;
    const double dots = double(resolution) * perMetre + 0.5;
    return dots >= 1 && dots < INT_MAX ? int(dots) : 0;
}

QByteArray tagBytes(TIFF *tiff, ttag_t tag)
{
    uint32_t length = 0;
    void *data = nullptr;
    if (!TIFFGetField(tiff, tag, &length, &data) || !data)
        return {};
    return {static_cast<const char *>(data), qsizetype(length)};
}

} // namespace

// The file's bytes, which libtiff reads as a file mapped into memory: its reads of strips and tiles then cost
// no copy, and a file cut short meanwhile cannot pull mapped pages away under it.
struct TiffBytes
{
    QByteArray bytes;
    qint64 position = 0;

    static TiffBytes *of(thandle_t handle) { return static_cast<TiffBytes *>(handle); }

    static tmsize_t read(thandle_t handle, void *data, tmsize_t size)
    {
        TiffBytes *file = of(handle);
        const qint64 count = qBound(qint64(0), file->bytes.size() - file->position, qint64(size));
        std::memcpy(data, file->bytes.constData() + file->position, size_t(count));
        file->position += count;
        return tmsize_t(count);
    }
    static tmsize_t write(thandle_t, void *, tmsize_t) { return 0; }
    static toff_t seek(thandle_t handle, toff_t offset, int whence)
    {
        TiffBytes *file = of(handle);
        const qint64 base = whence == SEEK_CUR ? file->position : whence == SEEK_END ? file->bytes.size() : 0;
        const qint64 position = base + qint64(offset);
        if (position < 0)
            return toff_t(-1);
        file->position = position;
        return toff_t(position);
    }
    static int close(thandle_t) { return 0; }
    static toff_t size(thandle_t handle) { return toff_t(of(handle)->bytes.size()); }
    static int map(thandle_t handle, void **data, toff_t *size)
    {
        *data = of(handle)->bytes.data();
        *size = toff_t(of(handle)->bytes.size());
        return 1;
    }
    static void unmap(thandle_t, void *, toff_t) {}
};

// libtiff's handle on one file, with the options it was opened with, given back however the reading ends.
struct TiffDecoding
{
    TiffBytes file;
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    TIFF *tiff = nullptr;

    ~TiffDecoding()
    {
        if (tiff)
            TIFFClose(tiff);
        TIFFOpenOptionsFree(options);
    }
    TiffDecoding() = default;
    TiffDecoding(const TiffDecoding &) = delete;
    TiffDecoding &operator=(const TiffDecoding &) = delete;

    // Opens `bytes`, with no single allocation of libtiff's beyond `budget`.
    bool open(QByteArray bytes, qint64 budget)
    {
        if (!options)
            return false;
        file.bytes = std::move(bytes);
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(budget));
        TIFFOpenOptionsSetErrorHandlerExtR(options, ignoreMessage, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options, ignoreMessage, nullptr);
        tiff = TIFFClientOpenExt("picture", "r", &file, TiffBytes::read, TiffBytes::write, TiffBytes::seek,
                                 TiffBytes::close, TiffBytes::size, TiffBytes::map, TiffBytes::unmap, options);
        return tiff;
    }
};

TiffReader::TiffReader() = default;
TiffReader::~TiffReader() = default;

PictureResult<PictureHeader> TiffReader::readHeader(QFile &file, qint64 budget)
{
    std::optional<QByteArray> bytes = readEntireFile(file);
    if (!bytes)
        return PictureFailure{PictureError::FileAccess, {}};
    m_decoding = std::make_unique<TiffDecoding>();
    if (!m_decoding->open(std::move(*bytes), budget))
        return PictureFailure{PictureError::NotAPicture, {}};
    TIFF *tiff = m_decoding->tiff;
    uint32_t width = 0;
    uint32_t height = 0;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height)
        || width == 0 || height == 0 || width > INT_MAX || height > INT_MAX)
        return PictureFailure{PictureError::NotAPicture, {}};
    m_header.size = QSize(int(width), int(height));
    if (!surfaceFits(m_header.size, budget))
        return PictureFailure{PictureError::OutOfMemory, {}};
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tiff, message))
        return PictureFailure{PictureError::NotAPicture, {}};
    quint16 bits = 0;
    quint16 orientation = ORIENTATION_TOPLEFT;
    quint16 extraCount = 0;
    quint16 *extra = nullptr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    m_header.sixteenBitSamples = bits == 16;
    m_header.hasAlpha =
        extraCount > 0 && extra && (extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA);
    m_header.transformation = orientationTransformation(orientation);
    float resolutionX = 0;
    float resolutionY = 0;
    quint16 unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit != RESUNIT_NONE && TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &resolutionX)
        && TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &resolutionY)) {
        m_header.dotsPerMeterX = dotsPerMeter(resolutionX, unit);
        m_header.dotsPerMeterY = dotsPerMeter(resolutionY, unit);
    }
    m_header.iccProfile = tagBytes(tiff, TIFFTAG_ICCPROFILE);
    m_header.xmp = tagBytes(tiff, TIFFTAG_XMLPACKET);
    return m_header;
}

// libtiff's RGBA interface writes each pixel as red, green, blue and alpha bytes, alpha premultiplied, in the
// rows as stored when asked for the file's own orientation; the surface keeps blue first, alpha not
// premultiplied.
PictureResult<QImage> TiffReader::readPixels(QFile & /*file*/, SampleDepth /*depth*/)
{
    TIFF *tiff = m_decoding->tiff;
    QImage surface = ImageAllocator::allocate(m_header.size, QImage::Format_ARGB32_Premultiplied);
    if (surface.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    quint16 orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    if (!TIFFReadRGBAImageOriented(tiff, uint32_t(m_header.size.width()), uint32_t(m_header.size.height()),
                                   reinterpret_cast<uint32_t *>(surface.bits()), orientation, 1))
        return PictureFailure{PictureError::NotAPicture, {}};
    surface.rgbSwap();
    if (!m_header.hasAlpha) {
        surface.reinterpretAsFormat(QImage::Format_RGB32);
        return surface;
    }
    surface.convertTo(QImage::Format_ARGB32);
    if (surface.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    return surface;
}
