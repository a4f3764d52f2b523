#include "FormatCorpus.h"

#include <QBuffer>
#include <QTemporaryFile>
#include <QtEndian>

#include <gif_lib.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <webp/encode.h>
#include <zlib.h>

#include <vector>

namespace PictureCorpus {

namespace {

const QSize SampleSize(40, 32);

Sample good(const QString &name, const QString &suffix, const QByteArray &bytes, QSize size, bool lossless = true)
{
    return {name, suffix, bytes, size, lossless};
}

Sample bad(const QString &name, const QString &suffix, const QByteArray &bytes)
{
    return {name, suffix, bytes, {}, true};
}

QByteArray qtPngOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Rows of 8-bit red, green and blue, or 16-bit ones (each level × 257) when `sixteen`.
QByteArray rgbRows(const QImage &image, bool sixteen)
{
    QByteArray rows;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            for (const int level : {qRed(image.pixel(x, y)), qGreen(image.pixel(x, y)), qBlue(image.pixel(x, y))}) {
                if (sixteen) {
                    const quint16 wide = quint16(level * 257);
                    rows.append(reinterpret_cast<const char *>(&wide), 2);
                } else {
                    rows.append(char(level));
                }
            }
    return rows;
}

struct TiffRecipe
{
    int bits = 8;
    quint16 orientation = ORIENTATION_TOPLEFT;
    quint16 compression = COMPRESSION_NONE;
    bool tiled = false;
};

// Written by libtiff in the machine's byte order: little-endian here.
QByteArray tiffOf(const QImage &image, const TiffRecipe &recipe)
{
    QTemporaryFile file;
    if (!file.open())
        return {};
    TIFF *tiff = TIFFOpen(QFile::encodeName(file.fileName()).constData(), "w");
    if (!tiff)
        return {};
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(image.height()));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, recipe.bits);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, recipe.compression);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, recipe.orientation);
    const QByteArray rows = rgbRows(image, recipe.bits == 16);
    const qsizetype rowBytes = rows.size() / image.height();
    if (recipe.tiled) {
        constexpr int Tile = 16;
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, Tile);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, Tile);
        const qsizetype pixelBytes = rowBytes / image.width();
        for (int top = 0; top < image.height(); top += Tile)
            for (int left = 0; left < image.width(); left += Tile) {
                QByteArray tile(Tile * Tile * pixelBytes, '\0');
                for (int y = 0; y < Tile && top + y < image.height(); ++y)
                    for (int x = 0; x < Tile && left + x < image.width(); ++x)
                        tile.replace((y * Tile + x) * pixelBytes, pixelBytes,
                                     rows.mid((top + y) * rowBytes + (left + x) * pixelBytes, pixelBytes));
                TIFFWriteTile(tiff, tile.data(), uint32_t(left), uint32_t(top), 0, 0);
            }
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 8);
        for (int y = 0; y < image.height(); ++y)
            TIFFWriteScanline(tiff, const_cast<char *>(rows.constData() + y * rowBytes), uint32_t(y), 0);
    }
    TIFFClose(tiff);
    return file.readAll();
}

int writeToBytes(GifFileType *gif, const GifByteType *data, int size)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(data), size);
    return size;
}

