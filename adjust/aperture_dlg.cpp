#include "adjust/aperture_dlg.h"

#include <string>

#include "adjust/gain_word.h"
#include "adjust/read_back.h"
#include "camera/shooting.h"
#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "platform/format.h"
#include "res/adjust_templates.h"

using platform::Format;

namespace {

constexpr int kIntervalMs = 500;

constexpr const char* kConditions =
    "・レンズ　　　　　　：　50mm F1.4K\r\n"
    "・ＮＤフィルター　　：　無し\r\n"
    "・輝度箱の輝度　　　：　ＬＶ９\r\n"
    "・カメラ－輝度箱間　：　最至近\r\n"
    "・レンズ距離環位置　：　無限端";

constexpr double kLevelMin = 700, kLevelMax = 1800;

// What the two stops are shot with, and how a G level out of range is reported.
struct StopSetting {
    const char* heading;
    std::uint8_t shutter, aperture;  // shooting conditions a, b
    int levelError;
    const char* recordName;
};
constexpr StopSetting kStops[2] = {
    {"F8出力レベル取得\r\n", kApertureF8Shutter, kF8Aperture, kErrAv6GLevel, "F8 GLevel"},
    {"F1.4出力レベル取得\r\n", kApertureF14Shutter, kF14Aperture, kErrAv1GLevel, "F1.4 GLevel"},
};

// The aperture gain tables: the working copy in RAM configuration and the
// stored copy in the CCD EEPROM. 2120 lies in the working copy's F5.6 group.
constexpr std::uint32_t kWorkingTable = 2088;
constexpr std::uint32_t kStoredTable = 1936;
constexpr std::uint32_t kWorkingTail = 2120;
constexpr std::uint32_t kWorkingTailBytes = 8;

// How much of the F1.4 deviation is left at F2, F2.8 and F4: new gain = old
// gain / (share x deviation + rest), for red and for blue.
struct Share {
    double share, rest;
};
constexpr Share kRedShares[3] = {{0.6579, 0.3431}, {0.2862, 0.7158}, {0.1237, 0.8787}};
constexpr Share kBlueShares[3] = {{0.6786, 0.3223}, {0.1241, 0.8784}, {0.0011, 1.0017}};

bool InTolerance(double ratio, double t) { return ratio >= 1 - t && ratio <= 1 + t; }

bool HasWord(double gain) { return GainWord(gain).has_value(); }

}  // namespace

CApertureDlg::CApertureDlg(ui::Host& host)
    : CAdjustDlg(host, res::ApertureTemplate(), {res::IDT_APERTURE, kIntervalMs, CloseBy::Ok, false}) {}

int CApertureDlg::RunApertureAdjustment() {
    ui::WaitCursor wait(GetHost());
    SetLog("絞り依存性調整\r\n");
    ShowConditions(kConditions);
    Pause(1000);
    return AdjustApertureDependence();
}

int CApertureDlg::AdjustApertureDependence() {
    int r = MeasureApertureRatios();
    if (r == 1) return 1;  // within the tolerance: nothing is written
    if (r != kErrAv1RRatio && r != kErrAv1BRatio) return r;
    r = ComputeApertureGains();
    if (r != 1) return r;
    // Only gains that pass a second measurement are stored.
    r = MeasureApertureRatios();
    if (r != 1) return r;
    return WriteApertureGains(ConfigMemory::CcdEeprom);
}

