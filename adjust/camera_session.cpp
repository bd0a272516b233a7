#include "adjust/camera_session.h"

#include "camera/usb_camera.h"
#include "res/prompts.h"

namespace station {

namespace {
constexpr const char* kBatteryUnusable = "バッテリーが動作不可状態だよ";

// The camera's state before any work on it: its properties and what they must hold.
constexpr std::uint8_t kPropertyAfMode = 64;
constexpr std::uint8_t kRequiredAfMode = 0;
constexpr std::uint8_t kPropertyExposureMode = 10;
constexpr std::uint8_t kRequiredExposureMode = 3;
constexpr std::uint8_t kPropertyBattery = 71;
constexpr std::uint8_t kBatteryCannotWork = 3;
}  // namespace

int PreCheckCamera(ui::Dialog& owner, CUsbCamera& camera) {
    if (!Step(owner, camera.ConnectCamera(), 20)) return kErrUsbNoDevice;
    if (!Step(owner, camera.ResumeSession(), 20)) return kErrUsbOpenSession;

    std::uint8_t value = 0;
    if (camera.DcmdGetProperty(kPropertyAfMode, &value) != 1) return kErrUsbCommunication;
    if (value != kRequiredAfMode) return kErrUsbAfMode;
    owner.Sleep(50);
    if (camera.DcmdGetProperty(kPropertyExposureMode, &value) != 1) return kErrUsbCommunication;
    if (value != kRequiredExposureMode) return kErrUsbExposureMode;
    owner.Sleep(50);
    if (camera.DcmdGetProperty(kPropertyBattery, &value) != 1) return kErrUsbCommunication;
    if (value == kBatteryCannotWork) owner.MessageBox(kBatteryUnusable, kCaptionMessage);
    owner.Sleep(50);

    if (!Step(owner, camera.OpenChecker(), 100)) return kErrUsbCommunication;
    return 1;
}

int ReleaseCamera(ui::Dialog& owner, CUsbCamera& camera) {
    camera.DisconnectCamera();
    owner.Sleep(500);
    return 1;
}

}  // namespace station
