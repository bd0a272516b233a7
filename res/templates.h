#pragma once
// The dialog templates of the station's windows.

#include "ui/dialog_template.h"

namespace res {

const ui::DialogTemplate& MainDialogTemplate();       // IDD_IMAGEADJUST, the station's main window
const ui::DialogTemplate& AboutDlgTemplate();         // IDD_ABOUTBOX, the version window
const ui::DialogTemplate& StandardDlgTemplate();      // IDD_STANDARD, the standards window
const ui::DialogTemplate& ApertureSpecDlgTemplate();  // IDD_APERTURE_SPEC, the aperture dependence standards
// The edit of the aperture standards window for aperture 0 (F1.4) .. 4 (F5.6)
// and gain 0 (R), 1 (Gr), 2 (Gb), 3 (B): ApertureSpecIds::IDC_GAIN.
int ApertureSpecGainId(int aperture, int gain);
const ui::DialogTemplate& MessageBoxDlgTemplate();    // IDD_MESSAGE_BOX, the modeless yes/no prompt

}  // namespace res
