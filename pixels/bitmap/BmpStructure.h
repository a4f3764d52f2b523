#pragma once

#include "pixels/memory/RowBytes.h"

#include <QByteArrayView>
#include <QSize>

#include <optional>

// The structure of Windows bitmap files: where their header fields lie, and what their headers say about the
// picture, checked.

// The fields of a bitmap file's headers, in bytes from the start of the file: the file header, then an
// information header that starts with its own size, either the old 12-byte one with 16-bit fields or one of
// 40 bytes or more with 32-bit fields.
namespace BmpField {
enum : qint64 {
    FileSize = 2,
    PixelOffset = 10,
    HeaderSize = 14,
    CoreWidth = 18,
    CoreHeight = 20,
    CorePlanes = 22,
    CoreBitCount = 24,
    Width = 18,
    Height = 22,
    Planes = 26,
    BitCount = 28,
    Compression = 30,
    ImageSize = 34,
    ColorsUsed = 46,
};
} // namespace BmpField

inline constexpr qint64 BmpFileHeaderSize = 14;
inline constexpr quint32 BmpCoreHeaderSize = 12;
inline constexpr quint32 BmpInfoHeaderSize = 40;

// The headers of a Windows bitmap file, as far as loading it needs them.
struct BmpLayout
{
    enum Compression : quint32 { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3 };

    QSize size; // width and height, both positive; a top-down bitmap has its height negated on disk
    bool topDown = false;
    int bitCount = 0;
    quint32 compression = 0;
    qint64 pixelOffset = 0;
    qint64 headersEnd = 0;  // where the headers, colour masks and palette end
    quint32 headerSize = 0; // of the information header

    bool runLength() const { return compression == Rle8 || compression == Rle4; }
    // The bytes of one row of an uncompressed bitmap.
    qint64 rowBytes() const { return ::rowBytes(size.width(), bitCount); }
};

// The layout of a bitmap whose headers hold together: a size, bit count and compression a bitmap can have, a
// palette and pixel data that lie inside the file, every row an uncompressed bitmap announces, and a run-length
// stream that stays inside the picture and ends properly. Nothing otherwise.
std::optional<BmpLayout> readBmpLayout(QByteArrayView view);

// The same from the start of a file of `fileSize` bytes, enough to hold every header and the palette
// (BmpHeadBytes): all but the run-length stream, which only the whole file can show.
std::optional<BmpLayout> readBmpHeaders(QByteArrayView head, qint64 fileSize);
inline constexpr qint64 BmpHeadBytes = 2048;
