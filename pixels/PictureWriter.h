#pragma once

// Writing a picture to a file. The file appears whole or not at all: the picture goes to a temporary file
// beside the target, which takes the target's place only once the whole picture is on the disk; a failure
// anywhere leaves a file that stood there as it was. Only where the folder takes no new file is an existing
// file that may be written overwritten in place.

#include "PictureResult.h"

#include <QImage>
#include <QString>

enum class PictureFormat {
    Bitmap24, // a Windows bitmap of 24 bits a pixel
    Jpeg,     // quality 95; a picture whose pixels are all grey is stored with one grey component
};

// JPEG for a name ending in ".jpg" or ".jpeg" (in any case), a 24-bit bitmap for any other.
PictureFormat pictureFormatOfName(const QString &path);

// Writes `picture` (of any format; its alpha is dropped) to `path` in `format`.
PictureResult<> writePicture(const QImage &picture, const QString &path, PictureFormat format);
