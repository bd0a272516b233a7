#pragma once
// The station's rounding of a computed value: add 0.5 and truncate toward
// zero. For the values that are never negative (levels, counts, gains,
// currents) this is rounding half up; the flash adjustment's signed values
// follow the same rule (-2.7 gives -2).

#include <algorithm>
#include <climits>
#include <cmath>

inline double RoundValue(double x) { return std::trunc(x + 0.5); }

// As an int, held inside the int range (NaN gives 0), so that values out of
// all reason give an extreme rather than an overflow.
inline int RoundToInt(double x) {
    const double r = RoundValue(x);
    return std::isnan(r) ? 0 : static_cast<int>(std::clamp(r, double{INT_MIN}, double{INT_MAX}));
}
