// Dialog 162: the modeless yes/no prompt.

#include "res/resource.h"
#include "res/templates.h"

namespace res {

namespace {

using ui::ControlKind;

ui::DialogTemplate Build() {
    ui::DialogTemplate t;
    t.id = MessageBoxIds::IDD;
    t.title = "MESSAGE BOX";
    t.width = 139;
    t.height = 50;
    t.controls = {
        {MessageBoxIds::IDC_TEXT, ControlKind::Static, "", {10, 5, 125, 13}, ui::kNone},
        {ui::IDOK, ControlKind::Button, "OK", {10, 30, 50, 14}, ui::kDefault},
        {ui::IDCANCEL, ControlKind::Button, "CANCEL", {75, 30, 50, 14}, ui::kNone},
    };
    return t;
}

}  // namespace

const ui::DialogTemplate& MessageBoxDlgTemplate() {
    static const ui::DialogTemplate t = Build();
    return t;
}

}  // namespace res
