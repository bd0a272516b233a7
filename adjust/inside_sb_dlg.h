#pragma once
// Built-in flash: the light output of the pre-flash and of the main flash,
// each brought onto its target green level on the standard reflector by a
// signed adjustment value of 1/24 EV a step, then both values stored in the
// camera's DRAM and EEPROM with its checksum.

#include <array>
#include <cstdint>

#include "adjust/adjust_dlg.h"

struct AreaMeasurement;

class CInsideSbDlg : public CAdjustDlg {
public:
    explicit CInsideSbDlg(ui::Host& host);

    // Inputs (the INSIDE_SB standards).
    std::int8_t m_preInitial = 0;
    std::int8_t m_mainInitial = 0;
    double m_chargeVolts = 0;   // ChargeInsideSb before every flash
    double m_preTolerance = 0;  // EV
    double m_mainTolerance = 0;
    int m_preTarget = 0;        // green level, LSB
    int m_mainTarget = 0;

    // The values found, written to the camera.
    std::int8_t m_preResult = 0;
    std::int8_t m_mainResult = 0;

    // The judgement of one pass from its three flash greens, fired with `adj`.
    struct PassJudgement {
        enum Outcome { kSpread, kOnTarget, kCorrected, kOutOfRange } outcome = kSpread;
        double average = 0;  // LSB
        double diff = 0;     // EV, positive when the flash is too weak
        double spread = 0;   // EV between the brightest and the dimmest
        std::int8_t adj = 0; // the value for the next pass (kCorrected), else `adj` as given
    };
    static PassJudgement JudgePass(std::int8_t adj, const std::array<int, 3>& greens, int target, double tolerance,
                                   int low, int high);

    int RunInsideSbAdjustment();

protected:
    int RunAdjustment() override { return RunInsideSbAdjustment(); }

private:
    struct Mode;
    static const Mode kPreFlash, kMainFlash;
    int AdjustMode(const Mode& mode, std::int8_t initial, int target, double tolerance, std::int8_t& result);
    int TakeFlashPicture(const Mode& mode, std::int8_t adj, AreaMeasurement& m);
    int WriteValues();
};
