#pragma once
// EEPROM flash-up: the camera commits the CCD or TFT EEPROM to its flash
// memory and unpacks it into its working memory; then the checker mode is
// opened again.

#include <cstdint>
#include <vector>

#include "adjust/adjust_dlg.h"
#include "camera/usb_camera.h"

class CFlashUpDlg : public CAdjustDlg {
public:
    // The memory committed: m_target holds a ConfigMemory.
    enum Target : std::uint8_t {
        kCcdEeprom = static_cast<std::uint8_t>(ConfigMemory::CcdEeprom),
        kTftEeprom = static_cast<std::uint8_t>(ConfigMemory::TftEeprom),
    };

    explicit CFlashUpDlg(ui::Host& host);

    std::uint8_t m_target = kCcdEeprom;

    int RunFlashUp(std::uint8_t target);

protected:
    int RunAdjustment() override { return RunFlashUp(m_target); }

private:
    int CheckUnpacked(const std::vector<std::uint8_t>& written);
};
