#pragma once

#include <QByteArray>
#include <QImage>

// The kind of Windows bitmap every writer makes (an information header, 24 bits a pixel, uncompressed),
// unpacked straight from a file's bytes into 32-bit pixels (0xffRRGGBB), as Qt's reader would give it.
// Qt's reader copies each row out of its device and converts it a pixel at a time; this reads the bytes
// once. A null image for any other bitmap, and for bytes whose headers do not hold together.
QImage decodePlainBitmap(const QByteArray &bytes);
