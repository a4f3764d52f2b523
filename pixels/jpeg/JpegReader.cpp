#include "JpegReader.h"

#include "JpegIntoSurface.h"
#include "JpegQuality.h"
#include "JpegScanData.h"

#include "pixels/files/FileBytes.h"
#include "pixels/files/Orientation.h"
#include "pixels/memory/MemoryBudget.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>

// One that ends without its end marker (cut at the very end by a camera or a download) is taken when every scan's
// data is there; the arithmetic decoder runs out of data without a word, so such a stream is only taken whole.
PictureResult<PictureHeader> JpegReader::readHeader(QFile &file, qint64 budget)
{
    std::optional<QByteArray> bytes = readEntireFile(file);
    if (!bytes)
        return PictureFailure{PictureError::FileAccess, {}};
    JpegLayout layout = readJpegLayout(*bytes);
    if (!jpegDataCoversFrame(layout) || layout.scans > MaxJpegScans)
        return PictureFailure{PictureError::NotAPicture, {}};
    if (!surfaceFits(layout.frameSize, budget))
        return PictureFailure{PictureError::OutOfMemory, {}};
    if (!layout.complete && (layout.arithmetic || !jpegScansAreWhole(*bytes)))
        return PictureFailure{PictureError::NotAPicture, {}};
    m_bytes = std::move(*bytes);
    PictureHeader header;
    header.size = layout.frameSize;
    header.transformation = exifTransformation(layout.exif);
    header.dotsPerMeterX = layout.dotsPerMeterX;
    header.dotsPerMeterY = layout.dotsPerMeterY;
    header.exif = layout.exif;
    header.xmp = layout.xmp;
    header.iccProfile = layout.iccProfile;
    header.photoshop = layout.photoshop;
    header.metadataComplete = true;
    header.jpegQuality = jpegQualityOf(layout);
    m_layout = std::move(layout);
    return header;
}

// Comments are left to Qt's reader, which attaches them to the picture as text. The colour profile is attached
// as Qt's reader attaches it; the resolution and the turn are PictureReader's.
PictureResult<QImage> JpegReader::readPixels(QFile & /*file*/, SampleDepth /*depth*/)
{
    if (!m_layout.comments) {
        if (std::optional<QImage> surface = decodeJpegIntoSurface(m_bytes, m_layout.frameSize)) {
            if (surface->isNull())
                return PictureFailure{PictureError::OutOfMemory, {}};
            if (!m_layout.iccProfile.isEmpty())
                surface->setColorSpace(QColorSpace::fromIccProfile(m_layout.iccProfile));
            return std::move(*surface);
        }
    }
    QBuffer buffer(&m_bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(false);
    QImage image;
    if (!decodeWithQt(reader, m_layout.frameSize, image))
        return PictureFailure{PictureError::NotAPicture, {}};
    return image;
}
