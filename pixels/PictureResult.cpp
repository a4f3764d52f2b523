#include "PictureResult.h"

#include <QDir>
#include <QFile>

#include <cerrno>

PictureError systemErrorKind(int error)
{
    switch (error) {
    case ENOENT: return PictureError::FileNotFound;
    case EACCES:
    case EPERM: return PictureError::PermissionDenied;
    case EROFS: return PictureError::ReadOnlyDisk;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return PictureError::DiskFull;
    case ENAMETOOLONG: return PictureError::NameTooLong;
    default: return PictureError::FileAccess;
    }
}

PictureFailure failureAt(PictureError kind, const QString &path)
{
    return {kind, QDir::toNativeSeparators(path)};
}

PictureFailure failureAt(PictureError kind, const QByteArray &nativePath)
{
    return failureAt(kind, QFile::decodeName(nativePath));
}
