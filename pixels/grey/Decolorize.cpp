#include "Decolorize.h"

#include "DecolorizeRows.h"

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
