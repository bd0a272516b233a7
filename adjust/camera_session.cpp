#include "adjust/camera_session.h"

#include "camera/usb_camera.h"
#include "res/prompts.h"

namespace station {

namespace {
constexpr const char* kBatteryUnusable = "バッテリーが動作不可状態だよ";
}

int PreCheckCamera(ui::Dialog& owner, CUsbCamera& camera) {
    if (camera.ConnectCamera() != 1) return 4;
    owner.Sleep(20);
    if (camera.ResumeSession() != 1) return 5;
    owner.Sleep(20);

    std::uint8_t value = 0;
    if (camera.DcmdGetProperty(64, &value) != 1) return 3;  // AF mode
    if (value != 0) return 13;
    owner.Sleep(50);
    if (camera.DcmdGetProperty(10, &value) != 1) return 3;  // exposure mode
    if (value != 3) return 14;
    owner.Sleep(50);
    if (camera.DcmdGetProperty(71, &value) != 1) return 3;  // battery state
    if (value == 3) owner.MessageBox(kBatteryUnusable, kCaptionMessage);
    owner.Sleep(50);

    if (camera.OpenChecker() != 1) return 3;
    owner.Sleep(100);
    return 1;
}

int ReleaseCamera(ui::Dialog& owner, CUsbCamera& camera) {
    camera.DisconnectCamera();
    owner.Sleep(500);
    return 1;
}

}  // namespace station