// Four colours, one a band, in a global colour table.
QByteArray gifOf(const QImage &image)
{
    QByteArray bytes;
    int error = 0;
    GifFileType *gif = EGifOpen(&bytes, writeToBytes, &error);
    GifColorType colours[4] = {};
    const QRgb bands[] = {image.pixel(0, 0), image.pixel(0, image.height() * 3 / 8),
                          image.pixel(0, image.height() * 5 / 8), image.pixel(0, image.height() - 1)};
    for (int i = 0; i < 4; ++i)
        colours[i] = {GifByteType(qRed(bands[i])), GifByteType(qGreen(bands[i])), GifByteType(qBlue(bands[i]))};
    ColorMapObject *map = GifMakeMapObject(4, colours);
    EGifPutScreenDesc(gif, image.width(), image.height(), 2, 0, map);
    EGifPutImageDesc(gif, 0, 0, image.width(), image.height(), false, nullptr);
    std::vector<GifPixelType> line(size_t(image.width()));
    for (int y = 0; y < image.height(); ++y) {
        const int index = int(std::find(bands, bands + 4, image.pixel(0, y)) - bands);
        std::fill(line.begin(), line.end(), GifPixelType(index));
        EGifPutLine(gif, line.data(), image.width());
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return bytes;
}

QByteArray webpOf(const QImage &image, bool lossless)
{
    const QImage bgra = image.convertToFormat(QImage::Format_ARGB32);
    uint8_t *output = nullptr;
    const size_t size =
        lossless
            ? WebPEncodeLosslessBGRA(bgra.constBits(), bgra.width(), bgra.height(), int(bgra.bytesPerLine()), &output)
            : WebPEncodeBGRA(bgra.constBits(), bgra.width(), bgra.height(), int(bgra.bytesPerLine()), 90, &output);
    QByteArray bytes(reinterpret_cast<const char *>(output), qsizetype(size));
    WebPFree(output);
    return bytes;
}

heif_error writeHeif(heif_context *, const void *data, size_t size, void *bytes)
{
    static_cast<QByteArray *>(bytes)->append(static_cast<const char *>(data), qsizetype(size));
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

QByteArray heifOf(const QImage &image, heif_compression_format compression)
{
    QByteArray bytes;
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_image *picture = nullptr;
    if (heif_context_get_encoder_for_format(context, compression, &encoder).code == heif_error_Ok
        && heif_image_create(image.width(), image.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &picture)
                   .code
               == heif_error_Ok) {
        heif_encoder_set_lossy_quality(encoder, 90);
        heif_image_add_plane(picture, heif_channel_interleaved, image.width(), image.height(), 8);
        int stride = 0;
        uint8_t *rows = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
        const QByteArray rgb = rgbRows(image, false);
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(rows + y * stride, rgb.constData() + y * image.width() * 3, size_t(image.width()) * 3);
        heif_writer writer{1, writeHeif};
        if (heif_context_encode_image(context, picture, encoder, nullptr, nullptr).code == heif_error_Ok)
            heif_context_write(context, &writer, &bytes);
    }
    if (picture)
        heif_image_release(picture);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(context);
    return bytes;
}

// The sample picture with its lower half fading out.
QImage withAlpha(const QImage &image)
{
    QImage faded = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = image.height() / 2; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            faded.setPixel(x, y, (faded.pixel(x, y) & 0xFFFFFFu) | quint32(255 - 4 * y) << 24);
    return faded;
}

void putBigEndian32(QByteArray &bytes, qsizetype at, quint32 value)
{
    qToBigEndian(value, bytes.data() + at);
}

// A PNG whose header claims `width` × `height`, its checksum made good again.
QByteArray pngClaiming(QByteArray png, quint32 width, quint32 height)
{
    constexpr qsizetype Ihdr = 12; // the chunk's type, after the signature and the chunk's length
    putBigEndian32(png, Ihdr + 4, width);
    putBigEndian32(png, Ihdr + 8, height);
    const auto *chunk = reinterpret_cast<const Bytef *>(png.constData() + Ihdr);
    putBigEndian32(png, Ihdr + 17, quint32(crc32(0, chunk, 17)));
    return png;
}

// A little-endian TIFF with the value of `tag` in its first directory set to `value` (one SHORT or LONG).
QByteArray tiffWith(QByteArray tiff, quint16 tag, quint32 value)
{
    const quint32 directory = qFromLittleEndian<quint32>(tiff.constData() + 4);
    const quint16 entries = qFromLittleEndian<quint16>(tiff.constData() + directory);
    for (quint16 i = 0; i < entries; ++i) {
        char *entry = tiff.data() + directory + 2 + i * 12;
        if (qFromLittleEndian<quint16>(entry) != tag)
            continue;
        if (qFromLittleEndian<quint16>(entry + 2) == TIFF_SHORT)
            qToLittleEndian(quint16(value), entry + 8);
        else
            qToLittleEndian(value, entry + 8);
    }
    return tiff;
}

// A GIF's logical screen, or its first frame (after a global table of four colours), claiming the size given.
QByteArray gifClaiming(QByteArray gif, qsizetype at, quint16 width, quint16 height)
{
    qToLittleEndian(width, gif.data() + at);
    qToLittleEndian(height, gif.data() + at + 2);
    return gif;
}
constexpr qsizetype GifScreenSize = 6;
constexpr qsizetype GifFrameSize = 13 + 4 * 3 + 5;

// A lossless WebP whose header claims its largest size, 16384 × 16384: fourteen bits each, less one.
QByteArray webpOfLargestSize(QByteArray webp)
{
    constexpr qsizetype LosslessHeader = 21; // RIFF header, chunk header, signature byte
    qToLittleEndian(quint32(0x0FFFFFFF), webp.data() + LosslessHeader);
    return webp;
}

// An animated WebP whose canvas claims 2^24 × 2^24 pixels, holding no frame.
QByteArray webpAnimationCanvasBomb()
{
    QByteArray chunks = QByteArray("WEBPVP8X") + QByteArray("\x0A\0\0\0", 4) + QByteArray("\x02\0\0\0", 4)
                        + QByteArray(6, '\xFF') + QByteArray("ANIM\x06\0\0\0", 8) + QByteArray(6, '\0');
    QByteArray riff("RIFF");
    const quint32 size = quint32(chunks.size());
    riff.append(reinterpret_cast<const char *>(&size), 4);
    return riff + chunks;
}

// A HEIF whose image spatial extents, every one, claim 60000 × 60000.
QByteArray heifClaiming(QByteArray heif)
{
    for (qsizetype extents = heif.indexOf("ispe"); extents >= 0; extents = heif.indexOf("ispe", extents + 1)) {
        putBigEndian32(heif, extents + 8, 60000);
        putBigEndian32(heif, extents + 12, 60000);
    }
    return heif;
}

QByteArray corruptedMiddle(QByteArray bytes)
{
    for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 8 && i < bytes.size(); ++i)
        bytes[i] = char(~bytes[i]);
    return bytes;
}

} // namespace

