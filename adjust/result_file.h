#pragma once
// The result file: the log of a run or of an editor action, in Shift-JIS,
// named after the camera's identification, in the working directory.

#include <cstddef>
#include <cstdint>
#include <string>

// The camera's identification: 14 bytes of CCD EEPROM at 16, of which
// bytes 1 to 13 name the result file.
inline constexpr std::uint32_t kIdentificationAddress = 16;
inline constexpr std::uint32_t kIdentificationLength = 14;

// The line that closes the log in the file: year, month 1-12, day.
inline constexpr const char* kLogDateFormat = "%d年%d月%d日\r\n";

// "<identification>.dat", or empty when the identification names nothing.
std::string ResultFileName(const std::uint8_t* identification, std::size_t length);

// Writes `log` as the whole file, replacing one of that name; false when the
// file cannot be written, and then an existing one is left as it was (a
// read-only one is not replaced).
bool WriteResultFile(const std::string& name, const std::string& log);
