#include "BitmapReader.h"

#include "BitmapBands.h"

#include "pixels/files/FileBytes.h"
#include "pixels/memory/ImageAllocator.h"
#include "pixels/memory/MemoryBudget.h"

#include <QBuffer>
#include <QImageReader>

namespace {

PictureResult<QImage> readRunLength(InspectedBitmap &bitmap)
{
    QBuffer buffer(&bitmap.bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    QImage image;
    if (!decodeWithQt(reader, bitmap.layout.size, image))
        return PictureFailure{PictureError::NotAPicture, {}};
    return image;
}

// A bitmap of more pixels than Qt's reader takes.
PictureResult<QImage> readInBands(QFile &file, const InspectedBitmap &bitmap)
{
    QImage image = ImageAllocator::allocate(bitmap.layout.size, QImage::Format_RGB32);
    if (image.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    if (!readBitmapInBands(file, bitmap.bytes, bitmap.layout, image))
        return PictureFailure{PictureError::NotAPicture, {}};
    return image;
}

PictureResult<QImage> readFromFile(QFile &file, const BmpLayout &layout)
{
    file.seek(0);
    QImageReader reader(&file, "bmp");
    QImage image;
    if (!decodeWithQt(reader, layout.size, image))
        return PictureFailure{PictureError::NotAPicture, {}};
    // Qt's reader takes a file that ends early (one cut short while we read it) for a picture with its last
    // rows unwritten.
    if (file.pos() < layout.pixelOffset + layout.rowBytes() * layout.size.height())
        return PictureFailure{PictureError::NotAPicture, {}};
    return image;
}

} // namespace

PictureResult<InspectedBitmap> inspectBitmap(QFile &file, qint64 budget)
{
    file.seek(0);
    InspectedBitmap bitmap;
    bitmap.bytes = file.read(BmpHeadBytes);
    const std::optional<BmpLayout> layout = readBmpHeaders(bitmap.bytes, file.size());
    if (!layout)
        return PictureFailure{PictureError::NotAPicture, {}};
    bitmap.layout = *layout;
    if (!surfaceFits(layout->size, budget))
        return PictureFailure{PictureError::OutOfMemory, {}};
    if (!layout->runLength())
        return bitmap;
    std::optional<QByteArray> bytes = readEntireFile(file);
    if (!bytes)
        return PictureFailure{PictureError::FileAccess, {}};
    bitmap.bytes = std::move(*bytes);
    if (!readBmpLayout(bitmap.bytes))
        return PictureFailure{PictureError::NotAPicture, {}};
    return bitmap;
}

PictureResult<QImage> readBitmap(QFile &file, InspectedBitmap &bitmap)
{
    if (bitmap.layout.runLength())
        return readRunLength(bitmap);
    if (qint64(bitmap.layout.size.width()) * bitmap.layout.size.height() > QtBitmapPixelLimit)
        return readInBands(file, bitmap);
    return readFromFile(file, bitmap.layout);
}
