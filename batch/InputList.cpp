#include "InputList.h"

#include "FilePaths.h"

#include "errors/FileFailure.h"

#include "pixels/files/PathOpening.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qsizetype ReadBytes = qsizetype(1) << 16;
const QByteArray ByteOrderMark("\xEF\xBB\xBF");

// Why the list cannot be read, in the words a failed file gets.
QString reasonFor(int error, const QByteArray &path)
{
    if (error == EISDIR)
        return QStringLiteral("这是一个文件夹");
    return reasonOf(FileFailure{FileStep::Load, failureAt(systemErrorKind(error), path), path});
}

} // namespace

InputList::InputList(const QByteArray &path, bool nulSeparated, bool standardInputClosed)
    : m_path(path)
    , m_separator(nulSeparated ? '\0' : '\n')
    , m_standardInputClosed(standardInputClosed)
{
}

InputList::~InputList()
{
    if (m_fd > STDERR_FILENO)
        ::close(m_fd);
}

QString InputList::refusal(const QString &why) const
{
    const QString list =
        m_path == "-" ? QStringLiteral("标准输入") : QStringLiteral("“%1”").arg(FilePaths::shown(m_path));
    return QStringLiteral("无法读取列表文件%1: %2").arg(list, why);
}

std::optional<QString> InputList::open()
{
    if (m_path == "-" && m_standardInputClosed)
        return refusal(QStringLiteral("标准输入已关闭"));
    m_fd = m_path == "-" ? STDIN_FILENO : openPath(m_path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0)
        return refusal(reasonFor(errno, m_path));
    return std::nullopt;
}

bool InputList::fill()
{
    m_buffer.remove(0, m_at);
    m_at = 0;
    const qsizetype had = m_buffer.size();
    m_buffer.resize(had + ReadBytes);
    ssize_t got = 0;
    do
        got = ::read(m_fd, m_buffer.data() + had, size_t(ReadBytes));
    while (got < 0 && errno == EINTR);
    m_buffer.resize(had + qMax<ssize_t>(got, 0));
    if (got < 0)
        m_failure = refusal(reasonFor(errno, m_path));
    return got > 0;
}

std::optional<QByteArray> InputList::next()
{
    while (!m_failure) {
        qsizetype end = m_buffer.indexOf(m_separator, m_at);
        if (end < 0 && !m_ended && fill())
            continue;
        if (m_failure)
            break;
        if (end < 0) {
            m_ended = true;
            end = m_buffer.size();
            if (m_at >= end)
                return std::nullopt;
        }
        QByteArray path = m_buffer.mid(m_at, end - m_at);
        m_at = end + 1;
        if (m_first) {
            m_first = false;
            if (path.startsWith(ByteOrderMark))
                path.remove(0, ByteOrderMark.size());
        }
        if (m_separator == '\n' && path.endsWith('\r'))
            path.chop(1);
        if (!path.isEmpty())
            return path;
    }
    return std::nullopt;
}
