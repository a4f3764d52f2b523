// The row functions and the decolorize of a surface against the plain per-pixel grey rule.

#include "pixels/grey/Decolorize.h"
#include "pixels/files/PictureEncoding.h"
#include "pixels/grey/DecolorizeRows.h"
#include "pixels/grey/DeepGrey.h"
#include "tests/pixels/grey/GreyRule.h"
#include "tests/support/Gdi.h"

#include <QBuffer>
#include <QImage>
#include <QRandomGenerator>
#include <QRgba64>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int AllColours = 1 << 24;

// Every surface pixel of a colour value, in its surface form (0xffRRGGBB).
quint32 surfacePixel(qint32 colour)
{
    return rgb32FromColorValue(colour);
}

QImage randomSurface(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = 0xFF000000u | (random.generate() & 0xFFFFFF);
    }
    return image;
}

// Inside width × height every pixel is the rule's grey of the original; outside it nothing changed.
void expectWalked(const QImage &before, QImage &after, int width, int height)
{
    ASSERT_EQ(before.size(), after.size());
    Surface beforeDc(const_cast<QImage *>(&before));
    Surface afterDc(&after);
    for (int y = 0; y < before.height(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            const COLORREF old = GetPixel(&beforeDc, x, y);
            const COLORREF expected = x < width && y < height ? greyColorValue(old) : old;
            ASSERT_EQ(GetPixel(&afterDc, x, y), expected)
                << "pixel " << x << "," << y << " of " << before.width() << "x" << before.height();
            ASSERT_EQ(after.pixel(x, y) >> 24, 0xFFu) << "a surface pixel stays opaque";
        }
    }
}

// Every version of the row functions this machine can run, each held to the plain rule: only one is in use, and the
// others would otherwise go unchecked here.
class EveryDecolorizeRowsVersion : public ::testing::TestWithParam<DecolorizeRowVersion>
{};

