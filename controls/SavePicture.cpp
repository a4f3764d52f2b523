#include "PictureFiles.h"

#include "errors/PictureErrors.h"

#include "pixels/files/PictureWriter.h"

void SavePicture(const StdPicture &picture, const QString &path)
{
    const PictureResult<> written = writePicture(picture.image(), path, pictureFormatOfName(path));
    if (!written)
        throwPictureError(written.failure());
}
