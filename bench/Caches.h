#pragma once

// The processor's caches, emptied of the bench's own data between runs.
namespace Caches {

// Reads through a buffer twice the size of the last-level cache, so that the next run finds its pictures
// in memory rather than in the cache, as a click does that comes seconds after the step before it.
void evict();

} // namespace Caches
