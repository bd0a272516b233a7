#pragma once
// Sensitivity adjustment: the gain of each of the camera's 19 sensitivity
// steps, ISO200 to ISO1600 a sixth of a stop apart. ISO200 and ISO1600 are
// adjusted in a closed loop on pictures of the evenly lit viewer, the steps
// between are interpolated in dB, the table goes to RAM configuration, four
// steps are checked with fresh pictures, and the table is stored in the CCD
// EEPROM.

#include <array>
#include <cstdint>
#include <string>

#include "adjust/adjust_dlg.h"
#include "camera/usb_camera.h"

class CSensitivityDlg : public CAdjustDlg {
public:
    static constexpr int kSteps = 19;
    using Table = std::array<std::uint16_t, kSteps>;

    explicit CSensitivityDlg(ui::Host& host);

    // Inputs.
    std::uint32_t m_sensBaseline = 0;  // the G level [LSB] that ISO200 must give on the bench
    double m_adjustTolerance = 0;      // half-width of the loop's window, %
    double m_checkTolerance = 0;       // half-width of the check's window, %
    Table m_initial{};                 // starting values; only ISO200 (0) and ISO1600 (18) are used

    // The adjusted table, filled by the interpolation.
    Table m_values{};

    // The target G of a step and the window around it.
    struct Window {
        int target = 0, min = 0, max = 0;
        bool AdjustAccepts(int g) const { return min <= g && g < max; }  // the top is left out
        bool CheckAccepts(int g) const { return min <= g && g <= max; }
    };
    static Window WindowFor(int code, std::uint32_t reference, double tolerancePercent);
    // The rounded mean of the two green values of a capture.
    static int GLevel(const AreaMeasurement& m);
    // The loop's next value from one capture's G (not 0): 0.033 dB a step,
    // held within 1..1023.
    static int CorrectedValue(int value, int target, int g);
    // The 19 values on the straight dB line from ISO200's `a` to ISO1600's `b`.
    static Table Interpolate(int a, int b);

protected:
    int RunAdjustment() override;

private:
    int AdjustStep(int code, int value, int& adjusted);
    void LogTable();
    int WriteTable(ConfigMemory kind);
    int CheckTable();
};
