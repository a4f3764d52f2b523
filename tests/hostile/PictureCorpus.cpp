#include "PictureCorpus.h"

#include "pixels/bitmap/LittleEndian.h"

#include <QBuffer>
#include <QImageWriter>
#include <QtEndian>

#include <limits>

namespace PictureCorpus {

namespace {

const QRgb BandColours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
constexpr int BandCount = 4;

int bandOf(int y, int height)
{
    return y * BandCount / height;
}

void put16(QByteArray &to, quint16 value)
{
    appendLittleEndian(to, value, 2);
}

void put32(QByteArray &to, quint32 value)
{
    appendLittleEndian(to, value, 4);
}

void padRow(QByteArray &row)
{
    while (row.size() % 4)
        row.append('\0');
}

QByteArray bandPalette()
{
    QByteArray palette;
    for (QRgb c : BandColours)
        palette.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
    return palette;
}

// Rows of palette indices, bottom-up, `bits` a pixel.
QByteArray indexedRows(int width, int height, int bits, int (*indexOf)(int y, int height))
{
    QByteArray pixels;
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row((width * bits + 7) / 8, '\0');
        for (int x = 0; x < width; ++x) {
            const int bit = x * bits;
            row[bit / 8] = char(row[bit / 8] | indexOf(y, height) << (8 - bits - bit % 8));
        }
        padRow(row);
        pixels.append(row);
    }
    return pixels;
}

QByteArray rle8Rows(int width, int height)
{
    QByteArray pixels;
    for (int y = height - 1; y >= 0; --y)
        pixels.append(char(width)).append(char(bandOf(y, height))).append('\0').append('\0');
    return pixels.append('\0').append('\1');
}

QByteArray rle4Rows(int width, int height)
{
    QByteArray pixels;
    for (int y = height - 1; y >= 0; --y) {
        const int band = bandOf(y, height);
        pixels.append(char(width)).append(char(band << 4 | band)).append('\0').append('\0');
    }
    return pixels.append('\0').append('\1');
}

QByteArray rows16(const QImage &image)
{
    QByteArray pixels;
    for (int y = image.height() - 1; y >= 0; --y) {
        QByteArray row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            put16(row, quint16((qRed(c) >> 3) << 11 | (qGreen(c) >> 2) << 5 | qBlue(c) >> 3));
        }
        padRow(row);
        pixels.append(row);
    }
    return pixels;
}

QByteArray rows32(const QImage &image)
{
    QByteArray pixels;
    for (int y = image.height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.width(); ++x)
            put32(pixels, image.pixel(x, y) & 0xFFFFFF);
    }
    return pixels;
}

QByteArray masks565()
{
    QByteArray masks;
    put32(masks, 0xF800);
    put32(masks, 0x07E0);
    put32(masks, 0x001F);
    return masks;
}

QByteArray masks888()
{
    QByteArray masks;
    put32(masks, 0xFF0000);
    put32(masks, 0x00FF00);
    put32(masks, 0x0000FF);
    return masks;
}

// The same bitmap with its 40-byte header widened to `headerSize`, 108 (version 4) or 124 (version 5), as
// many editors write them: the colour masks that follow a 40-byte header become the header's own mask
// fields, the alpha mask stays 0 and the colour space is sRGB.
QByteArray withWiderHeader(const QByteArray &plain, quint32 headerSize)
{
    constexpr qsizetype InfoEnd = 14 + 40;
    const bool bitFields = qFromLittleEndian<quint32>(plain.constData() + 30) == 3;
    QByteArray header = plain.left(InfoEnd) + (bitFields ? plain.mid(InfoEnd, 12) : QByteArray(12, '\0'));
    put32(header, 0);          // alpha mask
    put32(header, 0x73524742); // 'sRGB'
    header = header.leftJustified(14 + headerSize, '\0');
    QByteArray wider = header + plain.mid(InfoEnd + (bitFields ? 12 : 0));
    const qint64 growth = wider.size() - plain.size();
    qToLittleEndian<quint32>(quint32(wider.size()), wider.data() + 2);
    qToLittleEndian<quint32>(quint32(qFromLittleEndian<quint32>(plain.constData() + 10) + growth), wider.data() + 10);
    qToLittleEndian<quint32>(headerSize, wider.data() + 14);
    return wider;
}

Sample good(const QString &name, const QString &suffix, const QByteArray &bytes, QSize size, bool lossless = true)
{
    return {name, suffix, bytes, size, lossless};
}

Sample bad(const QString &name, const QString &suffix, const QByteArray &bytes)
{
    return {name, suffix, bytes, {}, true};
}