QList<Sample> otherFormatPictures()
{
    const QImage image = bandedImage(SampleSize.width(), SampleSize.height());
    const QSize turned = SampleSize.transposed();
    QList<Sample> samples;
    samples << good(QStringLiteral("png-8"), QStringLiteral(".png"), qtPngOf(image), SampleSize);
    samples << good(QStringLiteral("png-16"), QStringLiteral(".png"),
                    qtPngOf(image.convertToFormat(QImage::Format_RGBX64)), SampleSize);
    samples << good(QStringLiteral("png-palette"), QStringLiteral(".png"),
                    qtPngOf(image.convertToFormat(QImage::Format_Indexed8)), SampleSize);
    samples << good(QStringLiteral("png-alpha"), QStringLiteral(".png"), qtPngOf(withAlpha(image)), SampleSize);
    samples << good(QStringLiteral("png-named-jpg"), QStringLiteral(".jpg"), qtPngOf(image), SampleSize);
    samples << good(QStringLiteral("tiff-8"), QStringLiteral(".tif"), tiffOf(image, {}), SampleSize);
    samples << good(QStringLiteral("tiff-16-deflate"), QStringLiteral(".tif"),
                    tiffOf(image, {16, ORIENTATION_TOPLEFT, COMPRESSION_ADOBE_DEFLATE, false}), SampleSize);
    samples << good(QStringLiteral("tiff-16-tiled-turned-right"), QStringLiteral(".tif"),
                    tiffOf(image, {16, ORIENTATION_RIGHTTOP, COMPRESSION_LZW, true}), turned);
    samples << good(QStringLiteral("tiff-tiled-lzw"), QStringLiteral(".tif"),
                    tiffOf(image, {8, ORIENTATION_TOPLEFT, COMPRESSION_LZW, true}), SampleSize);
    samples << good(QStringLiteral("tiff-turned-right"), QStringLiteral(".tif"),
                    tiffOf(image, {8, ORIENTATION_RIGHTTOP, COMPRESSION_NONE, false}), turned);
    samples << good(QStringLiteral("webp-lossless"), QStringLiteral(".webp"), webpOf(image, true), SampleSize);
    samples << good(QStringLiteral("webp-lossy"), QStringLiteral(".webp"), webpOf(image, false), SampleSize, false);
    samples << good(QStringLiteral("webp-alpha"), QStringLiteral(".webp"), webpOf(withAlpha(image), true), SampleSize);
    samples << good(QStringLiteral("gif"), QStringLiteral(".gif"), gifOf(image), SampleSize);
    samples << good(QStringLiteral("heic"), QStringLiteral(".heic"), heifOf(image, heif_compression_HEVC), SampleSize,
                    false);
    samples << good(QStringLiteral("avif"), QStringLiteral(".avif"), heifOf(image, heif_compression_AV1), SampleSize,
                    false);
    return samples;
}

