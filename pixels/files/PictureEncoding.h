#pragma once

// A picture encoded in a format, apart from where the bytes go: the window's save and a whole-file write hand
// the same encoders their own destination.

#include "PictureFormat.h"
#include "PictureMetadata.h"

#include "pixels/PictureResult.h"

#include <QIODevice>
#include <QImage>

// What a result holds beside its pixels.
struct EncodingSettings
{
    static constexpr int WindowJpegQuality = 95; // the quality the window's save writes at

    int jpegQuality = WindowJpegQuality;
    PictureMetadata metadata; // carried by a JPEG or PNG result; a bitmap has no place for it
    // Whether the picture's pixels were turned as the source's orientation tag said.
    PictureMetadata::Orientation orientation = PictureMetadata::Orientation::Upright;
};

// Encodes `picture` into `device` in `format`. Its alpha is dropped; a picture whose pixels are all grey is
// stored with one grey channel in JPEG and PNG, and a 16-bit grey one (Format_Grayscale16) as a 16-bit grey
// PNG. False, with errno telling why where the system said, when the device did not take it all.
PictureResult<bool> encodePicture(QIODevice &device, const QImage &picture, PictureFormat format,
                                  const EncodingSettings &settings);
