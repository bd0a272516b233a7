#include "adjust/flash_up_dlg.h"

#include "camera/usb_camera.h"
#include "res/adjust_templates.h"

namespace {
constexpr int kTimerId = 104;  // "フラッシュアップ起動タイマ"
constexpr int kIntervalMs = 500;
constexpr const char* kDone = " ・・・・完了\r\n";
constexpr const char* kUnpacking = "FLASH->DRAMへ展開中";
}  // namespace

CFlashUpDlg::CFlashUpDlg(ui::Host& host) : CAdjustDlg(host, res::FlashUpTemplate(), {kTimerId, kIntervalMs}) {}

int CFlashUpDlg::RunFlashUp(std::uint8_t target) {
    ui::WaitCursor wait(GetHost());
    SetLog("FLASHｱｯﾌﾟｺﾏﾝﾄﾞ実行中");
    CUsbCamera& camera = Camera();

    // Each step is a camera command and the pause the camera needs after it.
    auto step = [&](int result, int pauseMs) {
        if (result != 1) return false;
        Pause(pauseMs);
        return true;
    };

    if (target == kCcdEeprom) {
        // The CCD EEPROM sits on the sensor board: its power must be on.
        if (!step(camera.SetCcdPower(0), 500)) return 3;
        if (!step(camera.SendUpdateCommand(1), 1000)) return 3;
        if (!step(camera.SendUpdateCommand(2), 1000)) return 3;
        AppendLog(std::string(kDone) + kUnpacking);
        if (!step(camera.SetCcdPower(1), 500)) return 3;
    } else if (target == kTftEeprom) {
        if (!step(camera.SendUpdateCommand(4), 1000)) return 3;
        if (!step(camera.SendUpdateCommand(5), 1000)) return 3;
        AppendLog(std::string(kDone) + kUnpacking);
    }
    if (!step(camera.OpenChecker(), 200)) return 3;
    AppendLog("・・・・完了\r\n");
    return 1;
}
