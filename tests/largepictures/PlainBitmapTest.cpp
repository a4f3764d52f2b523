// The bitmap reader of the open command's fast path against Qt's own reader, and what it leaves to Qt.

#include "controls/PlainBitmap.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

QImage pattern(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, 0xFF000000u | ((quint32(x) * 131 + quint32(y) * 977) * 2654435761u >> 8));
    return image;
}

QByteArray written(const QImage &image, const char *format = "bmp")
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

QImage qtRead(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).read().convertToFormat(QImage::Format_RGB32);
}

// The same bitmap stored from the top row down: the height negated, the rows in the other order.
QByteArray topDown(const QByteArray &bottomUp, QSize size)
{
    const int rowBytes = (size.width() * 3 + 3) / 4 * 4;
    QByteArray bytes = bottomUp.left(54);
    for (int row = size.height() - 1; row >= 0; --row)
        bytes += bottomUp.mid(54 + row * rowBytes, rowBytes);
    qToLittleEndian<qint32>(-size.height(), bytes.data() + 22);
    return bytes;
}

// A bitmap of 32 bits a pixel, which Qt's writer never makes.
QByteArray bitmap32(const QImage &image)
{
    QByteArray bytes = written(image).left(54); // the headers of the same picture at 24 bits
    qToLittleEndian<quint16>(32, bytes.data() + 28);
    for (int y = image.height() - 1; y >= 0; --y)
        bytes.append(reinterpret_cast<const char *>(image.constScanLine(y)), image.width() * 4);
    qToLittleEndian<quint32>(quint32(bytes.size() - 54), bytes.data() + 34);
    qToLittleEndian<quint32>(quint32(bytes.size()), bytes.data() + 2);
    return bytes;
}

// What the open command's bitmap reader makes of the bytes: null where it leaves them to Qt.
QImage decodePlainBitmap(QByteArray bytes)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const std::optional<PlainBitmap> bitmap = PlainBitmap::find(buffer);
    return bitmap ? bitmap->read(buffer) : QImage();
}

void expectSameAsQt(const QByteArray &bytes)
{
    const QImage ours = decodePlainBitmap(bytes);
    const QImage qt = qtRead(bytes);
    ASSERT_FALSE(ours.isNull());
    ASSERT_EQ(ours.format(), QImage::Format_RGB32);
    EXPECT_EQ(ours, qt);
    EXPECT_EQ(ours.dotsPerMeterX(), qt.dotsPerMeterX());
    EXPECT_EQ(ours.dotsPerMeterY(), qt.dotsPerMeterY());
}

} // namespace

TEST(PlainBitmap, ReadsEveryRowPaddingBothRowOrdersAndTheResolutionAsQtDoes)
{
    // Widths 1 to 8 give every row padding; 1021 and 4099 run the four-pixel steps and the plain tail.
    for (const QSize size : {QSize(1, 1), QSize(2, 3), QSize(3, 2), QSize(4, 5), QSize(5, 1), QSize(6, 4),
                             QSize(7, 3), QSize(8, 2), QSize(1021, 7), QSize(4099, 3)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        QImage image = pattern(size);
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(3779);
        const QByteArray bottomUp = written(image);
        expectSameAsQt(bottomUp);
        expectSameAsQt(topDown(bottomUp, size));
        EXPECT_EQ(decodePlainBitmap(bottomUp), image);
    }
}

TEST(PlainBitmap, LeavesEveryOtherKindOfBitmapToQt)
{
    const QImage image = pattern(QSize(9, 5));
    ASSERT_EQ(qtRead(bitmap32(image)), image);
    EXPECT_TRUE(decodePlainBitmap(bitmap32(image)).isNull()) << "32 bits a pixel";
    const QByteArray indexed = written(image.convertToFormat(QImage::Format_Indexed8));
    EXPECT_TRUE(decodePlainBitmap(indexed).isNull()) << "a palette";

    QByteArray largerHeader = written(image);
    qToLittleEndian<quint32>(108, largerHeader.data() + 14); // a V4 header: colour spaces and masks follow
    largerHeader.insert(54, QByteArray(68, '\0'));
    qToLittleEndian<quint32>(54 + 68, largerHeader.data() + 10);
    ASSERT_EQ(qtRead(largerHeader), image);
    EXPECT_TRUE(decodePlainBitmap(largerHeader).isNull());

    EXPECT_TRUE(decodePlainBitmap(written(image, "png")).isNull());
    EXPECT_TRUE(decodePlainBitmap(QByteArray()).isNull());
}

TEST(PlainBitmap, RefusesRowsThatTheFileDoesNotHold)
{
    QByteArray whole = written(pattern(QSize(10, 10)));
    EXPECT_FALSE(decodePlainBitmap(whole).isNull());
    EXPECT_TRUE(decodePlainBitmap(whole.chopped(1)).isNull());
    QByteArray taller = whole;
    qToLittleEndian<qint32>(11, taller.data() + 22);
    EXPECT_TRUE(decodePlainBitmap(taller).isNull());

    // A file that shrinks between its headers and its rows gives no picture rather than a partial one.
    QBuffer buffer(&whole);
    buffer.open(QIODevice::ReadOnly);
    const std::optional<PlainBitmap> bitmap = PlainBitmap::find(buffer);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->size(), QSize(10, 10));
    whole.chop(40);
    EXPECT_TRUE(bitmap->read(buffer).isNull());
}
