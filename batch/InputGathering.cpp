#include "InputGathering.h"

#include "FilePaths.h"
#include "ResultNaming.h"

#include "pixels/files/FolderListing.h"
#include "pixels/files/PictureReader.h"
#include "pixels/files/WholeFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int ReadFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

} // namespace

InputGathering::InputGathering(bool recursive, const QByteArray &outputFolder, ResultNaming &naming)
    : m_recursive(recursive)
    , m_intoOutputFolder(!outputFolder.isEmpty())
    , m_naming(naming)
{
    if (!m_intoOutputFolder)
        return;
    if (const PictureResult<FolderListing> output = FolderListing::open(outputFolder)) {
        m_outputDevice = output.value().device();
        m_outputInode = output.value().inode();
    }
}

void InputGathering::gather(const Input &input)
{
    if (input.path.contains('\0')) {
        m_problems.refused.append({input.path, QStringLiteral("路径中有 NUL 字符 (以 NUL 分隔的列表请用 -0 读取)")});
        return;
    }
    if (WholeFile::isTemporaryName(FilePaths::fileName(input.path))) {
        m_problems.passedOver.append({input.path, QStringLiteral("中断的运行留下的临时文件")});
        return;
    }
    QByteArray layout;
    if (input.keepsPath && m_intoOutputFolder) {
        const std::optional<QByteArray> kept = FilePaths::relativeLayout(input.path);
        if (!kept) {
            m_problems.refused.append({input.path, QStringLiteral("路径中有“..”, 不能在输出文件夹中保持")});
            return;
        }
        layout = *kept;
    }
    if (const PictureResult<FolderListing> folder = FolderListing::open(input.path)) {
        gatherFolder(folder.value(), input.path, layout);
        return;
    }
    const qsizetype slash = layout.lastIndexOf('/');
    m_naming.add(Job{input.path, slash < 0 ? QByteArray() : layout.left(slash), {}, {}});
}

void InputGathering::gatherFolder(const FolderListing &folder, const QByteArray &path, const QByteArray &relative)
{
    for (const FolderEntry &entry : folder.entries()) {
        if (isHiddenName(entry.name))
            continue;
        const QByteArray child = FilePaths::join(path, entry.name);
        switch (entry.type) {
        case FolderEntry::Type::Folder: {
            if (!m_recursive)
                break;
            const PictureResult<FolderListing> inner = folder.openFolder(entry.name);
            if (!inner)
                m_problems.unreadable.append({FileStep::Load, failureAt(inner.failure().kind, child), child});
            else if (!isOutputFolder(inner.value()))
                gatherFolder(inner.value(), child, FilePaths::join(relative, entry.name));
            break;
        }
        case FolderEntry::Type::File: gatherFile(folder.descriptor(), entry.name, child, relative); break;
        case FolderEntry::Type::Link: gatherLink(folder.descriptor(), entry.name, child, relative); break;
        case FolderEntry::Type::Other: passOver(child, QStringLiteral("不是普通文件")); break;
        case FolderEntry::Type::Unknown: break; // gone meanwhile
        }
    }
}

void InputGathering::gatherFile(int folder, const QByteArray &name, const QByteArray &path, const QByteArray &relative)
{
    const int fd = ::openat(folder, name.constData(), ReadFlags);
    // A file that cannot be read may well be a picture: the conversion reports why it cannot.
    const FileKind kind = fd < 0 ? FileKind::Picture : fileKindOf(fd);
    if (fd >= 0)
        ::close(fd);
    switch (kind) {
    case FileKind::Picture: m_naming.add(Job{path, relative, {}, {}}); break;
    case FileKind::OtherPictureFormat: passOver(path, QStringLiteral("不支持的图片格式")); break;
    case FileKind::NotAPicture: passOver(path, QStringLiteral("不是图片")); break;
    }
}

// A link to a file is taken as the file; one that leads nowhere is a stale link, not a picture.
void InputGathering::gatherLink(int folder, const QByteArray &name, const QByteArray &path, const QByteArray &relative)
{
    struct stat status = {};
    if (::fstatat(folder, name.constData(), &status, 0) != 0) {
        passOver(path, errno == ELOOP ? QStringLiteral("链接指向自己, 成环") : QStringLiteral("链接的目标不存在"));
        return;
    }
    if (S_ISREG(status.st_mode))
        gatherFile(folder, name, path, relative);
    else if (!S_ISDIR(status.st_mode))
        passOver(path, QStringLiteral("不是普通文件"));
}

void InputGathering::passOver(const QByteArray &path, const QString &reason)
{
    m_problems.passedOver.append({path, reason});
}

bool InputGathering::isOutputFolder(const FolderListing &folder) const
{
    return m_intoOutputFolder && folder.device() == m_outputDevice && folder.inode() == m_outputInode;
}
