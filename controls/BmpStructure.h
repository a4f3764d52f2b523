#pragma once

#include <QByteArrayView>
#include <QSize>

#include <optional>

// The headers of a Windows bitmap file, as far as loading it needs them.
struct BmpLayout
{
    enum Compression : quint32 { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

    QSize size;           // width and height, both positive; a top-down bitmap has its height negated on disk
    bool topDown = false;
    int bitCount = 0;
    quint32 compression = 0;
    qint64 pixelOffset = 0;
    qint64 headersEnd = 0; // where the headers, colour masks and palette end

    bool runLength() const { return compression == Rle8 || compression == Rle4; }
    // The bytes of one row of an uncompressed bitmap: whole 32-bit words.
    qint64 rowBytes() const { return (qint64(size.width()) * bitCount + 31) / 32 * 4; }
};

// The layout of a bitmap whose headers hold together: a size, bit count and compression a bitmap can have, a
// palette and pixel data that lie inside the file, every row an uncompressed bitmap announces, and a run-length
// stream that stays inside the picture and ends properly. Nothing otherwise.
std::optional<BmpLayout> readBmpLayout(QByteArrayView view);

// The same from the start of a file of `fileSize` bytes, enough to hold every header and the palette
// (BmpHeadBytes): all but the run-length stream, which only the whole file can show.
std::optional<BmpLayout> readBmpHeaders(QByteArrayView head, qint64 fileSize);
inline constexpr qint64 BmpHeadBytes = 2048;
