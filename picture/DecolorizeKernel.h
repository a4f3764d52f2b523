#pragma once

#include <QtGlobal>

// The grey rule over whole rows of 32-bit surface pixels (0xffRRGGBB). `from` and `to` may be the same row.
void decolorizeRow(const quint32 *from, quint32 *to, qsizetype count);

// Whether every pixel of the row is already grey (equal red, green and blue), so the rule would change none.
bool isGreyRow(const quint32 *row, qsizetype count);

// The grey rule on one surface pixel, as decolorizeRow() applies it.
constexpr quint32 greyPixel(quint32 pixel)
{
    const quint32 red = (pixel >> 16) & 0xFF;
    const quint32 green = (pixel >> 8) & 0xFF;
    const quint32 blue = pixel & 0xFF;
    const quint32 grey = (9798 * red + 19235 * green + 3735 * blue) >> 15;
    return 0xFF000000u | grey * 0x010101u;
}
