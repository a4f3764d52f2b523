#include "PictureFiles.h"

#include "errors/PictureErrors.h"

#include "pixels/files/PictureReader.h"

#include <QFile>

StdPicture LoadPicture(const QString &path)
{
    return LoadPicture(QFile::encodeName(path));
}

StdPicture LoadPicture(const QByteArray &nativePath)
{
    PictureResult<QImage> image = readPicture(nativePath);
    if (!image)
        throwPictureError(image.failure());
    return StdPicture(std::move(image).value());
}
