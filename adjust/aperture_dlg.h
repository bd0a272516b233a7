#pragma once
// Aperture dependence: the colour ratios wide open (F1.4) against F8. When
// they differ by more than the tolerance, new red and blue gains for the
// wide apertures are tried in the working gain table, measured again, and
// stored in the CCD EEPROM once the check passes.

#include <array>
#include <cstdint>

#include "adjust/adjust_dlg.h"
#include "camera/usb_camera.h"

class CApertureDlg : public CAdjustDlg {
public:
    // The aperture gain table: groups AV1 (F1.4), AV2 (F2), AV3 (F2.8),
    // AV4 (F4), AV5 (F5.6), each the gains R, Gr, Gb, B.
    using Gains = std::array<std::array<double, 4>, 5>;
    enum Channel { kR = 0, kGr = 1, kGb = 2, kB = 3 };
    static constexpr int kGroups = 5;
    static constexpr std::uint32_t kTableBytes = 40;
    // Measurement index: F8, then F1.4.
    enum Stop { kF8 = 0, kF14 = 1 };

    explicit CApertureDlg(ui::Host& host);

    double m_tolerance = 0;  // percent, allowed deviation of the F1.4/F8 ratios from 1

    // The last measurement, per stop.
    double m_g[2] = {}, m_r[2] = {}, m_b[2] = {};
    double m_rgRatio[2] = {}, m_bgRatio[2] = {};  // R / G and B / G
    double m_grRatio = 0, m_gbRatio = 0;          // R/G and B/G at F1.4 over F8
    Gains m_newGains{};

    int RunApertureAdjustment();
    int AdjustApertureDependence();
    // 1 when both ratios are within the tolerance, kErrAv1RRatio or
    // kErrAv1BRatio when not, or an error number.
    int MeasureApertureRatios();
    // `count` captures of the area, averaged.
    int MeasureAreaLevels(int count, const MeasureArea& area, double& g, double& r, double& b);
    int ComputeApertureGains();
    // The working copy in RAM configuration, or the stored copy in the CCD EEPROM.
    int WriteApertureGains(ConfigMemory kind);

    // ---- the judgements and the arithmetic, on their own ---------------------
    // A G level the measurement can use: 700..1800 LSB, the bounds included.
    static bool LevelInRange(double g);
    // 1, kErrAv1RRatio (GR ratio outside 1 +- t) or kErrAv1BRatio (GB ratio
    // outside; wins over the GR ratio); the bounds pass, a ratio that is no
    // number does not.
    static int RatioResult(double grRatio, double gbRatio, double tolerancePercent);
    // The gains that divide the deviations at F1.4 (dR, dB relative to F8)
    // out: wholly at F1.4, by fixed shares at F2 to F4, not at F5.6. Gb takes
    // the old Gr gain in every group.
    static Gains NewGains(const Gains& old, double dR, double dB);
    // 1 when every R and B gain has an 8.8 word; else kErrAv1RRatio (an R gain
    // that is no number, negative, or 256 and more) or kErrAv1BRatio (a B
    // gain; wins over R).
    static int GainsResult(const Gains& gains);
    // The 40-byte table (8.8 big-endian words) and back.
    static Gains DecodeGains(const std::uint8_t* table);
    static void EncodeGains(const Gains& gains, std::uint8_t* table);

protected:
    int RunAdjustment() override { return RunApertureAdjustment(); }

private:
    int m_pass = 0;  // measurements so far, for the run record
};
