#include "adjust/sens_ratio_dlg.h"

#include <cmath>

#include "adjust/gain_word.h"
#include "adjust/rounding.h"
#include "camera/shooting.h"
#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "platform/format.h"
#include "res/adjust_templates.h"

namespace {

constexpr int kIntervalMs = 500;

constexpr const char* kConditions =
    "・レンズ　：　工具レンズ　固定絞り：Ｆ８\r\n"
    "・ＮＤフィルター：　無し\r\n"
    "・カラービュアー：　ＬＶ１３\r\n"
    "・カメラ－ビュアー距離：　最至近\r\n"
    "・カラーバーチャート　：　無し";

constexpr std::uint32_t kStoredTable = 1936;
constexpr std::uint32_t kWorkingTable = 2088;

// Level windows of the running means, bounds included.
struct Window {
    int low, high;
    bool Holds(int v) const { return v >= low && v <= high; }
};
constexpr Window kGreenWindow{300, 2500};
constexpr Window kRedWindow{100, 1500};
constexpr Window kBlueWindow{100, 1500};

// |ratio / target - 1| in percent; it passes only below its tolerance.
double Deviation(double ratio, double target) { return std::abs(ratio / target - 1) * 100; }

}  // namespace

CSensRatioDlg::CSensRatioDlg(ui::Host& host)
    : CAdjustDlg(host, res::SensRatioTemplate(), {res::IDT_SENS_RATIO, kIntervalMs}) {}

std::optional<CSensRatioDlg::GainBlock> CSensRatioDlg::BuildGainBlock(BlockMode mode, double grAdj, double gbAdj,
                                                                      const std::array<double, 20>& pgain) {
    GainBlock block{};
    for (std::size_t g = 0; g < 5; ++g) {
        // Trial groups take every coefficient as 1.
        const bool trial = mode == BlockMode::Trial;
        const double* k = &pgain[4 * g];
        const double gains[4] = {grAdj * (trial ? 1.0 : k[0]), trial ? 1.0 : k[1], trial ? 1.0 : k[2],
                                 gbAdj * (trial ? 1.0 : k[3])};
        for (std::size_t w = 0; w < 4; ++w) {
            const std::optional<std::uint16_t> word = GainWord(gains[w]);
            if (!word) return std::nullopt;
            platform::PutBe16(&block[8 * g + 2 * w], *word);
        }
    }
    return block;
}

int CSensRatioDlg::RunSensRatio() {
    ui::WaitCursor wait(GetHost());
    SetLog("感度比調整\r\n");
    // Averages of no capture do not exist: refused before the bench is set up
    // and before anything is written.
    if (m_sampleCount == 0) return kErrSensRatioAdjust;
    ShowConditions(kConditions);
    CUsbCamera& camera = Camera();

    Pause(1000);
    if (!Step(camera.SetShootingConditions(kRatioShutter, 0, kIso200, 0), 20)) return kErrUsbReleaseConditions;
    if (!Step(camera.SetOb(0), 20)) return kErrUsbCommunication;

    if (const int r = RatioLoop(); r != 1) return r;

    // The CCD EEPROM sits on the sensor board.
    if (!Step(camera.SetCcdPower(0), 500)) return kErrUsbCommunication;
    if (const int r = WriteGainBlock(BlockMode::Result); !Step(r, 50)) return r;
    if (!Step(camera.SetCcdPower(1), 500)) return kErrUsbCommunication;
    return 1;
}

