#pragma once
// The station's resource ids, each number written here once: dialogs,
// their controls, menu commands, bitmaps, strings and kick-off timers. The
// templates build the windows with these names, the windows handle their
// controls by them, and the line run's operator finds the windows and
// controls it works by them. A number may name different controls in
// different windows (1028 is the item windows' log and the standards
// window's charge voltage), so the control ids are grouped by window; each
// window class takes its group as a base.

namespace res {

// ---- dialogs ------------------------------------------------------------
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_IMAGEADJUST = 102;  // the main window
inline constexpr int IDD_STANDARD = 132;
inline constexpr int IDD_FLASH_UP = 134;
inline constexpr int IDD_BC_ADJUST = 136;
inline constexpr int IDD_SENS_RATIO = 139;
inline constexpr int IDD_LINE_CRAWL = 140;
inline constexpr int IDD_SENSITIVITY = 146;
inline constexpr int IDD_INSIDE_SB = 149;
inline constexpr int IDD_APERTURE_SPEC = 153;
inline constexpr int IDD_CURRENT_INPUT = 154;
inline constexpr int IDD_TFT_POSITION = 157;
inline constexpr int IDD_APERTURE = 160;
inline constexpr int IDD_DEFECT_CORRECT = 161;
inline constexpr int IDD_MESSAGE_BOX = 162;
inline constexpr int IDD_PIXEL_DEFECT = 163;

// ---- icon and strings ----------------------------------------------------
inline constexpr int IDR_MAINFRAME = 128;  // the program's icon
inline constexpr int IDS_ABOUTBOX = 101;   // the version window's menu item

// Kick-off timers of the adjustment windows, named in the string table;
// 102, 103, 105, 107, 111 and 113-116 are reserved names that no window of
// this program starts.
inline constexpr int IDT_CURRENT = 102;
inline constexpr int IDT_VERSION_CHECK = 103;
inline constexpr int IDT_FLASH_UP = 104;
inline constexpr int IDT_EEPROM_CHECK = 105;
inline constexpr int IDT_BC_ADJUST = 106;
inline constexpr int IDT_VSUB_CHECK = 107;
inline constexpr int IDT_SENS_RATIO = 108;
inline constexpr int IDT_LINE_CRAWL = 109;
inline constexpr int IDT_SENSITIVITY = 110;
inline constexpr int IDT_PROCESS_INFO = 111;
inline constexpr int IDT_INSIDE_SB = 112;
inline constexpr int IDT_FOOT_SWITCH = 113;
inline constexpr int IDT_OB_CHECK = 114;
inline constexpr int IDT_GRAY_SCALE = 115;
inline constexpr int IDT_TFT_FLASH_UP = 116;
inline constexpr int IDT_APERTURE = 117;
inline constexpr int IDT_DEFECT_CORRECT = 118;

// ---- controls, by window -------------------------------------------------

// The main window.
struct ImageAdjustIds {
    static constexpr int IDD = IDD_IMAGEADJUST;
    static constexpr int IDC_LOG = 1000;
    static constexpr int IDC_COMMENT = 1001;  // the status line
    static constexpr int IDC_STANDARD = 1008;
    static constexpr int IDC_START = 1009;
    static constexpr int IDC_SENS_BASELINE = 1024;
    static constexpr int IDC_RATIO_BASELINE = 1025;
    static constexpr int IDC_PICTURE = 1072;
    static constexpr int IDC_CCD_FLASH_UP = 1112;
    static constexpr int IDC_PIXEL_DEFECT = 1114;
    static constexpr int IDC_SENSITIVITY = 1117;
    static constexpr int IDC_LINE_CRAWL = 1118;
    static constexpr int IDC_SENS_RATIO = 1136;
    static constexpr int IDC_INSIDE_SB = 1137;
    static constexpr int IDC_BATTERY_CHECK = 1138;
    static constexpr int IDC_TFT_POSITION = 1139;
    static constexpr int IDC_TFT_FLASH_UP = 1140;
    static constexpr int IDC_APERTURE = 1143;
    static constexpr int IDC_DEFECT_CORRECT = 1144;
    static constexpr int IDC_SAVE = 1146;
    // The station's own line under the buttons: a baseline taken but not
    // yet in STD.DAT.
    static constexpr int IDC_BASELINE_NOTICE = 1200;
    // Menu commands: the version window, and the line's history.
    static constexpr int IDM_ABOUTBOX = 16;
    static constexpr int IDM_HISTORY = 32;
    // The status pictures.
    static constexpr int IDB_READY = 141;
    static constexpr int IDB_OK = 142;
    static constexpr int IDB_NG = 143;
    static constexpr int IDB_WORKING = 144;
};

// The version window.
struct AboutIds {
    static constexpr int IDD = IDD_ABOUTBOX;
    static constexpr int IDC_ICON = 1012;
    static constexpr int IDC_VERSION_TEXT = 1113;
    static constexpr int IDI_ICON = IDR_MAINFRAME;  // shown in IDC_ICON
};

// The standards window: one edit per field of the record, and the button
// to the aperture standards.
struct StandardIds {
    static constexpr int IDD = IDD_STANDARD;
    // 感度調整
    static constexpr int IDC_SENS_BASELINE = 1065;
    static constexpr int IDC_SENS_LEVEL_MIN = 1064;
    static constexpr int IDC_SENS_LEVEL_MAX = 1063;
    static constexpr int IDC_SENS_ADJUST_TOLERANCE = 1094;
    static constexpr int IDC_SENS_CHECK_TOLERANCE = 1095;
    static constexpr int IDC_SENS_INITIAL = 1075;  // ISO200; the next 18 ids up to ISO1600
    // 感度比調整
    static constexpr int IDC_RATIO_GR_BASELINE = 1066;
    static constexpr int IDC_RATIO_GB_BASELINE = 1067;
    static constexpr int IDC_RATIO_GR_MIN = 1108;
    static constexpr int IDC_RATIO_GB_MIN = 1109;
    static constexpr int IDC_RATIO_GR_MAX = 1110;
    static constexpr int IDC_RATIO_GB_MAX = 1111;
    static constexpr int IDC_RATIO_GR_TOLERANCE = 1068;
    static constexpr int IDC_RATIO_GB_TOLERANCE = 1070;
    static constexpr int IDC_RATIO_GR_INITIAL = 1061;
    static constexpr int IDC_RATIO_GB_INITIAL = 1062;
    static constexpr int IDC_RATIO_SAMPLE_COUNT = 1046;
    static constexpr int IDC_APERTURE_SPEC = 1008;  // the button "絞り依存性"
    // ラインクロール調整: each area's limit, then X, X width, Y, Y width.
    static constexpr int IDC_LINE_RED_LIMIT = 1051;
    static constexpr int IDC_LINE_RED_X = 1052;
    static constexpr int IDC_LINE_RED_WIDTH = 1053;
    static constexpr int IDC_LINE_RED_Y = 1054;
    static constexpr int IDC_LINE_RED_HEIGHT = 1055;
    static constexpr int IDC_LINE_BLUE_LIMIT = 1056;
    static constexpr int IDC_LINE_BLUE_X = 1057;
    static constexpr int IDC_LINE_BLUE_WIDTH = 1058;
    static constexpr int IDC_LINE_BLUE_Y = 1059;
    static constexpr int IDC_LINE_BLUE_HEIGHT = 1060;
    // BC調整
    static constexpr int IDC_BC_ADJUST_VOLTAGE = 1096;
    static constexpr int IDC_BC_CHECK_VOLTAGE = 1097;
    static constexpr int IDC_BC_AD_MIN = 1098;
    static constexpr int IDC_BC_AD_MAX = 1099;
    static constexpr int IDC_CURRENT72_OFF_MIN = 1100;
    static constexpr int IDC_CURRENT72_OFF_MAX = 1101;
    static constexpr int IDC_CURRENT77_OFF_MIN = 1102;
    static constexpr int IDC_CURRENT77_OFF_MAX = 1103;
    static constexpr int IDC_CURRENT72_ON_MIN = 1104;
    static constexpr int IDC_CURRENT72_ON_MAX = 1105;
    static constexpr int IDC_CURRENT77_ON_MIN = 1106;
    static constexpr int IDC_CURRENT77_ON_MAX = 1107;
    // 内蔵ＳＢ調整
    static constexpr int IDC_SB_PRE_INITIAL = 1001;
    static constexpr int IDC_SB_MAIN_INITIAL = 1002;
    static constexpr int IDC_SB_PRE_TARGET = 1003;
    static constexpr int IDC_SB_MAIN_TARGET = 1005;
    static constexpr int IDC_SB_PRE_TOLERANCE = 1004;
    static constexpr int IDC_SB_MAIN_TOLERANCE = 1036;
    static constexpr int IDC_SB_CHARGE_VOLTAGE = 1028;
    // CCDキズ補正
    static constexpr int IDC_DEFECT_LEVEL = 1037;
    static constexpr int IDC_DEFECT_MAX_WRITES = 1032;
};

// The aperture standards window: the gain of aperture a (F1.4, F2, F2.8,
// F4, F5.6) and channel g (R, Gr, Gb, B) at IDC_GAIN[a][g], and the F1.4
// tolerance.
struct ApertureSpecIds {
    static constexpr int IDD = IDD_APERTURE_SPEC;
    static constexpr int IDC_GAIN[5][4] = {
        {1028, 1001, 1002, 1003},  // F1.4
        {1004, 1005, 1036, 1037},  // F2
        {1032, 1033, 1034, 1035},  // F2.8
        {1038, 1039, 1040, 1041},  // F4
        {1042, 1043, 1051, 1046},  // F5.6
    };
    static constexpr int IDC_F14_TOLERANCE = 1094;
};

// Every adjustment item window: the log, and the progress bar of a window
// without a button.
struct AdjustIds {
    static constexpr int IDC_LOG = 1028;
    static constexpr int IDC_PROGRESS = 1145;
};

// The battery check's current input.
struct CurrentInputIds {
    static constexpr int IDD = IDD_CURRENT_INPUT;
    static constexpr int IDC_PROMPT = 1135;
    static constexpr int IDC_CURRENT = 1028;
};

// The TFT display position window.
struct TftPositionIds {
    static constexpr int IDD = IDD_TFT_POSITION;
    static constexpr int IDC_NTSC = 1141;
    static constexpr int IDC_PAL = 1142;
    static constexpr int IDC_UP = 1009;
    static constexpr int IDC_DOWN = 1024;
    static constexpr int IDC_LEFT = 1114;
    static constexpr int IDC_RIGHT = 1025;
    static constexpr int IDC_FINISH = 1008;  // the button "OK", which ends the item
};

// The modeless yes/no prompt.
struct MessageBoxIds {
    static constexpr int IDD = IDD_MESSAGE_BOX;
    static constexpr int IDC_TEXT = 1135;
};

// The pixel defect editor.
struct PixelDefectIds {
    static constexpr int IDD = IDD_PIXEL_DEFECT;
    static constexpr int IDC_RAW_X = 1001;
    static constexpr int IDC_RAW_Y = 1002;
    static constexpr int IDC_READ = 1008;
    static constexpr int IDC_LOG = 1028;
    static constexpr int IDC_SAVE = 1112;
    static constexpr int IDC_ADD = 1141;
    static constexpr int IDC_DELETE = 1142;
};

}  // namespace res
