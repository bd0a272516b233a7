#include "res/adjust_templates.h"

#include "res/resource.h"

namespace res {

using ui::ControlKind;

ui::DialogTemplate AdjustDialogTemplate(int id, const char* title, const char* buttonText) {
    ui::DialogTemplate t;
    t.id = id;
    t.title = title;
    t.width = 260;
    t.height = 200;
    t.controls.push_back({AdjustIds::IDC_LOG, ControlKind::Edit, "", {7, 7, 246, 160},
                          ui::kMultiLine | ui::kReadOnly | ui::kVScroll | ui::kBorder | ui::kAutoScroll});
    if (buttonText && *buttonText)
        t.controls.push_back({ui::IDOK, ControlKind::Button, buttonText, {7, 173, 246, 20}, ui::kDefault});
    else
        t.controls.push_back({AdjustIds::IDC_PROGRESS, ControlKind::Progress, "", {7, 175, 246, 14}, ui::kBorder});
    return t;
}

const ui::DialogTemplate& SensitivityTemplate() {
    static const auto t = AdjustDialogTemplate(IDD_SENSITIVITY, "感度調整", "OK");
    return t;
}
const ui::DialogTemplate& SensRatioTemplate() {
    static const auto t = AdjustDialogTemplate(IDD_SENS_RATIO, "感度比調整", "OK");
    return t;
}
const ui::DialogTemplate& LineCrawlTemplate() {
    static const auto t = AdjustDialogTemplate(IDD_LINE_CRAWL, "ラインクロール調整", "OK");
    return t;
}
const ui::DialogTemplate& InsideSbTemplate() {
    static const auto t = AdjustDialogTemplate(IDD_INSIDE_SB, "ﾀﾞｲｱﾛｸﾞ", "OK");
    return t;
}
const ui::DialogTemplate& BcAdjustTemplate() {
    static const auto t = AdjustDialogTemplate(IDD_BC_ADJUST, "BCレベル調整", "STEP");
    return t;
}
const ui::DialogTemplate& ApertureTemplate() {
    static const auto t = AdjustDialogTemplate(IDD_APERTURE, "絞り依存性", "OK");
    return t;
}
const ui::DialogTemplate& DefectCorrectTemplate() {
    static const auto t = AdjustDialogTemplate(IDD_DEFECT_CORRECT, "CCDキズ補正", nullptr);
    return t;
}
const ui::DialogTemplate& FlashUpTemplate() {
    static const auto t = AdjustDialogTemplate(IDD_FLASH_UP, "Flash-UP", "STEP");
    return t;
}

const ui::DialogTemplate& TftPositionTemplate() {
    static const ui::DialogTemplate t = [] {
        using Ids = TftPositionIds;
        ui::DialogTemplate d;
        d.id = Ids::IDD;
        d.title = "TFT表示位置調整";
        d.width = 186;
        d.height = 120;
        d.controls = {
            {-1, ControlKind::GroupBox, "VIDEO", {7, 4, 80, 48}, ui::kNone},
            {Ids::IDC_NTSC, ControlKind::Radio, "NTSC", {16, 19, 60, 12}, ui::kNone},
            {Ids::IDC_PAL, ControlKind::Radio, "PAL", {16, 34, 60, 12}, ui::kNone},
            {Ids::IDC_UP, ControlKind::Button, "UP", {118, 8, 40, 18}, ui::kNone},
            {Ids::IDC_LEFT, ControlKind::Button, "LEFT", {96, 30, 40, 18}, ui::kNone},
            {Ids::IDC_RIGHT, ControlKind::Button, "RIGHT", {140, 30, 40, 18}, ui::kNone},
            {Ids::IDC_DOWN, ControlKind::Button, "DOWN", {118, 52, 40, 18}, ui::kNone},
            {Ids::IDC_FINISH, ControlKind::Button, "OK", {7, 94, 172, 20}, ui::kDefault},
        };
        return d;
    }();
    return t;
}

}  // namespace res
