#include "PictureFiles.h"

#include "ImageMemory.h"
#include "RuntimeError.h"
#include "WriteBehindDevice.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QtEndian>

#include <cerrno>
#include <immintrin.h>
#include <limits>
#include <unistd.h>

namespace {

constexpr int JpegQuality = 95;
constexpr int BitmapHeaderBytes = 14 + 40;
constexpr qint64 ChunkBytes = 1024 * 1024;

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

// Blue, green and red of each 32-bit pixel (0xffRRGGBB), as a bitmap row holds them.
void packRowPlain(const quint32 *from, uchar *to, int width)
{
    for (int x = 0; x < width; ++x) {
        const quint32 pixel = from[x];
        to[3 * x] = uchar(pixel);
        to[3 * x + 1] = uchar(pixel >> 8);
        to[3 * x + 2] = uchar(pixel >> 16);
    }
}

// Four pixels a step, one byte shuffle each: twice as fast, as fast as the pixels are read.
__attribute__((target("ssse3"))) void packRowSsse3(const quint32 *from, uchar *to, int width)
{
    const __m128i dropFourthBytes = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int x = 0;
    // Each store writes 16 bytes for 12: the last four pixels are left to the plain loop.
    for (; x + 5 <= width; x += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + x));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + 3 * x), _mm_shuffle_epi8(pixels, dropFourthBytes));
    }
    packRowPlain(from + x, to + 3 * x, width - x);
}

void packRow(const quint32 *from, uchar *to, int width)
{
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3)
        packRowSsse3(from, to, width);
    else
        packRowPlain(from, to, width);
}

QByteArray bitmapHeaders(const QImage &image, quint32 pixelBytes)
{
    QByteArray headers(BitmapHeaderBytes, '\0');
    char *at = headers.data();
    const auto put16 = [at](int offset, quint16 value) { qToLittleEndian(value, at + offset); };
    const auto put32 = [at](int offset, quint32 value) { qToLittleEndian(value, at + offset); };
    at[0] = 'B';
    at[1] = 'M';
    put32(2, BitmapHeaderBytes + pixelBytes); // file size
    put32(10, BitmapHeaderBytes);             // where the pixels start
    put32(14, 40);                            // BITMAPINFOHEADER
    put32(18, quint32(image.width()));
    put32(22, quint32(image.height()));      // positive: the rows run from the bottom up
    put16(26, 1);                             // planes
    put16(28, 24);                            // bits a pixel
    put32(30, 0);                             // uncompressed
    put32(34, pixelBytes);
    put32(38, quint32(image.dotsPerMeterX()));
    put32(42, quint32(image.dotsPerMeterY()));
    return headers;
}

// A 24-bit Windows bitmap of a 32-bit picture: both headers, then the rows from the bottom up, each padded
// to whole 32-bit words. Handed to the file a megabyte at a time: Qt's own writer hands it one row at a time
// and converts each pixel on its own, which costs as much again as writing the bytes.
bool writeBitmap(QIODevice &file, const QImage &image)
{
    const qint64 rowBytes = (qint64(image.width()) * 3 + 3) / 4 * 4;
    const qint64 pixelBytes = rowBytes * image.height();
    // The headers count bytes in 32 bits.
    if (BitmapHeaderBytes + pixelBytes > std::numeric_limits<quint32>::max())
        throw RuntimeError(ErrorNumber::InvalidPicture);
    const QByteArray headers = bitmapHeaders(image, quint32(pixelBytes));
    if (file.write(headers) != headers.size())
        return false;
    const qint64 rowsAtOnce = qMax<qint64>(1, ChunkBytes / rowBytes);
    QByteArray chunk(qsizetype(rowsAtOnce * rowBytes), '\0'); // padding bytes stay zero
    for (int y = image.height() - 1; y >= 0;) {
        qint64 rows = 0;
        for (; rows < rowsAtOnce && y >= 0; ++rows, --y) {
            packRow(reinterpret_cast<const quint32 *>(image.constScanLine(y)),
                    reinterpret_cast<uchar *>(chunk.data() + rows * rowBytes), image.width());
        }
        if (file.write(chunk.constData(), rows * rowBytes) != rows * rowBytes)
            return false;
    }
    return true;
}

// Both writers take 32-bit pixels (0xffRRGGBB): the bitmap then always has 24 bits a pixel, and the grey
// test reads whole pixels.
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
    QSaveFile file(path);
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
        written = writeBitmap(device, image);
    }
    written = written && file.flush() && ::fsync(file.handle()) == 0;
    const int error = errno;
    if (written && file.commit())
        return;
    file.cancelWriting();
    throwWriteError(file, error != 0 ? error : errno, path);
}
