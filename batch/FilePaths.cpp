#include "FilePaths.h"

#include <QHash>
#include <QList>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>

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
    // A run names many files in few folders: each folder is resolved once. Called from one thread only.
    static QHash<QByteArray, QByteArray> resolvedFolders;
    char resolved[PATH_MAX];
    const QByteArray name = fileName(path);
    if (name.isEmpty() || name == "." || name == "..")
        return ::realpath(path.constData(), resolved) != nullptr ? QByteArray(resolved) : path;
    const QByteArray above = folder(path);
    auto known = resolvedFolders.constFind(above);
    if (known == resolvedFolders.constEnd()) {
        if (::realpath(above.constData(), resolved) == nullptr)
            return ::realpath(path.constData(), resolved) != nullptr ? QByteArray(resolved) : path;
        known = resolvedFolders.insert(above, QByteArray(resolved));
    }
    return join(*known, name);
}

bool makeFolders(const QByteArray &path)
{
    struct stat status = {};
    if (::stat(path.constData(), &status) == 0) {
        errno = ENOTDIR;
        return S_ISDIR(status.st_mode);
    }
    const QByteArray above = folder(path);
    if (errno == ENOENT && above != path && !makeFolders(above))
        return false;
    return ::mkdir(path.constData(), 0777) == 0
           || (errno == EEXIST && ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode));
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
