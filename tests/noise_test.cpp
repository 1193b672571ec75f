#include "noise/noise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

void ExpectRelativelyNear(double expected, double actual, const char* call)
{
    EXPECT_NEAR(actual, expected, std::fabs(expected) * 1e-9) << call;
}

TEST(Noise, MatchesTheReferenceValuesToTenDigits)
{
    // Depend on the 32-bit wrap-around of the hash and on the 3.1415927 constant.
    ExpectRelativelyNear(-0.2817909839, LatticeNoise1(0), "LatticeNoise1(0)");
    ExpectRelativelyNear(-0.2263730513, LatticeNoise1(1), "LatticeNoise1(1)");
    ExpectRelativelyNear(0.9001262886, LatticeNoise1(-1), "LatticeNoise1(-1)");
    ExpectRelativelyNear(0.2936328808, LatticeNoise1(2), "LatticeNoise1(2)");
    ExpectRelativelyNear(0.9561058087, LatticeNoise1(1000), "LatticeNoise1(1000)");
    ExpectRelativelyNear(0.02754281741, SmoothedNoise1(0), "SmoothedNoise1(0)");
    ExpectRelativelyNear(-0.1102260514, SmoothedNoise1(1), "SmoothedNoise1(1)");
    ExpectRelativelyNear(0.009145076092, PerlinNoise1(0), "PerlinNoise1(0)");
    ExpectRelativelyNear(-0.01662275059, PerlinNoise1(0.5), "PerlinNoise1(0.5)");
    ExpectRelativelyNear(-0.02664891330, PerlinNoise1(1), "PerlinNoise1(1)");
    ExpectRelativelyNear(-0.006076601343, PerlinNoise1(1.5), "PerlinNoise1(1.5)");
    ExpectRelativelyNear(0.06303048919, PerlinNoise1(720), "PerlinNoise1(720)");
}

TEST(Noise, HashUsesOnlyTheIntegerPartTakenTowardZero)
{
    EXPECT_EQ(LatticeNoise1(5), LatticeNoise1(5.999));
    EXPECT_EQ(LatticeNoise1(0), LatticeNoise1(-0.75));
    EXPECT_EQ(LatticeNoise1(-1), LatticeNoise1(-1.5));
    EXPECT_NE(LatticeNoise1(-1), LatticeNoise1(-2));
    EXPECT_EQ(LatticeNoise1(2147483647.0), LatticeNoise1(2147483647.9));
}

TEST(Noise, ArgumentsOutsideInt32HashLikeTheLowestIndex)
{
    const double lowest = LatticeNoise1(-2147483648.0);
    EXPECT_EQ(lowest, LatticeNoise1(2147483648.0));
    EXPECT_EQ(lowest, LatticeNoise1(-2147483649.0));
    EXPECT_EQ(lowest, LatticeNoise1(1e300));
    EXPECT_EQ(lowest, LatticeNoise1(-std::numeric_limits<double>::infinity()));
    EXPECT_EQ(lowest, LatticeNoise1(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_NE(lowest, LatticeNoise1(2147483647.0));
}

TEST(Noise, LatticeValuesStayInsideTheirRange)
{
    const double low = -1.0 + std::ldexp(1.0, -30);
    for (int n = -100000; n <= 100000; ++n) {
        const double v = LatticeNoise1(n);
        ASSERT_GE(v, low) << n;
        ASSERT_LE(v, 1.0) << n;
    }
}

TEST(Noise, IntegerArgumentsTakeTheSmoothedValueOfEachOctave)
{
    // The blend weight is exactly 0 on a lattice point.
    for (int n = 0; n < 1000; n += 7)
        EXPECT_EQ(SmoothedNoise1(n), InterpolatedNoise1(n)) << n;
    EXPECT_DOUBLE_EQ(0.33203125 * SmoothedNoise1(0), PerlinNoise1(0));
    EXPECT_DOUBLE_EQ(0.25 * SmoothedNoise1(3) + 0.0625 * SmoothedNoise1(6) +
                         0.015625 * SmoothedNoise1(12) + 0.00390625 * SmoothedNoise1(24),
                     PerlinNoise1(3));
}

TEST(Noise, InterpolationIsContinuousAndFlatAtLatticePoints)
{
    for (int n = 0; n < 50; ++n) {
        const double here = SmoothedNoise1(n);
        const double next = SmoothedNoise1(n + 1);
        EXPECT_NEAR(next, InterpolatedNoise1(n + 1 - 1e-9), 1e-6) << n;
        // Zero slope: a step of 1e-4 moves the curve by O(1e-8), not O(1e-4).
        EXPECT_NEAR(here, InterpolatedNoise1(n + 1e-4), 1e-7) << n;
        EXPECT_NEAR(next, InterpolatedNoise1(n + 1 - 1e-4), 1e-7) << n;
        // Halfway lies halfway between the two smoothed values.
        EXPECT_NEAR((here + next) / 2, InterpolatedNoise1(n + 0.5), 1e-7) << n;
    }
}

TEST(Noise, StaysWithinTheSumOfTheAmplitudesOverTheSong)
{
    // The effects pass millisecond times (and multiples) up to the song's end.
    double largest = 0;
    for (double x = 0; x < 420000; x += 0.73) {
        const double v = PerlinNoise1(x);
        ASSERT_LE(std::fabs(v), 0.33203125) << x;
        largest = std::fmax(largest, std::fabs(v));
    }
    EXPECT_GT(largest, 0.2);  // it does spread over most of the range
}

}  // namespace
