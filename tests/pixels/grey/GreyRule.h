#pragma once

#include "errors/RuntimeError.h"

#include "pixels/grey/GreyRule.h"

#include <QtGlobal>

// The grey level of a colour value (red in bits 0-7, green in 8-15, blue in 16-23), worked out as the toolkit
// would: the rule's weights, every product and sum overflow-tested.
// `/` truncates toward zero, as the toolkit's integer division does, so negative colour values split
// differently from a plain shift.
constexpr qint32 GetRed(qint32 col)
{
    return col & 255;
}

constexpr qint32 GetGreen(qint32 col)
{
    return (col / 256) & 255;
}

constexpr qint32 GetBlue(qint32 col)
{
    return (col / 65536) & 255;
}

namespace GreyRuleDetail {
constexpr qint32 checkedMultiply(qint32 a, qint32 b)
{
    qint32 result = 0;
    if (__builtin_mul_overflow(a, b, &result))
        throw RuntimeError(ErrorNumber::Overflow);
    return result;
}

constexpr qint32 checkedAdd(qint32 a, qint32 b)
{
    qint32 result = 0;
    if (__builtin_add_overflow(a, b, &result))
        throw RuntimeError(ErrorNumber::Overflow);
    return result;
}
} // namespace GreyRuleDetail

// (19235 × green + 9798 × red + 3735 × blue) \ 32768, every product and sum overflow-tested; 0..255.
constexpr qint32 greyLevel(qint32 col)
{
    using namespace GreyRuleDetail;
    const qint32 blue = GetBlue(col);
    const qint32 red = GetRed(col);
    const qint32 green = GetGreen(col);
    qint32 sum = checkedMultiply(green, GreyWeights::Green);
    sum = checkedAdd(sum, checkedMultiply(red, GreyWeights::Red));
    sum = checkedAdd(sum, checkedMultiply(blue, GreyWeights::Blue));
    return sum / GreyWeights::Divisor;
}

// The toolkit's RGB(): a colour value from three 16-bit channel values, each clamped to 0..255.
constexpr qint32 RGB(qint16 red, qint16 green, qint16 blue)
{
    const auto clamp = [](qint16 v) { return qint32(v < 0 ? 0 : v > 255 ? 255 : v); };
    return clamp(red) + 256 * clamp(green) + 65536 * clamp(blue);
}

// The colour value with the grey level of `col` in its red, green and blue bytes.
constexpr qint32 greyColorValue(qint32 col)
{
    const auto grey = qint16(greyLevel(col));
    return RGB(grey, grey, grey);
}
