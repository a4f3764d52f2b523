// The save command's bitmap and JPEG writers and the preview of a large picture, held to what Qt itself
// gives: the fast paths must not change a byte of the files or the look of the preview.

#include "controls/ImageControl.h"
#include "controls/PictureFiles.h"

#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QImage pattern(QSize size, bool grey = false)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const quint32 value = (quint32(x) * 131 + quint32(y) * 977) * 2654435761u >> 8;
            image.setPixel(x, y, 0xFF000000u | (grey ? (value & 0xFF) * 0x010101u : value));
        }
    }
    return image;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The number of components in a JPEG's frame header.
int jpegComponents(const QByteArray &bytes)
{
    for (qsizetype at = 2; at + 9 < bytes.size();) {
        const auto marker = quint8(bytes[at + 1]);
        if (marker >= 0xC0 && marker <= 0xC2)
            return quint8(bytes[at + 9]);
        at += 2 + (quint8(bytes[at + 2]) << 8 | quint8(bytes[at + 3]));
    }
    return 0;
}

} // namespace

TEST(SaveLarge, BitmapsAreByteForByteWhatQtWrites)
{
    QTemporaryDir folder;
    // Every row padding; rows of more than the megabyte written at a time; several megabytes in all.
    for (const QSize size :
         {QSize(1, 1), QSize(2, 3), QSize(3, 2), QSize(4, 4), QSize(1021, 7), QSize(350000, 3), QSize(1500, 1200)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        QImage image = pattern(size);
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(3779);
        const QString ours = folder.filePath(QStringLiteral("ours.bmp"));
        const QString qt = folder.filePath(QStringLiteral("qt.bmp"));
        SavePicture(StdPicture(image), ours);
        ASSERT_TRUE(QImageWriter(qt, "bmp").write(image));
        EXPECT_EQ(contents(ours), contents(qt));
    }
}

TEST(SaveLarge, AGreyPictureIsAOneComponentJpegAndAColourOneThreeComponents)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("p.jpg"));
    SavePicture(StdPicture(pattern(QSize(3000, 1100), true)), path);
    EXPECT_EQ(jpegComponents(contents(path)), 1);
    EXPECT_TRUE(QImage(path).allGray());

    // Colour anywhere, even in the last pixel, keeps all three.
    QImage almostGrey = pattern(QSize(3000, 1100), true);
    almostGrey.setPixel(2999, 1099, 0xFF102030u);
    SavePicture(StdPicture(almostGrey), path);
    EXPECT_EQ(jpegComponents(contents(path)), 3);
}

TEST(PreviewOfALargePicture, AveragesSamplesOfEachPreviewPixelsArea)
{
    const QSize target(417, 369);
    // Uniform stays exactly uniform.
    QImage uniform(4000, 3000, QImage::Format_RGB32);
    uniform.fill(0xFF4080C0u);
    const QImage shown = ImageControl::scaledForPreview(uniform, target);
    ASSERT_EQ(shown.size(), target);
    ASSERT_EQ(shown.format(), QImage::Format_RGB32);
    for (int y = 0; y < target.height(); ++y)
        for (int x = 0; x < target.width(); ++x)
            ASSERT_EQ(shown.pixel(x, y), 0xFF4080C0u);

    // Where black meets white inside a preview pixel's area, the preview pixel is grey: its samples are
    // averaged, not one of them taken. Preview column 208 covers columns 1995 to 2004 of the picture.
    QImage halves(4000, 3000, QImage::Format_RGB32);
    halves.fill(0xFF000000u);
    for (int y = 0; y < halves.height(); ++y)
        std::fill_n(reinterpret_cast<quint32 *>(halves.scanLine(y)) + 2000, 2000, 0xFFFFFFFFu);
    const QImage edge = ImageControl::scaledForPreview(halves, target);
    for (int y = 0; y < target.height(); ++y) {
        ASSERT_EQ(edge.pixel(0, y), 0xFF000000u);
        ASSERT_NEAR(qRed(edge.pixel(208, y)), 128, 1) << y;
        ASSERT_EQ(edge.pixel(416, y), 0xFFFFFFFFu);
    }

    // A smooth picture looks as Qt's smooth scaling shows it, within a step or two of each channel.
    const QImage photo = pattern(QSize(4000, 3000))
                             .scaled(40, 30, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .scaled(4000, 3000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage ours = ImageControl::scaledForPreview(photo, target);
    const QImage qt = photo.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double error = 0;
    for (int y = 0; y < target.height(); ++y)
        for (int x = 0; x < target.width(); ++x)
            error += qAbs(qGreen(ours.pixel(x, y)) - qGreen(qt.pixel(x, y)));
    EXPECT_LT(error / (target.width() * target.height()), 2.0);
}
