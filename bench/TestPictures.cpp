#include "TestPictures.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QtEndian>

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace TestPictures {

namespace {

// Smooth waves along one axis, sampled once per column or row so that a picture of hundreds of megapixels
// is generated in about a second.
std::vector<int> wave(int length, double base, double slope, double amplitude, double periods, double phase)
{
    std::vector<int> values(size_t(qMax(length, 1)));
    for (int i = 0; i < length; ++i) {
        const double t = double(i) / qMax(length - 1, 1);
        values[size_t(i)] = int(base + slope * t + amplitude * std::sin(2 * std::numbers::pi * periods * t + phase));
    }
    return values;
}

int clampChannel(int value)
{
    return qBound(0, value, 255);
}

void writeOrThrow(const QImage &image, const QString &path, const char *format, int quality = -1)
{
    QImageWriter writer(path, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image))
        throw std::runtime_error("cannot write " + path.toStdString() + ": " + writer.errorString().toStdString());
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace

QImage photoLike(QSize size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        throw std::runtime_error("not enough memory for the test picture");
    const int w = size.width(), h = size.height();
    const std::vector<int> redAcross = wave(w, 30, 180, 12, 1.3, 0.4);
    const std::vector<int> redDown = wave(h, 0, 0, 20, 2.7, 1.0);
    const std::vector<int> greenAcross = wave(w, 0, 0, 25, 2.1, 2.0);
    const std::vector<int> greenDown = wave(h, 40, 160, 10, 0.8, 0.0);
    const std::vector<int> blueAcross = wave(w, 60, 0, 45, 1.7, 0.3);
    const std::vector<int> blueDown = wave(h, 60, 40, 40, 1.1, 1.7);
    quint32 state = seed ? seed : 1;
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            // xorshift32: three small signed grains, one per channel
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int r = clampChannel(redAcross[size_t(x)] + redDown[size_t(y)] + int(state & 15) - 8);
            const int g = clampChannel(greenAcross[size_t(x)] + greenDown[size_t(y)] + int((state >> 4) & 15) - 8);
            int b = clampChannel(blueAcross[size_t(x)] + blueDown[size_t(y)] + int((state >> 8) & 15) - 8);
            if (r == g && g == b) // keep every pixel a colour
                b = b ^ 1;
            row[x] = 0xFF000000u | quint32(r) << 16 | quint32(g) << 8 | quint32(b);
        }
    }
    return image;
}

Files write(QSize size, const QString &folder, const QString &stem)
{
    Files files;
    files.size = size;
    files.jpeg = folder + QLatin1Char('/') + stem + QStringLiteral(".jpg");
    files.bmp = folder + QLatin1Char('/') + stem + QStringLiteral(".bmp");
    const QImage image = photoLike(size);
    writeOrThrow(image, files.jpeg, "jpeg", 90);
    writeOrThrow(image, files.bmp, "bmp");
    files.jpegBytes = QFileInfo(files.jpeg).size();
    return files;
}

void writeJpegs(QSize size, int count, const QString &folder)
{
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("/photo-%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
        writeOrThrow(photoLike(size, quint32(i + 1)), folder + name, "jpeg", 90);
    }
}

QString writeBmpClaiming(QSize claimed, const QString &path)
{
    // A run-length bitmap whose pixels are all left out: the end-of-bitmap mark alone is a whole stream, so
    // the file holds together whatever size its header claims.
    constexpr int PaletteColours = 2;
    constexpr int PixelOffset = 54 + 4 * PaletteColours;
    QByteArray bytes(PixelOffset + 2, '\0');
    const auto put16 = [&](int at, quint16 v) { qToLittleEndian(v, bytes.data() + at); };
    const auto put32 = [&](int at, quint32 v) { qToLittleEndian(v, bytes.data() + at); };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, quint32(bytes.size()));
    put32(10, PixelOffset);
    put32(14, 40);
    put32(18, quint32(claimed.width()));
    put32(22, quint32(claimed.height()));
    put16(26, 1);
    put16(28, 8); // bits a pixel
    put32(30, 1); // RLE8
    put32(34, 2); // bytes of pixel data
    put32(46, PaletteColours);
    put32(54 + 4, 0x00FFFFFF); // black, white
    bytes[PixelOffset] = 0;
    bytes[PixelOffset + 1] = 1; // end of bitmap
    writeAll(path, bytes);
    return path;
}

QString writeJpegClaiming(QSize claimed, const QString &path)
{
    // A small JPEG whose frame header is made to claim the large size, its scan padded with as many bytes as
    // so many blocks need at the least, so that nothing but the size gives it away.
    writeOrThrow(photoLike(QSize(16, 16)), path, "jpeg", 90);
    const QByteArray small = readAll(path);
    QByteArray bytes;
    for (qsizetype i = 2; i + 4 < small.size();) {
        if (quint8(small[i]) != 0xFF)
            throw std::runtime_error("unexpected JPEG layout");
        const quint8 marker = quint8(small[i + 1]);
        const int length = quint8(small[i + 2]) << 8 | quint8(small[i + 3]);
        if (marker >= 0xC0 && marker <= 0xC2) {
            bytes = small.left(i + 2 + length);
            qToBigEndian(quint16(claimed.height()), bytes.data() + i + 5);
            qToBigEndian(quint16(claimed.width()), bytes.data() + i + 7);
        } else if (marker == 0xDA) {
            bytes += small.mid(bytes.size(), i + 2 + length - bytes.size());
            const qint64 blocks = (qint64(claimed.width()) + 7) / 8 * ((qint64(claimed.height()) + 7) / 8);
            bytes += QByteArray(qsizetype(blocks / 8 + 1024), '\0');
            bytes += QByteArray("\xFF\xD9", 2);
            writeAll(path, bytes);
            return path;
        }
        i += 2 + length;
    }
    throw std::runtime_error("no frame or scan header in the JPEG");
}

QSize claimedSize(const QString &path)
{
    const QByteArray bytes = readAll(path);
    if (bytes.startsWith("BM") && bytes.size() >= 26)
        return {qFromLittleEndian<qint32>(bytes.constData() + 18), qFromLittleEndian<qint32>(bytes.constData() + 22)};
    for (qsizetype i = 2; i + 9 < bytes.size();) {
        const quint8 marker = quint8(bytes[i + 1]);
        if (marker >= 0xC0 && marker <= 0xC2)
            return {qFromBigEndian<quint16>(bytes.constData() + i + 7),
                    qFromBigEndian<quint16>(bytes.constData() + i + 5)};
        i += 2 + (quint8(bytes[i + 2]) << 8 | quint8(bytes[i + 3]));
    }
    return {};
}

} // namespace TestPictures
