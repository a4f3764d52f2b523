#pragma once

// Reading a picture file into a 32-bit surface, in two steps: inspect() reads the header and tells the
// picture's size before any memory for its pixels is taken, so that a caller may wait for its share of memory
// in between; read() then decodes it. readPicture() takes both steps at once.
//
// The kind of file is told by its content, never its name (SourceFormats.h), and read by that format's reader.
// Only a regular file is read. A picture is turned by the orientation its metadata carries. The result is a
// QImage::Format_RGB32 image, or Format_ARGB32 (alpha not premultiplied) for a picture with transparency.

#include "FormatReader.h"
#include "SourceFormats.h"

#include "pixels/PictureResult.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QSize>

#include <memory>

// What the first bytes of a file say it is.
enum class FileKind {
    Picture,            // a picture the reader reads
    OtherPictureFormat, // a picture in a format the reader does not read
    NotAPicture,        // anything else, or too short to tell
};

class PictureReader
{
public:
    // The file by the bytes the system spells its name with, whatever their encoding; read if it is of one of
    // the formats of `formats`.
    explicit PictureReader(QByteArray nativePath, SourceFormatSet formats = SourceFormatSet::Window);

    // Opens the file and reads its header. A picture whose 32-bit surface would take more than `budget`
    // bytes, or a file larger than that, is refused as OutOfMemory. Gives the size as stored (before any
    // orientation is applied).
    PictureResult<QSize> inspect(qint64 budget);
    // The same against pictureMemoryBudget(), read now.
    PictureResult<QSize> inspect();
    // What the header said, once inspected.
    const PictureHeader &header() const { return m_header; }

    // Decodes the picture inspected, at `depth`, turned as its header says; inspects it first against
    // pictureMemoryBudget() when that was not done.
    PictureResult<QImage> read(SampleDepth depth = SampleDepth::Eight);

private:
    PictureResult<const SourceFormat *> open();
    PictureFailure failure(PictureError kind) const { return failureAt(kind, m_path); }

    QByteArray m_path; // as the system spells it
    SourceFormatSet m_formats;
    QFile m_file;
    qint64 m_budget = 0;
    std::unique_ptr<FormatReader> m_reader; // the file's format's, once inspected
    PictureHeader m_header;
};

// Both steps at once, against pictureMemoryBudget(), for the window's formats.
PictureResult<QImage> readPicture(const QByteArray &nativePath);

// Whether the file announces itself in its first bytes as a picture of a format the engine reads (any, not the
// window's alone), as the reader asks before anything else; false also when it cannot be read. Never waits on a
// pipe or a device.
bool looksLikePicture(const QByteArray &nativePath);

// The kind the first bytes of the open regular file `fd` announce, read with pread (the offset stays); a
// picture of any format the engine reads is a Picture.
FileKind fileKindOf(int fd);
