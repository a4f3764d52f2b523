#pragma once

#include <QString>

// What the figures were measured on, printed beside them.
namespace Machine {

QString processorModel();
int cores();
qint64 memoryBytes();
qint64 availableMemoryBytes();
QString loadAverage(); // the 1, 5 and 15 minute load averages
QString description(); // one line: model, cores, memory, kernel, Qt

} // namespace Machine
