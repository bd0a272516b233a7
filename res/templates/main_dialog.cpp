// Dialog 102: the station's main window. The picture on the left is exactly
// as large as the status bitmaps; the item boxes sit in the "Contents" group
// on the right, the run and standards buttons below them.

#include "res/resource.h"
#include "res/strings.h"
#include "res/templates.h"

namespace res {

namespace {

using ui::ControlKind;
using Ids = ImageAdjustIds;

constexpr int kRight = 216;        // left edge of the right-hand column
constexpr int kRightWidth = 162;   // up to 378 of 383
constexpr int kBoxX = kRight + 8;  // item boxes inside the group
constexpr int kBoxWidth = 148;
constexpr int kBoxHeight = 10;

ui::ControlTemplate Box(int id, const char* text, int y) {
    return {id, ControlKind::CheckBox, text, {kBoxX, y, kBoxWidth, kBoxHeight}, ui::kNone};
}

ui::DialogTemplate Build() {
    ui::DialogTemplate t;
    t.id = Ids::IDD;
    t.title = "W73ImageAdjust";
    t.width = 383;
    t.height = 355;
    t.controls = {
        {Ids::IDC_PICTURE, ControlKind::Picture, "", {0, 0, 208, 149}, ui::kNone},
        {Ids::IDC_LOG, ControlKind::Edit, "", {0, 155, 210, 195},
         ui::kMultiLine | ui::kReadOnly | ui::kHScroll | ui::kVScroll | ui::kAutoScroll | ui::kBorder},

        {-1, ControlKind::GroupBox, "Contents", {kRight, 0, kRightWidth, 190}, ui::kNone},
        Box(Ids::IDC_CCD_FLASH_UP, "CCDEEPROM　FLASH　UP", 17),
        Box(Ids::IDC_TFT_FLASH_UP, "TFTEEPROM　FLASH　UP", 31),
        Box(Ids::IDC_SENSITIVITY, "感度調整", 45),
        Box(Ids::IDC_LINE_CRAWL, "ラインクロール調整", 59),
        Box(Ids::IDC_SENS_RATIO, "感度比調整", 73),
        Box(Ids::IDC_APERTURE, "絞り依存性調整", 87),
        Box(Ids::IDC_BATTERY_CHECK, "バッテリーチェック調整", 101),
        {-1, ControlKind::Static,
         "バッテリーチェック調整を行う場合には\r\n電源ラインに電圧計/電流計を接続して\r\n下さい。",
         {kBoxX + 10, 113, kBoxWidth - 10, 28}, ui::kNone},
        Box(Ids::IDC_INSIDE_SB, "内蔵SB調整", 145),
        Box(Ids::IDC_TFT_POSITION, "ＴＦＴ表示位置調整", 159),
        Box(Ids::IDC_DEFECT_CORRECT, "CCDキズ補正", 173),

        {Ids::IDC_SAVE, ControlKind::CheckBox, "SAVE", {kBoxX, 195, 60, kBoxHeight}, ui::kNone},

        {-1, ControlKind::Static, "COMMENT", {kRight, 208, 60, 8}, ui::kNone},
        // The status line's font is a size below the window's, so that the
        // longest "ERROR NO=" line shows whole in the column's width.
        {Ids::IDC_COMMENT, ControlKind::Edit, "", {kRight, 218, kRightWidth, 14},
         ui::kReadOnly | ui::kCentered | ui::kBorder, 7},

        // START is the default button: Enter starts a run unless the focus is on another button.
        {Ids::IDC_START, ControlKind::Button, "START", {kRight, 240, kRightWidth, 34}, ui::kDefault},
        {Ids::IDC_STANDARD, ControlKind::Button, "STANDARD", {kRight, 280, kRightWidth, 16}, ui::kNone},
        {Ids::IDC_SENS_BASELINE, ControlKind::Button, "感度基準取得", {kRight, 302, 79, 16}, ui::kNone},
        {Ids::IDC_RATIO_BASELINE, ControlKind::Button, "感度比基準取得", {kRight + 83, 302, 79, 16}, ui::kNone},
        {Ids::IDC_PIXEL_DEFECT, ControlKind::Button, "CCD画素欠陥情報の変更", {kRight, 324, kRightWidth, 16}, ui::kNone},
        // The station's own notice of a baseline not yet in STD.DAT; empty otherwise.
        {Ids::IDC_BASELINE_NOTICE, ControlKind::Static, "", {kRight, 343, kRightWidth, 10}, ui::kCentered, 7},
    };
    // Linux windows have no system menu: the host shows this item in the
    // window's context menu and hands its command to OnSysCommand.
    const std::string about = LoadString(IDS_ABOUTBOX);
    if (!about.empty()) t.menu.push_back({Ids::IDM_ABOUTBOX, about});
    t.menu.push_back({Ids::IDM_HISTORY, "調整点検履歴(&H)..."});
    return t;
}

}  // namespace

const ui::DialogTemplate& MainDialogTemplate() {
    static const ui::DialogTemplate t = Build();
    return t;
}

}  // namespace res
