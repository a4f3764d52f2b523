#pragma once

// PNG files of 16 bits a sample, whose depth a 32-bit surface would lose: read apart, through Qt's PNG reader,
// into 16 bits a channel.

#include "pixels/PictureResult.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QSize>

#include <optional>

// The size of the picture when the bytes begin as a PNG file of 16 bits a sample does; none otherwise.
std::optional<QSize> deepPngSize(QByteArrayView fileBytes);

// The picture of a PNG file of 16 bits a sample, in the 16-bit format Qt gives it (Format_RGBA64, RGBX64 or
// Grayscale16), at its resolution. NotAPicture when Qt's reader refuses it, OutOfMemory when it is larger than
// Qt's reader takes.
PictureResult<QImage> readDeepPng(const QByteArray &fileBytes);