qsizetype segmentAt(const QByteArray &jpeg, unsigned char code)
{
    for (const JpegSegment &segment : jpegSegments(jpeg)) {
        if (segment.code == code)
            return segment.offset;
    }
    qFatal("no segment %02x in the sample JPEG", code);
}

QByteArray patched(QByteArray bytes, qsizetype at, std::initializer_list<unsigned char> values)
{
    for (unsigned char v : values)
        bytes[at++] = char(v);
    return bytes;
}

QList<Sample> badJpegs()
{
    const QByteArray jpeg = jpegOf(bandedImage(32, 24));
    const qsizetype app0 = segmentAt(jpeg, 0xE0);
    const qsizetype dqt = segmentAt(jpeg, 0xDB);
    const qsizetype sof = segmentAt(jpeg, 0xC0);
    const qsizetype dht = segmentAt(jpeg, 0xC4);
    const qsizetype sos = segmentAt(jpeg, 0xDA);
    const qsizetype scan = sos + 2 + ((uchar(jpeg[sos + 2]) << 8) | uchar(jpeg[sos + 3]));
    const QString jpg = QStringLiteral(".jpg");

    QList<Sample> samples;
    const struct
    {
        const char *where;
        qsizetype at;
    } cuts[] = {{"after-1-byte", 1},
                {"after-start-marker", 2},
                {"inside-marker", 3},
                {"inside-app0", app0 + 7},
                {"inside-dqt", dqt + 20},
                {"inside-frame-header", sof + 8},
                {"inside-dht", dht + 10},
                {"inside-scan-header", sos + 6},
                {"at-scan-start", scan},
                {"mid-scan", (scan + jpeg.size()) / 2},
                {"in-the-last-scan-byte", jpeg.size() - 3}};
    for (const auto &cut : cuts)
        samples << bad(QStringLiteral("jpeg-cut-") + QLatin1String(cut.where), jpg, jpeg.left(cut.at));

    // The frame header: precision, height, width, components, then three bytes a component.
    samples << bad(QStringLiteral("jpeg-frame-65535x65535"), jpg, patched(jpeg, sof + 5, {0xFF, 0xFF, 0xFF, 0xFF}));
    samples << bad(QStringLiteral("jpeg-frame-4000x4000-without-the-data"), jpg,
                   patched(jpeg, sof + 5, {0x0F, 0xA0, 0x0F, 0xA0}));
    samples << bad(QStringLiteral("jpeg-frame-height-0"), jpg, patched(jpeg, sof + 5, {0x00, 0x00}));
    samples << bad(QStringLiteral("jpeg-frame-sampling-0"), jpg, patched(jpeg, sof + 11, {0x00}));
    samples << bad(QStringLiteral("jpeg-frame-names-missing-quantisation-table"), jpg, patched(jpeg, sof + 12, {3}));
    // The Huffman table segment: class and index, sixteen code counts, then the symbols.
    samples << bad(QStringLiteral("jpeg-huffman-index-7"), jpg, patched(jpeg, dht + 4, {0x07}));
    samples << bad(QStringLiteral("jpeg-huffman-oversubscribed"), jpg, patched(jpeg, dht + 5, {3}));
    samples << bad(QStringLiteral("jpeg-huffman-counts-beyond-segment"), jpg,
                   patched(jpeg, dht + 5, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF}));
    samples << bad(QStringLiteral("jpeg-scan-names-missing-huffman-table"), jpg, patched(jpeg, sos + 6, {0x33}));
    // The quantisation table segment: precision and index, then the values.
    samples << bad(QStringLiteral("jpeg-quantisation-index-9"), jpg, patched(jpeg, dqt + 4, {0x09}));
    samples << bad(QStringLiteral("jpeg-quantisation-16-bit-in-short-segment"), jpg, patched(jpeg, dqt + 4, {0x10}));
    samples << bad(QStringLiteral("jpeg-quantisation-length-0"), jpg, patched(jpeg, dqt + 2, {0x00, 0x00}));
    // A progressive decoder walks the whole frame once per scan.
    const QByteArray progressive = jpegOf(bandedImage(32, 24), true);
    const qsizetype lastScan = progressive.lastIndexOf("\xFF\xDA");
    const QByteArray scanAgain = progressive.mid(lastScan, progressive.size() - 2 - lastScan);
    samples << bad(QStringLiteral("jpeg-600-scans"), jpg,
                   progressive.left(progressive.size() - 2) + scanAgain.repeated(600) + progressive.right(2));
    return samples;
}

