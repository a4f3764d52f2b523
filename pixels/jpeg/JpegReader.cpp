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
PictureResult<InspectedJpeg> inspectJpeg(QFile &file, qint64 budget)
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
    return InspectedJpeg{std::move(*bytes), layout.frameSize};
}

PictureResult<QImage> readJpeg(InspectedJpeg &jpeg)
{
    QBuffer buffer(&jpeg.bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(true);
    if (jpegAsStored(reader)) {
        if (std::optional<QImage> surface = decodeJpegIntoSurface(jpeg.bytes, jpeg.size)) {
            if (surface->isNull())
                return PictureFailure{PictureError::OutOfMemory, {}};
            return std::move(*surface);
        }
    }
    QImage image;
    if (!decodeWithQt(reader, jpeg.size, image))
        return PictureFailure{PictureError::NotAPicture, {}};
    return image;
}
