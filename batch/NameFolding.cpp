#include "NameFolding.h"

#include "FilePaths.h"

#include "pixels/files/FolderListing.h"
#include "pixels/files/PathOpening.h"
#include "pixels/files/WholeFile.h"

#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray foldedCase(const QByteArray &component)
{
    const QString text = QString::fromUtf8(component);
    // Bytes that are no text cannot be folded as text: their letters of ASCII fold all the same.
    if (text.contains(QChar::ReplacementCharacter))
        return component.toLower();
    return text.toCaseFolded().toUtf8();
}

QByteArray withoutTrailingDots(QByteArray component)
{
    while (component.size() > 1 && (component.endsWith('.') || component.endsWith(' ')) && component != "..")
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
    QList<QByteArray> components = path.split('/');
    for (QByteArray &component : components) {
        if (dropsTrailingDots)
            component = withoutTrailingDots(component);
        if (ignoresCase)
            component = foldedCase(component);
    }
    return components.join('/');
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
