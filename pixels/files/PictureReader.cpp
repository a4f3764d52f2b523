#include "PictureReader.h"

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

} // namespace

// JPEG and BMP files announce themselves in their first two bytes; nothing else is worth reading.
std::optional<PictureReader::Kind> PictureReader::announcedKind(int fd)
{
    unsigned char magic[2] = {};
    if (::pread(fd, magic, sizeof magic, 0) != qint64(sizeof magic))
        return std::nullopt;
    if (magic[0] == 0xFF && magic[1] == 0xD8)
        return Kind::Jpeg;
    if (magic[0] == 'B' && magic[1] == 'M')
        return Kind::Bitmap;
    return std::nullopt;
}

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
    m_inspected = std::monostate();
    const PictureResult<Kind> kind = open();
    if (!kind)
        return kind.failure();
    if (kind.value() == Kind::Jpeg) {
        PictureResult<InspectedJpeg> jpeg = inspectJpeg(m_file, budget);
        if (!jpeg)
            return failure(jpeg.failure().kind);
        m_inspected = std::move(jpeg).value();
        return std::get<InspectedJpeg>(m_inspected).size;
    }
    PictureResult<InspectedBitmap> bitmap = inspectBitmap(m_file, budget);
    if (!bitmap)
        return failure(bitmap.failure().kind);
    m_inspected = std::move(bitmap).value();
    return std::get<InspectedBitmap>(m_inspected).layout.size;
}

// Opens the picture file for reading. Only a regular file is read; a pipe or a device could block or never
// end.
PictureResult<PictureReader::Kind> PictureReader::open()
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
    const std::optional<Kind> kind = announcedKind(fd);
    if (!kind)
        return failure(PictureError::NotAPicture);
    if (status.st_size > m_budget)
        return failure(PictureError::OutOfMemory);
    return *kind;
}

PictureResult<QImage> PictureReader::read()
{
    if (std::holds_alternative<std::monostate>(m_inspected)) {
        if (PictureResult<QSize> inspected = inspect(); !inspected)
            return inspected.failure();
    }
    limitDecoderAllocations(m_budget);
    PictureResult<QImage> image = std::holds_alternative<InspectedJpeg>(m_inspected)
                                      ? readJpeg(std::get<InspectedJpeg>(m_inspected))
                                      : readBitmap(m_file, std::get<InspectedBitmap>(m_inspected));
    m_inspected = std::monostate();
    if (!image)
        return failure(image.failure().kind);
    QImage surface = std::move(image).value();
    if (surface.format() != QImage::Format_RGB32)
        surface.convertTo(QImage::Format_RGB32);
    if (surface.isNull())
        return failure(PictureError::OutOfMemory);
    return surface;
}

bool looksLikePicture(const QByteArray &nativePath)
{
    const int fd = openPath(nativePath, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    const bool picture = PictureReader::announcedKind(fd).has_value();
    ::close(fd);
    return picture;
}

FileKind fileKindOf(int fd)
{
    return PictureReader::announcedKind(fd) ? FileKind::Picture : FileKind::NotAPicture;
}

PictureResult<QImage> readPicture(const QByteArray &nativePath)
{
    PictureReader reader(nativePath);
    return reader.read();
}
