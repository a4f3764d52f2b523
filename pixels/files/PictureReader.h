#pragma once

// Reading a JPEG or bitmap file into a 32-bit surface, in two steps: inspect() reads and checks the headers
// and tells the picture's size before any memory for its pixels is taken, so that a caller may wait for its
// share of memory in between; read() then decodes it. readPicture() takes both steps at once.
//
// The kind of file is told by its content, never its name. Only a regular file is read. A JPEG is decoded
// with its EXIF orientation applied. The result is a QImage::Format_RGB32 image.

#include "pixels/PictureResult.h"
#include "pixels/bitmap/BitmapReader.h"
#include "pixels/jpeg/JpegReader.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QSize>

#include <optional>
#include <variant>

// What the first bytes of a file say it is.
enum class FileKind {
    Picture,            // a picture the reader reads
    OtherPictureFormat, // a picture in a format the reader does not read
    NotAPicture,        // anything else, or too short to tell
};

class PictureReader
{
public:
    // The file by the bytes the system spells its name with, whatever their encoding.
    explicit PictureReader(QByteArray nativePath);

    // Opens the file and checks its headers. A picture whose 32-bit surface would take more than `budget`
    // bytes, or a file larger than that, is refused as OutOfMemory. Gives the size as stored (before any
    // orientation is applied).
    PictureResult<QSize> inspect(qint64 budget);
    // The same against pictureMemoryBudget(), read now.
    PictureResult<QSize> inspect();

    // Decodes the picture inspected; inspects it first against pictureMemoryBudget() when that was not done.
    PictureResult<QImage> read();

private:
    enum class Kind { Jpeg, Bitmap };

    // The kind of file the first bytes of `fd` announce; none for another.
    static std::optional<Kind> announcedKind(int fd);
    PictureResult<Kind> open();
    friend bool looksLikePicture(const QByteArray &nativePath);
    friend FileKind fileKindOf(int fd);
    PictureFailure failure(PictureError kind) const { return failureAt(kind, m_path); }

    QByteArray m_path; // as the system spells it
    QFile m_file;
    qint64 m_budget = 0;
    // What the reader of the file's format found, once it is inspected.
    std::variant<std::monostate, InspectedJpeg, InspectedBitmap> m_inspected;
};

// Both steps at once, against pictureMemoryBudget().
PictureResult<QImage> readPicture(const QByteArray &nativePath);

// Whether the file announces itself as a JPEG or a bitmap in its first bytes, as the reader asks before anything
// else; false also when it cannot be read. Never waits on a pipe or a device.
bool looksLikePicture(const QByteArray &nativePath);

// The kind the first bytes of the open regular file `fd` announce, read with pread (the offset stays).
FileKind fileKindOf(int fd);
