#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A list of inputs (--files-from), read an entry at a time so that a list of millions takes no more memory than
// its longest entry: one path a line, or separated by NUL characters. A line ending in CR LF loses the CR, a
// UTF-8 byte-order mark before the first entry is dropped, empty entries are skipped. A line may hold NUL bytes
// (a list made with find -print0, read without -0): it comes whole, for the gathering to refuse.
class InputList
{
public:
    // The list in the file `path`, or in standard input for "-" (which the run may have found closed).
    InputList(const QByteArray &path, bool nulSeparated, bool standardInputClosed);
    InputList(const InputList &) = delete;
    InputList &operator=(const InputList &) = delete;
    ~InputList();

    // Opens the list; why it cannot be read, in the user's words, when it cannot.
    std::optional<QString> open();

    // The next entry; none at the end of the list or when reading fails (see failure()).
    std::optional<QByteArray> next();
    // Why reading stopped before the end of the list; none when it ended.
    std::optional<QString> failure() const { return m_failure; }

private:
    bool fill();
    QString refusal(const QString &why) const;

    QByteArray m_path;
    const char m_separator;
    const bool m_standardInputClosed;
    int m_fd = -1;
    QByteArray m_buffer;
    qsizetype m_at = 0;
    bool m_ended = false;
    bool m_first = true;
    std::optional<QString> m_failure;
};
