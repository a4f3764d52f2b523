// Bitmaps larger than Qt's reader takes are read a band of rows at a time. Small bands on small pictures of
// every uncompressed kind must give exactly the picture Qt decodes whole.

#include "pixels/bitmap/BitmapBands.h"
#include "tests/hostile/PictureCorpus.h"

#include <QBuffer>
#include <QImageReader>

#include <gtest/gtest.h>

namespace {

using PictureCorpus::BmpRecipe;

bool readInBands(QByteArray bytes, const BmpLayout &layout, QImage &surface, qint64 bandPixels)
{
    const QByteArray head = bytes.left(BmpHeadBytes);
    QBuffer file(&bytes);
    file.open(QIODevice::ReadOnly);
    return readBitmapInBands(file, head, layout, surface, bandPixels);
}

QImage decodedWhole(const QByteArray &bytes)
{
    QImage image = QImage::fromData(bytes, "BMP");
    image.convertTo(QImage::Format_RGB32);
    return image;
}

// Every uncompressed bitmap of the corpus, and the two old kinds it lacks: the 12-byte header and one bit a
// pixel.
QList<PictureCorpus::Sample> uncompressedBitmaps()
{
    QList<PictureCorpus::Sample> samples;
    for (const PictureCorpus::Sample &sample : PictureCorpus::goodPictures()) {
        const std::optional<BmpLayout> layout = readBmpLayout(sample.bytes);
        if (layout && !layout->runLength())
            samples << sample;
    }
    QByteArray core = PictureCorpus::bmp24Of(PictureCorpus::bandedImage(5, 7));
    core.remove(14 + 12, 40 - 12);
    core[10] = char(14 + 12);
    core[14] = char(12);
    core[18] = char(5), core[19] = 0, core[20] = char(7), core[21] = 0, core[22] = char(1), core[23] = 0;
    core[24] = char(24), core[25] = 0;
    samples << PictureCorpus::Sample{QStringLiteral("bmp-core-header"), QStringLiteral(".bmp"), core, QSize(5, 7)};

    BmpRecipe mono;
    mono.width = 13;
    mono.height = 5;
    mono.bitCount = 1;
    mono.colorsUsed = 2;
    mono.palette = QByteArray("\x10\x20\x30\0\xF0\xE0\xD0\0", 8);
    for (int row = 0; row < mono.height; ++row)
        mono.pixels += QByteArray(1, char(0xA5 >> row)) + QByteArray(1, char(0x3C << row)) + QByteArray(2, '\0');
    samples << PictureCorpus::Sample{QStringLiteral("bmp-1-palette"), QStringLiteral(".bmp"),
                                     PictureCorpus::buildBmp(mono), QSize(13, 5)};
    return samples;
}

TEST(BitmapBands, EveryUncompressedKindReadsInBandsAsQtReadsItWhole)
{
    const QList<PictureCorpus::Sample> samples = uncompressedBitmaps();
    ASSERT_GE(samples.size(), 8);
    for (const PictureCorpus::Sample &sample : samples) {
        const QImage expected = decodedWhole(sample.bytes);
        ASSERT_FALSE(expected.isNull()) << qPrintable(sample.name);
        const BmpLayout layout = *readBmpLayout(sample.bytes);
        for (int bandRows : {1, 2, 3, layout.size.height()}) {
            QImage surface(layout.size, QImage::Format_RGB32);
            surface.fill(Qt::magenta);
            const uchar *const pixels = surface.constBits();
            ASSERT_TRUE(readInBands(sample.bytes, layout, surface, qint64(bandRows) * layout.size.width()))
                << qPrintable(sample.name) << ", bands of " << bandRows;
            EXPECT_EQ(surface, expected) << qPrintable(sample.name) << ", bands of " << bandRows;
            EXPECT_EQ(surface.constBits(), pixels) << "the surface stays where it was";
        }
    }
}

TEST(BitmapBands, WhatCannotBeCutIntoBandsIsRefused)
{
    const QImage image = PictureCorpus::bandedImage(6, 4);
    for (const PictureCorpus::Sample &sample : PictureCorpus::goodPictures()) {
        const std::optional<BmpLayout> layout = readBmpLayout(sample.bytes);
        if (!layout || !layout->runLength())
            continue;
        QImage surface(layout->size, QImage::Format_RGB32);
        EXPECT_FALSE(readInBands(sample.bytes, *layout, surface, 12)) << qPrintable(sample.name);
    }

    const QByteArray bytes = PictureCorpus::bmp24Of(image);
    const BmpLayout layout = *readBmpLayout(bytes);
    QImage surface(layout.size, QImage::Format_RGB32);
    EXPECT_FALSE(readInBands(bytes, layout, surface, 5)) << "a row wider than a band";
    QImage wrongSize(7, 4, QImage::Format_RGB32);
    EXPECT_FALSE(readInBands(bytes, layout, wrongSize, 12));
    EXPECT_FALSE(readInBands(bytes.chopped(8), layout, surface, 12)) << "a file that shrank after its check";
}

// Bands are cut only where Qt's own reader gives up; its limit is checked from the headers alone.
TEST(BitmapBands, QtsReaderTakesPicturesUpToTheLimitAndNoLarger)
{
    auto headersOnly = [](qint32 width, qint32 height) {
        BmpRecipe recipe;
        recipe.width = width;
        recipe.height = height;
        recipe.bitCount = 1;
        recipe.colorsUsed = 2;
        recipe.palette = QByteArray(8, '\0');
        recipe.pixels = QByteArray(16, '\0');
        return PictureCorpus::buildBmp(recipe);
    };
    auto qtTakes = [](QByteArray bytes) {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        return QImageReader(&buffer, "bmp").size().isValid();
    };
    EXPECT_TRUE(qtTakes(headersOnly(16384, 16384)));
    EXPECT_TRUE(qtTakes(headersOnly(int(QtBitmapPixelLimit / 8), 8)));
    EXPECT_FALSE(qtTakes(headersOnly(16385, 16384)));
    EXPECT_FALSE(qtTakes(headersOnly(16384, -16385)));
    EXPECT_FALSE(qtTakes(headersOnly(int(QtBitmapPixelLimit / 8) + 1, 8)));
}

} // namespace