QList<Sample> badBmps()
{
    const QString bmp = QStringLiteral(".bmp");
    const QImage image = bandedImage(4, 3);
    const QByteArray pixels24 = bmp24Of(image).mid(54);
    auto recipe24 = [&] {
        BmpRecipe recipe;
        recipe.pixels = pixels24;
        return recipe;
    };
    auto with = [&](auto change) {
        BmpRecipe recipe = recipe24();
        change(recipe);
        return buildBmp(recipe);
    };

    QList<Sample> samples;
    samples << bad(QStringLiteral("bmp-width-0"), bmp, with([](BmpRecipe &s) { s.width = 0; }));
    samples << bad(QStringLiteral("bmp-height-0"), bmp, with([](BmpRecipe &s) { s.height = 0; }));
    samples << bad(QStringLiteral("bmp-width-negative"), bmp, with([](BmpRecipe &s) { s.width = -4; }));
    samples << bad(QStringLiteral("bmp-height-most-negative"), bmp,
                   with([](BmpRecipe &s) { s.height = std::numeric_limits<qint32>::min(); }));
    samples << bad(QStringLiteral("bmp-width-huge"), bmp, with([](BmpRecipe &s) { s.width = 1 << 30; }));
    samples << bad(QStringLiteral("bmp-height-huge"), bmp, with([](BmpRecipe &s) { s.height = 100000; }));
    samples << bad(QStringLiteral("bmp-65535x65535"), bmp, with([](BmpRecipe &s) { s.width = s.height = 65535; }));
    samples << bad(QStringLiteral("bmp-top-down-height-huge"), bmp, with([](BmpRecipe &s) { s.height = -100000; }));
    samples << bad(QStringLiteral("bmp-pixel-offset-beyond-file"), bmp,
                   with([](BmpRecipe &s) { s.pixelOffset = 1u << 20; }));
    samples << bad(QStringLiteral("bmp-pixel-offset-inside-header"), bmp,
                   with([](BmpRecipe &s) { s.pixelOffset = 20; }));
    samples << bad(QStringLiteral("bmp-planes-0"), bmp, with([](BmpRecipe &s) { s.planes = 0; }));
    for (int bits : {0, 7, 64})
        samples << bad(QStringLiteral("bmp-bit-count-%1").arg(bits), bmp,
                       with([bits](BmpRecipe &s) { s.bitCount = bits; }));
    samples << bad(QStringLiteral("bmp-compression-jpeg"), bmp, with([](BmpRecipe &s) { s.compression = 4; }));
    samples << bad(QStringLiteral("bmp-compression-unknown"), bmp, with([](BmpRecipe &s) { s.compression = 77; }));
    samples << bad(QStringLiteral("bmp-header-size-unknown"), bmp, with([](BmpRecipe &s) { s.headerSize = 20; }));

    const QByteArray whole = buildBmp(recipe24());
    samples << bad(QStringLiteral("bmp-cut-inside-file-header"), bmp, whole.left(9));
    samples << bad(QStringLiteral("bmp-cut-inside-info-header"), bmp, whole.left(30));
    samples << bad(QStringLiteral("bmp-cut-inside-pixels"), bmp, whole.left(whole.size() - 5));

    auto indexed8 = [&](quint32 colorsUsed, const QByteArray &palette) {
        BmpRecipe recipe;
        recipe.bitCount = 8;
        recipe.colorsUsed = colorsUsed;
        recipe.palette = palette;
        recipe.pixelOffset = 14 + 40 + palette.size();
        recipe.pixels = indexedRows(4, 3, 8, bandOf);
        return recipe;
    };
    BmpRecipe palette = indexed8(256, bandPalette());
    samples << bad(QStringLiteral("bmp-palette-larger-than-file"), bmp, buildBmp(palette));
    palette = indexed8(0x7FFFFFFF, bandPalette());
    samples << bad(QStringLiteral("bmp-palette-count-huge"), bmp, buildBmp(palette));

    auto rle8 = [&](const QByteArray &stream, qint32 height = 3) {
        BmpRecipe recipe = indexed8(4, bandPalette());
        recipe.height = height;
        recipe.compression = 1;
        recipe.pixels = stream;
        return buildBmp(recipe);
    };
    const QByteArray eol("\0\0", 2), eob("\0\1", 2);
    samples << bad(QStringLiteral("bmp-rle8-run-overruns-row"), bmp, rle8(QByteArray("\xC8\x01", 2) + eol + eob));
    samples << bad(QStringLiteral("bmp-rle8-literal-overruns-row"), bmp,
                   rle8(QByteArray("\0\x06\1\1\1\1\1\1", 8) + eol + eob));
    samples << bad(QStringLiteral("bmp-rle8-rows-beyond-picture"), bmp,
                   rle8((QByteArray("\x04\x01", 2) + eol).repeated(5) + eob));
    samples << bad(QStringLiteral("bmp-rle8-move-beyond-picture"), bmp,
                   rle8(QByteArray("\0\x02\x10\x10\x01\x01", 6) + eob));
    samples << bad(QStringLiteral("bmp-rle8-without-end"), bmp, rle8(QByteArray("\x04\x01", 2) + eol));
    samples << bad(QStringLiteral("bmp-rle8-literal-past-file-end"), bmp, rle8(QByteArray("\0\x04\1", 3)));
    samples << bad(QStringLiteral("bmp-rle8-top-down"), bmp, rle8(rle8Rows(4, 3), -3));
    BmpRecipe rle4 = indexed8(4, bandPalette());
    rle4.bitCount = 4;
    rle4.compression = 2;
    rle4.pixels = QByteArray("\x09\x11", 2) + eol + eob;
    samples << bad(QStringLiteral("bmp-rle4-run-overruns-row"), bmp, buildBmp(rle4));
    rle4.pixels = QByteArray("\0\x07\x11\x11\x11\x10", 6) + eol + eob;
    samples << bad(QStringLiteral("bmp-rle4-literal-overruns-row"), bmp, buildBmp(rle4));
    return samples;
}

