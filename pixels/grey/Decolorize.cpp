#include "Decolorize.h"

#include "DecolorizeRows.h"

#include <vector>

namespace {

constexpr quint32 AlphaMask = 0xFF000000u;
constexpr int AlphaShift = 24;

// The walk row by row, each row's alpha put back after it.
bool decolorizeKeepingAlpha(QImage &image)
{
    const int width = image.width();
    std::vector<quint32> alpha(static_cast<size_t>(width));
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(image.scanLine(y));
        if (!row)
            return false;
        for (int x = 0; x < width; ++x)
            alpha[size_t(x)] = row[x] & AlphaMask;
        decolorizeRow(row, row, width);
        for (int x = 0; x < width; ++x)
            row[x] = (row[x] & ~AlphaMask) | alpha[size_t(x)];
    }
    return true;
}

} // namespace

bool decolorizeArea(Surface &surface, int width, int height)
{
    width = qMin(width, surface.width());
    height = qMin(height, surface.height());
    if (width <= 0 || height <= 0)
        return true;
    int firstColourRow = 0;
    while (firstColourRow < height && isGreyRow(surface.constScanLine(firstColourRow), width))
        ++firstColourRow;
    return surface.rewrite(firstColourRow, height, width, decolorizeRow);
}

PictureResult<> decolorizePicture(QImage &image)
{
    if (image.isNull())
        return PictureFailure{PictureError::NoPicture, {}};
    if (image.format() == QImage::Format_ARGB32) {
        if (!decolorizeKeepingAlpha(image))
            return PictureFailure{PictureError::OutOfMemory, {}};
        return {};
    }
    if (image.format() != QImage::Format_RGB32) {
        image.convertTo(QImage::Format_RGB32);
        if (image.isNull())
            return PictureFailure{PictureError::OutOfMemory, {}};
    }
    Surface surface(&image);
    if (!decolorizeArea(surface, image.width(), image.height()))
        return PictureFailure{PictureError::OutOfMemory, {}};
    return {};
}

void flattenOverWhite(QImage &image)
{
    if (image.format() != QImage::Format_ARGB32)
        return;
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const quint32 alpha = row[x] >> AlphaShift;
            const quint32 grey = row[x] & 0xFF;
            const quint32 shown = (grey * alpha + 255 * (255 - alpha) + 127) / 255;
            row[x] = AlphaMask | shown * 0x010101u;
        }
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
}
