#include "PictureFiles.h"

#include "BitmapBands.h"
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

constexpr qint64 MiB = qint64(1024) * 1024;
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
    return available >= 0 ? available : 4096 * MiB;
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
        ::madvise(data + (begin - quintptr(data)), end - begin, MADV_POPULATE_WRITE);
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
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
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
    file.seek(0);
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
    const qint64 budget = pictureMemoryBudget();
    // Both sides may be near 2^31: their product fits in 64 bits, four times it need not.
    if (qint64(size.width()) * size.height() > budget / 4)
        throw RuntimeError(ErrorNumber::OutOfMemory, shown(path));
    // Qt's readers allocate no more than the memory at hand either, whatever a file says by the time they
    // read it.
    QImageReader::setAllocationLimit(int(qMin<qint64>(budget / MiB + 1, std::numeric_limits<int>::max())));
}

// Qt's readers decode straight into the surface's format where they can, in memory that is ready to be
// written (they fill an image of the right size and format in place).
QImage decode(QImageReader &reader, QSize size, const QString &path)
{
    QImage image;
    if (reader.imageFormat() == QImage::Format_RGB32)
        image = ImageMemory::allocate(size, QImage::Format_RGB32);
    if (!reader.read(&image) || image.isNull())
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
    return image;
}

// A JPEG is decoded from memory once its whole structure proves sound.
QImage loadJpeg(QFile &file, const QString &path)
{
    QByteArray bytes = readPictureFile(file, path);
    const JpegLayout layout = readJpegLayout(bytes);
    if (!layout.complete || !jpegDataCoversFrame(layout) || layout.scans > MaxJpegScans)
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
    checkFitsInMemory(layout.frameSize, path);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(true);
    return decode(reader, layout.frameSize, path);
}

// A bitmap of more pixels than Qt's reader takes is read a band at a time.
QImage loadInBands(QFile &file, const QByteArray &head, const BmpLayout &layout, const QString &path)
{
    QImage image = ImageMemory::allocate(layout.size, QImage::Format_RGB32);
    if (image.isNull())
        throw RuntimeError(ErrorNumber::OutOfMemory, shown(path));
    if (!readBitmapInBands(file, head, layout, image))
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
    return image;
}

// An uncompressed bitmap is judged by its headers and decoded from the file, its rows holding nothing to
// check; a run-length one is read whole first, since only its whole stream shows whether it fits the picture.
QImage loadBitmap(QFile &file, const QString &path)
{
    file.seek(0);
    const QByteArray head = file.read(BmpHeadBytes);
    const std::optional<BmpLayout> layout = readBmpHeaders(head, file.size());
    if (!layout)
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
    checkFitsInMemory(layout->size, path);
    if (layout->runLength()) {
        QByteArray bytes = readPictureFile(file, path);
        if (!readBmpLayout(bytes))
            throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "bmp");
        return decode(reader, layout->size, path);
    }
    if (qint64(layout->size.width()) * layout->size.height() > QtBitmapPixelLimit)
        return loadInBands(file, head, *layout, path);
    file.seek(0);
    QImageReader reader(&file, "bmp");
    QImage image = decode(reader, layout->size, path);
    // Qt's reader takes a file that ends early (one cut short while we read it) for a picture with its last
    // rows unwritten.
    if (file.pos() < layout->pixelOffset + layout->rowBytes() * layout->size.height())
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
    return image;
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
    const QByteArray format = QImageReader::imageFormat(&file);
    QImage image;
    if (format == "jpeg")
        image = loadJpeg(file, path);
    else if (format == "bmp")
        image = loadBitmap(file, path);
    else
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
    if (image.format() != QImage::Format_RGB32)
        image.convertTo(QImage::Format_RGB32);
    if (image.isNull())
        throw RuntimeError(ErrorNumber::OutOfMemory, shown(path));
    return StdPicture(std::move(image));
}
