#pragma once

#include "BmpStructure.h"

#include <QByteArray>
#include <QImage>

class QIODevice;

// Qt's bitmap reader refuses a picture of more pixels than this.
inline constexpr qint64 QtBitmapPixelLimit = qint64(16384) * 16384;

// Reads an uncompressed bitmap larger than Qt's reader takes: Qt decodes it a band of at most `bandPixels`
// pixels at a time, each band straight into its rows of `surface` (32-bit RGB, the picture's size). `file` is
// the bitmap file, `head` its start (every header and the palette), as `layout` describes them. False when a
// band does not decode, or the bitmap cannot be cut into bands (run-length data, a row wider than a band).
bool readBitmapInBands(QIODevice &file, const QByteArray &head, const BmpLayout &layout, QImage &surface,
                       qint64 bandPixels = QtBitmapPixelLimit);
