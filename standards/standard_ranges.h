#pragma once
// What a standard may hold: every field of the record has a range of values
// that can make sense for it (its row in StandardFields()). A value outside
// its range is never handed to an item, so that the camera is never adjusted
// to it. A bound may depend on other fields (a reference inside its own
// limits, a tolerance whose window must fit the target it is taken around).

#include <functional>
#include <string>
#include <vector>

#include "standards/standard_data.h"
#include "standards/std_fields.h"

struct StandardRangeFault {
    const StandardField* field = nullptr;
    double value = 0, low = 0, high = 0;
};

// The fields whose values are out of their ranges, in file order: all of
// them, those of one window, or those `which` picks.
std::vector<StandardRangeFault> CheckStandardRanges(const StandardData& d);
std::vector<StandardRangeFault> CheckStandardRanges(const StandardData& d, StandardWindow window);
std::vector<StandardRangeFault> CheckStandardRanges(const StandardData& d,
                                                    const std::function<bool(const StandardField&)>& which);

// "SENS_STD sensBaseline = 600 （400以上 511以下）"
std::string DescribeRangeFault(const StandardRangeFault& fault);
// The faults one a line under a heading, at most `maxLines` of them.
std::string DescribeRangeFaults(const std::vector<StandardRangeFault>& faults, std::size_t maxLines = 8);

// Headings: of the values read from STD.DAT, and of a value typed in a
// standards window.
inline constexpr const char* kStdOutOfRange = "STD.DATの規格値が範囲外です。確認してください\r\n";
inline constexpr const char* kStdValueOutOfRange = "範囲外の値です。確認してください\r\n";
