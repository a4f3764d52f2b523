#include "PictureResult.h"

#include <QDir>
#include <QFile>

PictureFailure failureAt(PictureError kind, const QString &path)
{
    return {kind, QDir::toNativeSeparators(path)};
}

PictureFailure failureAt(PictureError kind, const QByteArray &nativePath)
{
    return failureAt(kind, QFile::decodeName(nativePath));
}
