#include "tests/pixels/grey/GreyRule.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

// The rule written another way: channels by shifts (the same as truncating division for values that are not
// negative) and the weighted sum in floating point, floored.
qint32 referenceGrey(qint32 col)
{
    const int red = col & 0xFF;
    const int green = (col >> 8) & 0xFF;
    const int blue = (col >> 16) & 0xFF;
    return qint32(std::floor((9798.0 * red + 19235.0 * green + 3735.0 * blue) / 32768.0));
}

qint32 colour(int red, int green, int blue)
{
    return red | green << 8 | blue << 16;
}

// The rule is usable where only constants are allowed.
static_assert(GetRed(0x563412) == 0x12 && GetGreen(0x563412) == 0x34 && GetBlue(0x563412) == 0x56);
static_assert(greyLevel(0x0000FF) == 76);
static_assert(greyColorValue(0x0000FF) == 0x4C4C4C);
static_assert(GetBlue(-256) == 0 && GetGreen(-256) == 255);
constexpr qint32 GreyOfOrange = greyLevel(0x003264C8);
static_assert(GreyOfOrange == 124);

TEST(GreyRule, WholeColoursGiveTheTabledLevels)
{
    struct Row
    {
        int red, green, blue, grey;
    };
    const Row table[] = {
        {0, 0, 0, 0},    {255, 255, 255, 255}, {255, 0, 0, 76},    {0, 255, 0, 149},
        {0, 0, 255, 29}, {255, 255, 0, 225},   {0, 255, 255, 178}, {200, 100, 50, 124},
    };
    for (const Row &row : table)
        EXPECT_EQ(greyLevel(colour(row.red, row.green, row.blue)), row.grey)
            << row.red << "," << row.green << "," << row.blue;
    for (int v = 0; v <= 255; ++v)
        EXPECT_EQ(greyLevel(colour(v, v, v)), v) << v;
}

TEST(GreyRule, GreyColourValueCarriesTheLevelInEveryByte)
{
    EXPECT_EQ(greyColorValue(colour(255, 0, 0)), 0x4C4C4C);
    EXPECT_EQ(greyColorValue(colour(255, 255, 255)), 0xFFFFFF);
    EXPECT_EQ(greyColorValue(0), 0);
}

TEST(GreyRule, NegativeValuesSplitByTruncatingDivision)
{
    EXPECT_EQ(GetRed(-1), 255);
    EXPECT_EQ(GetGreen(-1), 0);
    EXPECT_EQ(GetBlue(-1), 0);
    EXPECT_EQ(greyLevel(-1), 76);

    // Taking byte 2 of 0xFFFFFF00 would give blue 255.
    EXPECT_EQ(GetRed(-256), 0);
    EXPECT_EQ(GetGreen(-256), 255);
    EXPECT_EQ(GetBlue(-256), 0);

    EXPECT_EQ(GetRed(INT_MIN), 0);
    EXPECT_EQ(GetGreen(INT_MIN), 0);
    EXPECT_EQ(GetBlue(INT_MIN), 0);
    for (const qint32 col : {-1, -256, -65536, -65537, INT_MIN, INT_MIN + 1}) {
        const qint32 grey = greyLevel(col);
        EXPECT_GE(grey, 0) << col;
        EXPECT_LE(grey, 255) << col;
    }
}

TEST(GreyRule, HighByteIgnoredForValuesThatAreNotNegative)
{
    for (const qint32 col : {0x000000, 0x563412, 0xFFFFFF, 0x0000FF, 0xFF0000}) {
        for (const qint32 high : {0x01, 0x40, 0x7F}) {
            const qint32 withHigh = col | high << 24;
            EXPECT_EQ(GetRed(withHigh), GetRed(col));
            EXPECT_EQ(GetGreen(withHigh), GetGreen(col));
            EXPECT_EQ(GetBlue(withHigh), GetBlue(col));
            EXPECT_EQ(greyLevel(withHigh), greyLevel(col));
        }
        // Red ignores the high byte even where it makes the value negative.
        EXPECT_EQ(GetRed(qint32(quint32(col) | 0x80000000u)), GetRed(col));
    }
}

TEST(GreyRule, OverflowOfTheCheckedArithmeticIsARuntimeError)
{
    try {
        GreyRuleDetail::checkedMultiply(65536, 32768);
        ADD_FAILURE() << "no overflow error";
    } catch (const RuntimeError &error) {
        EXPECT_EQ(error.number(), ErrorNumber::Overflow);
    }
    EXPECT_THROW(GreyRuleDetail::checkedAdd(INT_MAX, 1), RuntimeError);
    EXPECT_EQ(GreyRuleDetail::checkedAdd(INT_MAX - 1, 1), INT_MAX);
}

// Every colour a pixel read can give: the level matches the plain formula, and greying twice changes nothing.
TEST(GreyRule, EveryColourAgreesWithThePlainFormulaAndIsStable)
{
    qint64 mismatches = 0, unstable = 0;
    qint32 firstMismatch = -1;
    for (qint32 col = 0; col < (1 << 24); ++col) {
        const qint32 grey = greyColorValue(col);
        if (grey != referenceGrey(col) * 0x010101) {
            if (mismatches++ == 0)
                firstMismatch = col;
        }
        if (greyColorValue(grey) != grey)
            ++unstable;
    }
    EXPECT_EQ(mismatches, 0) << "first at 0x" << std::hex << firstMismatch;
    EXPECT_EQ(unstable, 0);
}

} // namespace