QList<Sample> badOtherFormatPictures()
{
    QList<Sample> samples;
    for (const Sample &sample : otherFormatPictures()) {
        samples << bad(sample.name + QStringLiteral("-cut-in-half"), sample.suffix,
                       sample.bytes.left(sample.bytes.size() / 2));
        samples << bad(sample.name + QStringLiteral("-scrambled-in-the-middle"), sample.suffix,
                       corruptedMiddle(sample.bytes));
    }
    const QImage image = bandedImage(SampleSize.width(), SampleSize.height());
    const QByteArray tiff = tiffOf(image, {});
    const QByteArray gif = gifOf(image);
    samples << bad(QStringLiteral("png-claims-65535-square"), QStringLiteral(".png"),
                   pngClaiming(qtPngOf(image), 65535, 65535));
    samples << bad(QStringLiteral("tiff-claims-100000-square"), QStringLiteral(".tif"),
                   tiffWith(tiffWith(tiff, TIFFTAG_IMAGEWIDTH, 100000), TIFFTAG_IMAGELENGTH, 100000));
    samples << bad(QStringLiteral("tiff-strip-beyond-the-file"), QStringLiteral(".tif"),
                   tiffWith(tiff, TIFFTAG_STRIPBYTECOUNTS, 0x7FFFFFFF));
    samples << bad(QStringLiteral("tiff-one-strip-of-a-million-rows"), QStringLiteral(".tif"),
                   tiffWith(tiffWith(tiff, TIFFTAG_ROWSPERSTRIP, 0xFFFFFFFF), TIFFTAG_IMAGELENGTH, 1000000));
    samples << bad(QStringLiteral("webp-claims-16384-square"), QStringLiteral(".webp"),
                   webpOfLargestSize(webpOf(image, true)));
    samples << bad(QStringLiteral("webp-animation-canvas-bomb"), QStringLiteral(".webp"), webpAnimationCanvasBomb());
    samples << bad(QStringLiteral("gif-screen-claims-65535-square"), QStringLiteral(".gif"),
                   gifClaiming(gif, GifScreenSize, 65535, 65535));
    samples << bad(QStringLiteral("gif-frame-claims-65535-square"), QStringLiteral(".gif"),
                   gifClaiming(gif, GifFrameSize, 65535, 65535));
    samples << bad(QStringLiteral("heic-claims-60000-square"), QStringLiteral(".heic"),
                   heifClaiming(heifOf(image, heif_compression_HEVC)));
    return samples;
}

} // namespace PictureCorpus
