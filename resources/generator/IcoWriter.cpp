#include "IcoWriter.h"

#include "pixels/bitmap/BmpStructure.h"
#include "pixels/bitmap/LittleEndian.h"
#include "pixels/memory/RowBytes.h"

#include <QSaveFile>

#include <limits>

namespace {

constexpr int PaletteSize = 256;
constexpr int DirectoryHeaderSize = 6;
constexpr int DirectoryEntrySize = 16;
constexpr int InfoHeaderSize = int(BmpInfoHeaderSize);
constexpr int OpaqueAlpha = 128;

void putU8(QByteArray &out, int value)
{
    appendLittleEndian(out, quint32(value), 1);
}

void putU16(QByteArray &out, quint32 value)
{
    appendLittleEndian(out, value, 2);
}

void putU32(QByteArray &out, quint32 value)
{
    appendLittleEndian(out, value, 4);
}

// An icon's pixels are stored as bitmap rows.
int strideFor(int bitsPerRow)
{
    return int(rowBytes(bitsPerRow, 1));
}

int distance(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b);
    const int dg = qGreen(a) - qGreen(b);
    const int db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

} // namespace

IcoWriter::IcoWriter(const QList<QRgb> &palette)
    : m_palette(palette.mid(0, PaletteSize))
{
    while (m_palette.size() < PaletteSize)
        m_palette.append(qRgb(0, 0, 0));
    // Transparent pixels carry black in the colour plane so that AND-then-XOR leaves the screen untouched.
    m_blackIndex = nearestIndex(qRgb(0, 0, 0));
}

bool IcoWriter::addImage(const QImage &image)
{
    if (image.isNull() || image.width() > 256 || image.height() > 256)
        return false;
    m_images.append(image.convertToFormat(QImage::Format_ARGB32));
    return true;
}

int IcoWriter::nearestIndex(QRgb colour) const
{
    const QRgb key = colour | 0xff000000u;
    const auto cached = m_indexCache.constFind(key);
    if (cached != m_indexCache.cend())
        return *cached;
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (int i = 0; i < m_palette.size() && bestDistance > 0; ++i) {
        const int d = distance(key, m_palette.at(i));
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    m_indexCache.insert(key, best);
    return best;
}

QByteArray IcoWriter::dib(const QImage &image) const
{
    const int w = image.width();
    const int h = image.height();
    const int colourStride = strideFor(w * 8);
    const int maskStride = strideFor(w);

    QByteArray out;
    putU32(out, InfoHeaderSize);
    putU32(out, quint32(w));
    putU32(out, quint32(2 * h)); // colour plane and mask stacked
    putU16(out, 1);
    putU16(out, 8);
    putU32(out, 0); // uncompressed
    putU32(out, quint32((colourStride + maskStride) * h));
    putU32(out, 0);
    putU32(out, 0);
    putU32(out, PaletteSize);
    putU32(out, 0);

    for (QRgb c : m_palette) {
        putU8(out, qBlue(c));
        putU8(out, qGreen(c));
        putU8(out, qRed(c));
        putU8(out, 0);
    }

    // Both planes are stored bottom row first.
    QByteArray mask;
    for (int y = h - 1; y >= 0; --y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        QByteArray colourRow(colourStride, '\0');
        QByteArray maskRow(maskStride, '\0');
        for (int x = 0; x < w; ++x) {
            const bool opaque = qAlpha(line[x]) >= OpaqueAlpha;
            colourRow[x] = char(opaque ? nearestIndex(line[x]) : m_blackIndex);
            if (!opaque)
                maskRow[x / 8] = char(maskRow.at(x / 8) | (0x80 >> (x % 8)));
        }
        out.append(colourRow);
        mask.append(maskRow);
    }
    out.append(mask);
    return out;
}

QByteArray IcoWriter::data() const
{
    QList<QByteArray> dibs;
    for (const QImage &image : m_images)
        dibs.append(dib(image));

    QByteArray out;
    putU16(out, 0);
    putU16(out, 1); // icon, not cursor
    putU16(out, quint32(m_images.size()));

    quint32 offset = DirectoryHeaderSize + DirectoryEntrySize * quint32(m_images.size());
    for (int i = 0; i < m_images.size(); ++i) {
        const QImage &image = m_images.at(i);
        putU8(out, image.width() % 256); // 0 stands for 256
        putU8(out, image.height() % 256);
        putU8(out, 0); // 0 stands for a full 256-colour palette
        putU8(out, 0);
        putU16(out, 1);
        putU16(out, 8);
        putU32(out, quint32(dibs.at(i).size()));
        putU32(out, offset);
        offset += quint32(dibs.at(i).size());
    }
    for (const QByteArray &d : dibs)
        out.append(d);
    return out;
}

bool IcoWriter::save(const QString &path, QString *errorString) const
{
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(data()) >= 0 && file.commit();
    if (!ok && errorString)
        *errorString = file.errorString();
    return ok;
}
