#include "adjust/rounding.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

// Add 0.5 and truncate toward zero, whatever the sign; the int held in range.
TEST(Rounding, HalfUpAndTowardZeroBelowIt) {
    const struct {
        double x;
        int rounded;
    } cases[] = {
        {2.5, 3},   {2.49, 2},    {0.0, 0},        {-0.4, 0},        {-0.6, 0}, {-2.5, -2},
        {-2.7, -2}, {454.5, 455}, {1e20, INT_MAX}, {-1e20, INT_MIN}, {NAN, 0},  {HUGE_VAL, INT_MAX},
    };
    for (const auto& c : cases) EXPECT_EQ(RoundToInt(c.x), c.rounded) << c.x;
    EXPECT_EQ(RoundValue(-2.7), -2.0);
}

}  // namespace