int CApertureDlg::MeasureApertureRatios() {
    ++m_pass;
    AppendLog("\r\n絞り依存性確認\r\n");
    for (int i : {kF8, kF14}) {
        const StopSetting& stop = kStops[i];
        AppendLog(stop.heading);
        m_g[i] = m_r[i] = m_b[i] = 0;
        if (!Step(Camera().SetShootingConditions(stop.shutter, stop.aperture, kIso200, 0), 20))
            return kErrUsbReleaseConditions;
        const int r = MeasureAreaLevels(1, kLensArea, m_g[i], m_r[i], m_b[i]);
        if (r != 1) return r;
        AppendLog(Format("平均　G= %5.1f[LSB]  R= %5.1f[LSB]  B= %5.1f[LSB]\r\n", m_g[i], m_r[i], m_b[i]));
        m_rgRatio[i] = m_r[i] / m_g[i];
        m_bgRatio[i] = m_b[i] / m_g[i];
        AppendLog(Format(" 感度比  G/R= %2.5f   G/B= %2.5f\r\n", m_rgRatio[i], m_bgRatio[i]));
        const bool levelOk = LevelInRange(m_g[i]);
        Record({.pass = m_pass, .name = stop.recordName, .value = m_g[i], .low = kLevelMin, .high = kLevelMax,
                .unit = "LSB", .passed = levelOk});
        if (!levelOk) return stop.levelError;
    }

    AppendLog("\r\nF8基準によるF1.4の感度比\r\n");
    m_grRatio = m_rgRatio[kF14] / m_rgRatio[kF8];
    m_gbRatio = m_bgRatio[kF14] / m_bgRatio[kF8];
    AppendLog(Format(" GR比(F1.4/F8)= %2.5f  GB比(F1.4/F8)= %2.5f\r\n", m_grRatio, m_gbRatio));
    const double t = m_tolerance / 100;
    Record({.pass = m_pass, .name = "GR", .value = m_grRatio, .low = 1 - t, .high = 1 + t,
            .passed = InTolerance(m_grRatio, t)});
    Record({.pass = m_pass, .name = "GB", .value = m_gbRatio, .low = 1 - t, .high = 1 + t,
            .passed = InTolerance(m_gbRatio, t)});
    return RatioResult(m_grRatio, m_gbRatio, m_tolerance);
}

int CApertureDlg::MeasureAreaLevels(int count, const MeasureArea& area, double& g, double& r, double& b) {
    double sumG = 0, sumR = 0, sumB = 0;
    for (int i = 1; i <= count; ++i) {
        AreaMeasurement m;
        if (Camera().CaptureAndMeasure(area, &m) != 1) return kErrUsbRelease;
        const double green = (m.Gr() + m.Gb()) / 2.0;
        AppendLog(Format("[%d]  G= %5.0f[LSB]  R= %5d[LSB]  B= %5d[LSB]\r\n", i, green, int{m.R()}, int{m.B()}));
        sumG += green;
        sumR += m.R();
        sumB += m.B();
    }
    g = sumG / count;
    r = sumR / count;
    b = sumB / count;
    return 1;
}

int CApertureDlg::ComputeApertureGains() {
    CUsbCamera& camera = Camera();
    // Read as the station always has; the bytes are not used.
    std::uint8_t tail[kWorkingTailBytes] = {};
    if (!Step(camera.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, kWorkingTail,
                                          kWorkingTailBytes, tail),
              20))
        return kErrUsbCommunication;
    // Two reads that must agree: the gains in the working copy now.
    std::uint8_t table[kTableBytes] = {};
    if (!Step(camera.WriteConfigMemoryVerified(ConfigMemory::RamConfig, MemoryDirection::Read, kWorkingTable,
                                               kTableBytes, table),
              20))
        return kErrUsbCommunication;

    const double green = m_g[kF14] / m_g[kF8];
    const double dR = (m_r[kF14] / m_r[kF8]) / green;
    const double dB = (m_b[kF14] / m_b[kF8]) / green;
    m_newGains = NewGains(DecodeGains(table), dR, dB);

    std::string lines;
    for (int g = 0; g < kGroups; ++g) {
        const auto& gains = m_newGains[static_cast<std::size_t>(g)];
        lines += "新調整値\r\n";
        lines += Format("AV%d : PGAINR= %2.5f \r\n", g + 1, gains[kR]);
        lines += Format("AV%d : PGAINGr= %2.5f \r\n", g + 1, gains[kGr]);
        lines += Format("AV%d : PGAINGb= %2.5f \r\n", g + 1, gains[kGb]);
        lines += Format("AV%d : PGAINB= %2.5f \r\n", g + 1, gains[kB]);
    }
    AppendLog(lines);

    // A deviation that no gain word can divide out (a channel that reads 0)
    // is reported as the ratio it came from; nothing is written.
    const int r = GainsResult(m_newGains);
    if (r != 1) return r;
    return WriteApertureGains(ConfigMemory::RamConfig);
}