std::string versionName(const ::testing::TestParamInfo<DecolorizeRowVersion> &info)
{
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(DecolorizeRows, EveryDecolorizeRowsVersion, ::testing::ValuesIn(decolorizeRowVersions()),
                         versionName);

TEST(DecolorizeRows, TheVersionInUseIsTheWidestListed)
{
    const std::vector<DecolorizeRowVersion> versions = decolorizeRowVersions();
    ASSERT_FALSE(versions.empty());
    EXPECT_STREQ(versions.back().name, "plain");
    const QImage row = randomSurface(333, 1, 5);
    std::vector<quint32> viaEntry(333), viaVersion(333);
    const auto *pixels = reinterpret_cast<const quint32 *>(row.constScanLine(0));
    decolorizeRow(pixels, viaEntry.data(), 333);
    versions.front().decolorizeRow(pixels, viaVersion.data(), 333);
    EXPECT_EQ(viaEntry, viaVersion);
}

TEST_P(EveryDecolorizeRowsVersion, EveryColourGetsThePlainRulesGrey)
{
    const DecolorizeRowVersion version = GetParam();
    std::vector<quint32> from(AllColours);
    for (qint32 colour = 0; colour < AllColours; ++colour)
        from[size_t(colour)] = surfacePixel(colour);

    // Into rows of their own, in chunks whose lengths are no multiple of any vector width, so the tails are
    // exercised too; the long ones take the streaming path.
    std::vector<quint32> to(AllColours);
    for (const qsizetype chunk : {qsizetype(1021), qsizetype(70001)}) {
        std::fill(to.begin(), to.end(), 0u);
        for (qsizetype at = 0; at < AllColours; at += chunk)
            version.decolorizeRow(from.data() + at, to.data() + at, qMin(chunk, AllColours - at));
        for (qint32 colour = 0; colour < AllColours; ++colour) {
            const quint32 pixel = to[size_t(colour)];
            ASSERT_EQ(colorValueFromRgb32(pixel), greyColorValue(colour)) << "colour 0x" << std::hex << colour;
            ASSERT_EQ(pixel >> 24, 0xFFu);
            ASSERT_EQ(greyPixel(from[size_t(colour)]), pixel);
        }
    }

    // In place, as the walk runs it on the surface.
    version.decolorizeRow(from.data(), from.data(), AllColours);
    EXPECT_EQ(from, to);
}

TEST_P(EveryDecolorizeRowsVersion, AnyLengthAndAlignmentWritesExactlyItsRow)
{
    // Rows of every short length and of long ones around the vector and streaming sizes, written at every
    // alignment within a cache line: the guard pixels on either side stay as they were.
    const DecolorizeRowVersion version = GetParam();
    constexpr quint32 Guard = 0x12345678u;
    std::vector<qsizetype> lengths;
    for (qsizetype n = 0; n <= 70; ++n)
        lengths.push_back(n);
    for (qsizetype n : {127, 128, 129, 1023, 1024, 1025, 1087, 4095, 4096, 4097, 4111, 5000})
        lengths.push_back(n);
    const QImage source = randomSurface(5000 + 16, 1, 77);
    const auto *pixels = reinterpret_cast<const quint32 *>(source.constScanLine(0));
    alignas(64) static quint32 buffer[5000 + 64];
    for (const qsizetype length : lengths) {
        for (int offset = 0; offset < 16; ++offset) {
            std::fill(std::begin(buffer), std::end(buffer), Guard);
            quint32 *to = buffer + 16 + offset;
            version.decolorizeRow(pixels + offset, to, length);
            for (qsizetype i = 0; i < length; ++i)
                ASSERT_EQ(to[i], greyPixel(pixels[offset + i])) << length << "/" << offset << " at " << i;
            for (quint32 *p = buffer; p < to; ++p)
                ASSERT_EQ(*p, Guard) << "written before the row: " << length << "/" << offset;
            for (quint32 *p = to + length; p < std::end(buffer); ++p)
                ASSERT_EQ(*p, Guard) << "written after the row: " << length << "/" << offset;

            // And in place.
            std::copy(pixels + offset, pixels + offset + length, to);
            version.decolorizeRow(to, to, length);
            for (qsizetype i = 0; i < length; ++i)
                ASSERT_EQ(to[i], greyPixel(pixels[offset + i])) << "in place " << length << "/" << offset;
            ASSERT_EQ(to[length], Guard);
        }
    }
}

TEST_P(EveryDecolorizeRowsVersion, GreyRowsAreToldFromColouredOnesAtEveryPosition)
{
    const DecolorizeRowVersion version = GetParam();
    for (int width : {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 130}) {
        std::vector<quint32> row(static_cast<size_t>(width));
        for (int x = 0; x < width; ++x)
            row[size_t(x)] = surfacePixel(greyColorValue(x * 0x030507));
        EXPECT_TRUE(version.isGreyRow(row.data(), width)) << width;
        // A pixel beyond the row's end does not count.
        std::vector<quint32> longer = row;
        longer.push_back(surfacePixel(0x0000FF));
        EXPECT_TRUE(version.isGreyRow(longer.data(), width)) << width;
        for (int x = 0; x < width; ++x) {
            for (quint32 change : {0x010000u, 0x000100u, 0x000001u, 0x010100u, 0x000101u}) {
                std::vector<quint32> coloured = row;
                coloured[size_t(x)] ^= change;
                EXPECT_FALSE(version.isGreyRow(coloured.data(), width)) << "width " << width << " at " << x;
            }
        }
    }
    EXPECT_TRUE(version.isGreyRow(nullptr, 0));
}

TEST(DecolorizeSurface, EveryColourOfAWholeSurfaceInPlace)
{
    QImage surface(4096, AllColours / 4096, QImage::Format_RGB32);
    for (int y = 0; y < surface.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(surface.scanLine(y));
        for (int x = 0; x < 4096; ++x)
            row[x] = surfacePixel(y * 4096 + x);
    }
    const uchar *pixelsBefore = surface.constBits();
    Surface dc(&surface);
    ASSERT_TRUE(decolorizeArea(dc, surface.width(), surface.height()));
    EXPECT_EQ(surface.constBits(), pixelsBefore) << "an unshared surface is walked in place";
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < 4096; ++x)
            ASSERT_EQ(GetPixel(&dc, x, y), greyColorValue(y * 4096 + x));
}

TEST(DecolorizeSurface, AwkwardSizesInPlaceAndFromASharedSurface)
{
    const QSize sizes[] = {{1, 1},  {1, 37}, {37, 1}, {3, 5},  {7, 4},   {9, 3},   {15, 2}, {17, 6},
                           {31, 3}, {33, 5}, {63, 2}, {65, 3}, {127, 2}, {129, 2}, {0, 9},  {9, 0}};
    quint32 seed = 1;
    for (const QSize size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        const QImage original = randomSurface(size.width(), size.height(), seed++);

        QImage inPlace = original.copy();
        Surface inPlaceDc(&inPlace);
        ASSERT_TRUE(decolorizeArea(inPlaceDc, size.width(), size.height()));
        expectWalked(original, inPlace, size.width(), size.height());

        // The surface still shares its pixels with an earlier picture: that picture keeps its colours.
        const QImage earlierPicture = original.copy();
        QImage shared = earlierPicture;
        Surface sharedDc(&shared);
        ASSERT_TRUE(decolorizeArea(sharedDc, size.width(), size.height()));
        expectWalked(original, shared, size.width(), size.height());
        EXPECT_EQ(earlierPicture, original);
    }
}

