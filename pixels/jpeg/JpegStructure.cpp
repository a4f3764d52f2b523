#include "JpegStructure.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned char Marker = 0xFF;
constexpr unsigned char StartOfImage = 0xD8;
constexpr unsigned char EndOfImage = 0xD9;
constexpr unsigned char StartOfScan = 0xDA;

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
void readFrame(const unsigned char *segment, qsizetype length, unsigned char code, JpegLayout &layout)
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
    layout.frameSize = QSize(width, height);
    layout.codedUnits = ceilDiv(width, 8 * qint64(hMax)) * ceilDiv(height, 8 * qint64(vMax));
    layout.arithmetic = isArithmetic(code);
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
        if (isStartOfFrame(code) && !frameSeen) {
            frameSeen = true;
            readFrame(data + at + 4, length - 2, code, layout);
        }
        at += 2 + length;
        if (code == StartOfScan) {
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