QByteArray pngOf(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

QByteArray buildBmp(const BmpRecipe &recipe)
{
    const quint32 tablesAt = 14 + recipe.headerSize + quint32(recipe.masks.size());
    const quint32 offset = recipe.pixelOffset.value_or(tablesAt + quint32(recipe.palette.size()));
    QByteArray info;
    put32(info, recipe.headerSize);
    if (recipe.headerSize == 12) {
        put16(info, quint16(recipe.width));
        put16(info, quint16(recipe.height));
        put16(info, recipe.planes);
        put16(info, recipe.bitCount);
    } else {
        put32(info, quint32(recipe.width));
        put32(info, quint32(recipe.height));
        put16(info, recipe.planes);
        put16(info, recipe.bitCount);
        put32(info, recipe.compression);
        put32(info, quint32(recipe.pixels.size()));
        put32(info, 2835);
        put32(info, 2835);
        put32(info, recipe.colorsUsed);
        put32(info, 0);
    }
    info = info.leftJustified(qMax<qsizetype>(info.size(), recipe.headerSize), '\0');

    QByteArray file("BM");
    const QByteArray body = info + recipe.masks + recipe.palette;
    put32(file, quint32(14 + body.size() + qMax<qsizetype>(0, offset - 14 - body.size()) + recipe.pixels.size()));
    put32(file, 0);
    put32(file, offset);
    file.append(body);
    if (offset > quint32(file.size()) && offset - file.size() < 4096)
        file.append(QByteArray(offset - file.size(), '\0'));
    return file.append(recipe.pixels);
}

QImage bandedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, BandColours[bandOf(y, height)]);
    }
    return image;
}

QByteArray jpegOf(const QImage &image, bool progressive)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(90);
    writer.setProgressiveScanWrite(progressive);
    writer.write(image);
    return bytes;
}

QByteArray bmp24Of(const QImage &image, bool topDown)
{
    BmpRecipe recipe;
    recipe.width = image.width();
    recipe.height = topDown ? -image.height() : image.height();
    for (int i = 0; i < image.height(); ++i) {
        const int y = topDown ? i : image.height() - 1 - i;
        QByteArray row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            row.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c)));
        }
        padRow(row);
        recipe.pixels.append(row);
    }
    return buildBmp(recipe);
}

QList<JpegSegment> jpegSegments(const QByteArray &jpeg)
{
    QList<JpegSegment> segments;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && uchar(jpeg[at]) == 0xFF) {
        const unsigned char code = uchar(jpeg[at + 1]);
        if (code == 0xD9)
            break;
        const qsizetype length = 2 + ((uchar(jpeg[at + 2]) << 8) | uchar(jpeg[at + 3]));
        segments.append({code, at, length});
        if (code == 0xDA)
            break; // the scan data follows
        at += length;
    }
    return segments;
}

