#include "PictureFiles.h"

#include "PictureErrors.h"

#include "pixels/PictureReader.h"

StdPicture LoadPicture(const QString &path)
{
    PictureResult<QImage> image = readPicture(path);
    if (!image)
        throwPictureError(image.failure());
    return StdPicture(std::move(image).value());
}
