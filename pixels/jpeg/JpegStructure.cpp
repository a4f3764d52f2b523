#include "JpegStructure.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned char Marker = 0xFF;
constexpr unsigned char StartOfImage = 0xD8;
constexpr unsigned char EndOfImage = 0xD9;
constexpr unsigned char StartOfScan = 0xDA;
constexpr unsigned char QuantTables = 0xDB;
constexpr unsigned char App0 = 0xE0;
constexpr unsigned char App1 = 0xE1;
constexpr unsigned char App2 = 0xE2;
constexpr unsigned char App13 = 0xED;
constexpr unsigned char Comment = 0xFE;

// The signatures of the segments read, each with its closing zero byte.
constexpr QByteArrayView JfifSignature("JFIF", 5);
constexpr QByteArrayView ExifSignature("Exif\0", 6);
constexpr QByteArrayView XmpSignature("http://ns.adobe.com/xap/1.0/", 29);
constexpr QByteArrayView IccSignature("ICC_PROFILE", 12);
constexpr QByteArrayView PhotoshopSignature("Photoshop 3.0", 14);
// The JFIF header's fields up to its densities; and the header of a colour profile's piece (its signature, its
// number and the count), with the least length of a piece that a decoder takes.
constexpr qsizetype JfifBytes = 14;
constexpr qsizetype IccHeaderBytes = 14;
constexpr qsizetype IccLeastSegmentBytes = 128 + 4 + IccHeaderBytes;
constexpr int QuantTableSlots = 4;
constexpr double CentimetresAnInch = 2.54;

// The place in the block of each value of a quantization table, in the zigzag order the table is stored in.
constexpr std::array<int, 64> zigzagOrder()
{
    std::array<int, 64> order{};
    int row = 0;
    int column = 0;
    for (int &place : order) {
        place = row * 8 + column;
        if ((row + column) % 2 == 0) { // up and to the right
            if (column == 7)
                ++row;
            else if (row == 0)
                ++column;
            else {
                --row;
                ++column;
            }
        } else { // down and to the left
            if (row == 7)
                ++column;
            else if (column == 0)
                ++row;
            else {
                ++row;
                --column;
            }
        }
    }
    return order;
}

// The quantization tables defined so far, and which of them the first two components use.
struct QuantTableUse
{
    std::array<std::optional<JpegQuantTable>, QuantTableSlots> defined;
    int luminance = -1;
    int chrominance = -1;
};

bool isStandalone(unsigned char code)
{
    return code == 0x01 || (code >= 0xD0 && code <= 0xD7);
}

