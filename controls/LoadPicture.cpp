#include "PictureFiles.h"

#include "BmpStructure.h"
#include "ImageMemory.h"
#include "JpegStructure.h"
#include "RuntimeError.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/resource.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 MiB = 1024 * 1024;
// The surface takes four bytes a pixel; a decolorize holds it twice for a moment.
constexpr double PeakSurfaces = 2.5;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A number from a "Name:   1234 kB" line of a /proc file, in bytes; -1 when it is not there.
qint64 procKilobytes(const QString &file, const QByteArray &name)
{
    QFile proc(file);
    if (!proc.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : proc.readAll().split('\n')) {
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

qint64 availableMemory()
{
    const qint64 available = procKilobytes(QStringLiteral("/proc/meminfo"), "MemAvailable:");
    return available >= 0 ? available : 4 * 1024 * MiB;
}

// A process may be held to less address space than the machine has free.
qint64 addressSpaceLeft()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<qint64>::max();
    const qint64 used = procKilobytes(QStringLiteral("/proc/self/status"), "VmSize:");
    return qMax<qint64>(0, qint64(limit.rlim_cur) - qMax<qint64>(used, 0));
}

[[noreturn]] void throwOpenError(int error, const QString &path)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        throw RuntimeError(ErrorNumber::FileNotFound, shown(path));
    case EACCES:
    case EPERM:
        throw RuntimeError(ErrorNumber::PermissionDenied, shown(path));
    default:
        throw RuntimeError(ErrorNumber::PathFileAccess, shown(path));
    }
}

// JPEG and BMP files announce themselves in their first two bytes; nothing else is worth reading.
bool startsLikeAPicture(int fd)
{
    unsigned char magic[2] = {};
    if (::pread(fd, magic, sizeof magic, 0) != qint64(sizeof magic))
        return false;
    return (magic[0] == 0xFF && magic[1] == 0xD8) || (magic[0] == 'B' && magic[1] == 'M');
}

// Has the kernel map a large buffer in one go rather than one page fault at a time as read() fills it: a
// third of the time a 300 MB bitmap takes to read. Only a hint.
void mapInOneGo(char *data, qsizetype size)
{
    if (size < ImageMemory::LargeImageBytes)
        return;
    const auto page = quintptr(::sysconf(_SC_PAGESIZE));
    const quintptr begin = (quintptr(data) + page - 1) / page * page;
    const quintptr end = (quintptr(data) + quintptr(size)) / page * page;
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_POPULATE_WRITE);
}

// Opens the picture file for reading. Only a regular file is read; a pipe or a device could block or never
// end.
void openPictureFile(const QString &path, QFile &file)
{
    if (path.isEmpty())
        throw RuntimeError(ErrorNumber::FileNotFound);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throwOpenError(errno, path);
    file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle);
    struct stat status{};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        throw RuntimeError(ErrorNumber::PathFileAccess, shown(path));
    if (!startsLikeAPicture(fd))
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
    if (status.st_size > pictureMemoryBudget())
        throw RuntimeError(ErrorNumber::OutOfMemory, shown(path));
}

// The whole file, read once: every check and the decoder see the same bytes, whatever happens to the file
// meanwhile.
QByteArray readPictureFile(QFile &file, const QString &path)
{
    QByteArray bytes(qsizetype(file.size()), Qt::Uninitialized);
    mapInOneGo(bytes.data(), bytes.size());
    qsizetype got = 0;
    while (got < bytes.size()) {
        const qint64 n = file.read(bytes.data() + got, bytes.size() - got);
        if (n < 0)
            throw RuntimeError(ErrorNumber::PathFileAccess, shown(path));
        if (n == 0)
            break; // the file shrank while we read it; the checks judge what we have
        got += qsizetype(n);
    }
    bytes.truncate(got);
    return bytes;
}

// A picture of this size would not fit in the memory at hand twice over.
void checkFitsInMemory(QSize size, const QString &path)
{
    // Both sides may be near 2^31: their product fits in 64 bits, four times it need not.
    if (qint64(size.width()) * size.height() > pictureMemoryBudget() / 4)
        throw RuntimeError(ErrorNumber::OutOfMemory, shown(path));
}

// The picture's size as its own headers give it, once they prove to hold together.
QSize checkedSize(const QByteArray &format, const QByteArray &bytes, const QString &path)
{
    if (format == "jpeg") {
        const JpegLayout layout = readJpegLayout(bytes);
        if (!layout.complete || !jpegDataCoversFrame(layout) || layout.scans > MaxJpegScans)
            throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
        return layout.frameSize;
    }
    if (format == "bmp") {
        // Qt reports a top-down bitmap's height negated; our own reading of the headers does not.
        const std::optional<BmpLayout> layout = readBmpLayout(bytes);
        if (!layout)
            throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
        return layout->size;
    }
    throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
}

} // namespace

qint64 pictureMemoryBudget()
{
    return qint64(double(qMin(availableMemory(), addressSpaceLeft())) / PeakSurfaces);
}

StdPicture LoadPicture(const QString &path)
{
    QFile file;
    openPictureFile(path, file);
    QByteArray bytes = readPictureFile(file, path);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();

    const QSize size = checkedSize(format, bytes, path);
    checkFitsInMemory(size, path);
    reader.setAllocationLimit(int(qMin<qint64>(pictureMemoryBudget() / MiB + 1, std::numeric_limits<int>::max())));

    // Qt's readers decode straight into the surface's format where they can, in memory that is ready to be
    // written (they fill an image of the right size and format in place).
    QImage image;
    if (reader.imageFormat() == QImage::Format_RGB32)
        image = ImageMemory::allocate(size, QImage::Format_RGB32);
    if (!reader.read(&image) || image.isNull())
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
    bytes.clear();
    if (image.format() != QImage::Format_RGB32)
        image.convertTo(QImage::Format_RGB32);
    if (image.isNull())
        throw RuntimeError(ErrorNumber::OutOfMemory, shown(path));
    return StdPicture(std::move(image));
}
