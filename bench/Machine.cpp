#include "Machine.h"

#include "pixels/memory/ProcFigures.h"

#include <QFile>
#include <QSysInfo>

#include <thread>

namespace Machine {

namespace {

QList<QByteArray> linesOf(const char *path)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().split('\n');
}

QByteArray valueOf(const char *path, const QByteArray &key)
{
    for (const QByteArray &line : linesOf(path)) {
        if (line.startsWith(key)) {
            const qsizetype colon = line.indexOf(':');
            return colon < 0 ? QByteArray() : line.mid(colon + 1).trimmed();
        }
    }
    return {};
}

} // namespace

QString processorModel()
{
    const QByteArray model = valueOf("/proc/cpuinfo", "model name");
    return model.isEmpty() ? QSysInfo::currentCpuArchitecture() : QString::fromLatin1(model);
}

int cores()
{
    return int(std::thread::hardware_concurrency());
}

qint64 memoryBytes()
{
    return qMax<qint64>(0, ProcFigures::totalMemory());
}

qint64 availableMemoryBytes()
{
    return qMax<qint64>(0, ProcFigures::availableMemory());
}

QString loadAverage()
{
    const QList<QByteArray> fields = linesOf("/proc/loadavg").value(0).split(' ');
    return QString::fromLatin1(fields.mid(0, 3).join(' '));
}

QString description()
{
    return QStringLiteral("%1, %2 cores, %3 GiB memory, Linux %4, Qt %5")
        .arg(processorModel())
        .arg(cores())
        .arg(double(memoryBytes()) / (1 << 30), 0, 'f', 1)
        .arg(QSysInfo::kernelVersion(), QString::fromLatin1(qVersion()));
}

} // namespace Machine
