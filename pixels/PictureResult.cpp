#include "PictureResult.h"

#include <QDir>

PictureFailure failureAt(PictureError kind, const QString &path)
{
    return {kind, QDir::toNativeSeparators(path)};
}
