#include "MemoryBudget.h"

#include "ProcFigures.h"
#include "RowBytes.h"

#include <limits>
#include <sys/resource.h>

namespace {

constexpr qint64 MiB = qint64(1024) * 1024;
// The surface takes four bytes a pixel; a decolorize holds it twice for a moment.
constexpr double PeakSurfaces = 2.5;

qint64 availableMemory()
{
    const qint64 available = ProcFigures::availableMemory();
    return available >= 0 ? available : 4096 * MiB;
}

// A process may be held to less address space than the machine has free.
qint64 addressSpaceLeft()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return std::numeric_limits<qint64>::max();
    const qint64 used = ProcFigures::kilobyteFigure(QStringLiteral("/proc/self/status"), "VmSize:");
    return qMax<qint64>(0, qint64(limit.rlim_cur) - qMax<qint64>(used, 0));
}

} // namespace

qint64 pictureMemoryBudget()
{
    return qint64(double(qMin(availableMemory(), addressSpaceLeft())) / PeakSurfaces);
}

qint64 surfaceBytes(qint64 width, qint64 height)
{
    return rowBytes(width, 32) * height;
}

bool surfaceFits(QSize size, qint64 budget)
{
    // Both sides may be near 2^31: their product fits in 64 bits, four times it need not.
    return qint64(size.width()) * size.height() <= budget / rowBytes(1, 32);
}
