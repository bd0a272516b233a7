#pragma once
// printf-style formatting into std::string: the station builds its log lines
// and messages from the formats of its design.

#include <cstdarg>
#include <string>

namespace platform {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string VFormat(const char* format, va_list args);

}  // namespace platform
