#include "BitmapReader.h"

#include "BitmapBands.h"

#include "pixels/files/FileBytes.h"
#include "pixels/memory/ImageAllocator.h"
#include "pixels/memory/MemoryBudget.h"

#include <QBuffer>
#include <QImageReader>

namespace {

PictureResult<QImage> readRunLength(QByteArray &bytes, const BmpLayout &layout)
{
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    QImage image;
    if (!decodeWithQt(reader, layout.size, image))
        return PictureFailure{PictureError::NotAPicture, {}};
    return image;
}

// A bitmap of more pixels than Qt's reader takes.
PictureResult<QImage> readInBands(QFile &file, const QByteArray &head, const BmpLayout &layout)
{
    QImage image = ImageAllocator::allocate(layout.size, QImage::Format_RGB32);
    if (image.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    if (!readBitmapInBands(file, head, layout, image))
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

PictureResult<PictureHeader> BitmapReader::readHeader(QFile &file, qint64 budget)
{
    file.seek(0);
    m_bytes = file.read(BmpHeadBytes);
    const std::optional<BmpLayout> layout = readBmpHeaders(m_bytes, file.size());
    if (!layout)
        return PictureFailure{PictureError::NotAPicture, {}};
    m_layout = *layout;
    if (!surfaceFits(layout->size, budget))
        return PictureFailure{PictureError::OutOfMemory, {}};
    PictureHeader header;
    header.size = layout->size;
    if (!layout->runLength())
        return header;
    std::optional<QByteArray> bytes = readEntireFile(file);
    if (!bytes)
        return PictureFailure{PictureError::FileAccess, {}};
    m_bytes = std::move(*bytes);
    if (!readBmpLayout(m_bytes))
        return PictureFailure{PictureError::NotAPicture, {}};
    return header;
}

PictureResult<QImage> BitmapReader::readPixels(QFile &file, SampleDepth /*depth*/)
{
    if (m_layout.runLength())
        return readRunLength(m_bytes, m_layout);
    if (qint64(m_layout.size.width()) * m_layout.size.height() > QtBitmapPixelLimit)
        return readInBands(file, m_bytes, m_layout);
    return readFromFile(file, m_layout);
}
