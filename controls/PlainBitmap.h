#pragma once

#include <QIODevice>
#include <QImage>

#include <optional>

// The kind of Windows bitmap every writer makes: an information header, 24 bits a pixel, uncompressed, rows
// bottom-up or top-down. Read a few rows at a time straight from the file into 32-bit pixels (0xffRRGGBB),
// as Qt's reader would give them: the file is never held in memory whole, and each pixel is unpacked with
// its neighbours rather than on its own.
class PlainBitmap
{
public:
    // The bitmap at the start of `device` when it is of this kind and the device holds every row its header
    // announces; nothing for any other content, which is left to Qt's readers.
    static std::optional<PlainBitmap> find(QIODevice &device);

    QSize size() const { return m_size; }

    // The picture. Null when the rows can no longer all be read (the file shrank meanwhile); a run-time
    // error 7 when there is no memory for it.
    QImage read(QIODevice &device) const;

private:
    PlainBitmap() = default;

    QSize m_size;
    bool m_topDown = false;
    qint64 m_pixelOffset = 0;
    qint32 m_dotsPerMeterX = 0;
    qint32 m_dotsPerMeterY = 0;
};
