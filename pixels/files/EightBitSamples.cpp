#include "EightBitSamples.h"

#include "pixels/memory/ImageAllocator.h"

void reduceRow(const quint16 *from, quint32 *to, int width)
{
    for (int x = 0; x < width; ++x, from += 4)
        to[x] = quint32(eightBitSample(from[3])) << 24 | quint32(eightBitSample(from[0])) << 16
                | quint32(eightBitSample(from[1])) << 8 | eightBitSample(from[2]);
}

PictureResult<QImage> reduceToEightBits(const QImage &wide, QImage::Format format)
{
    QImage surface = ImageAllocator::allocate(wide.size(), format);
    if (surface.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    for (int y = 0; y < wide.height(); ++y)
        reduceRow(reinterpret_cast<const quint16 *>(wide.constScanLine(y)),
                  reinterpret_cast<quint32 *>(surface.scanLine(y)), wide.width());
    surface.setDotsPerMeterX(wide.dotsPerMeterX());
    surface.setDotsPerMeterY(wide.dotsPerMeterY());
    return surface;
}
