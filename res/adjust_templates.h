#pragma once
// Templates of the adjustment item windows.

#include "ui/dialog_template.h"

namespace res {

// The common adjustment window: log edit 1028 and, where `buttonText` is not
// empty, button 1 running full width below it; without a button, progress
// bar 1145 takes its place.
ui::DialogTemplate AdjustDialogTemplate(int id, const char* title, const char* buttonText);

const ui::DialogTemplate& SensitivityTemplate();     // 146
const ui::DialogTemplate& SensRatioTemplate();       // 139
const ui::DialogTemplate& LineCrawlTemplate();       // 140
const ui::DialogTemplate& InsideSbTemplate();        // 149
const ui::DialogTemplate& BcAdjustTemplate();        // 136
const ui::DialogTemplate& ApertureTemplate();        // 160
const ui::DialogTemplate& DefectCorrectTemplate();   // 161
const ui::DialogTemplate& FlashUpTemplate();         // 134
const ui::DialogTemplate& TftPositionTemplate();     // 157
const ui::DialogTemplate& CurrentInputTemplate();    // 154, the battery check's current input
const ui::DialogTemplate& PixelDefectTemplate();     // 163, the pixel defect editor

}  // namespace res
