#include "PictureFiles.h"

#include "ImageMemory.h"
#include "RuntimeError.h"
#include "WriteBehindDevice.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <cerrno>
#include <limits>
#include <unistd.h>

namespace {

constexpr int JpegQuality = 95;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Whether blue equals green and green equals red in every pixel of the row (0xffRRGGBB).
bool isGreyRow(const quint32 *row, int width)
{
    quint32 differences = 0;
    for (int x = 0; x < width; ++x)
        differences |= (row[x] ^ (row[x] >> 8)) & 0xFFFF;
    return differences == 0;
}

// The picture's one channel when every pixel is grey, in one pass; a null image as soon as a pixel is not.
QImage greyChannelOf(const QImage &image)
{
    const int width = image.width();
    if (image.height() == 0 || !isGreyRow(reinterpret_cast<const quint32 *>(image.constScanLine(0)), width))
        return {};
    QImage grey = ImageMemory::allocate(image.size(), QImage::Format_Grayscale8);
    if (grey.isNull())
        throw RuntimeError(ErrorNumber::OutOfMemory);
    for (int y = 0; y < image.height(); ++y) {
        const auto *from = reinterpret_cast<const quint32 *>(image.constScanLine(y));
        uchar *to = grey.scanLine(y);
        quint32 differences = 0;
        for (int x = 0; x < width; ++x) {
            differences |= (from[x] ^ (from[x] >> 8)) & 0xFFFF;
            to[x] = uchar(from[x]);
        }
        if (differences != 0)
            return {};
    }
    return grey;
}

// The bitmap headers count bytes in 32 bits; a larger picture would be written with wrong sizes.
void checkFitsInBitmap(const QImage &image)
{
    constexpr qint64 HeaderBytes = 14 + 40;
    const qint64 rowBytes = (qint64(image.width()) * 3 + 3) / 4 * 4;
    if (HeaderBytes + rowBytes * image.height() > std::numeric_limits<quint32>::max())
        throw RuntimeError(ErrorNumber::InvalidPicture);
}

// Both writers take 32-bit pixels (0xffRRGGBB): Qt's bitmap writer then always writes 24 bits a pixel, and
// the grey test reads whole pixels.
QImage opaque32(const QImage &image)
{
    if (image.format() == QImage::Format_RGB32)
        return image;
    QImage converted = image.convertToFormat(QImage::Format_RGB32);
    if (converted.isNull())
        throw RuntimeError(ErrorNumber::OutOfMemory);
    return converted;
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
    const QImage image = opaque32(picture.image());

    // The picture goes to a temporary file beside the target, which takes the target's place only once the
    // whole picture is on the disk; a failure anywhere leaves the target as it was and removes the rest.
    // In a folder where no new file can be made (a shared folder, a card mounted so) a file that the user may
    // write is written in place instead, as every other program would; a failure there is reported all the same.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        throwWriteError(file, errno, path);

    errno = 0;
    WriteBehindDevice device(file);
    bool written;
    if (isJpegName(path)) {
        QImageWriter writer(&device, "jpeg");
        writer.setQuality(JpegQuality);
        const QImage grey = greyChannelOf(image);
        written = writer.write(grey.isNull() ? image : grey);
    } else {
        checkFitsInBitmap(image);
        written = QImageWriter(&device, "bmp").write(image);
    }
    written = written && file.flush() && ::fsync(file.handle()) == 0;
    const int error = errno;
    if (written && file.commit())
        return;
    file.cancelWriting();
    throwWriteError(file, error != 0 ? error : errno, path);
}
