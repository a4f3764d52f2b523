#pragma once

// Turning a picture grey: the grey rule walked over a surface, rows that are grey already left untouched, so
// a grey picture is not written at all.

#include "Surface.h"

#include "pixels/PictureResult.h"

#include <QImage>

// The width × height pixels at the top-left of the surface, in place. False, and nothing changed, when the
// surface shared its pixels and memory for its own copy ran out.
bool decolorizeArea(Surface &surface, int width, int height);

// The whole picture, by the same walk. A picture in another format than QImage::Format_RGB32 is converted
// to it first.
PictureResult<> decolorizePicture(QImage &image);
