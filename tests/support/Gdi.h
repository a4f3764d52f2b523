#pragma once

#include "pixels/grey/Surface.h"

// The two pixel functions of the graphics interface, through which the tests read and write a surface's pixels as
// colour values. A colour value holds red in bits 0-7, green in 8-15 and blue in 16-23; bits 24-31 are clear.
using COLORREF = qint32;

inline constexpr COLORREF CLR_INVALID = -1; // 0xFFFFFFFF, what a read outside the surface gives

inline constexpr COLORREF colorValueFromRgb32(quint32 pixel)
{
    return COLORREF(((pixel & 0xFF) << 16) | (pixel & 0xFF00) | ((pixel >> 16) & 0xFF));
}

inline constexpr quint32 rgb32FromColorValue(COLORREF color)
{
    const auto value = quint32(color);
    return 0xFF000000u | ((value & 0xFF) << 16) | (value & 0xFF00) | ((value >> 16) & 0xFF);
}

inline COLORREF GetPixel(const Surface *hdc, qint32 x, qint32 y)
{
    if (!hdc || !hdc->contains(x, y))
        return CLR_INVALID;
    return colorValueFromRgb32(hdc->constScanLine(y)[x]);
}

// Returns non-zero when the pixel was set; outside the surface nothing is written.
inline qint32 SetPixelV(Surface *hdc, qint32 x, qint32 y, COLORREF color)
{
    if (!hdc || !hdc->contains(x, y))
        return 0;
    hdc->scanLine(y)[x] = rgb32FromColorValue(color);
    return 1;
}
