#pragma once

// The length of one row of pixels in memory and in bitmap files alike: whole 32-bit words.

#include <QtGlobal>

constexpr qint64 rowBytes(qint64 width, int bitsPerPixel)
{
    return (width * bitsPerPixel + 31) / 32 * 4;
}
