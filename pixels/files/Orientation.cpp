#include "Orientation.h"

#include <QTransform>
#include <QtEndian>

#include <optional>

namespace {

constexpr quint16 OrientationTag = 0x0112;
constexpr quint16 ShortType = 3;
constexpr qsizetype TiffHeaderBytes = 8;
constexpr qsizetype IfdEntryBytes = 12;

// A TIFF structure's 16- and 32-bit numbers, in the byte order its header names.
class TiffNumbers
{
public:
    explicit TiffNumbers(QByteArrayView bytes)
        : m_bytes(bytes)
        , m_bigEndian(bytes.startsWith("MM"))
    {
    }

    std::optional<quint32> number(qsizetype offset, int size) const
    {
        if (offset < 0 || offset > m_bytes.size() - size)
            return std::nullopt;
        const uchar *at = reinterpret_cast<const uchar *>(m_bytes.data()) + offset;
        if (size == 2)
            return m_bigEndian ? qFromBigEndian<quint16>(at) : qFromLittleEndian<quint16>(at);
        return m_bigEndian ? qFromBigEndian<quint32>(at) : qFromLittleEndian<quint32>(at);
    }

private:
    QByteArrayView m_bytes;
    bool m_bigEndian;
};

std::optional<int> orientationTag(QByteArrayView tiff)
{
    if (tiff.size() < TiffHeaderBytes || !(tiff.startsWith("II*\0") || tiff.startsWith("MM\0*")))
        return std::nullopt;
    const TiffNumbers numbers(tiff);
    const std::optional<quint32> ifd = numbers.number(4, 4);
    const std::optional<quint32> entries = ifd ? numbers.number(*ifd, 2) : std::nullopt;
    if (!entries)
        return std::nullopt;
    for (quint32 i = 0; i < *entries; ++i) {
        const qsizetype entry = qsizetype(*ifd) + 2 + qsizetype(i) * IfdEntryBytes;
        if (numbers.number(entry, 2) == OrientationTag && numbers.number(entry + 2, 2) == ShortType)
            if (const std::optional<quint32> value = numbers.number(entry + 8, 2))
                return int(*value);
    }
    return std::nullopt;
}

} // namespace

QImageIOHandler::Transformations orientationTransformation(int orientation)
{
    switch (orientation) {
    case 2: return QImageIOHandler::TransformationMirror;
    case 3: return QImageIOHandler::TransformationRotate180;
    case 4: return QImageIOHandler::TransformationFlip;
    case 5: return QImageIOHandler::TransformationFlipAndRotate90;
    case 6: return QImageIOHandler::TransformationRotate90;
    case 7: return QImageIOHandler::TransformationMirrorAndRotate90;
    case 8: return QImageIOHandler::TransformationRotate270;
    default: return QImageIOHandler::TransformationNone;
    }
}

QImageIOHandler::Transformations exifTransformation(QByteArrayView exif)
{
    if (exif.startsWith(QByteArrayView("Exif\0\0", 6)))
        exif = exif.sliced(6);
    const std::optional<int> orientation = orientationTag(exif);
    return orientation ? orientationTransformation(*orientation) : QImageIOHandler::TransformationNone;
}

bool applyTransformation(QImage &image, QImageIOHandler::Transformations transformation)
{
    const bool mirror = transformation.testFlag(QImageIOHandler::TransformationMirror);
    const bool flip = transformation.testFlag(QImageIOHandler::TransformationFlip);
    if (mirror || flip)
        image.mirror(mirror, flip); // in place
    if (!transformation.testFlag(QImageIOHandler::TransformationRotate90))
        return true;
    QImage turned = image.transformed(QTransform().rotate(90));
    if (turned.isNull())
        return false;
    image = std::move(turned);
    return true;
}
