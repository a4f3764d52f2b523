#include "RuntimeError.h"

RuntimeError::RuntimeError(int number, const QString &detail)
    : m_number(number)
    , m_description(detail.isEmpty() ? standardDescription(number)
                                     : standardDescription(number) + QStringLiteral(": ") + detail)
    , m_what(m_description.toUtf8())
{
}

QString RuntimeError::standardDescription(int number)
{
    switch (number) {
    case ErrorNumber::Overflow: return QStringLiteral("溢出");
    case ErrorNumber::OutOfMemory: return QStringLiteral("内存溢出");
    case ErrorNumber::LibraryNotFound: return QStringLiteral("加载 DLL 错误");
    case ErrorNumber::FileNotFound: return QStringLiteral("文件未找到");
    case ErrorNumber::DiskFull: return QStringLiteral("磁盘已满");
    case ErrorNumber::PermissionDenied: return QStringLiteral("没有权限");
    case ErrorNumber::PathFileAccess: return QStringLiteral("路径/文件访问错误");
    case ErrorNumber::EntryPointNotFound: return QStringLiteral("找不到 DLL 入口点");
    case ErrorNumber::InvalidPicture: return QStringLiteral("无效图片");
    case ErrorNumber::BufferTooSmall: return QStringLiteral("文件名缓冲区太小");
    case ErrorNumber::DialogCancelled: return QStringLiteral("已选择“取消”。");
    case ErrorNumber::IndexOutOfBounds: return QStringLiteral("索引越界");
    default: return QStringLiteral("应用程序定义的错误或对象定义的错误");
    }
}