QList<Sample> goodPictures()
{
    const QSize size(6, 4);
    const QImage image = bandedImage(size.width(), size.height());
    const QImage bigger = bandedImage(40, 32);
    const QString jpg = QStringLiteral(".jpg"), bmp = QStringLiteral(".bmp");
    auto recipe = [&](quint16 bits, quint32 compression) {
        BmpRecipe s;
        s.width = size.width();
        s.height = size.height();
        s.bitCount = bits;
        s.compression = compression;
        return s;
    };

    QList<Sample> samples;
    samples << good(QStringLiteral("jpeg-baseline"), jpg, jpegOf(bigger), bigger.size(), false);
    samples << good(QStringLiteral("jpeg-progressive"), jpg, jpegOf(bigger, true), bigger.size(), false);
    samples << good(QStringLiteral("jpeg-grey"), jpg, jpegOf(bigger.convertToFormat(QImage::Format_Grayscale8)),
                    bigger.size(), false);
    samples << good(QStringLiteral("jpeg-named-bmp"), bmp, jpegOf(bigger), bigger.size(), false);
    QImage unequal = bigger;
    unequal.setDotsPerMeterX(11811); // 300 dots an inch across, 200 down
    unequal.setDotsPerMeterY(7874);
    samples << good(QStringLiteral("jpeg-unequal-resolution"), jpg, jpegOf(unequal), bigger.size(), false);
    // Cut off at the very end, as cameras and downloads leave them: every scan is whole.
    samples << good(QStringLiteral("jpeg-without-end-marker"), jpg, jpegOf(bigger).chopped(2), bigger.size(), false);
    samples << good(QStringLiteral("jpeg-without-end-marker-but-padded"), jpg,
                    jpegOf(bigger).chopped(2) + QByteArray(64, '\0'), bigger.size(), false);
    samples << good(QStringLiteral("jpeg-cut-inside-end-marker"), jpg, jpegOf(bigger, true).chopped(1), bigger.size(),
                    false);
    samples << good(QStringLiteral("bmp-24-bottom-up"), bmp, bmp24Of(image), size);
    samples << good(QStringLiteral("bmp-24-top-down"), bmp, bmp24Of(image, true), size);
    samples << good(QStringLiteral("bmp-named-jpg"), jpg, bmp24Of(image), size);

    BmpRecipe s = recipe(32, 0);
    s.pixels = rows32(image);
    samples << good(QStringLiteral("bmp-32"), bmp, buildBmp(s), size);
    s = recipe(16, 3);
    s.masks = masks565();
    s.pixels = rows16(image);
    samples << good(QStringLiteral("bmp-16-bit-fields"), bmp, buildBmp(s), size, false); // five bits a channel
    s = recipe(32, 3);
    s.masks = masks888();
    s.pixels = rows32(image);
    for (const quint32 headerSize : {108u, 124u}) {
        const QString version = headerSize == 108 ? QStringLiteral("bmp-v4") : QStringLiteral("bmp-v5");
        samples << good(version, bmp, withWiderHeader(bmp24Of(image), headerSize), size);
        samples << good(version + QStringLiteral("-bit-fields"), bmp, withWiderHeader(buildBmp(s), headerSize), size);
    }
    s = recipe(8, 0);
    s.colorsUsed = 4;
    s.palette = bandPalette();
    s.pixels = indexedRows(size.width(), size.height(), 8, bandOf);
    samples << good(QStringLiteral("bmp-8-palette"), bmp, buildBmp(s), size);
    s.bitCount = 4;
    s.pixels = indexedRows(size.width(), size.height(), 4, bandOf);
    samples << good(QStringLiteral("bmp-4-palette"), bmp, buildBmp(s), size);
    s.bitCount = 8;
    s.compression = 1;
    s.pixels = rle8Rows(size.width(), size.height());
    samples << good(QStringLiteral("bmp-rle8"), bmp, buildBmp(s), size);
    s.bitCount = 4;
    s.compression = 2;
    s.pixels = rle4Rows(size.width(), size.height());
    samples << good(QStringLiteral("bmp-rle4"), bmp, buildBmp(s), size);
    return samples;
}

QList<Sample> badPictures()
{
    QList<Sample> samples = badJpegs() + badBmps();
    samples << bad(QStringLiteral("empty-file"), QStringLiteral(".jpg"), {});
    samples << bad(QStringLiteral("text-named-jpg"), QStringLiteral(".jpg"),
                   QByteArrayLiteral("这不是图片。This is not a picture.\n"));
    samples << bad(QStringLiteral("png-named-bmp"), QStringLiteral(".bmp"), pngOf(bandedImage(8, 8)));
    samples << bad(QStringLiteral("png-named-jpg"), QStringLiteral(".jpg"), pngOf(bandedImage(8, 8)));
    samples << bad(QStringLiteral("jpeg-start-marker-only"), QStringLiteral(".jpg"), QByteArray("\xFF\xD8\xFF\xD9", 4));
    samples << bad(QStringLiteral("bmp-magic-only"), QStringLiteral(".bmp"), QByteArrayLiteral("BM"));
    return samples;
}

} // namespace PictureCorpus
