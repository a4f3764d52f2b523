#include "DeepPng.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

namespace {

// The signature, then the IHDR chunk: its length and name, width and height, bit depth.
constexpr char Signature[] = "\x89PNG\r\n\x1a\n";
constexpr qsizetype SignatureBytes = 8;
constexpr qsizetype WidthAt = 16;
constexpr qsizetype HeightAt = 20;
constexpr qsizetype DepthAt = 24;
constexpr qsizetype HeaderBytes = DepthAt + 1;
constexpr quint32 LargestSide = quint32(1) << 30;
constexpr qint64 MebiByte = qint64(1) << 20;

quint32 bigEndian32(QByteArrayView bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.data() + at);
}

} // namespace

std::optional<QSize> deepPngSize(QByteArrayView fileBytes)
{
    if (fileBytes.size() < HeaderBytes || fileBytes.first(SignatureBytes) != QByteArrayView(Signature, SignatureBytes)
        || fileBytes.sliced(SignatureBytes + 4, 4) != "IHDR" || quint8(fileBytes[DepthAt]) != 16)
        return std::nullopt;
    const quint32 width = bigEndian32(fileBytes, WidthAt);
    const quint32 height = bigEndian32(fileBytes, HeightAt);
    if (width == 0 || height == 0 || width > LargestSide || height > LargestSide)
        return std::nullopt;
    return QSize(int(width), int(height));
}

PictureResult<QImage> readDeepPng(const QByteArray &fileBytes)
{
    QBuffer buffer;
    buffer.setData(fileBytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    QImage picture;
    if (reader.read(&picture))
        return picture;
    // Qt's reader refuses a picture larger than its limit on memory (256 MiB of pixels by default).
    const qint64 megabytes = qint64(reader.size().width()) * reader.size().height() * 8 / MebiByte;
    return PictureFailure{QImageReader::allocationLimit() > 0 && megabytes >= QImageReader::allocationLimit()
                              ? PictureError::OutOfMemory
                              : PictureError::NotAPicture,
                          {}};
}
