#include "DeepGrey.h"

#include "GreyRule.h"

#include "pixels/memory/ImageAllocator.h"

#include <QRgba64>

namespace {

constexpr quint16 greySample16(quint16 red, quint16 green, quint16 blue)
{
    return quint16(
        (GreyWeights::Red * quint64(red) + GreyWeights::Green * quint64(green) + GreyWeights::Blue * quint64(blue))
        >> GreyWeights::Shift);
}

} // namespace

PictureResult<QImage> greyPicture16(const QImage &picture)
{
    const QImage wide = picture.format() == QImage::Format_RGBA64 || picture.format() == QImage::Format_RGBX64
                            ? picture
                            : picture.convertToFormat(QImage::Format_RGBX64);
    QImage grey = ImageAllocator::allocate(picture.size(), QImage::Format_Grayscale16);
    if (wide.isNull() || grey.isNull())
        return PictureFailure{PictureError::OutOfMemory, {}};
    grey.setDotsPerMeterX(picture.dotsPerMeterX());
    grey.setDotsPerMeterY(picture.dotsPerMeterY());
    for (int y = 0; y < wide.height(); ++y) {
        const auto *from = reinterpret_cast<const QRgba64 *>(wide.constScanLine(y));
        auto *to = reinterpret_cast<quint16 *>(grey.scanLine(y));
        for (int x = 0; x < wide.width(); ++x)
            to[x] = greySample16(from[x].red(), from[x].green(), from[x].blue());
    }
    return grey;
}
