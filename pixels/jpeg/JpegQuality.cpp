#include "JpegQuality.h"

#include <array>
#include <limits>

namespace {

using Table = JpegQuantTable;

// The tables the JPEG standard suggests (its Annex K), in natural order, which libjpeg scales by the quality.
constexpr Table LuminanceTable = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                                  14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                                  18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                                  49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr Table ChrominanceTable = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

constexpr int HighestQuality = 100;
constexpr int BaselineLargest = 255;

// libjpeg's jpeg_quality_scaling(): the percentage the standard tables are scaled by.
int scalingOf(int quality)
{
    return quality < 50 ? 5000 / quality : 200 - 2 * quality;
}

// How far the file's tables lie from the standard ones as libjpeg scales them for `quality` (with
// jpeg_set_quality()'s rounding and its limit for baseline files).
qint64 distance(const std::array<const Table *, 2> &found, int quality)
{
    const int scaling = scalingOf(quality);
    const std::array<const Table *, 2> standard = {&LuminanceTable, &ChrominanceTable};
    qint64 sum = 0;
    for (size_t table = 0; table < found.size(); ++table) {
        if (!found[table])
            continue;
        for (size_t i = 0; i < LuminanceTable.size(); ++i) {
            const int expected = qBound(1, ((*standard[table])[i] * scaling + 50) / 100, BaselineLargest);
            const qint64 off = (*found[table])[i] - expected;
            sum += off * off;
        }
    }
    return sum;
}

} // namespace

std::optional<int> jpegQualityOf(const JpegLayout &layout)
{
    if (!layout.luminanceTable)
        return std::nullopt;
    const std::array<const Table *, 2> found = {&*layout.luminanceTable,
                                                layout.chrominanceTable ? &*layout.chrominanceTable : nullptr};
    int closest = HighestQuality;
    qint64 closestDistance = std::numeric_limits<qint64>::max();
    for (int quality = HighestQuality; quality >= 1; --quality) {
        const qint64 off = distance(found, quality);
        if (off < closestDistance) {
            closest = quality;
            closestDistance = off;
        }
    }
    return closest;
}
