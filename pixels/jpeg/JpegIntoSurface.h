#pragma once

#include <QByteArrayView>
#include <QImage>

#include <optional>

// Decodes a JPEG of three colour components through libjpeg straight into a 32-bit surface
// (QImage::Format_RGB32): the picture Qt's reader gives for it, pixel for pixel, with the same resolution and
// colour profile, but without the pass Qt's reader makes from 24 to 32 bits a pixel. The caller has made sure
// that Qt would apply no orientation and attach no comments to this picture.
//
// `size` is the frame's size as the caller checked it against its memory budget; the surface is allocated only
// for a frame of that size. std::nullopt when the stream is one for Qt's reader after all: another number of
// components, another size, or one the decoder refused (Qt's reader then gives its own verdict). A null image
// when memory for the surface ran out.
std::optional<QImage> decodeJpegIntoSurface(QByteArrayView bytes, QSize size);