// C0-CF are frame headers, except C4 (Huffman tables), C8 (reserved) and CC (arithmetic conditioning).
bool isStartOfFrame(unsigned char code)
{
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

bool isArithmetic(unsigned char code)
{
    return code >= 0xC9;
}

qint64 ceilDiv(qint64 a, qint64 b)
{
    return (a + b - 1) / b;
}

// Reads a frame header segment (its bytes after the length field) into the layout.
void readFrame(const unsigned char *segment, qsizetype length, unsigned char code, JpegLayout &layout,
               QuantTableUse &tables)
{
    if (length < 6)
        return;
    const int height = (segment[1] << 8) | segment[2];
    const int width = (segment[3] << 8) | segment[4];
    const int components = segment[5];
    if (length < 6 + 3 * components)
        return;
    int hMax = 1;
    int vMax = 1;
    for (int i = 0; i < components; ++i) {
        const unsigned char sampling = segment[6 + 3 * i + 1];
        hMax = std::max(hMax, sampling >> 4);
        vMax = std::max(vMax, sampling & 0x0F);
    }
    tables.luminance = components >= 1 ? segment[6 + 2] : -1;
    tables.chrominance = components >= 3 ? segment[6 + 3 + 2] : -1;
    layout.frameSize = QSize(width, height);
    layout.codedUnits = ceilDiv(width, 8 * qint64(hMax)) * ceilDiv(height, 8 * qint64(vMax));
    layout.arithmetic = isArithmetic(code);
}

// A later table of the same number replaces the earlier one; a segment that breaks off is read as far as it
// holds whole tables.
void readQuantTables(QByteArrayView segment, QuantTableUse &tables)
{
    static constexpr std::array<int, 64> Zigzag = zigzagOrder();
    const auto *data = reinterpret_cast<const unsigned char *>(segment.data());
    qsizetype at = 0;
    while (at < segment.size()) {
        const int precision = data[at] >> 4; // 0 for 8-bit values, 1 for 16-bit ones
        const int slot = data[at] & 0x0F;
        const qsizetype bytes = precision == 0 ? 1 : 2;
        if (precision > 1 || slot >= QuantTableSlots || at + 1 + 64 * bytes > segment.size())
            return;
        JpegQuantTable table{};
        for (size_t i = 0; i < Zigzag.size(); ++i) {
            const unsigned char *value = data + at + 1 + qsizetype(i) * bytes;
            table[size_t(Zigzag[i])] = bytes == 1 ? value[0] : (value[0] << 8) | value[1];
        }
        tables.defined[size_t(slot)] = table;
        at += 1 + 64 * bytes;
    }
}

int dotsPerMeter(int unit, int density)
{
    if (unit == 1) // dots an inch
        return int(100. * density / CentimetresAnInch);
    return unit == 2 ? int(100. * density) : 0; // dots a centimetre, or a mere aspect ratio
}

// A segment before the first scan that tells of the picture rather than codes it. A later JFIF header replaces
// an earlier one; of EXIF and XMP only the first segment counts.
void readMetadataSegment(unsigned char code, QByteArrayView segment, JpegLayout &layout)
{
    const auto *data = reinterpret_cast<const unsigned char *>(segment.data());
    if (code == App0 && segment.size() >= JfifBytes && segment.startsWith(JfifSignature)) {
        layout.dotsPerMeterX = dotsPerMeter(data[7], (data[8] << 8) | data[9]);
        layout.dotsPerMeterY = dotsPerMeter(data[7], (data[10] << 8) | data[11]);
    } else if (code == App1 && layout.exif.isEmpty() && segment.startsWith(ExifSignature)) {
        layout.exif = segment.sliced(ExifSignature.size()).toByteArray();
    } else if (code == App1 && layout.xmp.isEmpty() && segment.startsWith(XmpSignature)) {
        layout.xmp = segment.sliced(XmpSignature.size()).toByteArray();
    } else if (code == App2 && segment.size() > IccLeastSegmentBytes && segment.startsWith(IccSignature)) {
        layout.iccProfile.append(segment.sliced(IccHeaderBytes));
    } else if (code == App13 && segment.startsWith(PhotoshopSignature)) {
        layout.photoshop.append(segment.sliced(PhotoshopSignature.size()));
    } else if (code == Comment) {
        layout.comments = true;
    }
}

std::optional<JpegQuantTable> tableUsed(const QuantTableUse &tables, int slot)
{
    return slot >= 0 && slot < QuantTableSlots ? tables.defined[size_t(slot)] : std::nullopt;
}

// Skips entropy-coded data from `at`: returns the offset of the next marker that ends it, or -1.
qsizetype endOfScan(QByteArrayView bytes, qsizetype at)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype size = bytes.size();
    while (at < size) {
        const void *found = std::memchr(data + at, Marker, size_t(size - at));
        if (!found)
            return -1;
        at = static_cast<const unsigned char *>(found) - data;
        if (at + 1 >= size)
            return -1;
        const unsigned char code = data[at + 1];
        // A stuffed zero, a restart marker or fill bytes belong to the scan.
        if (code == 0x00 || (code >= 0xD0 && code <= 0xD7) || code == Marker)
            at += code == Marker ? 1 : 2;
        else
            return at;
    }
    return -1;
}

} // namespace

JpegLayout readJpegLayout(QByteArrayView bytes)
{
    JpegLayout layout;
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype size = bytes.size();
    if (size < 4 || data[0] != Marker || data[1] != StartOfImage)
        return layout;
    bool frameSeen = false;
    QuantTableUse tables;
    qsizetype at = 2;
    while (at + 1 < size) {
        if (data[at] != Marker) { // stray bytes between segments, which decoders pass over
            const void *found = std::memchr(data + at, Marker, size_t(size - at));
            if (!found)
                return layout;
            at = static_cast<const unsigned char *>(found) - data;
            continue;
        }
        const unsigned char code = data[at + 1];
        if (code == Marker) { // fill byte before a marker
            ++at;
            continue;
        }
        if (code == 0x00) { // a stuffed zero outside a scan marks nothing
            at += 2;
            continue;
        }
        if (code == EndOfImage) {
            layout.complete = true;
            return layout;
        }
        if (isStandalone(code)) {
            at += 2;
            continue;
        }
        if (at + 3 >= size)
            return layout;
        const qsizetype length = (qsizetype(data[at + 2]) << 8) | data[at + 3];
        if (length < 2 || at + 2 + length > size)
            return layout;
        const QByteArrayView segment = bytes.sliced(at + 4, length - 2);
        if (isStartOfFrame(code) && !frameSeen) {
            frameSeen = true;
            readFrame(data + at + 4, length - 2, code, layout, tables);
        } else if (code == QuantTables && layout.scans == 0) {
            readQuantTables(segment, tables);
        } else if (layout.scans == 0) {
            readMetadataSegment(code, segment, layout);
        }
        at += 2 + length;
        if (code == StartOfScan) {
            if (layout.scans == 0) { // the tables the first scan is decoded with
                layout.luminanceTable = tableUsed(tables, tables.luminance);
                layout.chrominanceTable = tableUsed(tables, tables.chrominance);
            }
            const qsizetype end = endOfScan(bytes, at);
            layout.scanBytes += (end < 0 ? size : end) - at;
            ++layout.scans;
            if (end < 0) // the stream ends in this scan: whether its data is all there, only decoding tells
                return layout;
            at = end;
        }
    }
    return layout;
}

bool jpegDataCoversFrame(const JpegLayout &layout)
{
    if (layout.frameSize.isEmpty())
        return false;
    return layout.arithmetic || layout.scanBytes * 8 >= layout.codedUnits;
}
