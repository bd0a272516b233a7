#pragma once
// The dialog templates of the station's windows.

#include "ui/dialog_template.h"

namespace res {

const ui::DialogTemplate& MainDialogTemplate();  // 102, the station's main window
const ui::DialogTemplate& AboutDlgTemplate();    // 100, the version window
const ui::DialogTemplate& StandardDlgTemplate();    // 132, the standards window
const ui::DialogTemplate& MessageBoxDlgTemplate();  // 162, the modeless yes/no prompt

}  // namespace res
