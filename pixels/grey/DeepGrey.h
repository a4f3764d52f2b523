#pragma once

// The grey rule on 16-bit samples, for pictures deeper than a surface's 8 bits a channel: a 16-bit source
// keeps its depth in a 16-bit grey result.

#include "pixels/PictureResult.h"

#include <QImage>

// `picture` (Format_RGBA64, Format_RGBX64 or any other Qt converts to them; alpha dropped) as a
// Format_Grayscale16 picture, each pixel (9798 R + 19235 G + 3735 B) >> 15 of its 16-bit samples, of the same size and resolution. OutOfMemory when no memory is left for it.
PictureResult<QImage> greyPicture16(const QImage &picture);
