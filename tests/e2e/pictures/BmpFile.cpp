#include "BmpFile.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>

namespace {

quint32 u32(const QByteArray &bytes, qsizetype at)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData()) + at;
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 u16(const QByteArray &bytes, qsizetype at)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData()) + at;
    return quint16(p[0] | p[1] << 8);
}

constexpr qsizetype FileHeaderSize = 14;
constexpr qsizetype InfoHeaderSize = 40;

} // namespace

bool BmpFile::fail(const QString &why)
{
    m_error = why;
    m_image = QImage();
    return false;
}

bool BmpFile::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (bytes.size() < FileHeaderSize + InfoHeaderSize || !bytes.startsWith("BM"))
        return fail(QStringLiteral("no \"BM\" bitmap header"));
    if (u32(bytes, 2) != quint32(bytes.size()))
        return fail(QStringLiteral("header gives size %1, file has %2 bytes").arg(u32(bytes, 2)).arg(bytes.size()));
    if (u32(bytes, 14) < InfoHeaderSize)
        return fail(QStringLiteral("info header of %1 bytes").arg(u32(bytes, 14)));

    const auto width = qint32(u32(bytes, 18));
    const auto height = qint32(u32(bytes, 22));
    const quint16 bitCount = u16(bytes, 28);
    const quint32 compression = u32(bytes, 30);
    const quint32 offset = u32(bytes, 10);
    if (bitCount != 24)
        return fail(QStringLiteral("%1 bits per pixel, not 24").arg(bitCount));
    if (compression != 0)
        return fail(QStringLiteral("compression %1, not BI_RGB").arg(compression));
    if (width <= 0 || height == 0 || width > 65535 || std::abs(height) > 65535)
        return fail(QStringLiteral("size %1 x %2").arg(width).arg(height));

    const qsizetype rowBytes = (qsizetype(width) * 3 + 3) / 4 * 4;
    const qsizetype rows = std::abs(height);
    if (qsizetype(offset) + rowBytes * rows > bytes.size())
        return fail(QStringLiteral("pixel rows run past the end of the file"));

    QImage image(width, int(rows), QImage::Format_RGB32);
    const bool bottomUp = height > 0;
    for (qsizetype row = 0; row < rows; ++row) {
        const auto *from = reinterpret_cast<const uchar *>(bytes.constData()) + offset + row * rowBytes;
        auto *to = reinterpret_cast<QRgb *>(image.scanLine(int(bottomUp ? rows - 1 - row : row)));
        for (qint32 x = 0; x < width; ++x)
            to[x] = qRgb(from[3 * x + 2], from[3 * x + 1], from[3 * x]);
    }
    m_image = image;
    m_error.clear();
    return true;
}
