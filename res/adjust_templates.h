#pragma once
// Templates of the adjustment item windows.

#include "ui/dialog_template.h"

namespace res {

// The common adjustment window: log edit AdjustIds::IDC_LOG and, where
// `buttonText` is not empty, button IDOK running full width below it; without
// a button, progress bar AdjustIds::IDC_PROGRESS takes its place.
ui::DialogTemplate AdjustDialogTemplate(int id, const char* title, const char* buttonText);

const ui::DialogTemplate& SensitivityTemplate();    // IDD_SENSITIVITY
const ui::DialogTemplate& SensRatioTemplate();      // IDD_SENS_RATIO
const ui::DialogTemplate& LineCrawlTemplate();      // IDD_LINE_CRAWL
const ui::DialogTemplate& InsideSbTemplate();       // IDD_INSIDE_SB
const ui::DialogTemplate& BcAdjustTemplate();       // IDD_BC_ADJUST
const ui::DialogTemplate& ApertureTemplate();       // IDD_APERTURE
const ui::DialogTemplate& DefectCorrectTemplate();  // IDD_DEFECT_CORRECT
const ui::DialogTemplate& FlashUpTemplate();        // IDD_FLASH_UP
const ui::DialogTemplate& TftPositionTemplate();    // IDD_TFT_POSITION
const ui::DialogTemplate& CurrentInputTemplate();   // IDD_CURRENT_INPUT, the battery check's current input
const ui::DialogTemplate& PixelDefectTemplate();    // IDD_PIXEL_DEFECT, the pixel defect editor

}  // namespace res
