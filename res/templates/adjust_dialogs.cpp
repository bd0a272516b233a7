#include "res/adjust_templates.h"

namespace res {

using ui::ControlKind;

ui::DialogTemplate AdjustDialogTemplate(int id, const char* title, const char* buttonText) {
    ui::DialogTemplate t;
    t.id = id;
    t.title = title;
    t.width = 260;
    t.height = 200;
    t.controls.push_back({1028, ControlKind::Edit, "", {7, 7, 246, 160},
                          ui::kMultiLine | ui::kReadOnly | ui::kVScroll | ui::kBorder | ui::kAutoScroll});
    if (buttonText && *buttonText)
        t.controls.push_back({ui::IDOK, ControlKind::Button, buttonText, {7, 173, 246, 20}, ui::kDefault});
    else
        t.controls.push_back({1145, ControlKind::Progress, "", {7, 175, 246, 14}, ui::kBorder});
    return t;
}

const ui::DialogTemplate& SensitivityTemplate() {
    static const auto t = AdjustDialogTemplate(146, "感度調整", "OK");
    return t;
}
const ui::DialogTemplate& SensRatioTemplate() {
    static const auto t = AdjustDialogTemplate(139, "感度比調整", "OK");
    return t;
}
const ui::DialogTemplate& LineCrawlTemplate() {
    static const auto t = AdjustDialogTemplate(140, "ラインクロール調整", "OK");
    return t;
}
const ui::DialogTemplate& InsideSbTemplate() {
    static const auto t = AdjustDialogTemplate(149, "ﾀﾞｲｱﾛｸﾞ", "OK");
    return t;
}
const ui::DialogTemplate& BcAdjustTemplate() {
    static const auto t = AdjustDialogTemplate(136, "BCレベル調整", "STEP");
    return t;
}
const ui::DialogTemplate& ApertureTemplate() {
    static const auto t = AdjustDialogTemplate(160, "絞り依存性", "OK");
    return t;
}
const ui::DialogTemplate& DefectCorrectTemplate() {
    static const auto t = AdjustDialogTemplate(161, "CCDキズ補正", nullptr);
    return t;
}
const ui::DialogTemplate& FlashUpTemplate() {
    static const auto t = AdjustDialogTemplate(134, "Flash-UP", "STEP");
    return t;
}

const ui::DialogTemplate& TftPositionTemplate() {
    static const ui::DialogTemplate t = [] {
        ui::DialogTemplate d;
        d.id = 157;
        d.title = "TFT表示位置調整";
        d.width = 186;
        d.height = 120;
        d.controls = {
            {-1, ControlKind::GroupBox, "VIDEO", {7, 4, 80, 48}, ui::kNone},
            {1141, ControlKind::Radio, "NTSC", {16, 19, 60, 12}, ui::kNone},
            {1142, ControlKind::Radio, "PAL", {16, 34, 60, 12}, ui::kNone},
            {1009, ControlKind::Button, "UP", {118, 8, 40, 18}, ui::kNone},
            {1114, ControlKind::Button, "LEFT", {96, 30, 40, 18}, ui::kNone},
            {1025, ControlKind::Button, "RIGHT", {140, 30, 40, 18}, ui::kNone},
            {1024, ControlKind::Button, "DOWN", {118, 52, 40, 18}, ui::kNone},
            {1008, ControlKind::Button, "OK", {7, 94, 172, 20}, ui::kDefault},
        };
        return d;
    }();
    return t;
}

}  // namespace res
