#include "App.h"

#include <QCoreApplication>
#include <QDir>

namespace {

QString &pathOverride()
{
    static QString path;
    return path;
}

} // namespace

QString App::Path()
{
    if (!pathOverride().isEmpty())
        return pathOverride();
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void App::setPathForTesting(const QString &path)
{
    pathOverride() = path;
}
