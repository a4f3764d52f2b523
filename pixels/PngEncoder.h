#pragma once

#include <QImage>
#include <QIODevice>

// Writes `picture` (Format_RGB32) to `device` as a PNG file: as 8-bit grey when `grey` says every pixel is
// grey, else as 24-bit colour, with the picture's resolution. False when libpng or the device failed; errno
// then tells why, where the system said.
bool encodePng(const QImage &picture, bool grey, QIODevice &device);
