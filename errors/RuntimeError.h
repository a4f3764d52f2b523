#pragma once

#include <QString>

#include <exception>

// The numbers the toolkit customarily gives its run-time errors.
namespace ErrorNumber {
inline constexpr int Overflow = 6;
inline constexpr int OutOfMemory = 7;
inline constexpr int LibraryNotFound = 48;
inline constexpr int FileNotFound = 53;
inline constexpr int DiskFull = 61;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccess = 75;
inline constexpr int EntryPointNotFound = 453;
inline constexpr int InvalidPicture = 481;
inline constexpr int BufferTooSmall = 20476;
inline constexpr int DialogCancelled = 32755;
inline constexpr int IndexOutOfBounds = 35600;
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
