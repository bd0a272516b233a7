// Dialog 102: the station's main window. The picture on the left is exactly
// as large as the status bitmaps; the item boxes sit in the "Contents" group
// on the right, the run and standards buttons below them.

#include "res/strings.h"
#include "res/templates.h"

namespace res {

namespace {

using ui::ControlKind;

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
    t.id = 102;
    t.title = "W73ImageAdjust";
    t.width = 383;
    t.height = 355;
    t.controls = {
        {1072, ControlKind::Picture, "", {0, 0, 208, 149}, ui::kNone},
        {1000, ControlKind::Edit, "", {0, 155, 210, 195},
         ui::kMultiLine | ui::kReadOnly | ui::kHScroll | ui::kVScroll | ui::kAutoScroll | ui::kBorder},

        {-1, ControlKind::GroupBox, "Contents", {kRight, 0, kRightWidth, 190}, ui::kNone},
        Box(1112, "CCDEEPROM　FLASH　UP", 17),
        Box(1140, "TFTEEPROM　FLASH　UP", 31),
        Box(1117, "感度調整", 45),
        Box(1118, "ラインクロール調整", 59),
        Box(1136, "感度比調整", 73),
        Box(1143, "絞り依存性調整", 87),
        Box(1138, "バッテリーチェック調整", 101),
        {-1, ControlKind::Static,
         "バッテリーチェック調整を行う場合には\r\n電源ラインに電圧計/電流計を接続して\r\n下さい。",
         {kBoxX + 10, 113, kBoxWidth - 10, 28}, ui::kNone},
        Box(1137, "内蔵SB調整", 145),
        Box(1139, "ＴＦＴ表示位置調整", 159),
        Box(1144, "CCDキズ補正", 173),

        {1146, ControlKind::CheckBox, "SAVE", {kBoxX, 195, 60, kBoxHeight}, ui::kNone},

        {-1, ControlKind::Static, "COMMENT", {kRight, 208, 60, 8}, ui::kNone},
        // The status line's font is a size below the window's, so that the
        // longest "ERROR NO=" line shows whole in the column's width.
        {1001, ControlKind::Edit, "", {kRight, 218, kRightWidth, 14}, ui::kReadOnly | ui::kCentered | ui::kBorder, 7},

        // START is the default button: Enter starts a run unless the focus is on another button.
        {1009, ControlKind::Button, "START", {kRight, 240, kRightWidth, 34}, ui::kDefault},
        {1008, ControlKind::Button, "STANDARD", {kRight, 280, kRightWidth, 16}, ui::kNone},
        {1024, ControlKind::Button, "感度基準取得", {kRight, 302, 79, 16}, ui::kNone},
        {1025, ControlKind::Button, "感度比基準取得", {kRight + 83, 302, 79, 16}, ui::kNone},
        {1114, ControlKind::Button, "CCD画素欠陥情報の変更", {kRight, 324, kRightWidth, 16}, ui::kNone},
        // The station's own notice of a baseline not yet in STD.DAT; empty otherwise.
        {1200, ControlKind::Static, "", {kRight, 343, kRightWidth, 10}, ui::kCentered, 7},
    };
    // Linux windows have no system menu: the host shows this item in the
    // window's context menu and hands its command to OnSysCommand.
    const std::string about = LoadString(IDS_ABOUTBOX);
    if (!about.empty()) t.menu.push_back({16, about});
    t.menu.push_back({32, "調整点検履歴(&H)..."});
    return t;
}

}  // namespace

const ui::DialogTemplate& MainDialogTemplate() {
    static const ui::DialogTemplate t = Build();
    return t;
}

}  // namespace res
