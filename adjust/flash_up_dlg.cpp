#include "adjust/flash_up_dlg.h"

#include <algorithm>
#include <vector>

#include "adjust/read_back.h"
#include "camera/usb_camera.h"
#include "res/adjust_templates.h"

namespace {
constexpr int kIntervalMs = 500;
constexpr const char* kDone = " ・・・・完了\r\n";
constexpr const char* kUnpacking = "FLASH->DRAMへ展開中";

// The CCD EEPROM blocks that the items write, from the line crawl block to
// the end of the stored aperture gains, and their working copies in RAM
// configuration at the EEPROM address + 152.
constexpr std::uint32_t kBlocksBegin = 160, kBlocksEnd = 1976;
constexpr std::uint32_t kRamOffset = 152;
struct Block {
    std::uint32_t address, size;
};
// The defect table's RAM side holds its counts only.
constexpr Block kUnpacked[] = {{160, 12}, {248, 38}, {370, 4}, {1936, 40}};
}  // namespace

CFlashUpDlg::CFlashUpDlg(ui::Host& host) : CAdjustDlg(host, res::FlashUpTemplate(), {res::IDT_FLASH_UP, kIntervalMs}) {}

int CFlashUpDlg::RunFlashUp(std::uint8_t target) {
    ui::WaitCursor wait(GetHost());
    SetLog("FLASHｱｯﾌﾟｺﾏﾝﾄﾞ実行中");
    CUsbCamera& camera = Camera();

    if (target == kCcdEeprom) {
        // The CCD EEPROM sits on the sensor board: its power must be on.
        if (!Step(camera.SetCcdPower(0), 500)) return kErrUsbCommunication;
        // What the items wrote, to be found again once committed and unpacked.
        std::vector<std::uint8_t> written(kBlocksEnd - kBlocksBegin);
        if (camera.TransferConfigMemory(ConfigMemory::CcdEeprom, MemoryDirection::Read, kBlocksBegin,
                                        static_cast<std::uint32_t>(written.size()), written.data()) != 1)
            return kErrUsbCommunication;
        if (!Step(camera.SendUpdateCommand(1), 1000)) return kErrUsbCommunication;
        if (!Step(camera.SendUpdateCommand(2), 1000)) return kErrUsbCommunication;
        if (const int r = CheckUnpacked(written); r != 1) return r;
        AppendLog(std::string(kDone) + kUnpacking);
        if (!Step(camera.SetCcdPower(1), 500)) return kErrUsbCommunication;
    } else if (target == kTftEeprom) {
        if (!Step(camera.SendUpdateCommand(4), 1000)) return kErrUsbCommunication;
        if (!Step(camera.SendUpdateCommand(5), 1000)) return kErrUsbCommunication;
        AppendLog(std::string(kDone) + kUnpacking);
    }
    if (!Step(camera.OpenChecker(), 200)) return kErrUsbCommunication;
    AppendLog("・・・・完了\r\n");
    return 1;
}

// The working copy that the flash was unpacked into, and the RAM
// configuration copies the camera works with, hold what was committed.
int CFlashUpDlg::CheckUnpacked(const std::vector<std::uint8_t>& written) {
    CUsbCamera& camera = Camera();
    const auto size = static_cast<std::uint32_t>(written.size());
    if (const int r = HeldResult(camera.ConfigMemoryHolds(ConfigMemory::CcdEeprom, kBlocksBegin, size, written.data()),
                                 kErrUsbCcdEepromFlash);
        r != 1)
        return r;
    std::vector<std::uint8_t> ram(size);
    if (camera.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, kBlocksBegin + kRamOffset, size,
                                    ram.data()) != 1)
        return kErrUsbCommunication;
    for (const Block& b : kUnpacked) {
        const auto at = static_cast<std::ptrdiff_t>(b.address - kBlocksBegin);
        if (!std::equal(written.begin() + at, written.begin() + at + b.size, ram.begin() + at))
            return kErrUsbRamConfigWrite;
    }
    return 1;
}
