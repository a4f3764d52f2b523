#include "PictureReader.h"

#include "pixels/bitmap/BitmapBands.h"
#include "pixels/jpeg/JpegIntoSurface.h"
#include "pixels/jpeg/JpegScanData.h"
#include "pixels/jpeg/JpegStructure.h"
#include "pixels/memory/ImageAllocator.h"
#include "pixels/memory/MemoryBudget.h"

#include <QBuffer>
#include <QImageReader>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 MiB = qint64(1024) * 1024;
constexpr qint64 SurfacePixelBytes = 4;

PictureError openErrorKind(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return PictureError::FileNotFound;
    case EACCES:
    case EPERM: return PictureError::PermissionDenied;
    case ENAMETOOLONG: return PictureError::NameTooLong;
    default: return PictureError::FileAccess;
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
    if (size < ImageAllocator::LargeImageBytes)
        return;
    const auto page = quintptr(::sysconf(_SC_PAGESIZE));
    const quintptr begin = (quintptr(data) + page - 1) / page * page;
    const quintptr end = (quintptr(data) + quintptr(size)) / page * page;
    if (end > begin)
        ::madvise(data + (begin - quintptr(data)), end - begin, MADV_POPULATE_WRITE);
}

// Qt's readers allocate no more than the picture's budget either, whatever a file says by the time they
// read it. The limit is Qt's, for every reader of the process.
void limitDecoderAllocations(qint64 budget)
{
    QImageReader::setAllocationLimit(int(qMin<qint64>(budget / MiB + 1, std::numeric_limits<int>::max())));
}

// Qt's readers decode straight into the surface's format where they can, in memory that is ready to be
// written (they fill an image of the right size and format in place). False when the decoder fails.
bool decode(QImageReader &reader, QSize size, QImage &image)
{
    if (reader.imageFormat() == QImage::Format_RGB32)
        image = ImageAllocator::allocate(size, QImage::Format_RGB32);
    return reader.read(&image) && !image.isNull();
}

// The common JPEG, which Qt's reader would take as it is: neither turned by its EXIF orientation nor carrying
// comments, which only Qt's reader reads as Qt does.
bool jpegAsStored(QImageReader &reader)
{
    return reader.transformation() == QImageIOHandler::TransformationNone && reader.textKeys().isEmpty();
}

} // namespace

PictureReader::PictureReader(QByteArray nativePath)
    : m_path(std::move(nativePath))
{
}

PictureResult<QSize> PictureReader::inspect()
{
    return inspect(pictureMemoryBudget());
}

PictureResult<QSize> PictureReader::inspect(qint64 budget)
{
    m_budget = budget;
    PictureResult<> checked = open();
    if (checked) {
        const QByteArray format = QImageReader::imageFormat(&m_file);
        if (format == "jpeg")
            checked = inspectJpeg();
        else if (format == "bmp")
            checked = inspectBitmap();
        else
            checked = failure(PictureError::NotAPicture);
    }
    if (!checked)
        return checked.failure();
    m_inspected = true;
    return m_size;
}

// Opens the picture file for reading. Only a regular file is read; a pipe or a device could block or never
// end.
PictureResult<> PictureReader::open()
{
    m_file.close();
    if (m_path.isEmpty())
        return PictureFailure{PictureError::FileNotFound, {}};
    const int fd = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failure(openErrorKind(errno));
    m_file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return failure(PictureError::FileAccess);
    if (!startsLikeAPicture(fd))
        return failure(PictureError::NotAPicture);
    if (status.st_size > m_budget)
        return failure(PictureError::OutOfMemory);
    return {};
}

// A picture of this size would not fit in its budget.
PictureResult<> PictureReader::checkFitsInBudget(QSize size) const
{
    // Both sides may be near 2^31: their product fits in 64 bits, four times it need not.
    if (qint64(size.width()) * size.height() > m_budget / SurfacePixelBytes)
        return failure(PictureError::OutOfMemory);
    return {};
}

// The whole file, read once: every check and the decoder see the same bytes, whatever happens to the file
// meanwhile.
PictureResult<QByteArray> PictureReader::readWholeFile()
{
    QByteArray bytes(qsizetype(m_file.size()), Qt::Uninitialized);
    mapInOneGo(bytes.data(), bytes.size());
    qsizetype got = 0;
    m_file.seek(0);
    while (got < bytes.size()) {
        const qint64 n = m_file.read(bytes.data() + got, bytes.size() - got);
        if (n < 0)
            return failure(PictureError::FileAccess);
        if (n == 0)
            break; // the file shrank while we read it; the checks judge what we have
        got += qsizetype(n);
    }
    bytes.truncate(got);
    return bytes;
}

