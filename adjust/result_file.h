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

// The identification as text: bytes 1 to 13 up to the first zero byte, each
// byte that is not printable ASCII, and '/', '\\' and '%', written as %XX
// (upper-case hex). Empty when it names nothing: no byte, or an erased
// EEPROM's 0xFF bytes.
std::string IdentificationText(const std::uint8_t* identification, std::size_t length);
// "<identification text>.dat", or empty when the identification names nothing.
std::string ResultFileName(const std::uint8_t* identification, std::size_t length);

// A result file's run for the line's history: told before the file is
// written (the run is journalled) and after, with the result (the run is
// recorded beside the file and in the history). Done returns false when the
// record beside the file could not be written, which fails the file too.
class ResultFileJournal {
public:
    virtual ~ResultFileJournal() = default;
    virtual void ResultFileComing(const std::string& identification) = 0;
    virtual bool ResultFileDone(int result) = 0;
};

// Writes `log` as the whole file, replacing one of that name; false when the
// file cannot be written, and then an existing one is left as it was (a
// read-only one is not replaced).
bool WriteResultFile(const std::string& name, const std::string& log);
