#include "adjust/sensitivity_dlg.h"

#include <algorithm>
#include <cmath>

#include "adjust/read_back.h"
#include "adjust/rounding.h"
#include "camera/shooting.h"
#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "platform/format.h"
#include "res/adjust_templates.h"
#include "res/prompts.h"

namespace {

constexpr int kIntervalMs = 300;

constexpr std::uint32_t kStepWordBase = 328;  // RAM configuration word of code c at 328 + c
constexpr std::uint32_t kRamTable = 400;
constexpr std::uint32_t kEepromTable = 248;

constexpr int kMaxPasses = 5;
constexpr double kDbPerLsb = 0.033;
constexpr int kMaxValue = 1023;
constexpr int kCheckSteps[] = {0, 6, 12, 18};

constexpr const char* kStepNames[CSensitivityDlg::kSteps] = {
    "ISO200", "ISO220", "ISO250", "ISO280", "ISO320",  "ISO360",  "ISO400",  "ISO440",  "ISO500", "ISO560",
    "ISO640", "ISO720", "ISO800", "ISO880", "ISO1000", "ISO1100", "ISO1250", "ISO1400", "ISO1600",
};

std::uint16_t IsoWord(std::uint16_t value) { return static_cast<std::uint16_t>((value & 0x3FF) * 8); }

}  // namespace

CSensitivityDlg::CSensitivityDlg(ui::Host& host)
    : CAdjustDlg(host, res::SensitivityTemplate(), {res::IDT_SENSITIVITY, kIntervalMs}) {}

CSensitivityDlg::Window CSensitivityDlg::WindowFor(int code, std::uint32_t reference, double tolerancePercent) {
    // Held inside the int range: standards out of all reason make an
    // unreachable window, not an overflow.
    const double target = RoundValue(std::pow(2.0, code / 12.0 - 6) * reference);
    const double d = RoundValue(target * tolerancePercent / 100);
    return {RoundToInt(target), RoundToInt(target - d), RoundToInt(target + d)};
}

int CSensitivityDlg::GLevel(const AreaMeasurement& m) { return RoundToInt((m.Gr() + m.Gb()) / 2.0); }

int CSensitivityDlg::CorrectedValue(int value, int target, int g) {
    double x = value + 20 * std::log10(static_cast<double>(target) / g) / kDbPerLsb;
    if (x <= 0) x = 1.0;
    return std::min(RoundToInt(x), kMaxValue);
}

CSensitivityDlg::Table CSensitivityDlg::Interpolate(int a, int b) {
    Table values;
    if (a == b) {
        values.fill(static_cast<std::uint16_t>(a));
        return values;
    }
    // dB per LSB of the line through both ends: ISO1600 is 8 times ISO200.
    const double s = 20 * std::log10(8.0) / (b - a);
    for (int i = 0; i < kSteps; ++i)
        values[static_cast<std::size_t>(i)] =
            static_cast<std::uint16_t>(RoundToInt(20 * std::log10(std::pow(2.0, i / 6.0)) / s + a));
    return values;
}

int CSensitivityDlg::RunAdjustment() {
    ui::WaitCursor wait(GetHost());
    SetLog("感度調整\r\n");
    ShowConditions(std::string(kToolLensLine) + kNd3Line + kViewerLines);
    Pause(1000);
    if (const int r = Camera().SetOb(0); !Step(r, 20)) return r;

    int a = 0, b = 0;
    AppendLog("ISO200の調整\r\n");
    if (const int r = AdjustStep(kIso200, m_initial[0], a); r != 1) return r;
    AppendLog("ISO1600の調整\r\n");
    if (const int r = AdjustStep(kIso1600, m_initial[kSteps - 1], b); r != 1) return r;

    m_values = Interpolate(a, b);
    LogTable();
    if (const int r = WriteTable(ConfigMemory::RamConfig); r != 1) return r;
    if (const int r = CheckTable(); r != 1) return r;
    return WriteTable(ConfigMemory::CcdEeprom);
}

