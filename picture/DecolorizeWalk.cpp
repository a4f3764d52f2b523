#include "DecolorizeWalk.h"

#include "DecolorizeKernel.h"

#include <cstring>

void decolorizeSurface(HDC dc, qint32 width, qint32 height)
{
    width = qMin(width, dc->width());
    height = qMin(height, dc->height());
    if (width <= 0 || height <= 0)
        return;
    int firstColourRow = 0;
    while (firstColourRow < height && isGreyRow(dc->constScanLine(firstColourRow), width))
        ++firstColourRow;
    if (width == dc->width()) {
        // Whole rows: the rule treats every pixel alike, so rows back to back go to the kernel in one run.
        dc->rewritePixels(firstColourRow, height,
                          [](const quint32 *from, quint32 *to, qsizetype count) { decolorizeRow(from, to, count); });
        return;
    }
    dc->rewriteRows(firstColourRow, height, [width](const quint32 *from, quint32 *to, qsizetype count) {
        decolorizeRow(from, to, width);
        if (from != to && count > width)
            std::memcpy(to + width, from + width, size_t(count - width) * sizeof(quint32));
    });
}
