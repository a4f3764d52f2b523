#pragma once

// 16-bit samples brought to the 8-bit surface: each v as (v × 255 + 32767) / 65535, the nearest 8-bit level.

#include "pixels/PictureResult.h"

#include <QImage>

constexpr uchar eightBitSample(quint16 sample)
{
    return uchar((quint32(sample) * 255 + 32767) / 65535);
}

// A row of 16-bit red, green, blue and alpha (QImage's RGBA64) as 32-bit surface pixels (0xAARRGGBB).
void reduceRow(const quint16 *from, quint32 *to, int width);

// A Format_RGBA64 picture as one in `format`, Format_RGB32 or Format_ARGB32, with its resolution.
PictureResult<QImage> reduceToEightBits(const QImage &wide, QImage::Format format);
