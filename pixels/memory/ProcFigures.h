#pragma once

// Figures the kernel reports about memory, read from /proc.

#include <QByteArray>
#include <QString>

namespace ProcFigures {

// The number of a "Name:   1234 kB" line of a /proc file (`name` includes the colon), in bytes; -1 when the
// file or the line is not there.
qint64 kilobyteFigure(const QString &file, const QByteArray &name);

// MemAvailable and MemTotal of /proc/meminfo, in bytes; -1 when unknown.
qint64 availableMemory();
qint64 totalMemory();

} // namespace ProcFigures
