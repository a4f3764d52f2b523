#pragma once

#include <QIODevice>
#include <QImage>

// Writes `picture` (Format_RGB32, every pixel grey) to `device` as an 8-bit grey PNG file, with the picture's
// resolution; one with transparency (Format_ARGB32) as 8-bit grey and alpha. False when libpng or the device failed; errno then tells why, where the system said.
bool encodeGreyPng(const QImage &picture, QIODevice &device);

// The same for `picture` in Format_Grayscale16, as a 16-bit grey PNG file.
bool encodeGreyPng16(const QImage &picture, QIODevice &device);
