#include "ProcFigures.h"

#include <QFile>

namespace ProcFigures {

qint64 kilobyteFigure(const QString &file, const QByteArray &name)
{
    QFile proc(file);
    if (!proc.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : proc.readAll().split('\n')) {
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

qint64 availableMemory()
{
    return kilobyteFigure(QStringLiteral("/proc/meminfo"), "MemAvailable:");
}

qint64 totalMemory()
{
    return kilobyteFigure(QStringLiteral("/proc/meminfo"), "MemTotal:");
}

} // namespace ProcFigures
