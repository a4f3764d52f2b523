#include "JpegReader.h"

#include "JpegIntoSurface.h"
#include "JpegScanData.h"
#include "JpegStructure.h"

#include "pixels/files/FileBytes.h"
#include "pixels/memory/MemoryBudget.h"

#include <QBuffer>
#include <QImageReader>

namespace {

// The common JPEG, which Qt's reader would take as it is: neither turned by its EXIF orientation nor carrying
// comments, which only Qt's reader reads as Qt does.
bool jpegAsStored(QImageReader &reader)
{
    return reader.transformation() == QImageIOHandler::TransformationNone && reader.textKeys().isEmpty();
}

} // namespace

// One that ends without its end marker (cut at the very end by a camera or a download) is taken when every scan's
// data is there; the arithmetic decoder runs out of data without a word, so such a stream is only taken whole.
PictureResult<PictureHeader> JpegReader::readHeader(QFile &file, qint64 budget)
{
    std::optional<QByteArray> bytes = readEntireFile(file);
    if (!bytes)
        return PictureFailure{PictureError::FileAccess, {}};
    const JpegLayout layout = readJpegLayout(*bytes);
    if (!jpegDataCoversFrame(layout) || layout.scans > MaxJpegScans)
        return PictureFailure{PictureError::NotAPicture, {}};
    if (!surfaceFits(layout.frameSize, budget))
        return PictureFailure{PictureError::OutOfMemory, {}};
    if (!layout.complete && (layout.arithmetic || !jpegScansAreWhole(*bytes)))
        return PictureFailure{PictureError::NotAPicture, {}};
    m_bytes = std::move(*bytes);
    m_size = layout.frameSize;
    PictureHeader header;
    header.size = layout.frameSize;
    return header;
}

PictureResult<QImage> JpegReader::readPixels(QFile & /*file*/, SampleDepth /*depth*/)
{
    QBuffer buffer(&m_bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(true);
    if (jpegAsStored(reader)) {
        if (std::optional<QImage> surface = decodeJpegIntoSurface(m_bytes, m_size)) {
            if (surface->isNull())
                return PictureFailure{PictureError::OutOfMemory, {}};
            return std::move(*surface);
        }
    }
    QImage image;
    if (!decodeWithQt(reader, m_size, image))
        return PictureFailure{PictureError::NotAPicture, {}};
    return image;
}
