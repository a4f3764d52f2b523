#include "PlainBitmap.h"

#include "ImageMemory.h"
#include "RuntimeError.h"

#include <QtEndian>

#include <immintrin.h>
#include <limits>

namespace {

constexpr qint64 FileHeaderSize = 14;
constexpr quint32 InfoHeaderSize = 40;
constexpr qint64 HeadersSize = FileHeaderSize + InfoHeaderSize;
// Rows are read this many bytes at a time, at least one row.
constexpr qint64 ChunkBytes = 1024 * 1024;

qint64 rowBytesOf(int width)
{
    return (qint64(width) * 24 + 31) / 32 * 4;
}

void unpackRowPlain(const uchar *from, quint32 *to, int width)
{
    for (int x = 0; x < width; ++x)
        to[x] = 0xFF000000u | quint32(from[3 * x + 2]) << 16 | quint32(from[3 * x + 1]) << 8 | from[3 * x];
}

// Four pixels a step, one byte shuffle each.
__attribute__((target("ssse3"))) void unpackRowSsse3(const uchar *from, quint32 *to, int width)
{
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    int x = 0;
    // Each load reads 16 bytes for 12: the last pixels are left to the plain loop, inside the row.
    for (; x + 6 <= width; x += 4) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + x), _mm_or_si128(_mm_shuffle_epi8(bytes, spread), opaque));
    }
    unpackRowPlain(from + 3 * x, to + x, width - x);
}

void unpackRow(const uchar *from, quint32 *to, int width)
{
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3)
        unpackRowSsse3(from, to, width);
    else
        unpackRowPlain(from, to, width);
}

// Reads exactly `size` bytes at `offset`; false when the device ends first.
bool readAt(QIODevice &device, qint64 offset, char *data, qint64 size)
{
    if (!device.seek(offset))
        return false;
    while (size > 0) {
        const qint64 got = device.read(data, size);
        if (got <= 0)
            return false;
        data += got;
        size -= got;
    }
    return true;
}

} // namespace

std::optional<PlainBitmap> PlainBitmap::find(QIODevice &device)
{
    QByteArray headers(HeadersSize, '\0');
    if (!readAt(device, 0, headers.data(), HeadersSize))
        return std::nullopt;
    const char *at = headers.constData();
    const auto u16 = [at](int offset) { return qFromLittleEndian<quint16>(at + offset); };
    const auto u32 = [at](int offset) { return qFromLittleEndian<quint32>(at + offset); };
    const auto s32 = [at](int offset) { return qFromLittleEndian<qint32>(at + offset); };
    const qint32 width = s32(18);
    const qint32 height = s32(22);
    const qint64 pixelOffset = u32(10);
    if (at[0] != 'B' || at[1] != 'M' || u32(14) != InfoHeaderSize || width <= 0 || height == 0
        || height == std::numeric_limits<qint32>::min() || u16(26) != 1 || u16(28) != 24 || u32(30) != 0
        || pixelOffset < HeadersSize)
        return std::nullopt;
    PlainBitmap bitmap;
    bitmap.m_size = QSize(width, qAbs(height));
    bitmap.m_topDown = height < 0;
    bitmap.m_pixelOffset = pixelOffset;
    bitmap.m_dotsPerMeterX = s32(38);
    bitmap.m_dotsPerMeterY = s32(42);
    if (rowBytesOf(width) > (device.size() - pixelOffset) / bitmap.m_size.height())
        return std::nullopt;
    return bitmap;
}

QImage PlainBitmap::read(QIODevice &device) const
{
    QImage image = ImageMemory::allocate(m_size, QImage::Format_RGB32);
    if (image.isNull())
        throw RuntimeError(ErrorNumber::OutOfMemory);
    const int width = m_size.width();
    const int height = m_size.height();
    const qint64 rowBytes = rowBytesOf(width);
    const qint64 rowsAtOnce = qMax<qint64>(1, ChunkBytes / rowBytes);
    QByteArray chunk(qsizetype(rowsAtOnce * rowBytes), Qt::Uninitialized);
    for (qint64 first = 0; first < height; first += rowsAtOnce) {
        const qint64 rows = qMin<qint64>(rowsAtOnce, height - first);
        if (!readAt(device, m_pixelOffset + first * rowBytes, chunk.data(), rows * rowBytes))
            return {};
        for (qint64 row = 0; row < rows; ++row) {
            const qint64 stored = first + row;
            const int y = int(m_topDown ? stored : height - 1 - stored);
            unpackRow(reinterpret_cast<const uchar *>(chunk.constData() + row * rowBytes),
                      reinterpret_cast<quint32 *>(image.scanLine(y)), width);
        }
    }
    image.setDotsPerMeterX(m_dotsPerMeterX);
    image.setDotsPerMeterY(m_dotsPerMeterY);
    return image;
}
