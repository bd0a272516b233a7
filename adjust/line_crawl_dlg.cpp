#include "adjust/line_crawl_dlg.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "adjust/read_back.h"
#include "adjust/rounding.h"
#include "camera/shooting.h"
#include "platform/format.h"
#include "res/adjust_templates.h"
#include "res/prompts.h"

namespace {

constexpr int kIntervalMs = 500;

constexpr const char* kConditions =
    "・レンズ　：　工具レンズ　固定絞り　：　Ｆ８\r\n"
    "・ＮＤフィルター：　無し\r\n"
    "・カラービュアー：　ＬＶ１３\r\n"
    "・カメラ－ビュアー距離：　最至近\r\n"
    "・カラーバーチャート　：　有り";
constexpr const char* kRedFieldPrompt =
    "ファインダーを覗いたときに全面が赤になる位置にチャートを移動してください。";
constexpr const char* kBlueFieldPrompt =
    "ファインダーを覗いたときに全面が青になる位置にチャートを移動してください。";

constexpr std::uint32_t kUnityGainAddress = 1552;
constexpr std::uint32_t kWorkingBlock = 312;
constexpr std::uint32_t kStoredBlock = 160;
constexpr std::uint32_t kBlockSize = 12;
// Bytes 2 and 3 of each of the three groups carry K8; 0 and 1 are the camera's.
constexpr std::size_t kK8Offsets[] = {2, 3, 6, 7, 10, 11};

// The red field's Gr window, bounds included.
constexpr int kGrLow = 700, kGrHigh = 2000;

// The residual green difference of a field: |Gb - Gr| / (Gb + Gr) in percent.
double Residual(const AreaMeasurement& field) {
    return std::abs(double(field.Gb()) - field.Gr()) / (double(field.Gb()) + field.Gr()) * 100;
}

}  // namespace

CLineCrawlDlg::CLineCrawlDlg(ui::Host& host)
    : CAdjustDlg(host, res::LineCrawlTemplate(), {res::IDT_LINE_CRAWL, kIntervalMs}) {}

CLineCrawlDlg::Coefficient CLineCrawlDlg::ComputeCoefficient(const AreaMeasurement& red, const AreaMeasurement& blue) {
    Coefficient c;
    const double dr = 2.0 * (double(red.B()) - red.R());
    const double db = 2.0 * (double(blue.B()) - blue.R());
    if (dr == 0 || db == 0) {
        c.result = kErrLineCrawlParameter;
        return c;
    }
    c.kr = (double(red.Gb()) - red.Gr()) / dr;
    c.kb = (double(blue.Gb()) - blue.Gr()) / db;
    c.k = (c.kb + c.kr) / 2;
    if (c.k < kLowestK) {
        c.result = kErrLineCrawlValue;
        return c;
    }
    const double h = c.k < 0 ? 0.0 : c.k * 4096;
    if (h > kK8Max) {
        c.result = kErrLineCrawlValue;
        return c;
    }
    c.k8 = static_cast<std::uint8_t>(RoundToInt(h));
    return c;
}

int CLineCrawlDlg::MeasureField(const char* prompt, AreaMeasurement* out) {
    MessageBox(prompt, kCaptionMessage, ui::MbButtons::Ok);
    Pause(1000);
    if (!Step(Camera().SetShootingConditions(kLineCrawlShutter, 0, kIso200, 0), 20)) return kErrUsbReleaseConditions;
    if (!Step(Camera().CaptureAndMeasure(m_redArea, out), 50)) return kErrUsbRelease;
    return 1;
}

// The pictures are taken with what the camera holds: read back.
int CLineCrawlDlg::WriteRamConfig(std::uint32_t address, std::uint32_t n, std::uint8_t* data) {
    if (!Step(Camera().TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Write, address, n, data), 20))
        return kErrUsbCommunication;
    return HeldResult(Camera().ConfigMemoryHolds(ConfigMemory::RamConfig, address, n, data), kErrUsbRamConfigWrite);
}

