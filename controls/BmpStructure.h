#pragma once

#include <QByteArrayView>
#include <QSize>

#include <optional>

// The headers of a Windows bitmap file, as far as loading it needs them.
struct BmpLayout
{
    QSize size;           // width and height, both positive; a top-down bitmap has its height negated on disk
    bool topDown = false;
    int bitCount = 0;
    quint32 compression = 0;
    qint64 pixelOffset = 0;
};

// The layout of a bitmap whose headers hold together: a size, bit count and compression a bitmap can have, a
// palette and pixel data that lie inside the file, every row an uncompressed bitmap announces, and a run-length
// stream that stays inside the picture and ends properly. Nothing otherwise.
std::optional<BmpLayout> readBmpLayout(QByteArrayView bytes);
