// Dialog 154: the consumption current typed from the ammeter.

#include "res/adjust_templates.h"

#include "res/resource.h"

namespace res {

const ui::DialogTemplate& CurrentInputTemplate() {
    static const ui::DialogTemplate t = [] {
        using ui::ControlKind;
        using Ids = CurrentInputIds;
        ui::DialogTemplate d;
        d.id = Ids::IDD;
        d.title = "INPUT";
        d.width = 186;
        d.height = 74;
        d.controls = {
            {Ids::IDC_PROMPT, ControlKind::Static, "", {10, 7, 166, 12}, ui::kNone},
            {-1, ControlKind::Static, "消費電流値[A]", {10, 29, 64, 12}, ui::kNone},
            {Ids::IDC_CURRENT, ControlKind::Edit, "", {78, 27, 60, 14}, ui::kBorder},
            {ui::IDOK, ControlKind::Button, "OK", {68, 52, 50, 14}, ui::kDefault},
        };
        return d;
    }();
    return t;
}

}  // namespace res
