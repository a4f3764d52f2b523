#include "JpegStructure.h"

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

bool jpegIsComplete(QByteArrayView bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype size = bytes.size();
    if (size < 4 || data[0] != Marker || data[1] != StartOfImage)
        return false;
    qsizetype at = 2;
    while (at + 1 < size) {
        if (data[at] != Marker)
            return false;
        const unsigned char code = data[at + 1];
        if (code == Marker) { // fill byte before a marker
            ++at;
            continue;
        }
        if (code == EndOfImage)
            return true;
        if (isStandalone(code)) {
            at += 2;
            continue;
        }
        if (at + 3 >= size)
            return false;
        const qsizetype length = (qsizetype(data[at + 2]) << 8) | data[at + 3];
        if (length < 2 || at + 2 + length > size)
            return false;
        at += 2 + length;
        if (code == StartOfScan) {
            at = endOfScan(bytes, at);
            if (at < 0)
                return false;
        }
    }
    return false;
}
