#pragma once
// The dialog templates of the station's windows.

#include "ui/dialog_template.h"

namespace res {

const ui::DialogTemplate& MainDialogTemplate();  // 102, the station's main window
const ui::DialogTemplate& AboutDlgTemplate();    // 100, the version window
const ui::DialogTemplate& StandardDlgTemplate();    // 132, the standards window
const ui::DialogTemplate& ApertureSpecDlgTemplate();  // 153, the aperture dependence standards
// The edit of the aperture standards window for aperture 0 (F1.4) .. 4 (F5.6)
// and gain 0 (R), 1 (Gr), 2 (Gb), 3 (B).
int ApertureSpecGainId(int aperture, int gain);
const ui::DialogTemplate& MessageBoxDlgTemplate();  // 162, the modeless yes/no prompt

}  // namespace res
