#pragma once
// How a window works the camera: the pre-check before any work on it, each
// command with the pause after it, and the release afterwards. The main
// window's run, the items and each action of the pixel defect editor.

#include "ui/dialog.h"

class CUsbCamera;

namespace station {

// A camera command's result, then the pause the camera needs before the
// next command: true once the pause is over, false at once for a failed
// command, for which the caller returns its own number.
inline bool Step(ui::Dialog& owner, int result, int pauseMs) {
    if (result != 1) return false;
    owner.Sleep(pauseMs);
    return true;
}

// Connect, session, AF mode, exposure mode and battery state, checker mode:
// 1, or kErrUsbNoDevice, kErrUsbOpenSession, kErrUsbCommunication,
// kErrUsbAfMode or kErrUsbExposureMode. `owner` shows the battery notice
// (the check goes on after it) and waits between the steps.
int PreCheckCamera(ui::Dialog& owner, CUsbCamera& camera);
// Disconnects and gives the camera 500 ms; 1.
int ReleaseCamera(ui::Dialog& owner, CUsbCamera& camera);

}  // namespace station
