#include "SkinH.h"

#include "App.h"

#include "errors/RuntimeError.h"
#include "skin/SkinH.h"

#include <QDir>
#include <QLibrary>

namespace {

QLibrary *loadLibrary()
{
    static QLibrary library;
    if (library.isLoaded())
        return &library;
    library.setFileName(QDir(QDir::fromNativeSeparators(App::Path())).filePath(QLatin1String(SkinH::LibraryName)));
    if (library.load())
        return &library;
    library.setFileName(QLatin1String(SkinH::LibraryName));
    if (library.load())
        return &library;
    return nullptr;
}

template<class Function>
Function bind(const char *entryPoint)
{
    QLibrary *library = loadLibrary();
    if (!library)
        throw RuntimeError(ErrorNumber::LibraryNotFound, QLatin1String(SkinH::LibraryName));
    auto function = reinterpret_cast<Function>(library->resolve(entryPoint));
    if (!function)
        throw RuntimeError(ErrorNumber::EntryPointNotFound, QLatin1String(entryPoint));
    return function;
}

} // namespace

qint32 SkinH::SkinH_AttachEx(const QString &skinFile, const QString &key)
{
    static const SkinAttachExFunction attachEx = bind<SkinAttachExFunction>(SkinAttachExSymbol);
    return attachEx(skinFile.toLocal8Bit().constData(), key.toLocal8Bit().constData());
}
