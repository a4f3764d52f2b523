#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// Resident memory, as the kernel counts it for this process.
namespace PeakMemory {

// The high-water mark of resident memory since the process started (VmHWM), in bytes.
qint64 peakResidentBytes();

// Runs this program again with `arguments` in a fresh process, whose high-water mark starts from nothing,
// and returns the "key=value" lines it printed. Throws when the child fails.
QMap<QString, QString> runChild(const QStringList &arguments, int timeoutSeconds);

// What a child prints for its parent.
void report(const QString &key, const QString &value);

} // namespace PeakMemory
