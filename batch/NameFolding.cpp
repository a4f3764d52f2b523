#include "NameFolding.h"

#include "FilePaths.h"

#include "pixels/files/FolderListing.h"
#include "pixels/files/PathOpening.h"
#include "pixels/files/WholeFile.h"

#include <QString>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

QByteArray foldedCase(QByteArrayView component)
{
    if (isAscii(component))
        return component.toByteArray().toLower();
    const QString text = QString::fromUtf8(component);
    // Bytes that are no text cannot be folded as text: their letters of ASCII fold all the same.
    if (text.contains(QChar::ReplacementCharacter))
        return component.toByteArray().toLower();
    return text.toCaseFolded().toUtf8();
}

QByteArrayView withoutTrailingDots(QByteArrayView component)
{
    if (component == "..")
        return component;
    while (component.size() > 1 && (component.endsWith('.') || component.endsWith(' ')))
        component.chop(1);
    return component;
}

QByteArray swappedCase(QByteArray name)
{
    for (char &c : name) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return name;
}

bool hasLetter(const QByteArray &name)
{
    return swappedCase(name) != name;
}

bool sameEntry(int folder, const QByteArray &name, const QByteArray &other)
{
    struct stat a = {};
    struct stat b = {};
    return ::fstatat(folder, name.constData(), &a, AT_SYMLINK_NOFOLLOW) == 0
           && ::fstatat(folder, other.constData(), &b, AT_SYMLINK_NOFOLLOW) == 0 && a.st_dev == b.st_dev
           && a.st_ino == b.st_ino;
}

NameFolding lookedUp(int folder, const QByteArray &name)
{
    return {sameEntry(folder, name, swappedCase(name)), sameEntry(folder, name, name + '.')};
}

// A hidden file of the pattern a killed writer leaves, so that a run killed during the look leaves nothing
// that the next run does not take away.
NameFolding lookedUpWithProbe(int folder)
{
    const QByteArray probe = WholeFile::newTemporaryName();
    const int fd = ::openat(folder, probe.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return {};
    const NameFolding folding = lookedUp(folder, probe);
    ::close(fd);
    ::unlinkat(folder, probe.constData(), 0);
    return folding;
}

NameFolding foldingOfFolder(const FolderListing &folder)
{
    for (const FolderEntry &entry : folder.entries()) {
        if (hasLetter(entry.name))
            return lookedUp(folder.descriptor(), entry.name);
    }
    return lookedUpWithProbe(folder.descriptor());
}

} // namespace

QByteArray NameFolding::key(const QByteArray &path) const
{
    if (!ignoresCase && !dropsTrailingDots)
        return path;
    QByteArray key;
    key.reserve(path.size());
    for (qsizetype start = 0; start <= path.size();) {
        qsizetype end = path.indexOf('/', start);
        if (end < 0)
            end = path.size();
        QByteArrayView component = QByteArrayView(path).sliced(start, end - start);
        if (dropsTrailingDots)
            component = withoutTrailingDots(component);
        key += ignoresCase ? foldedCase(component) : component.toByteArray();
        if (end < path.size())
            key += '/';
        start = end + 1;
    }
    return key;
}

QByteArray NameFolding::strictestKey(const QByteArray &path)
{
    return NameFolding{true, true}.key(path);
}

NameFolding NameFoldings::of(const QByteArray &folder)
{
    const auto known = m_known.constFind(folder);
    if (known != m_known.constEnd())
        return *known;
    const PictureResult<FolderListing> listing = FolderListing::open(folder);
    const QByteArray above = FilePaths::folder(folder);
    const NameFolding folding = listing           ? foldingOfFolder(listing.value())
                                : above != folder ? of(above)
                                                  : NameFolding();
    m_known.insert(folder, folding);
    return folding;
}