int CApertureDlg::WriteApertureGains(ConfigMemory kind) {
    if (kind != ConfigMemory::RamConfig && kind != ConfigMemory::CcdEeprom) return kLinkBadArgument;
    CUsbCamera& camera = Camera();
    const bool stored = kind == ConfigMemory::CcdEeprom;
    std::uint8_t table[kTableBytes];
    EncodeGains(m_newGains, table);

    // The CCD EEPROM sits on the sensor board: its power must be on.
    if (stored && !Step(camera.SetCcdPower(0), 100)) return kErrUsbCommunication;
    if (!Step(camera.WriteConfigMemoryVerified(kind, MemoryDirection::Write, stored ? kStoredTable : kWorkingTable,
                                               kTableBytes, table),
              20))
        return kErrUsbCommunication;
    if (!Step(camera.MakeFpgainTable(), 50)) return kErrUsbCommunication;
    if (!stored) return 1;

    if (!Step(camera.SendUpdateCommand(1), 500)) return kErrUsbCommunication;
    if (!Step(camera.SendUpdateCommand(2), 500)) return kErrUsbCommunication;
    // Committed to flash and unpacked again: still the new gains.
    if (const int r =
            HeldResult(camera.ConfigMemoryHolds(kind, kStoredTable, kTableBytes, table), kErrUsbCcdEepromFlash);
        r != 1)
        return r;
    if (!Step(camera.SetCcdPower(1), 100)) return kErrUsbCommunication;
    return 1;
}

bool CApertureDlg::LevelInRange(double g) { return g >= kLevelMin && g <= kLevelMax; }

int CApertureDlg::RatioResult(double grRatio, double gbRatio, double tolerancePercent) {
    const double t = tolerancePercent / 100;
    int result = 1;
    if (!InTolerance(grRatio, t)) result = kErrAv1RRatio;
    if (!InTolerance(gbRatio, t)) result = kErrAv1BRatio;
    return result;
}

CApertureDlg::Gains CApertureDlg::NewGains(const Gains& old, double dR, double dB) {
    Gains gains = old;
    for (std::size_t g = 0; g < kGroups; ++g) {
        double rDivisor = 1, bDivisor = 1;  // F5.6 keeps its gains
        if (g == 0) {
            rDivisor = dR;
            bDivisor = dB;
        } else if (g < 4) {
            rDivisor = kRedShares[g - 1].share * dR + kRedShares[g - 1].rest;
            bDivisor = kBlueShares[g - 1].share * dB + kBlueShares[g - 1].rest;
        }
        if (g < 4) {
            gains[g][kR] = old[g][kR] / rDivisor;
            gains[g][kB] = old[g][kB] / bDivisor;
        }
        gains[g][kGb] = old[g][kGr];
    }
    return gains;
}

int CApertureDlg::GainsResult(const Gains& gains) {
    int result = 1;
    for (const auto& group : gains)
        if (!HasWord(group[kR])) result = kErrAv1RRatio;
    for (const auto& group : gains)
        if (!HasWord(group[kB])) result = kErrAv1BRatio;
    return result;
}

CApertureDlg::Gains CApertureDlg::DecodeGains(const std::uint8_t* table) {
    Gains gains{};
    for (std::size_t g = 0; g < kGroups; ++g)
        for (std::size_t k = 0; k < 4; ++k) gains[g][k] = GainOfWord(platform::GetBe16(table + 8 * g + 2 * k));
    return gains;
}

void CApertureDlg::EncodeGains(const Gains& gains, std::uint8_t* table) {
    for (std::size_t g = 0; g < kGroups; ++g)
        for (std::size_t k = 0; k < 4; ++k) {
            // A gain without a word is held at the word's range (GainsResult refuses it first).
            const double gain = gains[g][k];
            platform::PutBe16(table + 8 * g + 2 * k, GainWord(gain).value_or(gain >= 0 ? 0xFFFF : 0));
        }
}
