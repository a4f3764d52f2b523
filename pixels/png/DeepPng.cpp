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
    // The picture's memory was weighed against the budget before; Qt's own limit would refuse a large one.
    reader.setAllocationLimit(0);
    QImage picture;
    if (!reader.read(&picture))
        return PictureFailure{PictureError::NotAPicture, {}};
    return picture;
}
