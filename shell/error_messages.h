#pragma once
// The station's error numbers (camera/result_numbers.h): the fixed message of
// each number 3 to 74, the status line texts and the fixed texts of the run
// report.

#include <array>
#include <cstddef>
#include <string>

#include "adjust/result_file.h"  // kLogDateFormat
#include "camera/result_numbers.h"

inline constexpr int kFirstErrorNumber = kErrUsbCommunication;
inline constexpr int kLastErrorNumber = kErrFileOpen;
inline constexpr std::size_t kErrorMessageCount = kLastErrorNumber - kFirstErrorNumber + 1;
// Each message is held as code page 932 text in a fixed slot, NUL included.
inline constexpr std::size_t kErrorMessageSlotBytes = 50;

using ErrorMessageSlot = std::array<char, kErrorMessageSlotBytes>;

// The message of `number` (UTF-8); empty for a number without one.
std::string ErrorMessage(int number);
// The code page 932 slots; the message of number n is at n - kFirstErrorNumber.
const std::array<ErrorMessageSlot, kErrorMessageCount>& ErrorMessageSlots();

// Report texts.
inline constexpr const char* kStatusOk = "終了！　☆☆　ＯＫ　☆☆";
inline constexpr const char* kStatusErrorFormat = "ERROR NO=%d ";  // followed by the message
inline constexpr const char* kStatusRunning = "調整点検中！！";

// The status line after a run: the OK text for 1, otherwise the number and
// its message (only the number where it has no message).
std::string StatusLineForResult(int result);
