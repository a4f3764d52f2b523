#include "WholeFile.h"

#include "FolderListing.h"
#include "PathOpening.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The hidden names: ".kelvo-" then twelve letters or digits, then ".part".
constexpr char HiddenPrefix[] = ".kelvo-";
constexpr char HiddenSuffix[] = ".part";
constexpr qsizetype HiddenLetters = 12;
constexpr int NameAttempts = 100;

QByteArray randomHiddenName()
{
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray name(HiddenPrefix);
    for (qsizetype i = 0; i < HiddenLetters; ++i)
        name += Letters[QRandomGenerator::global()->bounded(int(sizeof Letters - 1))];
    return name + HiddenSuffix;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `name` in `folder` is still the file open as `fd`.
bool nameIsFile(int folder, const QByteArray &name, int fd)
{
    struct stat named = {};
    struct stat open = {};
    return ::fstatat(folder, name.constData(), &named, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &open) == 0
           && sameFile(named, open);
}

QByteArray procPathOf(int fd)
{
    return "/proc/self/fd/" + QByteArray::number(fd);
}

// Links the open, unnamed file `fd` into `folder` as `name`; fails with EEXIST when the name is taken.
int linkUnnamed(int fd, int folder, const QByteArray &name)
{
    if (::linkat(AT_FDCWD, procPathOf(fd).constData(), folder, name.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return -1;
    // Without /proc, the file's own descriptor names it; that needs a privilege most users lack.
    return ::linkat(fd, "", folder, name.constData(), AT_EMPTY_PATH);
}

// Renames `from` to `to` in `folder` unless `to` is taken (EEXIST), on every file system there is.
int renameUnlessTaken(int folder, const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(folder, from.constData(), folder, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    if (::linkat(folder, from.constData(), folder, to.constData(), 0) == 0)
        return ::unlinkat(folder, from.constData(), 0);
    if (errno == EEXIST)
        return -1;
    // A file system without links: a look at the name leaves a moment in which another writer could take it.
    struct stat taken = {};
    if (::fstatat(folder, to.constData(), &taken, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::renameat(folder, from.constData(), folder, to.constData());
}

} // namespace

PictureResult<WholeFile> WholeFile::create(const QByteArray &path)
{
    WholeFile file;
    file.m_path = path;
    const qsizetype slash = path.lastIndexOf('/');
    file.m_name = path.mid(slash + 1);
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    if (file.m_name.isEmpty())
        return file.failure(EISDIR);
    // The system reads a name up to its first NUL byte: such a path would name another file than this one.
    if (path.contains('\0'))
        return file.failure(EINVAL);
    if (file.m_name.size() > NAME_MAX)
        return file.failure(ENAMETOOLONG);
    file.m_folder = openPath(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat folderStatus = {};
    if (file.m_folder < 0 || ::fstat(file.m_folder, &folderStatus) != 0)
        return file.failure(errno);
    file.m_fileSystem = folderStatus.st_dev;
    const PictureResult<> opened = file.openUnnamed();
    if (!opened)
        return opened.failure();
    return file;
}

WholeFile::WholeFile(WholeFile &&other) noexcept
    : m_path(std::move(other.m_path))
    , m_folder(std::exchange(other.m_folder, -1))
    , m_name(std::move(other.m_name))
    , m_hiddenName(std::exchange(other.m_hiddenName, {}))
    , m_fileSystem(other.m_fileSystem)
    , m_file(std::move(other.m_file))
{
}

WholeFile::~WholeFile()
{
    if (!m_hiddenName.isEmpty())
        ::unlinkat(m_folder, m_hiddenName.constData(), 0);
    m_file.reset();
    if (m_folder >= 0)
        ::close(m_folder);
}

PictureResult<> WholeFile::openUnnamed()
{
    const int fd = ::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == ENOENT || errno == EINVAL)
            return openHidden();
        return failure(errno);
    }
    // Held for as long as the file is open, so that no other run takes it for a leftover once it has a name.
    ::flock(fd, LOCK_EX);
    m_file = std::make_unique<QFile>();
    m_file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
    return {};
}

PictureResult<> WholeFile::openHidden()
{
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        const QByteArray name = randomHiddenName();
        const int fd = ::openat(m_folder, name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return failure(errno);
        }
        // Another run may have taken the new file for a leftover between its making and this lock.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !nameIsFile(m_folder, name, fd)) {
            ::close(fd);
            continue;
        }
        m_hiddenName = name;
        m_file = std::make_unique<QFile>();
        m_file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
        return {};
    }
    return failure(EEXIST);
}

PictureResult<> WholeFile::syncFileSystem()
{
    if (::syncfs(m_file->handle()) != 0)
        return failure(errno);
    return {};
}

PictureResult<> WholeFile::commitSynced(AtTakenName atTakenName)
{
    PictureResult<> named = takeName(atTakenName);
    if (named) {
        m_hiddenName.clear();
        m_file.reset();
    }
    return named;
}

PictureResult<> WholeFile::takeName(AtTakenName atTakenName)
{
    const int fd = m_file->handle();
    if (atTakenName == AtTakenName::Keep) {
        const int linked = m_hiddenName.isEmpty() ? linkUnnamed(fd, m_folder, m_name)
                                                  : renameUnlessTaken(m_folder, m_hiddenName, m_name);
        return linked == 0 ? PictureResult<>() : failure(errno);
    }
    if (m_hiddenName.isEmpty()) {
        PictureResult<> linked = linkAsHidden();
        if (!linked)
            return linked;
    }
    if (::renameat(m_folder, m_hiddenName.constData(), m_folder, m_name.constData()) != 0)
        return failure(errno);
    return {};
}

// Gives the unnamed file a hidden name, from which a rename can put it in place of whatever stands at its name.
PictureResult<> WholeFile::linkAsHidden()
{
    for (int attempt = 0; attempt < NameAttempts; ++attempt) {
        const QByteArray name = randomHiddenName();
        if (linkUnnamed(m_file->handle(), m_folder, name) == 0) {
            m_hiddenName = name;
            return {};
        }
        if (errno != EEXIST)
            return failure(errno);
    }
    return failure(EEXIST);
}

PictureFailure WholeFile::failure(int error) const
{
    // A file system that takes no such name says EINVAL: the name is all that the calls here can be refused.
    const PictureError kind = error == EEXIST   ? PictureError::TargetExists
                              : error == EINVAL ? PictureError::NameRefused
                                                : systemErrorKind(error);
    return failureAt(kind, m_path);
}

void WholeFile::removeLeftovers(const QByteArray &folder)
{
    const PictureResult<FolderListing> listing = FolderListing::open(folder);
    if (!listing)
        return;
    const int folderFd = listing.value().descriptor();
    for (const FolderEntry &entry : listing.value().entries()) {
        if (entry.type != FolderEntry::Type::File || !isTemporaryName(entry.name))
            continue;
        const int fd = ::openat(folderFd, entry.name.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A writer holds its file locked until the file has its own name: one that can be locked is left over.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && nameIsFile(folderFd, entry.name, fd))
            ::unlinkat(folderFd, entry.name.constData(), 0);
        ::close(fd);
    }
}

bool WholeFile::isTemporaryName(const QByteArray &fileName)
{
    return fileName.size() == qsizetype(sizeof HiddenPrefix - 1) + HiddenLetters + qsizetype(sizeof HiddenSuffix - 1)
           && fileName.startsWith(HiddenPrefix) && fileName.endsWith(HiddenSuffix);
}

QByteArray WholeFile::newTemporaryName()
{
    return randomHiddenName();
}
