#include "standards/standard_data.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/format.h"

int AtoiClamped(const std::string& text) {
    errno = 0;
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

std::array<std::uint16_t, 19> SensInitialToIntegers(const std::array<std::string, 19>& texts) {
    std::array<std::uint16_t, 19> values{};
    for (std::size_t i = 0; i < texts.size(); ++i) values[i] = static_cast<std::uint16_t>(AtoiClamped(texts[i]));
    return values;
}

std::array<std::string, 19> SensInitialToTexts(const std::array<std::uint16_t, 19>& values) {
    std::array<std::string, 19> texts;
    for (std::size_t i = 0; i < values.size(); ++i) texts[i] = platform::Format("%04d", static_cast<int>(values[i]));
    return texts;
}