int CLineCrawlDlg::RunLineCrawl() {
    ui::WaitCursor wait(GetHost());
    SetLog("ラインクロール調整\r\n");
    ShowConditions(kConditions);
    CUsbCamera& camera = Camera();

    Pause(1000);
    if (!Step(camera.SetOb(0), 20)) return kErrUsbCommunication;
    std::uint8_t unity[8] = {1, 0, 1, 0, 1, 0, 1, 0};
    if (const int r = WriteRamConfig(kUnityGainAddress, sizeof unity, unity); !Step(r, 50)) return r;
    std::uint8_t k8 = 0;
    std::array<std::uint8_t, kBlockSize> block{};
    // Its timing bytes go back into the camera, and to the CCD EEPROM: two
    // reads must agree, so that a glitch on the wire is not stored.
    if (!Step(camera.WriteConfigMemoryVerified(ConfigMemory::RamConfig, MemoryDirection::Read, kWorkingBlock,
                                               kBlockSize, block.data()),
              50))
        return kErrUsbCommunication;

    // Pass 0 measures without correction and computes it; pass 1 checks it.
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i : kK8Offsets) block[i] = k8;
        if (const int r = WriteRamConfig(kWorkingBlock, kBlockSize, block.data()); !Step(r, 50)) return r;

        AreaMeasurement red, blue;
        if (const int r = MeasureField(kRedFieldPrompt, &red); r != 1) return r;
        AppendLog(platform::Format("  AREA1 Gr: %5d[LSB]  Gb: %5d[LSB]  R: %5d[LSB]  B: %5d[LSB]\r\n", red.Gr(),
                                   red.Gb(), red.R(), red.B()));
        const bool levelOk = red.Gr() >= kGrLow && red.Gr() <= kGrHigh;
        Record({.pass = pass + 1, .name = "AREA1 Gr", .value = double(red.Gr()), .low = kGrLow, .high = kGrHigh,
                .unit = "LSB", .passed = levelOk});
        if (!levelOk) return kErrLineCrawlGLevel;
        if (const int r = MeasureField(kBlueFieldPrompt, &blue); r != 1) return r;
        AppendLog(platform::Format("  AREA2 Gr: %5d[LSB]  Gb: %5d[LSB]  R: %5d[LSB]  B: %5d[LSB]\r\n", blue.Gr(),
                                   blue.Gb(), blue.R(), blue.B()));

        if (pass == 0) {
            const Coefficient c = ComputeCoefficient(red, blue);
            if (c.result == kErrLineCrawlParameter) return c.result;
            AppendLog(platform::Format("  Kr= %2.5f   Kb= %2.5f    K= %2.5f\r\n", c.kr, c.kb, c.k));
            Record({.pass = 1, .name = "K", .value = c.k, .low = kLowestK, .high = kK8Max / 4096.0,
                    .passed = c.result == 1});
            if (c.result != 1) return c.result;
            k8 = c.k8;
        } else {
            const double area1 = Residual(red), area2 = Residual(blue);
            AppendLog(platform::Format("  結果:  AREA1=%2.5f   AREA2= %2.5f ( x <= %2.5f) K=%02X\r\n", area1, area2,
                                       m_redLimit, k8));
            // The red field within both limits, and the blue field within
            // the second as well.
            const double area1Limit = std::min(m_redLimit, m_blueLimit);
            const bool ok1 = area1 <= area1Limit, ok2 = area2 <= m_blueLimit;
            Record({.pass = 2, .name = "AREA1", .value = area1, .high = area1Limit, .unit = "%", .passed = ok1});
            Record({.pass = 2, .name = "AREA2", .value = area2, .high = m_blueLimit, .unit = "%", .passed = ok2});
            if (!ok1 || !ok2) return kErrLineCrawlCheck;
        }

        if (!Step(camera.DcmdCloseSession(), 10)) return kErrUsbCommunication;
        if (camera.ResumeSession() != 1) return kErrUsbCommunication;
    }

    // The CCD EEPROM sits on the sensor board.
    if (!Step(camera.SetCcdPower(0), 200)) return kErrUsbCommunication;
    if (!Step(camera.WriteConfigMemoryVerified(ConfigMemory::CcdEeprom, MemoryDirection::Write, kStoredBlock,
                                               kBlockSize, block.data()),
              50))
        return kErrUsbCommunication;
    if (!Step(camera.SetCcdPower(1), 100)) return kErrUsbCommunication;
    return 1;
}
