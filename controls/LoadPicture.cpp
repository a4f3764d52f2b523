#include "PictureFiles.h"

#include "JpegStructure.h"
#include "RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <limits>

namespace {

constexpr qint64 MiB = 1024 * 1024;
// The surface takes four bytes a pixel; a decolorize holds it twice for a moment.
constexpr double PeakSurfaces = 2.5;

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

qint64 availableMemory()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : meminfo.readAll().split('\n')) {
            if (line.startsWith("MemAvailable:"))
                return line.mid(13).trimmed().split(' ').value(0).toLongLong() * 1024;
        }
    }
    return 4 * 1024 * MiB;
}

void checkReadableFile(const QFileInfo &info, const QString &path)
{
    if (path.isEmpty() || !info.exists())
        throw RuntimeError(ErrorNumber::FileNotFound, shown(path));
    // A folder, a pipe or a device is not a picture file; reading a pipe could block forever.
    if (!info.isFile())
        throw RuntimeError(ErrorNumber::PathFileAccess, shown(path));
    if (!info.isReadable())
        throw RuntimeError(ErrorNumber::PermissionDenied, shown(path));
}

// A JPEG cut short decodes "successfully" with a grey tail; only the marker structure tells.
void checkJpegIsWhole(QFile &file, const QString &path)
{
    uchar *mapped = file.map(0, file.size());
    if (!mapped) {
        const QByteArray bytes = file.readAll();
        file.seek(0);
        if (!jpegIsComplete(bytes))
            throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
        return;
    }
    const bool whole = jpegIsComplete(QByteArrayView(mapped, file.size()));
    file.unmap(mapped);
    if (!whole)
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
}

quint32 littleEndian32(const QByteArray &bytes, int at)
{
    return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 | quint32(quint8(bytes[at + 2])) << 16
        | quint32(quint8(bytes[at + 3])) << 24;
}

// An uncompressed bitmap must hold every row its header announces.
void checkBmpIsWhole(QFile &file, QSize size, const QString &path)
{
    const QByteArray header = file.peek(34);
    if (header.size() < 34)
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
    const quint32 pixelOffset = littleEndian32(header, 10);
    const int bitCount = quint8(header[28]) | quint8(header[29]) << 8;
    const quint32 compression = littleEndian32(header, 30);
    constexpr quint32 Uncompressed = 0, BitFields = 3;
    if (compression != Uncompressed && compression != BitFields)
        return;
    const qint64 rowBytes = (qint64(size.width()) * bitCount + 31) / 32 * 4;
    if (qint64(pixelOffset) + rowBytes * size.height() > file.size())
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
}

} // namespace

qint64 pictureMemoryBudget()
{
    return qint64(double(availableMemory()) / PeakSurfaces);
}

StdPicture LoadPicture(const QString &path)
{
    const QFileInfo info(path);
    checkReadableFile(info, path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(ErrorNumber::PermissionDenied, shown(path));

    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QByteArray format = reader.format();
    if (format != "jpeg" && format != "bmp")
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));

    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
    const qint64 budget = pictureMemoryBudget();
    if (qint64(size.width()) * size.height() * 4 > budget)
        throw RuntimeError(ErrorNumber::OutOfMemory, shown(path));
    reader.setAllocationLimit(int(qMin<qint64>(budget / MiB + 1, std::numeric_limits<int>::max())));

    if (format == "jpeg")
        checkJpegIsWhole(file, path);
    else
        checkBmpIsWhole(file, size, path);

    QImage image;
    if (!reader.read(&image) || image.isNull())
        throw RuntimeError(ErrorNumber::InvalidPicture, shown(path));
    if (image.format() != QImage::Format_RGB32)
        image.convertTo(QImage::Format_RGB32);
    if (image.isNull())
        throw RuntimeError(ErrorNumber::OutOfMemory, shown(path));
    return StdPicture(std::move(image));
}
