#include "Conversion.h"

#include "controls/DeviceContext.h"
#include "controls/PictureFiles.h"
#include "controls/RuntimeError.h"
#include "picture/DecolorizeWalk.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qint64 SurfaceBytesPerPixel = 4;

ConversionResult failed(ConversionFailure failure, int errorNumber)
{
    return {failure, RuntimeError::standardDescription(errorNumber), 0};
}

// The grey surface's one channel: every pixel has red, green and blue equal once it is decolorized.
QImage greyChannel(const QImage &surface)
{
    QImage grey(surface.size(), QImage::Format_Grayscale8);
    if (grey.isNull())
        throw RuntimeError(ErrorNumber::OutOfMemory);
    grey.setDotsPerMeterX(surface.dotsPerMeterX());
    grey.setDotsPerMeterY(surface.dotsPerMeterY());
    for (int y = 0; y < surface.height(); ++y) {
        const auto *from = reinterpret_cast<const quint32 *>(surface.constScanLine(y));
        uchar *to = grey.scanLine(y);
        for (int x = 0; x < surface.width(); ++x)
            to[x] = uchar(from[x]);
    }
    return grey;
}

int writeErrorNumber(int error)
{
    switch (error) {
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return ErrorNumber::DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
        return ErrorNumber::PermissionDenied;
    default:
        return ErrorNumber::PathFileAccess;
    }
}

// An 8-bit grey PNG, replacing the target only once it is whole on the disk, as the bitmap and JPEG saves do.
void savePng(const QImage &surface, const QString &path)
{
    const QImage grey = greyChannel(surface);
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        throw RuntimeError(writeErrorNumber(errno));
    errno = 0;
    const bool written = QImageWriter(&file, "png").write(grey) && file.flush() && ::fsync(file.handle()) == 0;
    const int error = errno;
    if (written && file.commit())
        return;
    file.cancelWriting();
    throw RuntimeError(writeErrorNumber(error != 0 ? error : errno));
}

} // namespace

QString outputSuffix(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Jpg: return QStringLiteral("jpg");
    case OutputFormat::Png: return QStringLiteral("png");
    case OutputFormat::Bmp: break;
    }
    return QStringLiteral("bmp");
}

bool looksLikePicture(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    unsigned char magic[2] = {};
    const bool read = ::pread(fd, magic, sizeof magic, 0) == qint64(sizeof magic);
    ::close(fd);
    return read && ((magic[0] == 0xFF && magic[1] == 0xD8) || (magic[0] == 'B' && magic[1] == 'M'));
}

qint64 surfaceBytesOf(const QString &path)
{
    // Only a regular file is read: a pipe could keep the reader waiting for ever. The load says why not.
    if (!QFileInfo(path).isFile())
        return 0;
    QImageReader reader(path);
    const QSize size = reader.size();
    if (!size.isValid())
        return 0;
    return qint64(size.width()) * size.height() * SurfaceBytesPerPixel;
}

qint64 surfaceMemoryBudget()
{
    return pictureMemoryBudget();
}

GreyPicture loadGrey(const QString &source)
{
    GreyPicture grey;
    try {
        grey.surface = LoadPicture(source).image();
        // The surface is this picture's alone now, so the walk rewrites it in place.
        DeviceContext dc(&grey.surface);
        decolorizeSurface(&dc, grey.surface.width(), grey.surface.height());
        grey.result.pixels = qint64(grey.surface.width()) * grey.surface.height();
    } catch (const RuntimeError &error) {
        grey.surface = {};
        grey.result = failed(error.number() == ErrorNumber::OutOfMemory ? ConversionFailure::TooLarge
                                                                        : ConversionFailure::Load,
                             error.number());
    }
    return grey;
}

ConversionResult saveGrey(const QImage &surface, const QString &target, OutputFormat format)
{
    try {
        if (format == OutputFormat::Png)
            savePng(surface, target);
        else
            SavePicture(StdPicture(surface), target);
    } catch (const RuntimeError &error) {
        return failed(ConversionFailure::Save, error.number());
    }
    return {ConversionFailure::None, {}, qint64(surface.width()) * surface.height()};
}
