#pragma once

// The decolorize kernel in isolation, on Google Benchmark: rows in the first-level cache, in the second and
// in memory, beside memmove of the same rows. `kelvo-bench --micro [benchmark flags]` runs them.
int runKernelBenchmarks(int argc, char **argv);
