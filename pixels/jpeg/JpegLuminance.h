#pragma once

#include <QByteArray>

#include <optional>

// A JPEG file's luminance as it was coded, as a grey JPEG file, without a decode or an encode: the colour
// components are dropped and the luminance's coefficients are kept as they are, so no second loss comes of it.
// The pixels keep their orientation as stored; no marker of the source is kept. None for a file whose
// components are no luminance and colour (CMYK, RGB), or that the transform refuses or warns about.
std::optional<QByteArray> jpegLuminanceOf(const QByteArray &jpeg);