// A JPEG is decoded from memory once its whole structure proves sound. One that ends without its end marker
// (cut at the very end by a camera or a download) is taken when every scan's data is there; the arithmetic
// decoder runs out of data without a word, so such a stream is only taken whole.
PictureResult<> PictureReader::inspectJpeg()
{
    m_kind = Kind::Jpeg;
    PictureResult<QByteArray> bytes = readWholeFile();
    if (!bytes)
        return bytes.failure();
    m_bytes = std::move(bytes).value();
    const JpegLayout layout = readJpegLayout(m_bytes);
    if (!jpegDataCoversFrame(layout) || layout.scans > MaxJpegScans)
        return failure(PictureError::NotAPicture);
    m_size = layout.frameSize;
    if (PictureResult<> fits = checkFitsInBudget(m_size); !fits)
        return fits;
    if (!layout.complete && (layout.arithmetic || !jpegScansAreWhole(m_bytes)))
        return failure(PictureError::NotAPicture);
    return {};
}

// An uncompressed bitmap is judged by its headers and decoded from the file, its rows holding nothing to
// check; a run-length one is read whole first, since only its whole stream shows whether it fits the picture.
PictureResult<> PictureReader::inspectBitmap()
{
    m_kind = Kind::Bitmap;
    m_file.seek(0);
    m_bytes = m_file.read(BmpHeadBytes);
    const std::optional<BmpLayout> layout = readBmpHeaders(m_bytes, m_file.size());
    if (!layout)
        return failure(PictureError::NotAPicture);
    m_bitmap = *layout;
    m_size = layout->size;
    if (PictureResult<> fits = checkFitsInBudget(m_size); !fits)
        return fits;
    if (!layout->runLength())
        return {};
    PictureResult<QByteArray> bytes = readWholeFile();
    if (!bytes)
        return bytes.failure();
    m_bytes = std::move(bytes).value();
    if (!readBmpLayout(m_bytes))
        return failure(PictureError::NotAPicture);
    return {};
}

PictureResult<QImage> PictureReader::read()
{
    if (!m_inspected) {
        if (PictureResult<QSize> inspected = inspect(); !inspected)
            return inspected.failure();
    }
    limitDecoderAllocations(m_budget);
    PictureResult<QImage> image = m_kind == Kind::Jpeg ? readJpeg() : readBitmap();
    m_bytes.clear();
    if (!image)
        return image;
    QImage surface = std::move(image).value();
    if (surface.format() != QImage::Format_RGB32)
        surface.convertTo(QImage::Format_RGB32);
    if (surface.isNull())
        return failure(PictureError::OutOfMemory);
    return surface;
}

PictureResult<QImage> PictureReader::readJpeg()
{
    QBuffer buffer(&m_bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoTransform(true);
    if (jpegAsStored(reader)) {
        if (std::optional<QImage> surface = decodeJpegIntoSurface(m_bytes, m_size)) {
            if (surface->isNull())
                return failure(PictureError::OutOfMemory);
            return std::move(*surface);
        }
    }
    QImage image;
    if (!decode(reader, m_size, image))
        return failure(PictureError::NotAPicture);
    return image;
}

PictureResult<QImage> PictureReader::readBitmap()
{
    QImage image;
    if (m_bitmap.runLength()) {
        QBuffer buffer(&m_bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "bmp");
        if (!decode(reader, m_size, image))
            return failure(PictureError::NotAPicture);
        return image;
    }
    // A bitmap of more pixels than Qt's reader takes is read a band at a time.
    if (qint64(m_size.width()) * m_size.height() > QtBitmapPixelLimit) {
        image = ImageAllocator::allocate(m_size, QImage::Format_RGB32);
        if (image.isNull())
            return failure(PictureError::OutOfMemory);
        if (!readBitmapInBands(m_file, m_bytes, m_bitmap, image))
            return failure(PictureError::NotAPicture);
        return image;
    }
    m_file.seek(0);
    QImageReader reader(&m_file, "bmp");
    if (!decode(reader, m_size, image))
        return failure(PictureError::NotAPicture);
    // Qt's reader takes a file that ends early (one cut short while we read it) for a picture with its last
    // rows unwritten.
    if (m_file.pos() < m_bitmap.pixelOffset + m_bitmap.rowBytes() * m_size.height())
        return failure(PictureError::NotAPicture);
    return image;
}

bool looksLikePicture(const QByteArray &nativePath)
{
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    const bool picture = startsLikeAPicture(fd);
    ::close(fd);
    return picture;
}

PictureResult<QImage> readPicture(const QByteArray &nativePath)
{
    PictureReader reader(nativePath);
    return reader.read();
}
