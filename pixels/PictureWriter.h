#pragma once

// Writing a picture to a file. The file appears whole or not at all: the picture goes to a temporary file
// beside the target, which takes the target's place only once the whole picture is on the disk; a failure
// anywhere leaves a file that stood there as it was. Only where the folder takes no new file is an existing
// file that may be written overwritten in place.

#include "PictureResult.h"

#include <QImage>
#include <QSaveFile>
#include <QString>

#include <memory>

enum class PictureFormat {
    Bitmap24, // a Windows bitmap of 24 bits a pixel
    Jpeg,     // quality 95; a picture whose pixels are all grey is stored with one grey component
    Png,      // lossless; a picture whose pixels are all grey is stored as 8-bit grey
};

// JPEG for a name ending in ".jpg" or ".jpeg" (in any case), a 24-bit bitmap for any other.
PictureFormat pictureFormatOfName(const QString &path);

// Writes `picture` (of any format; its alpha is dropped) to `path` in `format`.
PictureResult<> writePicture(const QImage &picture, const QString &path, PictureFormat format);

// A picture encoded into its temporary file, not yet on the disk for sure nor in its place. commit() waits for
// the disk and puts the file in place: the part of a write that takes time but no processor, which a caller
// may leave to another thread. Dropped without commit(), it leaves everything as it was.
class PictureWrite
{
public:
    PictureWrite(PictureWrite &&) noexcept;
    ~PictureWrite();

    PictureResult<> commit();

private:
    explicit PictureWrite(const QString &path);
    friend PictureResult<PictureWrite> startPictureWrite(const QImage &, const QString &, PictureFormat);

    std::unique_ptr<QSaveFile> m_file;
    QString m_path;
    bool m_written = false;
    int m_error = 0;
};

// The first part of writePicture(): encodes `image` into a temporary file beside `path`.
PictureResult<PictureWrite> startPictureWrite(const QImage &picture, const QString &path, PictureFormat format);