// Closed loop on one step: write the value, take a picture, and either
// confirm it with the mean of three more or correct it from the one.
int CSensitivityDlg::AdjustStep(int code, int value, int& adjusted) {
    CUsbCamera& camera = Camera();
    const Window w = WindowFor(code, m_sensBaseline, m_adjustTolerance);
    const std::string name = kStepNames[(code - kIso200) / 2];
    const std::uint32_t address = kStepWordBase + static_cast<std::uint32_t>(code);
    for (int pass = 1; pass <= kMaxPasses; ++pass) {
        std::uint8_t word[2];
        platform::PutBe16(word, IsoWord(static_cast<std::uint16_t>(value)));
        if (!Step(camera.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Write, address, 2, word), 20))
            return kErrUsbCommunication;
        // The picture shows the value the camera holds.
        if (const int r =
                HeldResult(camera.ConfigMemoryHolds(ConfigMemory::RamConfig, address, 2, word), kErrUsbRamConfigWrite);
            !Step(r, 100))
            return r;
        if (!Step(camera.SetShootingConditions(kSensShutter, 0, static_cast<std::uint8_t>(code), 0), 20))
            return kErrUsbReleaseConditions;
        AreaMeasurement shot;
        if (!Step(camera.CaptureAndMeasure(kSensAdjustArea, &shot), 100)) return kErrUsbRelease;

        const int g = GLevel(shot);
        AppendLog(platform::Format(" GLevel= %5d[LSB] ( MIN:%5d- MAX:%5d ) : ADJ=%4d[LSB] \r\n", g, w.min, w.max,
                                   value));
        const bool inside = w.AdjustAccepts(g);
        Record({.pass = pass, .name = name + " GLevel", .value = double(g), .low = w.min, .high = w.max,
                .unit = "LSB", .passed = inside});
        if (inside) {
            AppendLog(" 3回の平均値");
            AreaMeasurement mean;
            if (const int r = camera.CaptureAndMeasureAveraged(3, kSensAdjustArea, &mean); r != 1) return r;
            const int g3 = GLevel(mean);
            AppendLog(platform::Format(" GLevel= %5d[LSB] ( MIN:%5d- MAX:%5d )\r\n", g3, w.min, w.max));
            const bool steady = w.AdjustAccepts(g3);
            Record({.pass = pass, .name = name + " GLevel average", .value = double(g3), .low = w.min,
                    .high = w.max, .unit = "LSB", .passed = steady});
            if (steady) {
                adjusted = value;
                return 1;
            }
        }
        // A picture without any green says nothing about the gain: the
        // next pass tries the same value again.
        if (g > 0) value = CorrectedValue(value, w.target, g);
    }
    // One number a stop: ISO200's, then on.
    return kErrSensAdjustIso200 + (code - kIso200) / 12;
}

// Step 0 on a line of its own, then six steps a line up to ISO400, ISO800
// and ISO1600.
void CSensitivityDlg::LogTable() {
    std::string line;
    for (int i = 0; i < kSteps; ++i) {
        line += kStepNames[i] + platform::Format("  %d[LSB] ", m_values[static_cast<std::size_t>(i)]);
        if (i % 6 == 0) {
            AppendLog(line + "\r\n");
            line.clear();
        }
    }
}

int CSensitivityDlg::WriteTable(ConfigMemory kind) {
    std::uint8_t block[2 * kSteps];
    for (int i = 0; i < kSteps; ++i) platform::PutBe16(block + 2 * i, IsoWord(m_values[static_cast<std::size_t>(i)]));
    CUsbCamera& camera = Camera();
    const bool eeprom = kind == ConfigMemory::CcdEeprom;
    // The CCD EEPROM sits on the sensor board: its power must be on.
    if (eeprom && !Step(camera.SetCcdPower(0), 100)) return kErrUsbCommunication;
    if (!Step(camera.WriteConfigMemoryVerified(kind, MemoryDirection::Write, eeprom ? kEepromTable : kRamTable,
                                               sizeof block, block),
              100))
        return kErrUsbCommunication;
    if (eeprom && !Step(camera.SetCcdPower(1), 100)) return kErrUsbCommunication;
    return 1;
}

// Four steps measured with the values as the camera holds them in RAM.
int CSensitivityDlg::CheckTable() {
    CUsbCamera& camera = Camera();
    AppendLog("点検\r\n");
    for (const int step : kCheckSteps) {
        const int code = IsoStepCode(step);
        std::uint8_t word[2] = {};
        if (!Step(camera.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read,
                                              kStepWordBase + static_cast<std::uint32_t>(code), 2, word),
                  100))
            return kErrUsbCommunication;
        const std::uint16_t raw = platform::GetBe16(word);
        const int value = (raw & 0x1FF8) >> 3;
        if (!Step(camera.SetShootingConditions(kSensShutter, 0, static_cast<std::uint8_t>(code), 0), 20))
            return kErrUsbReleaseConditions;
        AreaMeasurement shot;
        if (!Step(camera.CaptureAndMeasure(kSensCheckArea, &shot), 50)) return kErrUsbRelease;

        const int g = GLevel(shot);
        const Window w = WindowFor(code, m_sensBaseline, m_checkTolerance);
        AppendLog(kStepNames[step] + platform::Format(" GLevel= %5d[LSB] ( MIN:%5d- MAX:%5d ) ADJ=%04d[LSB][%04X]\r\n",
                                                      g, w.min, w.max, value, unsigned{raw}));
        const bool inside = w.CheckAccepts(g);
        Record({.name = std::string(kStepNames[step]) + " check GLevel", .value = double(g), .low = w.min,
                .high = w.max, .unit = "LSB", .passed = inside});
        if (!inside) return kErrSensOutputIso200 + step / 6;  // one number a stop
    }
    return 1;
}
