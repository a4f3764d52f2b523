#include "PictureFormat.h"

#include <QFileInfo>

namespace {

bool isExtensionOf(const PictureFormatNames &names, const QString &suffix)
{
    const auto same = [&suffix](const char *name) {
        return name && suffix.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    return same(names.name) || same(names.otherName);
}

std::optional<PictureFormat> pictureFormatOfExtension(const QString &suffix)
{
    for (const PictureFormatNames &names : PictureFormatTable) {
        if (isExtensionOf(names, suffix))
            return names.format;
    }
    return std::nullopt;
}

} // namespace

QString pictureFormatName(PictureFormat format)
{
    for (const PictureFormatNames &names : PictureFormatTable) {
        if (names.format == format)
            return QString::fromLatin1(names.name);
    }
    Q_UNREACHABLE();
}

std::optional<PictureFormat> pictureFormatCalled(QByteArrayView name)
{
    return pictureFormatOfExtension(QString::fromUtf8(name));
}

PictureFormat pictureFormatOfName(const QString &path)
{
    // The window's save writes JPEG and bitmaps only: a name of any other extension, a PNG one too, gets a bitmap.
    return pictureFormatOfExtension(QFileInfo(path).suffix()) == PictureFormat::Jpeg ? PictureFormat::Jpeg
                                                                                     : PictureFormat::Bitmap;
}
