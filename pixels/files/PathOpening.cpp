#include "PathOpening.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The longest stretch of a path handed to the system at once; well below PATH_MAX.
constexpr qsizetype StretchBytes = PATH_MAX / 2;

int openFolderStretch(int from, const QByteArray &stretch)
{
    return ::openat(from, stretch.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

// Opens `path` stretch by stretch: whole components, as many as fit in StretchBytes, then the last component
// with the caller's flags.
int openPiecewise(const QByteArray &path, int flags, mode_t mode)
{
    const qsizetype lastSlash = path.lastIndexOf('/');
    const QByteArray name = path.mid(lastSlash + 1);
    if (lastSlash <= 0 || name.size() > NAME_MAX) {
        errno = ENAMETOOLONG;
        return -1;
    }
    int folder = path.startsWith('/') ? openFolderStretch(AT_FDCWD, "/") : openFolderStretch(AT_FDCWD, ".");
    qsizetype at = path.startsWith('/') ? 1 : 0;
    while (folder >= 0 && at < lastSlash) {
        qsizetype end = at;
        for (qsizetype next = path.indexOf('/', end + 1); next >= 0 && next <= lastSlash && next - at <= StretchBytes;
             next = path.indexOf('/', next + 1))
            end = next;
        if (end == at) { // a single component longer than a stretch: more than any file system takes
            ::close(folder);
            errno = ENAMETOOLONG;
            return -1;
        }
        const int inner = openFolderStretch(folder, path.mid(at, end - at));
        const int error = errno;
        ::close(folder);
        errno = error;
        folder = inner;
        at = end + 1;
    }
    if (folder < 0)
        return -1;
    const int fd = ::openat(folder, name.constData(), flags, mode);
    const int error = errno;
    ::close(folder);
    errno = error;
    return fd;
}

} // namespace

int openPath(const QByteArray &path, int flags, mode_t mode)
{
    // The system reads a path up to its first NUL byte: such a path would name another file than this one.
    if (path.contains('\0')) {
        errno = EINVAL;
        return -1;
    }
    const int fd = ::open(path.constData(), flags, mode);
    if (fd >= 0 || errno != ENAMETOOLONG)
        return fd;
    return openPiecewise(path, flags, mode);
}
