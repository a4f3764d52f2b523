#include "skin/SkinReader.h"

#include "skin/SkinFile.h"

#include <QFile>
#include <QFileInfo>

SkinError readSkinFile(const QString &path, QByteArray &bytes)
{
    if (path.isEmpty())
        return SkinError::NoPath;
    const QFileInfo info(path);
    if (!info.exists())
        return SkinError::FileNotFound;
    // Pipes and devices could block or never end; a skin is always a plain file.
    if (!info.isFile())
        return SkinError::NotAFile;
    if (info.size() > MaxSkinFileSize)
        return SkinError::FileTooLarge;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return SkinError::FileUnreadable;
    // One byte past the cap tells a file that grew since the size check from one that fits exactly.
    bytes = file.read(MaxSkinFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return SkinError::FileUnreadable;
    if (bytes.size() > MaxSkinFileSize)
        return SkinError::FileTooLarge;
    return SkinError::Ok;
}
