#include "PictureFiles.h"

#include "RuntimeError.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <cerrno>
#include <unistd.h>

namespace {

constexpr int JpegQuality = 95;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool isAllGrey(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const quint32 *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const quint32 p = row[x];
            if (((p >> 16) & 0xFF) != (p & 0xFF) || ((p >> 8) & 0xFF) != (p & 0xFF))
                return false;
        }
    }
    return true;
}

QImage greyChannel(const QImage &image)
{
    QImage grey(image.size(), QImage::Format_Grayscale8);
    if (grey.isNull())
        throw RuntimeError(ErrorNumber::OutOfMemory);
    for (int y = 0; y < image.height(); ++y) {
        const auto *from = reinterpret_cast<const quint32 *>(image.constScanLine(y));
        uchar *to = grey.scanLine(y);
        for (int x = 0; x < image.width(); ++x)
            to[x] = uchar(from[x]);
    }
    return grey;
}

bool isJpegName(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
}

[[noreturn]] void throwWriteError(const QSaveFile &file, int savedErrno, const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        throw RuntimeError(ErrorNumber::PathFileAccess, shown(path));
    if (savedErrno == ENOSPC || savedErrno == EFBIG || savedErrno == EDQUOT)
        throw RuntimeError(ErrorNumber::DiskFull, shown(path));
    if (savedErrno == EACCES || savedErrno == EPERM || savedErrno == EROFS
        || file.error() == QFileDevice::PermissionsError)
        throw RuntimeError(ErrorNumber::PermissionDenied, shown(path));
    if (file.error() == QFileDevice::WriteError || file.error() == QFileDevice::ResourceError)
        throw RuntimeError(ErrorNumber::DiskFull, shown(path));
    throw RuntimeError(ErrorNumber::PathFileAccess, shown(path));
}

} // namespace

void SavePicture(const StdPicture &picture, const QString &path)
{
    if (picture.Handle() == 0)
        throw RuntimeError(ErrorNumber::InvalidPicture);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throwWriteError(file, errno, path);

    const bool jpeg = isJpegName(path);
    QImageWriter writer(&file, jpeg ? "jpeg" : "bmp");
    bool written;
    if (jpeg) {
        writer.setQuality(JpegQuality);
        const QImage &image = picture.image();
        written = writer.write(isAllGrey(image) ? greyChannel(image) : image);
    } else {
        written = writer.write(picture.image());
    }
    int savedErrno = errno;
    // The new file must be on the disk before it takes the old one's place.
    if (written && file.flush() && ::fsync(file.handle()) == 0 && file.commit())
        return;
    if (savedErrno == 0)
        savedErrno = errno;
    file.cancelWriting();
    throwWriteError(file, savedErrno, path);
}
