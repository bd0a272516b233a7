#pragma once
// A gain of the aperture gain table as the camera holds it: unsigned 8.8
// fixed point (1.0 = 256), written as truncate(gain x 256 + 0.5). A gain that
// no word holds (negative, not a number, 256 or more) has none, so that it is
// never written wrapped.

#include <cstdint>
#include <optional>

#include "adjust/rounding.h"

inline std::optional<std::uint16_t> GainWord(double gain) {
    const double word = RoundValue(gain * 256);
    if (!(gain >= 0) || !(word < 65536)) return std::nullopt;
    return static_cast<std::uint16_t>(word);
}

inline double GainOfWord(std::uint16_t word) { return word / 256.0; }
