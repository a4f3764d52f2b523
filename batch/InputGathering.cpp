#include "InputGathering.h"

#include "FilePaths.h"
#include "ResultNaming.h"

#include "pixels/files/PictureReader.h"
#include "pixels/files/WholeFile.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray resolved(const QByteArray &path)
{
    char buffer[PATH_MAX];
    return ::realpath(path.constData(), buffer) != nullptr ? QByteArray(buffer) : QByteArray();
}

// The names in `folder` that are not hidden, in byte order; false when it cannot be listed.
bool listFolder(const QByteArray &folder, QList<QByteArray> &names)
{
    DIR *entries = ::opendir(folder.constData());
    if (entries == nullptr)
        return false;
    while (const dirent *entry = ::readdir(entries)) {
        if (entry->d_name[0] != '.')
            names << QByteArray(entry->d_name);
    }
    ::closedir(entries);
    std::sort(names.begin(), names.end());
    return true;
}

bool isFolder(const QByteArray &path)
{
    struct stat status = {};
    return ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool isLink(const QByteArray &path)
{
    struct stat status = {};
    return ::lstat(path.constData(), &status) == 0 && S_ISLNK(status.st_mode);
}

} // namespace

InputGathering::InputGathering(bool recursive, const QByteArray &outputFolder)
    : m_recursive(recursive)
    , m_intoOutputFolder(!outputFolder.isEmpty())
    , m_outputFolder(outputFolder.isEmpty() ? QByteArray() : resolved(outputFolder))
{
}

GatheredInputs InputGathering::gather(const QList<Input> &inputs) const
{
    GatheredInputs gathered;
    for (const Input &input : inputs) {
        if (WholeFile::isTemporaryName(FilePaths::fileName(input.path))) {
            gathered.passedOver.append({input.path, QStringLiteral("中断的运行留下的临时文件")});
            continue;
        }
        QByteArray layout;
        if (input.keepsPath && m_intoOutputFolder) {
            const std::optional<QByteArray> kept = FilePaths::relativeLayout(input.path);
            if (!kept) {
                gathered.unplaceable.append({input.path, QStringLiteral("路径中有“..”, 不能在输出文件夹中保持")});
                continue;
            }
            layout = *kept;
        }
        if (isFolder(input.path)) {
            gatherFolder(input.path, layout, gathered);
            continue;
        }
        const qsizetype slash = layout.lastIndexOf('/');
        gathered.jobs.append(Job{input.path, slash < 0 ? QByteArray() : layout.left(slash), {}, {}});
    }
    return gathered;
}

void InputGathering::gatherFolder(const QByteArray &folder, const QByteArray &relative, GatheredInputs &into) const
{
    QList<QByteArray> names;
    if (!listFolder(folder, names)) {
        into.unreadable.append({FileStep::Load, failureAt(PictureError::PermissionDenied, folder), folder});
        return;
    }
    for (const QByteArray &name : names) {
        const QByteArray path = FilePaths::join(folder, name);
        if (isFolder(path)) {
            if (m_recursive && !isLink(path) && resolved(path) != m_outputFolder)
                gatherFolder(path, FilePaths::join(relative, name), into);
        } else if (!ResultNaming::isResultName(name)
                   && (::access(path.constData(), R_OK) != 0 || looksLikePicture(path))) {
            // A file that cannot be read may well be a picture: the conversion reports why it cannot.
            into.jobs.append(Job{path, relative, {}, {}});
        }
    }
}

QList<QByteArray> InputGathering::readList(QIODevice &device, bool nulSeparated)
{
    const QByteArray all = device.readAll();
    QList<QByteArray> paths;
    for (QByteArray entry : all.split(nulSeparated ? '\0' : '\n')) {
        if (!nulSeparated && entry.endsWith('\r'))
            entry.chop(1);
        if (!entry.isEmpty())
            paths << entry;
    }
    return paths;
}
