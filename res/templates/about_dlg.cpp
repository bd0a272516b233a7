// Dialog 100: the version window. The static text is replaced at start-up by
// the program title, so the template's text never shows.

#include "res/resource.h"
#include "res/templates.h"

namespace res {

namespace {

using ui::ControlKind;
using Ids = AboutIds;

ui::DialogTemplate Build() {
    ui::DialogTemplate t;
    t.id = Ids::IDD;
    t.title = "W73ImageAdjustのﾊﾞｰｼﾞｮﾝ情報";
    t.width = 235;
    t.height = 49;
    t.controls = {
        {Ids::IDC_ICON, ControlKind::Picture, "", {11, 14, 20, 20}, ui::kNone},
        {Ids::IDC_VERSION_TEXT, ControlKind::Static, "W73ImageAdjust Version 1.02", {40, 18, 130, 10}, ui::kNone},
        {ui::IDOK, ControlKind::Button, "OK", {178, 7, 50, 14}, ui::kDefault},
    };
    return t;
}

}  // namespace

const ui::DialogTemplate& AboutDlgTemplate() {
    static const ui::DialogTemplate t = Build();
    return t;
}

}  // namespace res
