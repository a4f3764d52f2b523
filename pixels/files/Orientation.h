#pragma once

// The turn a picture's metadata asks for, and turning it. The orientation tag's eight values are TIFF's, which
// EXIF borrows: the first stored row and column are, in order, top-left, top-right, bottom-right, bottom-left,
// left-top, right-top, right-bottom, left-bottom.

#include <QByteArrayView>
#include <QImage>
#include <QImageIOHandler>

// The turn for an orientation tag's value; none for a value out of range.
QImageIOHandler::Transformations orientationTransformation(int orientation);

// The turn the orientation tag of an EXIF block (a TIFF structure, with or without the "Exif\0\0" before it)
// asks for; none where it has no such tag or does not hold together.
QImageIOHandler::Transformations exifTransformation(QByteArrayView exif);

// Turns `image` as asked: mirrored and flipped first, then a quarter turn clockwise, as Qt's readers turn a
// JPEG. False when memory for the turned image ran
// out.
bool applyTransformation(QImage &image, QImageIOHandler::Transformations transformation);
