#include "Shell.h"

#include "errors/RuntimeError.h"

#include <QProcess>

namespace {

QString platformProgram(const QString &program)
{
    if (program.compare(QLatin1String("explorer.exe"), Qt::CaseInsensitive) == 0
        || program.compare(QLatin1String("explorer"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("xdg-open");
    return program;
}

ShellWatcher &watcher()
{
    static ShellWatcher instance;
    return instance;
}

} // namespace

void setShellWatcher(ShellWatcher newWatcher)
{
    watcher() = std::move(newWatcher);
}

qint64 Shell(const QString &commandLine, int windowStyle)
{
    if (watcher())
        watcher()(commandLine, windowStyle);
    // The window style is not passed on: the desktop decides how a started program opens.
    const QString trimmed = commandLine.trimmed();
    const qsizetype space = trimmed.indexOf(QLatin1Char(' '));
    const QString program = platformProgram(space < 0 ? trimmed : trimmed.left(space));
    QStringList arguments;
    if (space >= 0)
        arguments << trimmed.mid(space + 1);
    qint64 pid = 0;
    if (program.isEmpty() || !QProcess::startDetached(program, arguments, QString(), &pid))
        throw RuntimeError(ErrorNumber::FileNotFound, program);
    return pid;
}
