#include "FileFailure.h"

#include "PictureErrors.h"
#include "RuntimeError.h"

#include <climits>

QString stepFailedWords(FileStep step)
{
    return step == FileStep::Load ? QStringLiteral("加载失败") : QStringLiteral("保存失败");
}

QString reasonOf(const FileFailure &failure)
{
    const PictureError kind = failure.failure.kind;
    if (kind == PictureError::NameTooLong) {
        const QByteArray fileName = failure.path.mid(failure.path.lastIndexOf('/') + 1);
        return fileName.size() > NAME_MAX ? QStringLiteral("文件名太长") : QStringLiteral("路径太长");
    }
    if (kind == PictureError::PathBlocked)
        return QStringLiteral("路径中有一个文件挡住了文件夹");
    QString words = RuntimeError::standardDescription(errorNumberOf(kind));
    if (kind == PictureError::OutOfMemory && failure.overUserMemoryLimit)
        return words + QStringLiteral(": 图片所需的内存超过 --memory 给的限制");
    if (kind == PictureError::ReadOnlyDisk)
        return words + QStringLiteral(": 文件系统是只读的");
    if (kind == PictureError::NameRefused)
        return words + QStringLiteral(": 文件系统不接受这个文件名");
    // A save never writes over a file in place: where the folder takes no new file, it is refused.
    if (failure.step == FileStep::Save && kind == PictureError::PermissionDenied)
        return words
               + (failure.targetKept ? QStringLiteral(": 文件夹中不能新建文件, 已有的文件保持原样")
                                     : QStringLiteral(": 文件夹中不能新建文件"));
    return words;
}
