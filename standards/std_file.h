#pragma once
// STD.DAT: seven lines, one per adjustment area, each a keyword followed by
// its values. Building the text from a record and scanning a text into one.

#include <cstddef>
#include <string>
#include <string_view>

#include "standards/standard_data.h"

inline constexpr const char* kStdFileName = "STD.DAT";
// A longer file is refused when read and never written.
inline constexpr std::size_t kStdMaxBytes = 1000;

// The seven lines, CR LF ended, with the formats the file has always had
// (UTF-8; ASCII unless a text holds more).
std::string FormatStandards(const StandardData& data);

// Scans `text` (the bytes of the file) into `data`. A keyword that is not
// found, or a value that is not there, leaves its fields as they were.
void ParseStandards(std::string_view text, StandardData& data);
