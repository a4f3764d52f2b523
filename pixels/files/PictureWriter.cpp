#include "PictureWriter.h"

#include "PictureEncoding.h"
#include "WriteBehindDevice.h"

#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace {

PictureFailure writeFailure(const QSaveFile &file, int savedErrno, const QString &path)
{
    if (QFileInfo(path).isDir())
        return failureAt(PictureError::FileAccess, path);
    switch (systemErrorKind(savedErrno)) {
    case PictureError::DiskFull: return failureAt(PictureError::DiskFull, path);
    case PictureError::PermissionDenied: return failureAt(PictureError::PermissionDenied, path);
    default: break;
    }
    // Where the system said nothing, Qt's reading of the failure.
    if (file.error() == QFileDevice::PermissionsError)
        return failureAt(PictureError::PermissionDenied, path);
    if (file.error() == QFileDevice::WriteError || file.error() == QFileDevice::ResourceError)
        return failureAt(PictureError::DiskFull, path);
    return failureAt(PictureError::FileAccess, path);
}

} // namespace

PictureWrite::PictureWrite(const QString &path, std::unique_ptr<QSaveFile> file)
    : m_file(std::move(file))
    , m_path(path)
{
}

PictureWrite::PictureWrite(PictureWrite &&) noexcept = default;

PictureWrite::~PictureWrite()
{
    if (m_file)
        m_file->cancelWriting();
}

PictureResult<> PictureWrite::commit()
{
    errno = 0;
    const bool synced = m_written && m_file->flush() && ::fsync(m_file->handle()) == 0;
    const int error = m_error != 0 ? m_error : errno;
    if (synced && m_file->commit()) {
        m_file.reset();
        return {};
    }
    m_file->cancelWriting();
    const PictureFailure failure = writeFailure(*m_file, error != 0 ? error : errno, m_path);
    m_file.reset();
    return failure;
}

PictureResult<PictureWrite> startPictureWrite(const QImage &picture, const QString &path, PictureFormat format)
{
    if (picture.isNull())
        return PictureFailure{PictureError::NoPicture, {}};
    // In a folder where no new file can be made (a shared folder, a card mounted so) a file that the user may
    // write is written in place instead, as every other program would; a failure there is reported all the same.
    PictureWrite write(path, std::make_unique<QSaveFile>(path));
    QSaveFile &file = *write.m_file;
    file.setDirectWriteFallback(true);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return writeFailure(file, errno, path);
    errno = 0;
    WriteBehindDevice behind(file);
    const PictureResult<bool> encoded = encodePicture(behind, picture, format, EncodingSettings());
    if (!encoded)
        return encoded.failure();
    write.m_written = encoded.value() && behind.finish();
    write.m_error = write.m_written ? 0 : errno;
    return write;
}

PictureResult<> writePicture(const QImage &picture, const QString &path, PictureFormat format)
{
    PictureResult<PictureWrite> write = startPictureWrite(picture, path, format);
    if (!write)
        return write.failure();
    return std::move(write).value().commit();
}
