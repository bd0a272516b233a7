#pragma once
// Shift-JIS (code page 932): the station's texts are UTF-8 in memory and
// become code page 932 bytes where they leave the station (result files,
// STD.DAT, the fixed-size message table).

#include <optional>
#include <string>

namespace platform {

// UTF-8 to code page 932. A character that the code page cannot hold becomes
// "?" so that the rest of a log line survives; `lossless` (when given) tells
// whether every character was converted.
std::string ToShiftJis(const std::string& utf8, bool* lossless = nullptr);

// Code page 932 to UTF-8; bytes that do not decode become U+FFFD.
std::string FromShiftJis(const std::string& sjis);

}  // namespace platform
