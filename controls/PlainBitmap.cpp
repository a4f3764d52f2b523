#include "PlainBitmap.h"

#include "BmpStructure.h"
#include "ImageMemory.h"
#include "RuntimeError.h"

#include <QtEndian>

#include <immintrin.h>

namespace {

constexpr qint64 HeaderSizeAt = 14;
constexpr quint32 InfoHeaderSize = 40;
constexpr qint64 HorizontalResolutionAt = 38;
constexpr qint64 VerticalResolutionAt = 42;

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

qint32 at32(const QByteArray &bytes, qint64 at)
{
    return qFromLittleEndian<qint32>(bytes.constData() + at);
}

} // namespace

QImage decodePlainBitmap(const QByteArray &bytes)
{
    const std::optional<BmpLayout> layout = readBmpLayout(bytes);
    if (!layout || layout->bitCount != 24 || layout->compression != 0 || at32(bytes, HeaderSizeAt) != InfoHeaderSize)
        return {};
    const int width = layout->size.width();
    const int height = layout->size.height();
    QImage image = ImageMemory::allocate(layout->size, QImage::Format_RGB32);
    if (image.isNull())
        throw RuntimeError(ErrorNumber::OutOfMemory);
    // readBmpLayout() has seen that every row lies inside the bytes.
    const qint64 rowBytes = (qint64(width) * 24 + 31) / 32 * 4;
    const auto *pixels = reinterpret_cast<const uchar *>(bytes.constData()) + layout->pixelOffset;
    for (int y = 0; y < height; ++y) {
        const qint64 stored = layout->topDown ? y : height - 1 - y;
        unpackRow(pixels + stored * rowBytes, reinterpret_cast<quint32 *>(image.scanLine(y)), width);
    }
    image.setDotsPerMeterX(at32(bytes, HorizontalResolutionAt));
    image.setDotsPerMeterY(at32(bytes, VerticalResolutionAt));
    return image;
}