TEST(DecolorizeSurface, OnlyTheGivenAreaIsWalked)
{
    const QImage original = randomSurface(23, 11, 99);
    for (const QSize area : {QSize(10, 4), QSize(1, 11), QSize(23, 1), QSize(0, 5), QSize(5, 0), QSize(-3, 4)}) {
        SCOPED_TRACE(testing::Message() << area.width() << "x" << area.height());
        QImage inPlace = original.copy();
        Surface inPlaceDc(&inPlace);
        ASSERT_TRUE(decolorizeArea(inPlaceDc, area.width(), area.height()));
        expectWalked(original, inPlace, area.width(), area.height());

        const QImage earlierPicture = original.copy();
        QImage shared = earlierPicture;
        Surface sharedDc(&shared);
        ASSERT_TRUE(decolorizeArea(sharedDc, area.width(), area.height()));
        expectWalked(original, shared, area.width(), area.height());
        EXPECT_EQ(earlierPicture, original);
    }

    // An area beyond the surface stops at its edges.
    QImage surface = original.copy();
    Surface dc(&surface);
    ASSERT_TRUE(decolorizeArea(dc, 1000, 1000));
    expectWalked(original, surface, original.width(), original.height());
}

TEST(DecolorizeSurface, GreyRowsAboveAColouredOneAreKeptAndASecondWalkChangesNothing)
{
    // Leading grey rows are skipped; the coloured row below them must still be walked, and the rows kept
    // must reach a fresh buffer unchanged.
    QImage original = randomSurface(19, 8, 7);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 19; ++x)
            original.setPixel(x, y, surfacePixel(greyColorValue(colorValueFromRgb32(original.pixel(x, y)))));
    for (bool sharedSurface : {false, true}) {
        SCOPED_TRACE(sharedSurface ? "shared" : "in place");
        const QImage earlierPicture = original.copy();
        QImage surface = sharedSurface ? earlierPicture : earlierPicture.copy();
        Surface dc(&surface);
        ASSERT_TRUE(decolorizeArea(dc, 19, 8));
        expectWalked(original, surface, 19, 8);
        EXPECT_EQ(earlierPicture, original);

        const QImage once = surface.copy();
        const QImage stillShared = surface;
        ASSERT_TRUE(decolorizeArea(dc, 19, 8));
        EXPECT_EQ(surface, once);
        EXPECT_EQ(stillShared, once);
    }
}

// A 16-bit picture keeps its depth: each grey sample is the rule on the 16-bit samples, alpha aside, and a grey
// PNG holds exactly those samples.
TEST(DecolorizeSurface, SixteenBitSamplesKeepTheirDepthThroughThePng)
{
    QImage colour(23, 7, QImage::Format_RGBA64);
    QRandomGenerator random(16);
    for (int y = 0; y < colour.height(); ++y) {
        auto *row = reinterpret_cast<QRgba64 *>(colour.scanLine(y));
        for (int x = 0; x < colour.width(); ++x)
            row[x] = QRgba64::fromRgba64(quint16(random.generate()), quint16(random.generate()),
                                         quint16(random.generate()), quint16(random.generate()));
    }
    colour.setPixelColor(0, 0, QColor::fromRgba64(65535, 65535, 65535));
    const PictureResult<QImage> grey = greyPicture16(colour);
    ASSERT_TRUE(grey);
    ASSERT_EQ(grey.value().format(), QImage::Format_Grayscale16);
    for (int y = 0; y < colour.height(); ++y) {
        const auto *from = reinterpret_cast<const QRgba64 *>(colour.constScanLine(y));
        const auto *to = reinterpret_cast<const quint16 *>(grey.value().constScanLine(y));
        for (int x = 0; x < colour.width(); ++x) {
            const quint64 expected =
                (9798 * quint64(from[x].red()) + 19235 * quint64(from[x].green()) + 3735 * quint64(from[x].blue()))
                >> 15;
            ASSERT_EQ(to[x], expected) << x << "," << y;
        }
    }
    EXPECT_EQ(reinterpret_cast<const quint16 *>(grey.value().constScanLine(0))[0], 65535);

    QByteArray png;
    QBuffer device(&png);
    ASSERT_TRUE(device.open(QIODevice::WriteOnly));
    const PictureResult<bool> written = encodePicture(device, grey.value(), PictureFormat::Png, EncodingSettings());
    ASSERT_TRUE(written && written.value());
    EXPECT_EQ(QImage::fromData(png, "png"), grey.value());
}

} // namespace
