#include "KernelBenchmarks.h"

#include "controls/ImageControl.h"
#include "pixels/grey/Decolorize.h"
#include "pixels/grey/DecolorizeRows.h"

#include <QImage>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

std::vector<quint32> colourRow(qsizetype count)
{
    std::vector<quint32> row(static_cast<size_t>(count));
    quint32 state = 1;
    for (quint32 &pixel : row) {
        state = state * 1664525u + 1013904223u;
        pixel = 0xFF000000u | (state >> 8);
    }
    return row;
}

void countBytes(benchmark::State &state, qsizetype pixels)
{
    // read and written once each
    state.SetBytesProcessed(int64_t(state.iterations()) * pixels * 4 * 2);
}

void decolorizeInPlace(benchmark::State &state)
{
    const qsizetype count = state.range(0);
    std::vector<quint32> row = colourRow(count);
    for (auto _ : state) {
        decolorizeRow(row.data(), row.data(), count);
        benchmark::ClobberMemory();
    }
    countBytes(state, count);
}

void memmoveInPlace(benchmark::State &state)
{
    const qsizetype count = state.range(0);
    std::vector<quint32> row = colourRow(count + 16);
    for (auto _ : state) {
        std::memmove(row.data(), row.data() + 16, size_t(count) * 4);
        benchmark::ClobberMemory();
    }
    countBytes(state, count);
}

// Into a second buffer already in use, as the walk does when the surface still shares its pixels and a
// picture's memory is at hand for reuse.
void decolorizeApart(benchmark::State &state)
{
    const qsizetype count = state.range(0);
    const std::vector<quint32> row = colourRow(count);
    std::vector<quint32> apart(static_cast<size_t>(count));
    for (auto _ : state) {
        decolorizeRow(row.data(), apart.data(), count);
        benchmark::ClobberMemory();
    }
    countBytes(state, count);
}

// Into memory fresh from the kernel, as the walk does when the surface still shares its pixels: the page
// faults are part of the cost.
void decolorizeIntoFreshBuffer(benchmark::State &state)
{
    const qsizetype count = state.range(0);
    const std::vector<quint32> row = colourRow(count);
    for (auto _ : state) {
        std::unique_ptr<quint32[]> fresh(new quint32[size_t(count)]);
        decolorizeRow(row.data(), fresh.get(), count);
        benchmark::DoNotOptimize(fresh.get());
        benchmark::ClobberMemory();
    }
    countBytes(state, count);
}

// The whole walk over a surface of its own, rows and all, as the decolorize click runs it.
void walkInPlace(benchmark::State &state)
{
    const qsizetype width = 2048, height = state.range(0) / width;
    QImage surface(int(width), int(height), QImage::Format_RGB32);
    const std::vector<quint32> row = colourRow(width);
    for (auto _ : state) {
        state.PauseTiming();
        for (int y = 0; y < surface.height(); ++y)
            std::memcpy(surface.scanLine(y), row.data(), size_t(width) * 4);
        state.ResumeTiming();
        Surface pixels(&surface);
        decolorizeArea(pixels, surface.width(), surface.height());
        benchmark::ClobberMemory();
    }
    countBytes(state, width * height);
}

// The preview of a 3 MP picture, its pixels in the cache: what the arithmetic of the scaling costs.
void previewInCache(benchmark::State &state)
{
    QImage picture(2048, 1536, QImage::Format_RGB32);
    picture.fill(0xFF336699u);
    for (auto _ : state)
        benchmark::DoNotOptimize(ImageControl::scaledForPreview(picture, QSize(417, 369)));
}

void greyRowCheck(benchmark::State &state)
{
    const qsizetype count = state.range(0);
    std::vector<quint32> row(static_cast<size_t>(count), 0xFF808080u);
    for (auto _ : state)
        benchmark::DoNotOptimize(isGreyRow(row.data(), count));
    state.SetBytesProcessed(int64_t(state.iterations()) * count * 4);
}

// 16 KiB (first-level cache), 1 MiB (second-level), 12 MiB (third-level: a 3 MP picture), 512 MiB (memory)
void rowSizes(benchmark::internal::Benchmark *benchmark)
{
    benchmark->Arg(4 << 10)->Arg(256 << 10)->Arg(3 << 20)->Arg(128 << 20);
}

} // namespace

BENCHMARK(decolorizeInPlace)->Apply(rowSizes);
BENCHMARK(memmoveInPlace)->Apply(rowSizes);
BENCHMARK(decolorizeApart)->Apply(rowSizes);
BENCHMARK(decolorizeIntoFreshBuffer)->Apply(rowSizes);
BENCHMARK(walkInPlace)->Arg(3 << 20)->Arg(128 << 20);
BENCHMARK(previewInCache);
BENCHMARK(greyRowCheck)->Apply(rowSizes);

int runKernelBenchmarks(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
