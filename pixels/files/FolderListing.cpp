#include "FolderListing.h"

#include "PathOpening.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int FolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY;

FolderEntry::Type typeOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return FolderEntry::Type::File;
    if (S_ISDIR(mode))
        return FolderEntry::Type::Folder;
    if (S_ISLNK(mode))
        return FolderEntry::Type::Link;
    return FolderEntry::Type::Other;
}

// The entry's type as the folder tells it, or, where the file system does not, as the entry itself tells.
FolderEntry::Type typeOf(int folder, const dirent &entry)
{
    switch (entry.d_type) {
    case DT_REG: return FolderEntry::Type::File;
    case DT_DIR: return FolderEntry::Type::Folder;
    case DT_LNK: return FolderEntry::Type::Link;
    case DT_UNKNOWN: {
        struct stat status = {};
        if (::fstatat(folder, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            return FolderEntry::Type::Unknown;
        return typeOfMode(status.st_mode);
    }
    default: return FolderEntry::Type::Other;
    }
}

PictureResult<FolderListing> failedWith(int error, const QByteArray &path)
{
    const PictureFailure failure = failureAt(systemErrorKind(error), path);
    errno = error;
    return failure;
}

} // namespace

FolderListing::FolderListing(int fd)
    : m_fd(fd)
{
    struct stat status = {};
    if (::fstat(fd, &status) == 0) {
        m_device = status.st_dev;
        m_inode = status.st_ino;
    }
}

FolderListing::FolderListing(FolderListing &&other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_device(other.m_device)
    , m_inode(other.m_inode)
{
}

FolderListing::~FolderListing()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

PictureResult<FolderListing> FolderListing::open(const QByteArray &path)
{
    const int fd = openPath(path, FolderFlags);
    if (fd < 0)
        return failedWith(errno, path);
    return FolderListing(fd);
}

PictureResult<FolderListing> FolderListing::openFolder(const QByteArray &name) const
{
    const int fd = ::openat(m_fd, name.constData(), FolderFlags | O_NOFOLLOW);
    if (fd < 0)
        return failedWith(errno, name);
    return FolderListing(fd);
}

QList<FolderEntry> FolderListing::entries() const
{
    QList<FolderEntry> entries;
    // A second descriptor of its own: the listing reads through it, and closedir() closes it.
    const int listed = ::openat(m_fd, ".", FolderFlags);
    DIR *folder = listed < 0 ? nullptr : ::fdopendir(listed);
    if (folder == nullptr) {
        if (listed >= 0)
            ::close(listed);
        return entries;
    }
    while (const dirent *entry = ::readdir(folder)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            entries.append({name, typeOf(m_fd, *entry)});
    }
    ::closedir(folder);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry &a, const FolderEntry &b) { return a.name < b.name; });
    return entries;
}

bool isHiddenName(const QByteArray &name)
{
    return name.startsWith('.');
}
