#include "FilePaths.h"

#include "pixels/files/PathOpening.h"

#include <QHash>
#include <QList>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FilePaths {

namespace {

bool isControl(uchar byte)
{
    return byte < 0x20 || byte == 0x7f;
}

// The length of the UTF-8 character at `at`, or 0 where the bytes there are no text.
qsizetype characterLength(const QByteArray &bytes, qsizetype at)
{
    const auto byte = uchar(bytes[at]);
    const qsizetype length = byte < 0x80                   ? 1
                             : byte >= 0xC2 && byte < 0xE0 ? 2
                             : byte >= 0xE0 && byte < 0xF0 ? 3
                             : byte >= 0xF0 && byte < 0xF5 ? 4
                                                           : 0;
    if (length <= 1 || at + length > bytes.size())
        return length == 1 ? 1 : 0;
    const QString decoded = QString::fromUtf8(bytes.constData() + at, length);
    return decoded.contains(QChar::ReplacementCharacter) ? 0 : length;
}

QString escapedByte(uchar byte)
{
    switch (byte) {
    case '\n': return QStringLiteral("\\n");
    case '\t': return QStringLiteral("\\t");
    case '\r': return QStringLiteral("\\r");
    default: return QStringLiteral("\\%1").arg(byte, 3, 8, QLatin1Char('0'));
    }
}

// Writes quoted runs of text and $'…' runs of escaped bytes, as the shell reads them back.
class ShellQuoting
{
public:
    void text(const QString &characters)
    {
        setRun(Run::Quoted);
        for (const QChar character : characters)
            m_out += character == QLatin1Char('\'') ? QStringLiteral("'\\''") : QString(character);
    }
    void byte(uchar value)
    {
        setRun(Run::Escaped);
        m_out += escapedByte(value);
    }
    QString finish()
    {
        setRun(Run::None);
        return m_out;
    }

private:
    enum class Run { None, Quoted, Escaped };

    void setRun(Run run)
    {
        if (run == m_run)
            return;
        if (m_run != Run::None)
            m_out += QLatin1Char('\'');
        if (run == Run::Escaped)
            m_out += QStringLiteral("$'");
        else if (run == Run::Quoted)
            m_out += QLatin1Char('\'');
        m_run = run;
    }

    QString m_out;
    Run m_run = Run::None;
};

QByteArray withoutTrailingSlashes(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

// The folder resolved as far as it exists, the rest as spelled: the same for every spelling of a folder that
// exists, and for one still to be made, for every spelling of the part that exists. A run names many files in
// few folders: each is resolved once. Called from one thread only.
QByteArray resolvedFolder(const QByteArray &path)
{
    static QHash<QByteArray, QByteArray> known;
    const auto found = known.constFind(path);
    if (found != known.constEnd())
        return *found;
    char resolved[PATH_MAX];
    QByteArray folderPath;
    if (::realpath(path.constData(), resolved) != nullptr) {
        folderPath = resolved;
    } else {
        const QByteArray above = folder(path);
        const QByteArray name = fileName(path);
        folderPath = above == path                   ? path
                     : name.isEmpty() || name == "." ? resolvedFolder(above)
                                                     : join(resolvedFolder(above), name);
    }
    known.insert(path, folderPath);
    return folderPath;
}

} // namespace

QByteArray fileName(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

QByteArray stem(const QByteArray &fileName)
{
    const qsizetype dot = fileName.lastIndexOf('.');
    return dot < 0 ? fileName : fileName.left(dot);
}

QByteArray folder(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray join(const QByteArray &a, const QByteArray &b)
{
    if (a.isEmpty() || a == "." || b.isEmpty())
        return a.isEmpty() || a == "." ? b : a;
    return a.endsWith('/') ? a + b : a + '/' + b;
}

std::optional<QByteArray> relativeLayout(const QByteArray &path)
{
    QList<QByteArray> kept;
    for (const QByteArray &component : path.split('/')) {
        if (component == "..")
            return std::nullopt;
        if (!component.isEmpty() && component != ".")
            kept << component;
    }
    return kept.join('/');
}

QByteArray entryIdentity(const QByteArray &path)
{
    const QByteArray name = fileName(path);
    if (name.isEmpty() || name == "." || name == "..")
        return resolvedFolder(path);
    return join(resolvedFolder(folder(path)), name);
}

QByteArray entryOf(const QByteArray &path)
{
    const int fd = openPath(path, O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat status = {};
    const bool found = ::fstat(fd, &status) == 0;
    ::close(fd);
    return found ? QByteArray::number(quint64(status.st_dev)) + ':' + QByteArray::number(quint64(status.st_ino))
                 : QByteArray();
}

bool makeFolders(const QByteArray &path)
{
    const QByteArray folderPath = withoutTrailingSlashes(path);
    const int existing = openPath(folderPath, O_PATH | O_CLOEXEC);
    if (existing >= 0) {
        struct stat status = {};
        const bool isFolder = ::fstat(existing, &status) == 0 && S_ISDIR(status.st_mode);
        ::close(existing);
        errno = ENOTDIR;
        return isFolder;
    }
    const QByteArray above = folder(folderPath);
    if (errno != ENOENT || (above != folderPath && !makeFolders(above)))
        return false;
    const int parent = openPath(above, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return false;
    const QByteArray name = fileName(folderPath);
    struct stat status = {};
    const bool made =
        ::mkdirat(parent, name.constData(), 0777) == 0
        || (errno == EEXIST && ::fstatat(parent, name.constData(), &status, 0) == 0 && S_ISDIR(status.st_mode));
    const int error = errno;
    ::close(parent);
    errno = made ? 0 : error;
    return made;
}

QString shown(const QByteArray &path)
{
    bool plain = true;
    for (qsizetype at = 0; at < path.size() && plain;) {
        const qsizetype length = characterLength(path, at);
        plain = length > 0 && !(length == 1 && isControl(uchar(path[at])));
        at += qMax<qsizetype>(length, 1);
    }
    if (plain)
        return QString::fromUtf8(path);
    ShellQuoting quoting;
    for (qsizetype at = 0; at < path.size();) {
        const qsizetype length = characterLength(path, at);
        if (length == 0 || (length == 1 && isControl(uchar(path[at])))) {
            quoting.byte(uchar(path[at++]));
            continue;
        }
        quoting.text(QString::fromUtf8(path.constData() + at, length));
        at += length;
    }
    return quoting.finish();
}

} // namespace FilePaths
