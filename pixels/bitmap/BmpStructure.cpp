#include "BmpStructure.h"

#include <limits>

namespace {

constexpr qint64 FileHeaderSize = BmpFileHeaderSize;
constexpr quint32 CoreHeaderSize = BmpCoreHeaderSize; // the old OS/2 header: three-byte palette entries
constexpr quint32 InfoHeaderSize = BmpInfoHeaderSize;
constexpr quint32 LargestHeaderSize = 124;

using enum BmpLayout::Compression;

class Bytes
{
public:
    explicit Bytes(QByteArrayView bytes)
        : m_data(reinterpret_cast<const unsigned char *>(bytes.data()))
        , m_size(bytes.size())
    {
    }
    qint64 size() const { return m_size; }
    bool has(qint64 at, qint64 count) const { return at >= 0 && count >= 0 && at <= m_size - count; }
    unsigned char u8(qint64 at) const { return m_data[at]; }
    quint16 u16(qint64 at) const { return quint16(m_data[at] | m_data[at + 1] << 8); }
    quint32 u32(qint64 at) const { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; }

private:
    const unsigned char *m_data;
    qint64 m_size;
};

bool bitCountFits(int bitCount, quint32 compression)
{
    switch (compression) {
    case Rgb:
        return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
    case Rle8: return bitCount == 8;
    case Rle4: return bitCount == 4;
    case BitFields: return bitCount == 16 || bitCount == 32;
    default: return false;
    }
}

// Walks a run-length stream; false when a run leaves its row, a row lies beyond the picture or the stream
// stops without ending. A decoder would clip such runs silently, or write past its rows.
bool runsStayInside(const Bytes &bytes, qint64 at, QSize size, int bitCount)
{
    const qint64 width = size.width();
    const qint64 height = size.height();
    qint64 x = 0;
    qint64 y = 0;
    while (bytes.has(at, 2)) {
        const int count = bytes.u8(at);
        const int code = bytes.u8(at + 1);
        at += 2;
        if (count > 0) { // a run of one value
            if (y >= height || x + count > width)
                return false;
            x += count;
        } else if (code == 0) { // end of line
            if (y >= height)
                return false;
            x = 0;
            ++y;
        } else if (code == 1) { // end of bitmap
            return true;
        } else if (code == 2) { // move right and down
            if (!bytes.has(at, 2))
                return false;
            x += bytes.u8(at);
            y += bytes.u8(at + 1);
            at += 2;
            if (x > width || y > height || (y == height && x > 0))
                return false;
        } else { // `code` literal pixels, padded to a whole word
            if (y >= height || x + code > width)
                return false;
            x += code;
            const qint64 literalBytes = bitCount == 8 ? code : (code + 1) / 2;
            at += (literalBytes + 1) / 2 * 2;
        }
    }
    // Some writers leave out the end-of-bitmap after the last row.
    return at == bytes.size() && y == height;
}

} // namespace

std::optional<BmpLayout> readBmpHeaders(QByteArrayView head, qint64 fileSize)
{
    const Bytes bytes(head);
    if (!bytes.has(0, FileHeaderSize + 4) || bytes.u8(0) != 'B' || bytes.u8(1) != 'M')
        return std::nullopt;
    const quint32 headerSize = bytes.u32(BmpField::HeaderSize);
    if (headerSize != CoreHeaderSize && (headerSize < InfoHeaderSize || headerSize > LargestHeaderSize))
        return std::nullopt;
    if (!bytes.has(FileHeaderSize, headerSize))
        return std::nullopt;

    BmpLayout layout;
    layout.pixelOffset = bytes.u32(BmpField::PixelOffset);
    layout.headerSize = headerSize;
    qint64 width;
    qint64 height;
    int planes;
    quint32 colorsUsed = 0;
    int paletteEntrySize = 4;
    if (headerSize == CoreHeaderSize) {
        width = bytes.u16(BmpField::CoreWidth);
        height = bytes.u16(BmpField::CoreHeight);
        planes = bytes.u16(BmpField::CorePlanes);
        layout.bitCount = bytes.u16(BmpField::CoreBitCount);
        paletteEntrySize = 3;
    } else {
        width = qint32(bytes.u32(BmpField::Width));
        height = qint32(bytes.u32(BmpField::Height));
        planes = bytes.u16(BmpField::Planes);
        layout.bitCount = bytes.u16(BmpField::BitCount);
        layout.compression = bytes.u32(BmpField::Compression);
        colorsUsed = bytes.u32(BmpField::ColorsUsed);
    }
    layout.topDown = height < 0;
    height = qAbs(height);
    if (width <= 0 || height <= 0 || width > std::numeric_limits<int>::max() || height > std::numeric_limits<int>::max()
        || planes != 1 || !bitCountFits(layout.bitCount, layout.compression))
        return std::nullopt;
    // Run-length bitmaps are stored bottom-up only.
    if (layout.topDown && layout.runLength())
        return std::nullopt;
    layout.size = QSize(int(width), int(height));

    // The colour masks of a bit-field bitmap follow a plain information header.
    qint64 tablesAt = FileHeaderSize + headerSize;
    if (layout.compression == BitFields && headerSize == InfoHeaderSize)
        tablesAt += 12;
    const qint64 paletteLimit = layout.bitCount <= 8 ? qint64(1) << layout.bitCount : 0;
    const qint64 paletteColours = colorsUsed && layout.bitCount <= 8 ? qint64(colorsUsed) : paletteLimit;
    if (paletteColours > paletteLimit)
        return std::nullopt;
    layout.headersEnd = tablesAt + paletteColours * paletteEntrySize;
    if (layout.pixelOffset < tablesAt || layout.pixelOffset >= fileSize || layout.headersEnd > fileSize)
        return std::nullopt;
    if (!layout.runLength() && layout.rowBytes() > (fileSize - layout.pixelOffset) / height)
        return std::nullopt;
    return layout;
}

std::optional<BmpLayout> readBmpLayout(QByteArrayView view)
{
    const std::optional<BmpLayout> layout = readBmpHeaders(view, view.size());
    if (layout && layout->runLength()
        && !runsStayInside(Bytes(view), layout->pixelOffset, layout->size, layout->bitCount))
        return std::nullopt;
    return layout;
}
