// Dialog 154: the consumption current typed from the ammeter.

#include "res/adjust_templates.h"

namespace res {

const ui::DialogTemplate& CurrentInputTemplate() {
    static const ui::DialogTemplate t = [] {
        using ui::ControlKind;
        ui::DialogTemplate d;
        d.id = 154;
        d.title = "INPUT";
        d.width = 186;
        d.height = 74;
        d.controls = {
            {1135, ControlKind::Static, "", {10, 7, 166, 12}, ui::kNone},
            {-1, ControlKind::Static, "消費電流値[A]", {10, 29, 64, 12}, ui::kNone},
            {1028, ControlKind::Edit, "", {78, 27, 60, 14}, ui::kBorder},
            {ui::IDOK, ControlKind::Button, "OK", {68, 52, 50, 14}, ui::kDefault},
        };
        return d;
    }();
    return t;
}

}  // namespace res
