#include "PictureReader.h"

#include "Orientation.h"
#include "PathOpening.h"

#include "pixels/memory/MemoryBudget.h"

#include <QImageReader>

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 MiB = qint64(1024) * 1024;

// A file to be read behind a path through a file is as missing as any other.
PictureError openErrorKind(int error)
{
    return error == ENOTDIR ? PictureError::FileNotFound : systemErrorKind(error);
}

// Qt's readers allocate no more than the picture's budget either, whatever a file says by the time they
// read it. The limit is Qt's, for every reader of the process.
void limitDecoderAllocations(qint64 budget)
{
    QImageReader::setAllocationLimit(int(qMin<qint64>(budget / MiB + 1, std::numeric_limits<int>::max())));
}

// The format the first bytes of `fd` announce; null for none, or a file too short to tell.
const SourceFormat *formatOf(int fd)
{
    char head[SourceHeadBytes] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    return got > 0 ? announcedFormat(QByteArrayView(head, qsizetype(got))) : nullptr;
}

// The surface the rest of the engine works on: 32 bits a pixel, opaque or, where the header says the picture
// has transparency, with straight alpha.
bool toSurfaceFormat(QImage &image, bool alpha)
{
    const QImage::Format format = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (image.format() != format)
        image.convertTo(format);
    return !image.isNull();
}

} // namespace

PictureReader::PictureReader(QByteArray nativePath, SourceFormatSet formats)
    : m_path(std::move(nativePath))
    , m_formats(formats)
{
}

PictureResult<QSize> PictureReader::inspect()
{
    return inspect(pictureMemoryBudget());
}

PictureResult<QSize> PictureReader::inspect(qint64 budget)
{
    m_budget = budget;
    m_reader.reset();
    const PictureResult<const SourceFormat *> format = open();
    if (!format)
        return format.failure();
    m_reader = format.value()->makeReader();
    PictureResult<PictureHeader> header = m_reader->readHeader(m_file, budget);
    if (!header) {
        m_reader.reset();
        return failure(header.failure().kind);
    }
    m_header = std::move(header).value();
    return m_header.size;
}

// Opens the picture file for reading. Only a regular file is read; a pipe or a device could block or never
// end.
PictureResult<const SourceFormat *> PictureReader::open()
{
    m_file.close();
    if (m_path.isEmpty())
        return PictureFailure{PictureError::FileNotFound, {}};
    const int fd = openPath(m_path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return failure(openErrorKind(errno));
    m_file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return failure(PictureError::FileAccess);
    const SourceFormat *format = formatOf(fd);
    if (!format || !readsFormat(*format, m_formats))
        return failure(PictureError::NotAPicture);
    if (status.st_size > m_budget)
        return failure(PictureError::OutOfMemory);
    return format;
}

PictureResult<QImage> PictureReader::read(SampleDepth depth)
{
    if (!m_reader) {
        if (PictureResult<QSize> inspected = inspect(); !inspected)
            return inspected.failure();
    }
    limitDecoderAllocations(m_budget);
    PictureResult<QImage> image = m_reader->readPixels(m_file, depth);
    m_reader.reset();
    if (!image)
        return failure(image.failure().kind);
    QImage surface = std::move(image).value();
    if (surface.isNull() || !applyTransformation(surface, m_header.transformation))
        return failure(PictureError::OutOfMemory);
    if (m_header.dotsPerMeterX > 0 && m_header.dotsPerMeterY > 0) {
        surface.setDotsPerMeterX(m_header.dotsPerMeterX);
        surface.setDotsPerMeterY(m_header.dotsPerMeterY);
    }
    if (depth == SampleDepth::Sixteen && surface.depth() == 64)
        return surface;
    if (!toSurfaceFormat(surface, m_header.hasAlpha))
        return failure(PictureError::OutOfMemory);
    return surface;
}

bool looksLikePicture(const QByteArray &nativePath)
{
    const int fd = openPath(nativePath, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    const bool picture = fileKindOf(fd) == FileKind::Picture;
    ::close(fd);
    return picture;
}

FileKind fileKindOf(int fd)
{
    const SourceFormat *format = formatOf(fd);
    if (!format)
        return FileKind::NotAPicture;
    return readsFormat(*format, SourceFormatSet::All) ? FileKind::Picture : FileKind::OtherPictureFormat;
}

PictureResult<QImage> readPicture(const QByteArray &nativePath)
{
    PictureReader reader(nativePath);
    return reader.read();
}
