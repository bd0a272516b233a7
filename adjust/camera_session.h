#pragma once
// The camera's pre-check before any work on it, and its release afterwards:
// the main window's run and each action of the pixel defect editor.

#include "ui/dialog.h"

class CUsbCamera;

namespace station {

// Connect, session, AF mode, exposure mode and battery state, checker mode:
// 1, or 4, 5, 3, 13 or 14. `owner` shows the battery notice (the check
// goes on after it) and waits between the steps.
int PreCheckCamera(ui::Dialog& owner, CUsbCamera& camera);
// Disconnects and gives the camera 500 ms; 1.
int ReleaseCamera(ui::Dialog& owner, CUsbCamera& camera);

}  // namespace station
