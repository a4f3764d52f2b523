#pragma once

#include <QString>

#include <exception>

// The numbers the toolkit customarily gives its run-time errors.
namespace ErrorNumber {
inline constexpr int Overflow = 6, OutOfMemory = 7, LibraryNotFound = 48, FileNotFound = 53, DiskFull = 61,
                     PermissionDenied = 70, PathFileAccess = 75, EntryPointNotFound = 453, InvalidPicture = 481,
                     BufferTooSmall = 20476, DialogCancelled = 32755, IndexOutOfBounds = 35600;
} // namespace ErrorNumber

// A failure of a toolkit call: a number, and a description in simplified Chinese.
class RuntimeError : public std::exception
{
public:
    // `detail` (a path, a library name) is appended to the number's standard description.
    explicit RuntimeError(int number, const QString &detail = {});

    int number() const noexcept { return m_number; }
    QString description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

    static QString standardDescription(int number);

private:
    int m_number;
    QString m_description;
    QByteArray m_what;
};
