#include "JpegReader.h"

#include "JpegIntoSurface.h"
#include "JpegScanData.h"
#include "JpegStructure.h"

#include "pixels/files/FileBytes.h"
#include "pixels/memory/MemoryBudget.h"

#include <QBuffer>
#include <QImageReader>

namespace {

PictureFailure refused(PictureError kind)
{
    return {kind, {}};
}

// The common JPEG, which Qt's reader would take as it is: neither turned by its EXIF orientation nor carrying
// comments, which only Qt's reader reads as Qt does.
bool jpegAsStored(QImageReader &reader)
{
    return reader.transformation() == QImageIOHandler::TransformationNone && reader.textKeys().isEmpty();
}

} // namespace

JpegReader::JpegReader(QFile &file)
    : m_file(file)
{
}

// One that ends without its end marker (cut at the very end by a camera or a download) is taken when every scan's
// data is there; the arithmetic decoder runs out of data without a word, so such a stream is only taken whole.
PictureResult<QSize> JpegReader::inspect(qint64 budget)
{
    std::optional<QByteArray> bytes = readEntireFile(m_file);
    if (!bytes)
        return refused(PictureError::FileAccess);
    m_bytes = std::move(*bytes);
    const JpegLayout layout = readJpegLayout(m_bytes);
    if (!jpegDataCoversFrame(layout) || layout.scans > MaxJpegScans)
        return refused(PictureError::NotAPicture);
    m_size = layout.frameSize;
    if (!surfaceFits(m_size, budget))
        return refused(PictureError::OutOfMemory);
    if (!layout.complete && (layout.arithmetic || !jpegScansAreWhole(m_bytes)))
        return refused(PictureError::NotAPicture);
    return m_size;
}

PictureResult<QImage> JpegReader::read()
{
    QBuffer buffer(&m_bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(true);
    if (jpegAsStored(reader)) {
        if (std::optional<QImage> surface = decodeJpegIntoSurface(m_bytes, m_size)) {
            if (surface->isNull())
                return refused(PictureError::OutOfMemory);
            return std::move(*surface);
        }
    }
    QImage image;
    if (!decodeWithQt(reader, m_size, image))
        return refused(PictureError::NotAPicture);
    return image;
}
