#include "TiffReader.h"

#include "pixels/files/EightBitSamples.h"
#include "pixels/files/FileBytes.h"
#include "pixels/files/Orientation.h"
#include "pixels/memory/ImageAllocator.h"
#include "pixels/memory/MemoryBudget.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

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

// How a picture of 16-bit samples that is read as stored holds them.
struct DeepLayout
{
    static constexpr int AllPlanes = -1;

    int colours = 0;         // 1 for grey, 3 for red, green and blue
    int samplesPerPixel = 0; // the colours and every extra sample
    bool alpha = false;      // the first extra sample is alpha, not premultiplied
    bool separate = false;   // each sample in a plane of its own
    quint16 invert = 0;      // 0xFFFF where a grey level of zero is white

    // The planes to read: one holding every sample, or each needed sample's own.
    int planes() const { return separate ? colours + int(alpha) : 1; }
    // The samples a pixel takes in a row of `plane`.
    int step(int plane) const { return plane == AllPlanes ? samplesPerPixel : 1; }
};

// The layout of a picture whose 16-bit samples the reader takes as stored: unsigned grey or RGB, each sample
// accounted for, any extra sample after the colours either unpremultiplied alpha or of no meaning. None for
// anything else (palette, CMYK, YCbCr, premultiplied alpha, floating point...), which libtiff's RGBA
// interface reads.
std::optional<DeepLayout> deepLayoutOf(TIFF *tiff)
{
    quint16 bits = 0;
    quint16 sampleFormat = SAMPLEFORMAT_UINT;
    quint16 samples = 0;
    quint16 planar = PLANARCONFIG_CONTIG;
    quint16 photometric = 0;
    quint16 extraCount = 0;
    quint16 *extra = nullptr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    if (bits != 16 || sampleFormat != SAMPLEFORMAT_UINT || !TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric))
        return std::nullopt;
    DeepLayout layout;
    if (photometric == PHOTOMETRIC_RGB)
        layout.colours = 3;
    else if (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE)
        layout.colours = 1;
    else
        return std::nullopt;
    if (samples != layout.colours + extraCount || (extraCount > 0 && !extra))
        return std::nullopt;
    if (extraCount > 0 && extra[0] != EXTRASAMPLE_UNSPECIFIED && extra[0] != EXTRASAMPLE_UNASSALPHA)
        return std::nullopt;
    layout.samplesPerPixel = samples;
    layout.alpha = extraCount > 0 && extra[0] == EXTRASAMPLE_UNASSALPHA;
    layout.separate = planar == PLANARCONFIG_SEPARATE && samples > 1;
    layout.invert = photometric == PHOTOMETRIC_MINISWHITE ? 0xFFFF : 0;
    return layout;
}

// A row of the surface from column `x` on, that stored samples go to: a 16-bit surface keeps them (red, green,
// blue and alpha a pixel).
struct DeepPixels
{
    quint16 *pixels;

    DeepPixels(QImage &surface, int y, int x)
        : pixels(reinterpret_cast<quint16 *>(surface.scanLine(y)) + qsizetype(x) * 4)
    {
    }
    void put(int x, int channel, quint16 sample) const { pixels[qsizetype(x) * 4 + channel] = sample; }
};

// A 32-bit surface (0xAARRGGBB a pixel) takes each sample brought to 8 bits by eightBitSample().
struct ReducedPixels
{
    uchar *pixels;

    ReducedPixels(QImage &surface, int y, int x)
        : pixels(surface.scanLine(y) + qsizetype(x) * 4)
    {
    }
    void put(int x, int channel, quint16 sample) const
    {
        pixels[qsizetype(x) * 4 + byteOf(channel)] = eightBitSample(sample);
    }
    // Where red, green, blue and alpha lie in a pixel's bytes.
    static constexpr int byteOf(int channel)
    {
        return Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? (channel == 3 ? 3 : 2 - channel) : (channel + 1) % 4;
    }
};

// Puts `count` pixels of one stored row of `plane` into a row of the surface. The first colour plane makes the
// pixel opaque; an alpha plane, read after it, sets its alpha.
template<typename Pixels>
void putSamples(const quint16 *from, const Pixels &to, int count, const DeepLayout &layout, int plane)
{
    constexpr quint16 Opaque = 0xFFFF;
    const int step = layout.step(plane);
    // A grey sample is each of red, green and blue.
    const auto putGrey = [&to, &layout](int x, quint16 stored) {
        const quint16 level = stored ^ layout.invert;
        to.put(x, 0, level);
        to.put(x, 1, level);
        to.put(x, 2, level);
    };
    for (int x = 0; x < count; ++x, from += step) {
        if (plane == DeepLayout::AllPlanes) {
            if (layout.colours == 1) {
                putGrey(x, from[0]);
            } else {
                to.put(x, 0, from[0]);
                to.put(x, 1, from[1]);
                to.put(x, 2, from[2]);
            }
            to.put(x, 3, layout.alpha ? from[layout.colours] : Opaque);
        } else if (plane == layout.colours) {
            to.put(x, 3, from[0]);
        } else {
            if (layout.colours == 1) {
                putGrey(x, from[0]);
            } else {
                to.put(x, plane, from[0]);
            }
            if (plane == 0)
                to.put(x, 3, Opaque);
        }
    }
}

// A block of decoded samples (a row, or a tile), cleared; null when memory runs out.
std::unique_ptr<quint16[]> blockOf(tmsize_t bytes)
{
    return std::unique_ptr<quint16[]>(new (std::nothrow) quint16[size_t(bytes) / 2 + 1]());
}

