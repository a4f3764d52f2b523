#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const QSet<int> IconSizes{16, 24, 32, 48};
constexpr int DirectoryHeaderSize = 6;
constexpr int DirectoryEntrySize = 16;
constexpr int InfoHeaderSize = 40;

QByteArray iconBytes()
{
    QFile file(QStringLiteral(":/kelvo.ico"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint32 littleEndian(const QByteArray &data, qsizetype at, int bytes)
{
    quint32 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | uchar(data.at(at + i));
    return value;
}

int rowBytes(int bitsPerRow)
{
    return ((bitsPerRow + 31) / 32) * 4;
}

QImage desktopIcon(int size)
{
    return QImage(QStringLiteral(KELVO_RESOURCES_DIR "/icons/hicolor/%1x%1/apps/kelvo.png").arg(size));
}

} // namespace

TEST(WindowIcon, DirectoryHoldsFourPaletteImagesWithMasks)
{
    const QByteArray data = iconBytes();
    ASSERT_GE(data.size(), DirectoryHeaderSize);
    EXPECT_EQ(littleEndian(data, 0, 2), 0u);
    EXPECT_EQ(littleEndian(data, 2, 2), 1u) << "not an icon";
    const int count = int(littleEndian(data, 4, 2));
    ASSERT_EQ(count, IconSizes.size());
    ASSERT_GE(data.size(), DirectoryHeaderSize + count * DirectoryEntrySize);

    QSet<int> seen;
    for (int i = 0; i < count; ++i) {
        const qsizetype entry = DirectoryHeaderSize + i * DirectoryEntrySize;
        const int side = int(littleEndian(data, entry, 1));
        SCOPED_TRACE(side);
        EXPECT_EQ(int(littleEndian(data, entry + 1, 1)), side) << "not square";
        EXPECT_EQ(littleEndian(data, entry + 2, 1), 0u) << "colour count of a 256-colour image is 0";
        EXPECT_EQ(littleEndian(data, entry + 4, 2), 1u) << "planes";
        EXPECT_EQ(littleEndian(data, entry + 6, 2), 8u) << "bits per pixel";
        seen.insert(side);

        const quint32 size = littleEndian(data, entry + 8, 4);
        const quint32 offset = littleEndian(data, entry + 12, 4);
        ASSERT_LE(quint64(offset) + size, quint64(data.size()));
        ASSERT_GE(size, quint32(InfoHeaderSize));

        EXPECT_EQ(littleEndian(data, offset, 4), quint32(InfoHeaderSize));
        EXPECT_EQ(littleEndian(data, offset + 4, 4), quint32(side));
        EXPECT_EQ(littleEndian(data, offset + 8, 4), quint32(2 * side)) << "colour plane and mask";
        EXPECT_EQ(littleEndian(data, offset + 14, 2), 8u);
        EXPECT_EQ(littleEndian(data, offset + 16, 4), 0u) << "compressed";
        const quint32 colours = littleEndian(data, offset + 32, 4);
        EXPECT_TRUE(colours == 0 || colours == 256) << colours;

        // The stored bytes must hold the palette, the colour plane and the 1-bit mask in full.
        const int paletteBytes = 4 * 256;
        const int expected = InfoHeaderSize + paletteBytes + (rowBytes(side * 8) + rowBytes(side)) * side;
        EXPECT_EQ(size, quint32(expected));
    }
    EXPECT_EQ(seen, IconSizes);
}

// Qt's reader applies the mask: corners clear, the mark opaque and like the desktop icon of the same size.
TEST(WindowIcon, DecodesLikeTheDesktopIcons)
{
    QImageReader reader(QStringLiteral(":/kelvo.ico"));
    ASSERT_EQ(reader.imageCount(), IconSizes.size());
    for (int i = 0; i < reader.imageCount(); ++i) {
        ASSERT_TRUE(reader.jumpToImage(i));
        const QImage ico = reader.read().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(ico.isNull()) << reader.errorString().toStdString();
        const int side = ico.width();
        SCOPED_TRACE(side);
        const QImage png = desktopIcon(side).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(png.size(), ico.size());

        EXPECT_EQ(qAlpha(ico.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(ico.pixel(side - 1, side - 1)), 0);
        int opaque = 0;
        for (int y = 0; y < side; ++y) {
            for (int x = 0; x < side; ++x) {
                const QRgb want = png.pixel(x, y);
                const QRgb got = ico.pixel(x, y);
                if (qAlpha(want) >= 250) {
                    ++opaque;
                    ASSERT_EQ(qAlpha(got), 255) << x << "," << y;
                    ASSERT_LE(std::abs(qGray(got) - qGray(want)), 2) << x << "," << y;
                } else if (qAlpha(want) <= 5) {
                    ASSERT_EQ(qAlpha(got), 0) << x << "," << y;
                }
            }
        }
        EXPECT_GT(opaque, side * side / 5) << "the mark is missing";
    }
}

TEST(DesktopIcons, EverySizeIsThereWithTransparency)
{
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(side);
        const QImage icon = desktopIcon(side);
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.size(), QSize(side, side));
        EXPECT_TRUE(icon.hasAlphaChannel());
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
    }
}
