#include "controls/PictureBox.h"
#include "controls/ImageControl.h"
#include "controls/StdPicture.h"
#include "tests/support/Gdi.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <climits>

namespace {

// Every pixel tells where it lies: red is x, green is y, blue is 0x80.
QImage coordinateImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, 0x80));
    return image;
}

QImage filledImage(int width, int height, QRgb rgb)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(rgb);
    return image;
}

// The colour value of a surface pixel: red in the low byte.
COLORREF colorValue(int red, int green, int blue)
{
    return red | green << 8 | blue << 16;
}

// The work picture box as the program sets it up: it sizes itself to its picture.
class PictureBoxTest : public ::testing::Test
{
protected:
    PictureBoxTest() { box.setAutoSize(true); }

    PictureBox box;
};

TEST_F(PictureBoxTest, InnerAreaTakesEachPicturesSize)
{
    EXPECT_EQ(box.Picture().Handle(), 0);

    box.setPicture(StdPicture(coordinateImage(40, 30)));
    box.setScaleMode(PictureBox::vbPixels);
    EXPECT_EQ(box.ScaleWidth(), 40.0f);
    EXPECT_EQ(box.ScaleHeight(), 30.0f);
    EXPECT_EQ(box.size(), QSize(40 + 2 * PictureBox::BorderWidth, 30 + 2 * PictureBox::BorderWidth));

    // A smaller picture shrinks the box again, a taller one grows it.
    box.setPicture(StdPicture(coordinateImage(7, 90)));
    EXPECT_EQ(box.ScaleWidth(), 7.0f);
    EXPECT_EQ(box.ScaleHeight(), 90.0f);
    const HDC hdc = box.hDC();
    EXPECT_EQ(hdc->width(), 7);
    EXPECT_EQ(hdc->height(), 90);
}

TEST_F(PictureBoxTest, TwipsByDefaultPixelsWithScaleModeThree)
{
    box.setPicture(StdPicture(coordinateImage(40, 30)));
    EXPECT_EQ(box.ScaleMode(), PictureBox::vbTwips);
    EXPECT_EQ(box.ScaleWidth(), 600.0f);
    EXPECT_EQ(box.ScaleHeight(), 450.0f);

    // Drawing positions count in the same unit: 150 twips right, 300 down is pixel (10, 20).
    const StdPicture red(filledImage(2, 2, qRgb(255, 0, 0)));
    box.PaintPicture(red, 150, 300);
    EXPECT_EQ(GetPixel(box.hDC(), 10, 20), colorValue(255, 0, 0));
    EXPECT_EQ(GetPixel(box.hDC(), 9, 19), colorValue(9, 19, 0x80));
    EXPECT_EQ(GetPixel(box.hDC(), 12, 22), colorValue(12, 22, 0x80));

    box.setScaleMode(PictureBox::vbPixels);
    EXPECT_EQ(box.ScaleWidth(), 40.0f);
    EXPECT_EQ(box.ScaleHeight(), 30.0f);
    const StdPicture blue(filledImage(2, 2, qRgb(0, 0, 255)));
    box.PaintPicture(blue, 30, 5);
    EXPECT_EQ(GetPixel(box.hDC(), 31, 6), colorValue(0, 0, 255));
}

