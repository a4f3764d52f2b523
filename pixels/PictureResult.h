#pragma once

// What the picture engine gives back: either its result or why there is none, as data. An error kind says
// what went wrong, the detail names what it concerns (usually the file, in the platform's own notation).

#include <QByteArray>
#include <QString>

#include <type_traits>
#include <utility>
#include <variant>

enum class PictureError {
    FileNotFound,      // no such file, or no name at all
    PermissionDenied,  // the file or its folder may not be read or written
    FileAccess,        // not a regular file, a folder in the way, or the disk failed otherwise
    NotAPicture,       // not a JPEG or bitmap, or one whose structure does not hold together
    NoPicture,         // an empty image was given to be written
    TooLargeForFormat, // the format cannot describe a picture of this size
    OutOfMemory,       // the picture would not fit in the memory at hand
    DiskFull,          // the disk or the file size limit ran out while writing
    NameTooLong,       // a file name or a path longer than the system takes
    TargetExists,      // the name to be written is taken, and was to be kept
    PathBlocked,       // a file stands where the path needs a folder
    ReadOnlyDisk,      // the file system is mounted read-only
    NameRefused,       // the file system takes no file of this name (a FAT stick refuses ':' and '?', say)
};

struct PictureFailure
{
    PictureError kind;
    QString detail;
};

// What the system's error number `error` means for a file or folder: the kinds every file operation shares.
// Where an operation reads an error its own way (a taken name, say), it says so before asking here.
PictureError systemErrorKind(int error);

// A failure concerning the file at `path`.
PictureFailure failureAt(PictureError kind, const QString &path);
// The same for a path spelled in the system's bytes, decoded as well as it can be for showing.
PictureFailure failureAt(PictureError kind, const QByteArray &nativePath);

// Either a T or a PictureFailure. PictureResult<> is the result of an operation that gives nothing back.
template<class T = std::monostate>
class [[nodiscard]] PictureResult
{
public:
    PictureResult() requires(std::is_same_v<T, std::monostate>) = default;
    PictureResult(T value)
        : m_outcome(std::move(value))
    {
    }
    PictureResult(PictureFailure failure)
        : m_outcome(std::move(failure))
    {
    }

    bool ok() const { return m_outcome.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return std::get<0>(m_outcome); }
    T &&value() && { return std::get<0>(std::move(m_outcome)); }
    const PictureFailure &failure() const { return std::get<1>(m_outcome); }

private:
    std::variant<T, PictureFailure> m_outcome;
};
