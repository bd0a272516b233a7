#pragma once
// The string table: the version menu item and the names of the kick-off
// timer ids (their ids are the timer ids of the adjustment windows).

#include <string>

namespace res {

constexpr int IDS_ABOUTBOX = 101;

// Kick-off timer ids of the adjustment windows; 102, 103, 105, 107, 111 and
// 113-116 are reserved names that no window of this program starts.
constexpr int IDT_CURRENT = 102;
constexpr int IDT_VERSION_CHECK = 103;
constexpr int IDT_FLASH_UP = 104;
constexpr int IDT_EEPROM_CHECK = 105;
constexpr int IDT_BC_ADJUST = 106;
constexpr int IDT_VSUB_CHECK = 107;
constexpr int IDT_SENS_RATIO = 108;
constexpr int IDT_LINE_CRAWL = 109;
constexpr int IDT_SENSITIVITY = 110;
constexpr int IDT_PROCESS_INFO = 111;
constexpr int IDT_INSIDE_SB = 112;
constexpr int IDT_FOOT_SWITCH = 113;
constexpr int IDT_OB_CHECK = 114;
constexpr int IDT_GRAY_SCALE = 115;
constexpr int IDT_TFT_FLASH_UP = 116;
constexpr int IDT_APERTURE = 117;
constexpr int IDT_DEFECT_CORRECT = 118;

// The text of string `id` (UTF-8); empty when the table has no such string.
std::string LoadString(int id);

}  // namespace res
