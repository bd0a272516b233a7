#pragma once
// Battery check: with the camera on the regulated supply through the battery
// tool, the consumption currents that the operator reads from the ammeter at
// 7.2 V and 7.7 V with the CCD off and on, and the camera's own A/D reading of
// 7.2 V, stored in the camera's DRAM and EEPROM with its checksum.

#include <array>
#include <cstdint>

#include "adjust/adjust_dlg.h"
#include "camera/usb_camera.h"

class CBcAdjustDlg : public CAdjustDlg {
public:
    explicit CBcAdjustDlg(ui::Host& host);

    // Inputs (the BC standards): the window for every A/D reading, LSB.
    std::uint32_t m_adMin = 0;
    std::uint32_t m_adMax = 0;

    // The values found, written to the camera.
    std::uint16_t m_adValue = 0;                // LSB, the mean of three readings at 7.2 V
    std::array<std::uint8_t, 4> m_currents{};  // 10 mA: 7.2 V off, 7.2 V on, 7.7 V off, 7.7 V on

    // A current in amperes as the camera stores it, in 10 mA.
    static std::uint8_t CurrentByte(double amps);

    int RunBcAdjustment();

protected:
    int RunAdjustment() override { return RunBcAdjustment(); }

private:
    int InputCurrents();
    int AdjustAd();
    int WriteValues(CameraMemory area);
};
