// System calls that fail on demand, for the faults a test cannot stage on a real disk. Linked into a test
// program, or preloaded (LD_PRELOAD) into one it starts, they stand in for the C library's own. The variable
// KELVO_FAIL names the calls that fail, separated by commas:
//   fsync   fsync, fdatasync and syncfs fail with EIO: the disk did not confirm the data
//   rename  rename, renameat, renameat2 and linkat fail with EIO: the file cannot take its name
//   create  opening with O_CREAT or O_TMPFILE fails with EACCES: the folder takes no new file (though its
//           files may be written)
//   unnamed opening with O_TMPFILE fails with EOPNOTSUPP: the file system has no unnamed files
//   readonly opening with O_CREAT or O_TMPFILE fails with EROFS: the file system is mounted read-only
//   full    write, pwrite and writev to a regular file fail with ENOSPC: the disk is full
//   hang    once one file has taken a name that is not hidden (rename, renameat, renameat2, linkat), every
//           later naming waits for ever: the disk stopped answering, a run caught half way for a test to kill
// Without it, every call is the C library's.

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

bool failing(const char *call)
{
    const char *asked = std::getenv("KELVO_FAIL");
    if (asked == nullptr)
        return false;
    const size_t length = std::strlen(call);
    for (const char *at = std::strstr(asked, call); at != nullptr; at = std::strstr(at + 1, call)) {
        const bool starts = at == asked || at[-1] == ',';
        const bool ends = at[length] == '\0' || at[length] == ',';
        if (starts && ends)
            return true;
    }
    return false;
}

template<class Function>
Function real(const char *name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

int refused(int error)
{
    errno = error;
    return -1;
}

std::atomic_bool shownNamed = false;

// Called before each naming.
void holdOnceShown()
{
    if (shownNamed && failing("hang"))
        for (;;)
            ::pause();
}

// Called with each naming's result; leaves errno as the call set it.
int noteName(int result, const char *to)
{
    const char *slash = std::strrchr(to, '/');
    if (result == 0 && (slash == nullptr ? to : slash + 1)[0] != '.')
        shownNamed = true;
    return result;
}

bool unnamed(int flags)
{
    return (flags & O_TMPFILE) == O_TMPFILE;
}

bool creates(int flags)
{
    return (flags & O_CREAT) != 0 || unnamed(flags);
}

// The error an open with `flags` is to fail with, or 0.
int openRefusal(int flags)
{
    if (creates(flags) && failing("create"))
        return EACCES;
    if (creates(flags) && failing("readonly"))
        return EROFS;
    if (unnamed(flags) && failing("unnamed"))
        return EOPNOTSUPP;
    return 0;
}

mode_t modeOf(int flags, va_list arguments)
{
    return creates(flags) ? mode_t(va_arg(arguments, int)) : 0;
}

int openPath(const char *call, const char *path, int flags, mode_t mode)
{
    if (const int error = openRefusal(flags))
        return refused(error);
    return real<int (*)(const char *, int, ...)>(call)(path, flags, mode);
}

int openInFolder(const char *call, int folder, const char *path, int flags, mode_t mode)
{
    if (const int error = openRefusal(flags))
        return refused(error);
    return real<int (*)(int, const char *, int, ...)>(call)(folder, path, flags, mode);
}

// Whether a write to `fd` is to fail because the disk is full: a regular file's, not a pipe's or a terminal's.
bool diskFull(int fd)
{
    struct stat status = {};
    return failing("full") && ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
}

} // namespace

extern "C" {

ssize_t write(int fd, const void *data, size_t bytes)
{
    return diskFull(fd) ? refused(ENOSPC) : real<ssize_t (*)(int, const void *, size_t)>("write")(fd, data, bytes);
}

ssize_t pwrite(int fd, const void *data, size_t bytes, off_t offset)
{
    using Call = ssize_t (*)(int, const void *, size_t, off_t);
    return diskFull(fd) ? refused(ENOSPC) : real<Call>("pwrite")(fd, data, bytes, offset);
}

ssize_t writev(int fd, const struct iovec *parts, int count)
{
    using Call = ssize_t (*)(int, const struct iovec *, int);
    return diskFull(fd) ? refused(ENOSPC) : real<Call>("writev")(fd, parts, count);
}

int fsync(int fd)
{
    return failing("fsync") ? refused(EIO) : real<int (*)(int)>("fsync")(fd);
}

int fdatasync(int fd)
{
    return failing("fsync") ? refused(EIO) : real<int (*)(int)>("fdatasync")(fd);
}

int syncfs(int fd)
{
    return failing("fsync") ? refused(EIO) : real<int (*)(int)>("syncfs")(fd);
}

int rename(const char *from, const char *to)
{
    holdOnceShown();
    using Call = int (*)(const char *, const char *);
    return noteName(failing("rename") ? refused(EIO) : real<Call>("rename")(from, to), to);
}

int renameat(int fromFolder, const char *from, int toFolder, const char *to)
{
    using Call = int (*)(int, const char *, int, const char *);
    holdOnceShown();
    return noteName(failing("rename") ? refused(EIO) : real<Call>("renameat")(fromFolder, from, toFolder, to), to);
}

int renameat2(int fromFolder, const char *from, int toFolder, const char *to, unsigned flags)
{
    using Call = int (*)(int, const char *, int, const char *, unsigned);
    holdOnceShown();
    const int result =
        failing("rename") ? refused(EIO) : real<Call>("renameat2")(fromFolder, from, toFolder, to, flags);
    return noteName(result, to);
}

int linkat(int fromFolder, const char *from, int toFolder, const char *to, int flags)
{
    using Call = int (*)(int, const char *, int, const char *, int);
    holdOnceShown();
    const int result = failing("rename") ? refused(EIO) : real<Call>("linkat")(fromFolder, from, toFolder, to, flags);
    return noteName(result, to);
}

int open(const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    return openPath("open", path, flags, mode);
}

int openat(int folder, const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeOf(flags, arguments);
    va_end(arguments);
    return openInFolder("openat", folder, path, flags, mode);
}

// The large-file names are the same calls on a 64-bit system.
int open64(const char *path, int flags, ...) __attribute__((alias("open")));
int openat64(int folder, const char *path, int flags, ...) __attribute__((alias("openat")));
ssize_t pwrite64(int fd, const void *data, size_t bytes, off_t offset) __attribute__((alias("pwrite")));

} // extern "C"