TEST_F(PictureBoxTest, PixelsReadAndWrittenWithRedInTheLowByte)
{
    QImage image = coordinateImage(4, 3);
    image.setPixel(1, 2, qRgb(0x12, 0x34, 0x56));
    box.setPicture(StdPicture(image));
    box.setScaleMode(PictureBox::vbPixels);
    const HDC hdc = box.hDC();

    EXPECT_EQ(GetPixel(hdc, 1, 2), 0x563412);
    EXPECT_EQ(GetPixel(hdc, 3, 0), colorValue(3, 0, 0x80));

    SetPixelV(hdc, 0, 0, 0x0000FF);
    SetPixelV(hdc, 3, 2, 0xFF0000);
    EXPECT_EQ(box.surface().pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(box.surface().pixel(3, 2), qRgb(0, 0, 255));
    EXPECT_EQ(GetPixel(hdc, 0, 0), 0x0000FF);
    // Whatever the surface holds, a read gives bits 24-31 clear.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(quint32(GetPixel(hdc, x, y)) >> 24, 0u);
}

TEST_F(PictureBoxTest, OutsideTheSurfaceReadsInvalidAndWritesNothing)
{
    const StdPicture picture(coordinateImage(5, 4));
    box.setPicture(picture);
    box.setScaleMode(PictureBox::vbPixels);
    const HDC hdc = box.hDC();

    const QPoint outside[] = {{-1, 0}, {0, -1}, {5, 0}, {0, 4}, {5, 4}, {-1, -1}, {INT_MAX, 0}, {0, INT_MIN}};
    for (const QPoint &p : outside) {
        EXPECT_EQ(GetPixel(hdc, p.x(), p.y()), -1) << p.x() << "," << p.y();
        EXPECT_EQ(quint32(GetPixel(hdc, p.x(), p.y())), 0xFFFFFFFFu);
        SetPixelV(hdc, p.x(), p.y(), 0x00FF00);
    }
    // Nothing was written: the surface still shares the picture's pixels, untouched.
    EXPECT_EQ(box.surface().constBits(), picture.image().constBits());
    EXPECT_EQ(box.surface(), coordinateImage(5, 4));
}

TEST_F(PictureBoxTest, ImageIsTheSurfaceNowAndStaysSo)
{
    const StdPicture picture(coordinateImage(6, 6));
    box.setPicture(picture);
    box.setScaleMode(PictureBox::vbPixels);
    const HDC hdc = box.hDC();
    SetPixelV(hdc, 1, 1, 0x0000FF);

    const StdPicture before = box.Image();
    EXPECT_NE(before.Handle(), 0);
    EXPECT_NE(before.Handle(), picture.Handle());
    EXPECT_EQ(before.image().pixel(1, 1), qRgb(255, 0, 0));

    SetPixelV(hdc, 2, 2, 0x00FF00);
    EXPECT_EQ(before.image().pixel(2, 2), qRgb(2, 2, 0x80));
    EXPECT_EQ(box.Image().image().pixel(2, 2), qRgb(0, 255, 0));
    // The picture the box was given is never drawn into either.
    EXPECT_EQ(picture.image(), coordinateImage(6, 6));
    EXPECT_EQ(box.Picture(), picture);
}

TEST_F(PictureBoxTest, RewrittenRowsLeaveEarlierImagesAlone)
{
    box.setPicture(StdPicture(coordinateImage(3, 6)));
    const StdPicture before = box.Image();
    const auto invert = [](const quint32 *from, quint32 *to, qsizetype count) {
        for (qsizetype i = 0; i < count; ++i)
            to[i] = from[i] ^ 0x00FFFFFF;
    };
    ASSERT_TRUE(box.hDC()->rewrite(2, 4, 3, invert));
    EXPECT_EQ(before.image(), coordinateImage(3, 6));
    const QImage &now = box.surface();
    for (int y = 0; y < 6; ++y) {
        const bool rewritten = y == 2 || y == 3;
        EXPECT_EQ(now.pixel(1, y), rewritten ? qRgb(254, 255 - y, 0x7F) : qRgb(1, y, 0x80)) << y;
    }

    // Rows beyond the surface are left out rather than written.
    ASSERT_TRUE(box.hDC()->rewrite(-5, 1, 3, invert));
    ASSERT_TRUE(box.hDC()->rewrite(5, 100, 3, invert));
    EXPECT_EQ(box.surface().pixel(0, 0), qRgb(255, 255, 0x7F));
    EXPECT_EQ(box.surface().pixel(0, 1), qRgb(0, 1, 0x80));
    EXPECT_EQ(box.surface().pixel(0, 5), qRgb(255, 250, 0x7F));
}

TEST_F(PictureBoxTest, PaintPictureStretchesOrCopiesOneToOne)
{
    box.setPicture(StdPicture(coordinateImage(20, 10)));
    box.setScaleMode(PictureBox::vbPixels);

    // A 2 × 1 picture, red then blue, stretched over the whole inner area.
    QImage halves(2, 1, QImage::Format_RGB32);
    halves.setPixel(0, 0, qRgb(255, 0, 0));
    halves.setPixel(1, 0, qRgb(0, 0, 255));
    box.PaintPicture(StdPicture(halves), 0, 0, box.ScaleWidth(), box.ScaleHeight());
    EXPECT_EQ(GetPixel(box.hDC(), 2, 0), colorValue(255, 0, 0));
    EXPECT_EQ(GetPixel(box.hDC(), 2, 9), colorValue(255, 0, 0));
    EXPECT_EQ(GetPixel(box.hDC(), 17, 5), colorValue(0, 0, 255));

    // Its own size where width and height are left out: only the 4 × 4 square at (5, 3) changes.
    const StdPicture square(coordinateImage(4, 4));
    box.PaintPicture(square, 5, 3);
    EXPECT_EQ(GetPixel(box.hDC(), 5, 3), colorValue(0, 0, 0x80));
    EXPECT_EQ(GetPixel(box.hDC(), 8, 6), colorValue(3, 3, 0x80));
    EXPECT_EQ(GetPixel(box.hDC(), 4, 3), colorValue(255, 0, 0));
    EXPECT_EQ(GetPixel(box.hDC(), 9, 6), colorValue(255, 0, 0));
    EXPECT_EQ(GetPixel(box.hDC(), 5, 7), colorValue(255, 0, 0));

    // One to one over the whole area: the surface is exactly the picture.
    const StdPicture whole(coordinateImage(20, 10));
    box.PaintPicture(whole, 0, 0, 20, 10);
    EXPECT_EQ(box.surface(), whole.image());
}

TEST(PictureObject, SharedBetweenControlsNotCopied)
{
    PictureBox box;
    box.setAutoSize(true);
    ImageControl preview;
    preview.setStretch(false);

    const StdPicture picture(coordinateImage(300, 200));
    box.setPicture(picture);
    preview.setPicture(box.Picture());

    EXPECT_EQ(box.Picture(), picture);
    EXPECT_EQ(preview.Picture(), picture);
    const uchar *pixels = picture.image().constBits();
    EXPECT_EQ(box.surface().constBits(), pixels);
    EXPECT_EQ(box.Image().image().constBits(), pixels);
    EXPECT_EQ(preview.shownImage().constBits(), pixels);
}

TEST(PictureObject, HandleIsZeroOnlyWhenEmptyAndTellsObjectsApart)
{
    EXPECT_EQ(StdPicture().Handle(), 0);
    EXPECT_EQ(StdPicture(QImage()).Handle(), 0);
    EXPECT_EQ(StdPicture(), StdPicture());

    const QImage image = coordinateImage(2, 2);
    const StdPicture first(image);
    const StdPicture second(image);
    EXPECT_NE(first.Handle(), 0);
    EXPECT_NE(second.Handle(), 0);
    EXPECT_NE(first.Handle(), second.Handle());
    EXPECT_FALSE(first == second);

    const StdPicture copy = first;
    EXPECT_EQ(copy, first);
    EXPECT_EQ(copy.Handle(), first.Handle());
}

TEST(PictureObject, StretchedPreviewIsScaledOnceWhenAssigned)
{
    ImageControl preview;
    preview.resize(50, 40);
    preview.setStretch(true);
    preview.show();
    QCoreApplication::processEvents();
    preview.setPicture(StdPicture(coordinateImage(300, 200)));
    ASSERT_EQ(preview.shownImage().size(), QSize(50, 40));
    const qint64 scaled = preview.shownImage().cacheKey();

    // A repaint draws what was prepared.
    preview.repaint();
    preview.update();
    QCoreApplication::processEvents();
    EXPECT_EQ(preview.shownImage().cacheKey(), scaled);

    preview.setPicture(StdPicture());
    EXPECT_TRUE(preview.shownImage().isNull());
}

} // namespace
