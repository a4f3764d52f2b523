#pragma once

#include <QByteArrayView>
#include <QImage>

#include <optional>

// Decodes a JPEG of three colour components through libjpeg straight into a 32-bit surface
// (QImage::Format_RGB32): the pixels Qt's reader gives for it as stored, but without the pass Qt's reader makes
// from 24 to 32 bits a pixel. The caller attaches the resolution and colour profile the header tells, and has
// made sure that Qt would attach no comments to this picture.
//
// `size` is the frame's size as the caller checked it against its memory budget; the surface is allocated only
// for a frame of that size. std::nullopt when the stream is one for Qt's reader after all: another number of
// components, another size, or one the decoder refused (Qt's reader then gives its own verdict). A null image
// when memory for the surface ran out.
std::optional<QImage> decodeJpegIntoSurface(QByteArrayView bytes, QSize size);