// The rows of a picture stored in strips, one decoded at a time through `row`.
template<typename Pixels>
bool readStoredStrips(TIFF *tiff, const DeepLayout &layout, QImage &surface, quint16 *row)
{
    for (int plane = 0; plane < layout.planes(); ++plane) {
        const int stored = layout.separate ? plane : DeepLayout::AllPlanes;
        for (int y = 0; y < surface.height(); ++y) {
            if (TIFFReadScanline(tiff, row, uint32_t(y), uint16_t(layout.separate ? plane : 0)) < 0)
                return false;
            putSamples(row, Pixels(surface, y, 0), surface.width(), layout, stored);
        }
    }
    return true;
}

struct TileShape
{
    int width = 0;
    int height = 0;
    qsizetype rowSamples = 0; // from one of a tile's rows to the next
};

// The tiles of a picture stored in tiles, one decoded at a time into `tile`, of `tileBytes` bytes; only their
// parts inside the picture are kept.
template<typename Pixels>
bool readStoredTiles(TIFF *tiff, const DeepLayout &layout, const TileShape &shape, QImage &surface, quint16 *tile,
                     tmsize_t tileBytes)
{
    for (int plane = 0; plane < layout.planes(); ++plane) {
        const int stored = layout.separate ? plane : DeepLayout::AllPlanes;
        for (qint64 top = 0; top < surface.height(); top += shape.height) {
            for (qint64 left = 0; left < surface.width(); left += shape.width) {
                const uint32_t index =
                    TIFFComputeTile(tiff, uint32_t(left), uint32_t(top), 0, uint16_t(layout.separate ? plane : 0));
                if (TIFFReadEncodedTile(tiff, index, tile, tileBytes) < 0)
                    return false;
                const int rows = int(qMin<qint64>(shape.height, surface.height() - top));
                const int columns = int(qMin<qint64>(shape.width, surface.width() - left));
                for (int y = 0; y < rows; ++y)
                    putSamples(tile + y * shape.rowSamples, Pixels(surface, int(top) + y, int(left)), columns, layout,
                               stored);
            }
        }
    }
    return true;
}

template<typename Pixels>
bool readStored(TIFF *tiff, const DeepLayout &layout, const TileShape &shape, QImage &surface, quint16 *block,
                tmsize_t blockBytes)
{
    return TIFFIsTiled(tiff) ? readStoredTiles<Pixels>(tiff, layout, shape, surface, block, blockBytes)
                             : readStoredStrips<Pixels>(tiff, layout, surface, block);
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
    m_budget = budget;
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

PictureResult<QImage> TiffReader::readPixels(QFile & /*file*/, SampleDepth depth)
{
    TIFF *tiff = m_decoding->tiff;
    const std::optional<DeepLayout> layout = deepLayoutOf(tiff);
    if (!layout)
        return readThroughRgba();
    // The surface takes 8 bytes a pixel at 16 bits, and the block of samples being decoded no more than what is
    // left of the budget.
    const bool deep = depth == SampleDepth::Sixteen;
    const int bytesPerPixel = deep ? 8 : 4;
    if (!surfaceFits(m_header.size, m_budget / (bytesPerPixel / 4)))
        return PictureFailure{PictureError::OutOfMemory, {}};
    const qint64 pixelBytes = qint64(m_header.size.width()) * m_header.size.height() * bytesPerPixel;
    const bool tiled = TIFFIsTiled(tiff);
    const tmsize_t blockBytes = tiled ? TIFFTileSize(tiff) : TIFFScanlineSize(tiff);
    TileShape shape{m_header.size.width(), 1, 0};
    if (tiled) {
        uint32_t tileWidth = 0;
        uint32_t tileHeight = 0;
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
        if (tileWidth == 0 || tileHeight == 0 || tileWidth > INT_MAX || tileHeight > INT_MAX)
            return PictureFailure{PictureError::NotAPicture, {}};
        shape = {int(tileWidth), int(tileHeight), qsizetype(TIFFTileRowSize(tiff) / 2)};
    }
    const qint64 rowSamples = qint64(shape.width) * layout->step(layout->separate ? 0 : DeepLayout::AllPlanes);
    if (blockBytes <= 0 || qint64(blockBytes / 2) / shape.height < qMax<qint64>(rowSamples, shape.rowSamples))
        return PictureFailure{PictureError::NotAPicture, {}};
    if (blockBytes > m_budget - pixelBytes)
        return PictureFailure{PictureError::OutOfMemory, {}};
    const QImage::Format format = deep ? (layout->alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                                       : (layout->alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QImage surface = ImageAllocator::allocate(m_header.size, format);
    const std::unique_ptr<quint16[]> block = blockOf(blockBytes);
    if (surface.isNull() || !block)
        return PictureFailure{PictureError::OutOfMemory, {}};
    const bool read = deep ? readStored<DeepPixels>(tiff, *layout, shape, surface, block.get(), blockBytes)
                           : readStored<ReducedPixels>(tiff, *layout, shape, surface, block.get(), blockBytes);
    if (!read)
        return PictureFailure{PictureError::NotAPicture, {}};
    return surface;
}

// libtiff's RGBA interface writes each pixel as red, green, blue and alpha bytes, alpha premultiplied, in the
// rows as stored when asked for the file's own orientation; the surface keeps blue first, alpha not
// premultiplied.
PictureResult<QImage> TiffReader::readThroughRgba()
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
