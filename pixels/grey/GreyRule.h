#pragma once

// The grey rule, the one place its numbers are written: the BT.601 luma weights in 15-bit fixed point, and
// greyPixel() applying them to one 32-bit surface pixel. The row kernels and the grey-row test build on it.

#include <QtGlobal>

namespace GreyWeights {
// Blue is 3735 rather than the rounded 3736 so that the weights add up to exactly 2^Shift: a colour whose three
// channels are equal keeps its value, which is what lets a walk skip rows that are grey already.
inline constexpr qint32 Red = 9798;
inline constexpr qint32 Green = 19235;
inline constexpr qint32 Blue = 3735;
inline constexpr int Shift = 15;
inline constexpr qint32 Divisor = qint32(1) << Shift;
static_assert(Red + Green + Blue == Divisor, "a grey pixel must keep its level");
} // namespace GreyWeights

// The grey rule on one surface pixel (0xffRRGGBB): (9798 R + 19235 G + 3735 B) >> 15 in all three channels.
constexpr quint32 greyPixel(quint32 pixel)
{
    const quint32 red = (pixel >> 16) & 0xFF;
    const quint32 green = (pixel >> 8) & 0xFF;
    const quint32 blue = pixel & 0xFF;
    const quint32 grey =
        (GreyWeights::Red * red + GreyWeights::Green * green + GreyWeights::Blue * blue) >> GreyWeights::Shift;
    return 0xFF000000u | grey * 0x010101u;
}
