#include "BitmapReader.h"

#include "BitmapBands.h"

#include "pixels/files/FileBytes.h"
#include "pixels/memory/ImageAllocator.h"
#include "pixels/memory/MemoryBudget.h"

#include <QBuffer>
#include <QImageReader>

namespace {

PictureFailure refused(PictureError kind)
{
    return {kind, {}};
}

} // namespace

BitmapReader::BitmapReader(QFile &file)
    : m_file(file)
{
}

PictureResult<QSize> BitmapReader::inspect(qint64 budget)
{
    m_file.seek(0);
    m_bytes = m_file.read(BmpHeadBytes);
    const std::optional<BmpLayout> layout = readBmpHeaders(m_bytes, m_file.size());
    if (!layout)
        return refused(PictureError::NotAPicture);
    m_layout = *layout;
    if (!surfaceFits(m_layout.size, budget))
        return refused(PictureError::OutOfMemory);
    if (!m_layout.runLength())
        return m_layout.size;
    std::optional<QByteArray> bytes = readEntireFile(m_file);
    if (!bytes)
        return refused(PictureError::FileAccess);
    m_bytes = std::move(*bytes);
    if (!readBmpLayout(m_bytes))
        return refused(PictureError::NotAPicture);
    return m_layout.size;
}

PictureResult<QImage> BitmapReader::read()
{
    if (m_layout.runLength())
        return readRunLength();
    if (qint64(m_layout.size.width()) * m_layout.size.height() > QtBitmapPixelLimit)
        return readInBands();
    return readFromFile();
}

PictureResult<QImage> BitmapReader::readRunLength()
{
    QBuffer buffer(&m_bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    QImage image;
    if (!decodeWithQt(reader, m_layout.size, image))
        return refused(PictureError::NotAPicture);
    return image;
}

// A bitmap of more pixels than Qt's reader takes.
PictureResult<QImage> BitmapReader::readInBands()
{
    QImage image = ImageAllocator::allocate(m_layout.size, QImage::Format_RGB32);
    if (image.isNull())
        return refused(PictureError::OutOfMemory);
    if (!readBitmapInBands(m_file, m_bytes, m_layout, image))
        return refused(PictureError::NotAPicture);
    return image;
}

PictureResult<QImage> BitmapReader::readFromFile()
{
    m_file.seek(0);
    QImageReader reader(&m_file, "bmp");
    QImage image;
    if (!decodeWithQt(reader, m_layout.size, image))
        return refused(PictureError::NotAPicture);
    // Qt's reader takes a file that ends early (one cut short while we read it) for a picture with its last
    // rows unwritten.
    if (m_file.pos() < m_layout.pixelOffset + m_layout.rowBytes() * m_layout.size.height())
        return refused(PictureError::NotAPicture);
    return image;
}
