#pragma once

// Writing a picture to a file. The file appears whole or not at all: the picture goes to a temporary file
// beside the target, which takes the target's place only once the whole picture is on the disk; a failure
// anywhere leaves a file that stood there as it was. The window's save, which the user has confirmed, replaces
// what a link there points to, and where the folder takes no new file overwrites a file that may be written in
// place. A whole-file write (startWholePictureWrite()) does neither.

#include "PictureFormat.h"
#include "WholeFile.h"

#include "pixels/PictureResult.h"

#include <QImage>
#include <QSaveFile>
#include <QString>

#include <memory>
#include <optional>

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

    // A whole-file write's commit() in two halves, for many writes at a time: one syncFileSystem() of a write on
    // each file system, then commitSynced() of every write there (see WholeFile).
    dev_t fileSystem() const { return m_whole->fileSystem(); }
    PictureResult<> syncFileSystem();
    PictureResult<> commitSynced();

private:
    PictureWrite(const QString &path, std::unique_ptr<QSaveFile> file);
    PictureWrite(WholeFile file, WholeFile::AtTakenName atTakenName);
    QFileDevice &device();
    PictureResult<> encode(const QImage &picture, PictureFormat format);
    PictureResult<> commitChosen();
    PictureResult<> encodingFailure() const;
    friend PictureResult<PictureWrite> startPictureWrite(const QImage &, const QString &, PictureFormat);
    friend PictureResult<PictureWrite> startWholePictureWrite(const QImage &, const QByteArray &, PictureFormat,
                                                              WholeFile::AtTakenName);

    std::unique_ptr<QSaveFile> m_chosen; // the window's save
    std::optional<WholeFile> m_whole;    // or a whole-file write
    WholeFile::AtTakenName m_atTakenName = WholeFile::AtTakenName::Keep;
    QString m_path;
    bool m_written = false;
    int m_error = 0;
};

// The first part of writePicture(): encodes `image` into a temporary file beside `path`.
PictureResult<PictureWrite> startPictureWrite(const QImage &picture, const QString &path, PictureFormat format);

// The same as a whole-file write to `nativePath` (the system's bytes): never in place, never through a link;
// at commit, a taken name is kept or replaced as `atTakenName` says.
PictureResult<PictureWrite> startWholePictureWrite(const QImage &picture, const QByteArray &nativePath,
                                                   PictureFormat format, WholeFile::AtTakenName atTakenName);
