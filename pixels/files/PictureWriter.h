#pragma once

// The window's save: a picture written to the file the user chose. The file appears whole or not at all: the
// picture goes to a temporary file beside the target, which takes the target's place only once the whole
// picture is on the disk; a failure anywhere leaves a file that stood there as it was. Since the user has
// confirmed it, the save replaces what a link there points to, and where the folder takes no new file
// overwrites a file that may be written in place. (A whole-file write, WholePictureWrite, does neither.)

#include "PictureFormat.h"

#include "pixels/PictureResult.h"

#include <QImage>
#include <QSaveFile>
#include <QString>

#include <memory>

// Writes `picture` (of any format; its alpha is dropped) to `path` in `format`, as the window saves it.
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
    PictureWrite(const QString &path, std::unique_ptr<QSaveFile> file);
    friend PictureResult<PictureWrite> startPictureWrite(const QImage &, const QString &, PictureFormat);

    std::unique_ptr<QSaveFile> m_file;
    QString m_path;
    bool m_written = false;
    int m_error = 0;
};

// The first part of writePicture(): encodes `picture` into a temporary file beside `path`.
PictureResult<PictureWrite> startPictureWrite(const QImage &picture, const QString &path, PictureFormat format);
