#include "PeakMemory.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <cstdio>
#include <stdexcept>

namespace PeakMemory {

qint64 peakResidentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

QMap<QString, QString> runChild(const QStringList &arguments, int timeoutSeconds)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(timeoutSeconds * 1000)) {
        child.kill();
        child.waitForFinished();
        throw std::runtime_error("the measuring child did not finish: " + arguments.join(' ').toStdString());
    }
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        throw std::runtime_error("the measuring child failed: " + arguments.join(' ').toStdString() + "\n"
                                 + child.readAllStandardError().toStdString());
    QMap<QString, QString> values;
    for (const QString &line : QString::fromUtf8(child.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            values.insert(line.left(equals), line.mid(equals + 1));
    }
    return values;
}

void report(const QString &key, const QString &value)
{
    std::printf("%s=%s\n", qPrintable(key), value.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace PeakMemory
