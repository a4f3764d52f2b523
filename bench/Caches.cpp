#include "Caches.h"

#include <benchmark/benchmark.h>

#include <QtGlobal>

#include <memory>
#include <unistd.h>

namespace Caches {

namespace {

size_t lastLevelCacheBytes()
{
    const long bytes = ::sysconf(_SC_LEVEL3_CACHE_SIZE);
    return bytes > 0 ? size_t(bytes) : size_t(64) << 20;
}

} // namespace

void evict()
{
    static const size_t bytes = 2 * lastLevelCacheBytes();
    static const std::unique_ptr<quint64[]> buffer(new quint64[bytes / sizeof(quint64)]());
    // One word of each 64-byte line: every line of the buffer comes into the cache, and whatever was there
    // before goes out, written back if it was changed.
    quint64 sum = 0;
    for (size_t i = 0; i < bytes / sizeof(quint64); i += 8)
        sum += buffer[i];
    benchmark::DoNotOptimize(sum);
}

} // namespace Caches