int CSensRatioDlg::RatioLoop() {
    CUsbCamera& camera = Camera();
    m_grAdj = m_grInitial;
    m_gbAdj = m_gbInitial;
    const int n = m_sampleCount;

    for (int pass = 1; pass <= kPasses; ++pass) {
        if (const int r = WriteGainBlock(BlockMode::Trial); !Step(r, 50)) return r;

        // The judged levels of this pass, each against its window.
        auto recordLevels = [&](int g, int r, int b) {
            Record({.pass = pass, .name = "GLevel", .value = double(g), .low = kGreenWindow.low,
                    .high = kGreenWindow.high, .unit = "LSB", .passed = kGreenWindow.Holds(g)});
            Record({.pass = pass, .name = "RLevel", .value = double(r), .low = kRedWindow.low,
                    .high = kRedWindow.high, .unit = "LSB", .passed = kRedWindow.Holds(r)});
            Record({.pass = pass, .name = "BLevel", .value = double(b), .low = kBlueWindow.low,
                    .high = kBlueWindow.high, .unit = "LSB", .passed = kBlueWindow.Holds(b)});
        };

        long long sumG = 0, sumR = 0, sumB = 0;
        for (int i = 1; i <= n; ++i) {
            AreaMeasurement m;
            if (!Step(camera.CaptureAndMeasure(kSensCheckArea, &m), 20)) return kErrUsbRelease;
            const int g = RoundToInt((m.Gr() + m.Gb()) / 2.0);
            sumG += g;
            sumR += m.R();
            sumB += m.B();
            AppendLog(platform::Format("  [%d] GREEN : %5d[LSB]  RED : %5d[LSB]  BLUE : %5d[LSB]\r\n", i, g, m.R(),
                                       m.B()));
            // A field out of range shows at once: no further capture is taken.
            const int meanG = static_cast<int>(sumG / i), meanR = static_cast<int>(sumR / i),
                      meanB = static_cast<int>(sumB / i);
            const int failed = !kGreenWindow.Holds(meanG) ? kErrSensRatioGLevel
                               : !kRedWindow.Holds(meanR) ? kErrSensRatioRLevel
                               : !kBlueWindow.Holds(meanB) ? kErrSensRatioBLevel
                                                           : 1;
            if (failed != 1) {
                recordLevels(meanG, meanR, meanB);
                return failed;
            }
        }

        const int g = RoundToInt(double(sumG) / n), r = RoundToInt(double(sumR) / n), b = RoundToInt(double(sumB) / n);
        recordLevels(g, r, b);
        AppendLog(platform::Format("  AVE  GREEN : %5d[LSB]  RED : %5d[LSB]  BLUE : %5d[LSB]\r\n", g, r, b));
        const double gr = double(g) / r, gb = double(g) / b;
        AppendLog(platform::Format("  RATIO : GR比 : %3.5f(TARGET:%3.5f)  GB比 : %3.5f(TARGET:%3.5f)\r\n", gr,
                                   m_grTarget, gb, m_gbTarget));

        const double devGr = Deviation(gr, m_grTarget), devGb = Deviation(gb, m_gbTarget);
        const bool grOk = devGr < m_grTolerance, gbOk = devGb < m_gbTolerance;
        Record({.pass = pass, .name = "GR", .value = devGr, .high = m_grTolerance, .unit = "%", .passed = grOk});
        Record({.pass = pass, .name = "GB", .value = devGb, .high = m_gbTolerance, .unit = "%", .passed = gbOk});
        if (grOk && gbOk) return 1;

        m_grAdj = gr * m_grAdj / m_grTarget;
        m_gbAdj = gb * m_gbAdj / m_gbTarget;
        AppendLog(platform::Format("\r\n ADJ GR= %2.5f  GB= %2.5f \r\n", m_grAdj, m_gbAdj));
    }
    return kErrSensRatioAdjust;
}

int CSensRatioDlg::WriteGainBlock(BlockMode mode) {
    std::optional<GainBlock> block = BuildGainBlock(mode, m_grAdj, m_gbAdj, m_pgain);
    if (!block) return kErrSensRatioAdjust;
    CUsbCamera& camera = Camera();
    const bool result = mode == BlockMode::Result;
    if (!Step(camera.WriteConfigMemoryVerified(result ? ConfigMemory::CcdEeprom : ConfigMemory::RamConfig,
                                               MemoryDirection::Write, result ? kStoredTable : kWorkingTable,
                                               kBlockSize, block->data()),
              50))
        return kErrUsbCommunication;
    if (!Step(camera.MakeFpgainTable(), 50)) return kErrUsbCommunication;
    return 1;
}
