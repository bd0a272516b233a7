// Dialog 163: the pixel defect editor. The action and the pixel on the left,
// the buttons beside them, the log of the last action below.

#include "res/adjust_templates.h"

#include "res/resource.h"

namespace res {

namespace {

using ui::ControlKind;
using Ids = PixelDefectIds;

ui::DialogTemplate Build() {
    ui::DialogTemplate t;
    t.id = Ids::IDD;
    t.title = "CCD画素欠陥";
    t.width = 320;
    t.height = 250;
    t.controls = {
        {-1, ControlKind::GroupBox, "Item", {7, 4, 160, 76}, ui::kNone},
        {Ids::IDC_ADD, ControlKind::Radio, "ADD", {18, 18, 50, 12}, ui::kNone},
        {Ids::IDC_DELETE, ControlKind::Radio, "DELETE", {84, 18, 60, 12}, ui::kNone},
        {-1, ControlKind::Static, "RAW_X", {18, 41, 34, 10}, ui::kNone},
        {Ids::IDC_RAW_X, ControlKind::Edit, "", {56, 39, 60, 14}, ui::kBorder},
        {-1, ControlKind::Static, "RAW_Y", {18, 61, 34, 10}, ui::kNone},
        {Ids::IDC_RAW_Y, ControlKind::Edit, "", {56, 59, 60, 14}, ui::kBorder},

        {Ids::IDC_READ, ControlKind::Button, "READ", {178, 8, 64, 20}, ui::kNone},
        {ui::IDOK, ControlKind::Button, "RUN", {178, 33, 64, 20}, ui::kDefault},
        {ui::IDCANCEL, ControlKind::Button, "CANCEL", {178, 58, 64, 20}, ui::kNone},
        {Ids::IDC_SAVE, ControlKind::CheckBox, "SAVE", {254, 12, 56, 12}, ui::kNone},

        {Ids::IDC_LOG, ControlKind::Edit, "", {7, 88, 306, 155},
         ui::kMultiLine | ui::kReadOnly | ui::kVScroll | ui::kBorder | ui::kAutoScroll},
    };
    return t;
}

}  // namespace

const ui::DialogTemplate& PixelDefectTemplate() {
    static const ui::DialogTemplate t = Build();
    return t;
}

}  // namespace res
