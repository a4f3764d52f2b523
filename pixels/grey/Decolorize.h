#pragma once

// Turning a picture grey: the grey rule walked over a surface, rows that are grey already left untouched, so
// a grey picture is not written at all.

#include "Surface.h"

#include "pixels/PictureResult.h"

#include <QImage>

// The width × height pixels at the top-left of the surface, in place. False, and nothing changed, when the
// surface shared its pixels and memory for its own copy ran out.
bool decolorizeArea(Surface &surface, int width, int height);

// The whole picture, by the same walk. A picture with transparency (QImage::Format_ARGB32, alpha not
// premultiplied) keeps its alpha beside the grey; one in any other format than QImage::Format_RGB32 is
// converted to that first.
PictureResult<> decolorizePicture(QImage &image);

// A grey picture with transparency (Format_ARGB32) as it shows over white, in place: each grey g of alpha a
// becomes (g·a + 255·(255 − a) + 127) / 255, and the picture Format_RGB32. Any other picture is left as it is.
void flattenOverWhite(QImage &image);
