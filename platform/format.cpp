#include "platform/format.h"

#include <cstdio>
#include <vector>

namespace platform {

std::string VFormat(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = VFormat(format, args);
    va_end(args);
    return s;
}

}  // namespace platform
