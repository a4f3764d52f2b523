// Large pictures' memory: mapped blocks that behave as any image's pixels, and the one block kept for reuse.

#include "pixels/memory/ImageAllocator.h"

#include <gtest/gtest.h>

namespace {

// 64 MiB of 32-bit pixels, and its grey channel 16 MiB: both large enough for blocks of their own.
const QSize Large(4096, 4096);

} // namespace

TEST(ImageAllocator, ALargeImageIsAnOrdinaryImageWithPixelsOfItsOwn)
{
    QImage image = ImageAllocator::allocate(Large, QImage::Format_RGB32);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), Large);
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image.bytesPerLine(), Large.width() * 4);
    image.fill(0xFF102030u);
    EXPECT_EQ(image.pixel(4095, 4095), 0xFF102030u);

    // Shared, it is copied on write like any image: the copy's pixels never change under it.
    const QImage copy = image;
    const uchar *shared = copy.constBits();
    image.setPixel(0, 0, 0xFF000000u);
    EXPECT_NE(image.constBits(), shared);
    EXPECT_EQ(copy.pixel(0, 0), 0xFF102030u);
    EXPECT_EQ(image.pixel(1, 0), 0xFF102030u);

    // Odd rows keep QImage's own row length, whole 32-bit words.
    const QImage grey = ImageAllocator::allocate(QSize(4097, 4097), QImage::Format_Grayscale8);
    ASSERT_FALSE(grey.isNull());
    EXPECT_EQ(grey.bytesPerLine(), 4100);
}

TEST(ImageAllocator, SmallImagesComeFromTheOrdinaryAllocator)
{
    const QImage small = ImageAllocator::allocate(QSize(100, 100), QImage::Format_RGB32);
    EXPECT_EQ(small.size(), QSize(100, 100));
    EXPECT_TRUE(ImageAllocator::allocate(QSize(0, 10), QImage::Format_RGB32).isNull());
}

TEST(ImageAllocator, TheLastBlockFreedServesTheNextPictureOfAboutItsSize)
{
    const uchar *pixels;
    {
        const QImage first = ImageAllocator::allocate(Large, QImage::Format_RGB32);
        pixels = first.constBits();
    }
    {
        // A picture of the same size takes the block back, and so does its one-byte grey channel, a quarter of
        // it; the block returns when the last image sharing it goes.
        QImage again = ImageAllocator::allocate(Large, QImage::Format_RGB32);
        EXPECT_EQ(again.constBits(), pixels);
        const QImage sharer = again;
        again = QImage();
        EXPECT_NE(ImageAllocator::allocate(Large, QImage::Format_RGB32).constBits(), pixels) << "still in use";
    }
    EXPECT_EQ(ImageAllocator::allocate(Large, QImage::Format_Grayscale8).constBits(), pixels);

    // A picture much smaller than the block does not hold on to it.
    EXPECT_NE(ImageAllocator::allocate(QSize(4096, 3000), QImage::Format_Grayscale8).constBits(), pixels);
}
