#include "BitmapBands.h"

#include "LittleEndian.h"

#include <QIODevice>
#include <QImageReader>

#include <cstring>

namespace {

// The file's own headers, colour masks and palette, made to describe a bitmap of `rows` rows whose pixels
// follow at once.
QByteArray bandHeaders(const QByteArray &head, const BmpLayout &layout, int rows, qint64 pixelBytes)
{
    QByteArray band = head.left(layout.headersEnd);
    putLittleEndian(band, BmpField::FileSize, quint32(band.size() + pixelBytes), 4);
    putLittleEndian(band, BmpField::PixelOffset, quint32(band.size()), 4);
    if (layout.headerSize == BmpCoreHeaderSize) {
        putLittleEndian(band, BmpField::CoreHeight, quint32(rows), 2);
    } else {
        putLittleEndian(band, BmpField::Height, quint32(layout.topDown ? -rows : rows), 4);
        putLittleEndian(band, BmpField::ImageSize, quint32(pixelBytes), 4);
    }
    return band;
}

// One band as a bitmap file of its own: its headers, then its rows read from the picture file.
class BandFile : public QIODevice
{
public:
    BandFile(QByteArray headers, QIODevice &file, qint64 pixelsAt, qint64 pixelBytes)
        : m_headers(std::move(headers))
        , m_file(file)
        , m_pixelsAt(pixelsAt)
        , m_pixelBytes(pixelBytes)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_headers.size() + m_pixelBytes; }
    // Qt's reader takes a file that ends early for a picture with its last rows unwritten.
    bool endedEarly() const { return m_endedEarly; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        qint64 at = pos();
        const qint64 end = qMin(size(), at + maxSize);
        qint64 done = 0;
        if (at < m_headers.size()) {
            done = qMin(end, qint64(m_headers.size())) - at;
            std::memcpy(data, m_headers.constData() + at, size_t(done));
            at += done;
        }
        if (at < end) {
            if (!m_file.seek(m_pixelsAt + at - m_headers.size()))
                return done > 0 ? done : -1;
            const qint64 got = m_file.read(data + done, end - at);
            m_endedEarly = m_endedEarly || got < end - at;
            if (got < 0)
                return done > 0 ? done : -1;
            done += got;
        }
        return done;
    }

    qint64 writeData(const char *, qint64) override { return -1; }

private:
    const QByteArray m_headers;
    QIODevice &m_file;
    const qint64 m_pixelsAt;
    const qint64 m_pixelBytes;
    bool m_endedEarly = false;
};

// Has Qt decode one band into the surface's rows from `top` on. Qt fills an image of the right size and
// format in place, so a 32-bit band is decoded straight into the surface; any other band is decoded on its
// own and converted.
bool readBand(BandFile &band, QImage &surface, int top, int rows)
{
    QImageReader reader(&band, "bmp");
    uchar *const first = surface.scanLine(top);
    QImage image;
    if (reader.imageFormat() == QImage::Format_RGB32)
        image = QImage(first, surface.width(), rows, surface.bytesPerLine(), QImage::Format_RGB32);
    if (!reader.read(&image) || band.endedEarly() || image.size() != QSize(surface.width(), rows))
        return false;
    if (image.constBits() == first)
        return true;
    image.convertTo(QImage::Format_RGB32);
    if (image.isNull())
        return false;
    const size_t rowBytes = size_t(surface.width()) * 4;
    for (int y = 0; y < rows; ++y)
        std::memcpy(surface.scanLine(top + y), image.constScanLine(y), rowBytes);
    return true;
}

} // namespace

bool readBitmapInBands(QIODevice &file, const QByteArray &head, const BmpLayout &layout, QImage &surface,
                       qint64 bandPixels)
{
    const int width = layout.size.width();
    const int height = layout.size.height();
    if (layout.runLength() || layout.headersEnd > head.size() || width > bandPixels || surface.size() != layout.size
        || surface.format() != QImage::Format_RGB32)
        return false;
    const int bandRows = int(qMin<qint64>(height, bandPixels / width));
    const qint64 rowBytes = layout.rowBytes();
    for (int done = 0; done < height;) { // rows in the file's order
        const int rows = qMin(bandRows, height - done);
        const int top = layout.topDown ? done : height - done - rows;
        const qint64 pixelBytes = qint64(rows) * rowBytes;
        BandFile band(bandHeaders(head, layout, rows, pixelBytes), file, layout.pixelOffset + qint64(done) * rowBytes,
                      pixelBytes);
        if (!readBand(band, surface, top, rows))
            return false;
        done += rows;
    }
    return true;
}
