// The built-in flash adjustment against the simulated camera: the values it
// finds against the flash model of sim/README.md, its log rebuilt from the
// camera's own measurements, the flash picture's commands and waits, the
// units and benches it must refuse, and the judgement of a pass.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "adjust/inside_sb_dlg.h"
#include "platform/big_endian.h"
#include "platform/format.h"
#include "tests/adjust/item_fixture.h"
#include "tests/support/bench_operator.h"

namespace {

using J = CInsideSbDlg::PassJudgement;
using Bytes = std::vector<std::uint8_t>;

// The INSIDE_SB standards of the sample STD.DAT.
constexpr int kPreTarget = 780, kMainTarget = 1120;
constexpr double kTolerance = 0.1, kChargeVolts = 33.0;

struct FlashMode {
    bool pre;
    int target, passes, dram, eeprom;
};
constexpr FlashMode kModes[2] = {{true, kPreTarget, 5, 1267, 243}, {false, kMainTarget, 7, 1268, 244}};

// The green of a flash picture on the bench of the item's prompt, from the
// unit's profile and the model of sim/README.md, scatter aside.
double ModelGreen(const sim::UnitProfile& u, bool pre, int adj) {
    const double av = pre ? 3 : 5;  // b = 18 (F2.8), b = 30 (F5.6)
    const double f = std::pow(std::sqrt(2.0), av);
    const double gn = pre ? u.preGuideNumber : u.mainGuideNumber;
    const double e = std::pow(gn * std::sqrt(2.0) / (1.414 * f), 2) * std::pow(2.0, adj / 24.0);
    const double w = std::pow(std::clamp((5 - av) / 4, 0.0, 1.0), 2);
    const double sR = u.greenResponse * u.redResponse * (1 + (u.wideOpenRed - 1) * w) * e * 1.05;
    const double sB = u.greenResponse * u.blueResponse * (1 + (u.wideOpenBlue - 1) * w) * e * 0.95;
    const double sG = u.greenResponse * e;
    const double g = std::pow(10.0, 0.033 * u.factoryIso200 / 20);
    return ((sG + u.crosstalk * sR) + (sG + u.crosstalk * sB)) / 2 * g + u.clampResidual;
}

// The value the adjustment must end with: from 0, the corrections of 1/24 EV
// a step until the model's flash is within tolerance.
int PredictedValue(const sim::UnitProfile& u, const FlashMode& mode, int* corrections) {
    int adj = 0;
    *corrections = 0;
    for (double diff; std::fabs(diff = std::log2(mode.target / ModelGreen(u, mode.pre, adj))) >= kTolerance;) {
        adj = static_cast<int>(std::trunc(adj + diff * 24 + 0.5));
        ++*corrections;
    }
    return adj;
}

// What the camera measured for each flash picture: (Gr, R, Gb, B).
std::vector<std::array<int, 4>> FlashMeasurements(const std::vector<test_support::TimedCommand>& reads) {
    std::vector<std::array<int, 4>> out;
    for (const auto& c : reads) {
        std::array<int, 4> m{};
        for (int i = 0; i < 4; ++i) m[static_cast<std::size_t>(i)] = platform::GetBe16(&c.dataIn[2 * i]) / 10;
        out.push_back(m);
    }
    return out;
}

// The item's log and the values it fires with, rebuilt from the camera's
// measurements by the adjustment's rules; both modes end within tolerance.
struct Replay {
    std::string log;
    std::vector<int> trials;  // per picture
    int passes[2] = {};
    int result[2] = {};
};
Replay ReplayAdjustment(const std::vector<std::array<int, 4>>& pictures) {
    Replay r;
    r.log = "OK\r\n内蔵ＳＢ調整\r\n";
    std::size_t k = 0;
    for (int mi = 0; mi < 2; ++mi) {
        const FlashMode& mode = kModes[mi];
        r.log += mode.pre ? "プリ発光ＧＮレベル調整\r\n" : "\r\n本発光ＧＮレベル調整\r\n";
        int adj = 0;
        for (int pass = 1; pass <= mode.passes && k + 3 <= pictures.size(); ++pass) {
            ++r.passes[mi];
            int sum = 0, lo = 6000, hi = 0;
            for (int n = 1; n <= 3; ++n) {
                const auto& m = pictures[k++];
                const int green = (m[0] + m[2]) / 2;
                r.trials.push_back(adj);
                sum += green;
                lo = std::min(lo, green);
                hi = std::max(hi, green);
                r.log += platform::Format("  [%d] GREEN : %5d[LSB]  RED : %5d[LSB]  BLUE : %5d[LSB]\r\n", n, green,
                                          m[1], m[3]);
            }
            const double avg = sum / 3.0, diff = std::log2(mode.target / avg), spread = std::log2(double(hi) / lo);
            r.log += platform::Format("差分 = %2.3f[EV] TARGET=%d[LSB]  GLEVEL=%d[LSB]\r\n", diff, mode.target,
                                      static_cast<int>(std::floor(avg)));
            r.log += platform::Format("(MAX-MIN = %2.3f[EV]\r\n", spread);
            if (spread > 0.3) continue;
            if (std::fabs(diff) < kTolerance) break;
            adj = static_cast<int>(std::trunc(adj + diff * 24 + 0.5));
            r.log += platform::Format("調整値= %02X[HEX}\r\n\r\n", adj & 0xFF);
        }
        r.result[mi] = adj;
    }
    r.log += platform::Format("プリ調整値：%02X  本調整値：%02X\r\n", r.result[0] & 0xFF, r.result[1] & 0xFF);
    return r;
}

class InsideSbTest : public test_support::ItemTest {
protected:
    // The window with the sample standards.
    int RunItem(CInsideSbDlg& dlg) {
        dlg.m_pCamera = &cam_;
        dlg.m_pRecord = &record_;
        dlg.m_preTarget = kPreTarget;
        dlg.m_mainTarget = kMainTarget;
        dlg.m_preTolerance = dlg.m_mainTolerance = kTolerance;
        dlg.m_chargeVolts = kChargeVolts;
        dlg.DoModal();
        return dlg.m_result;
    }
    // The values the flash pictures were fired with: DRAM address and value.
    std::vector<std::pair<int, int>> Trials() const {
        std::vector<std::pair<int, int>> out;
        for (const Bytes& c : McuCommands())
            if (c.size() == 6 && c[0] == 'A' && c[1] == 'S' && c[4] == 1)
                out.push_back({platform::GetBe16(&c[2]), static_cast<std::int8_t>(c[5])});
        return out;
    }
};

TEST_F(InsideSbTest, UnitsEndOnTargetWithTheValuesStoredAndTheChecksumSound) {
    struct Case {
        const char* profile;
        int corrections[2];  // at least this many correction steps per mode
    };
    for (const Case& c : {Case{"nominal", {0, 0}}, Case{"flash-offset", {1, 1}}}) {
        SCOPED_TRACE(c.profile);
        StartUnit(c.profile);
        test_support::BenchOperator hands(host_);
        // Stale values where the item writes, and a setting of its own to keep.
        auto& eeprom = Cam().Mem(sim::Memory::McuEeprom);
        eeprom[243] = eeprom[244] = 0x55;
        Cam().Mem(sim::Memory::McuDram)[1267] = Cam().Mem(sim::Memory::McuDram)[1268] = 0x55;
        Cam().SetStoredProperty(139, 5);

        CInsideSbDlg dlg(host_);
        ASSERT_EQ(RunItem(dlg), 1) << dlg.m_log;

        const sim::UnitProfile& unit = Cam().Unit();
        for (int mi = 0; mi < 2; ++mi) {
            const FlashMode& mode = kModes[mi];
            int corrections = 0;
            const int expected = PredictedValue(unit, mode, &corrections);
            EXPECT_GE(corrections, c.corrections[mi]);
            EXPECT_EQ(mi == 0 ? dlg.m_preResult : dlg.m_mainResult, expected);
            EXPECT_LT(std::fabs(std::log2(mode.target / ModelGreen(unit, mode.pre, expected))), kTolerance);
            EXPECT_EQ(Cam().Mem(sim::Memory::McuDram)[static_cast<std::size_t>(mode.dram)],
                      static_cast<std::uint8_t>(expected));
            EXPECT_EQ(eeprom[static_cast<std::size_t>(mode.eeprom)], static_cast<std::uint8_t>(expected));
        }
        EXPECT_EQ(platform::GetBe16(&eeprom[sim::kMcuChecksumEnd]), sim::McuChecksum(eeprom));
        EXPECT_EQ(Cam().Property(139), 5);
        EXPECT_FALSE(Cam().Modes().inspection);

        // The log, byte for byte, and the values fired, from what the camera measured.
        const Replay replay = ReplayAdjustment(FlashMeasurements(Sent("DXC_CCD_ADJUST_DATA_IN")));
        EXPECT_EQ(dlg.m_log, replay.log);
        std::vector<std::pair<int, int>> trials;
        for (std::size_t i = 0; i < replay.trials.size(); ++i)
            trials.push_back({i < 3u * replay.passes[0] ? 1267 : 1268, replay.trials[i]});
        EXPECT_EQ(Trials(), trials);
        std::printf("[%s] pre %d passes, value %d; main %d passes, value %d\n", c.profile, replay.passes[0],
                    dlg.m_preResult, replay.passes[1], dlg.m_mainResult);

        // The record: each pass's spread, and its deviation where the spread allowed one.
        int judged[2] = {};
        for (const RunMeasurement& m : record_.Measurements()) {
            const bool pre = m.name.starts_with("PRE");
            EXPECT_EQ(m.unit, "EV");
            if (m.name.ends_with("DIFF")) {
                ++judged[pre ? 0 : 1];
                EXPECT_EQ(m.low, -kTolerance);
                EXPECT_EQ(m.high, kTolerance);
                EXPECT_EQ(m.passed, std::fabs(m.value) < kTolerance);
                EXPECT_EQ(m.passed, m.pass == replay.passes[pre ? 0 : 1]) << m.name << " " << m.pass;
            } else {
                EXPECT_TRUE(m.name.ends_with("MAX-MIN")) << m.name;
                EXPECT_EQ(m.high, 0.3);
            }
        }
        EXPECT_EQ(judged[0], replay.passes[0]);
        EXPECT_EQ(judged[1], replay.passes[1]);
    }
}

TEST_F(InsideSbTest, FlashPictureSendsItsCommandsWithTheirWaits) {
    StartUnit("nominal");
    test_support::BenchOperator hands(host_);
    CInsideSbDlg dlg(host_);
    ASSERT_EQ(RunItem(dlg), 1);

    // Each mode's first flash picture from its "SS", up to the next "SS".
    auto picture = [&](std::size_t firstSs) {
        std::vector<std::pair<std::string, std::int64_t>> out;
        const std::int64_t t0 = sent_[firstSs].ms;
        for (std::size_t i = firstSs; i < sent_.size(); ++i) {
            const auto& c = sent_[i];
            if (c.name == "DXC_CAMMCU_TESTCMD_RESP") continue;
            std::string label = c.name;
            if (c.name == "DXC_CAMMCU_TESTCMD_SEND") {
                label = std::string(c.dataOut.begin(), c.dataOut.begin() + 2);
                for (std::size_t b = 2; b < c.dataOut.size(); ++b) label += platform::Format(" %02X", c.dataOut[b]);
            }
            if (i > firstSs && label == "SS") {
                out.push_back({"next SS", c.ms - t0});
                break;
            }
            out.push_back({label, c.ms - t0});
        }
        return out;
    };
    std::vector<std::size_t> ss;
    for (std::size_t i = 0; i < sent_.size(); ++i)
        if (sent_[i].name == "DXC_CAMMCU_TESTCMD_SEND" && sent_[i].dataOut == Bytes{'S', 'S'}) ss.push_back(i);
    const std::size_t firstMain = 3 * 1;  // the nominal unit's pre-flash passes at once
    ASSERT_GT(ss.size(), firstMain + 1);

    using Steps = std::vector<std::pair<std::string, std::int64_t>>;
    // The value written is read back before the flash fires with it.
    EXPECT_EQ(picture(ss[0]), (Steps{{"SS", 0},
                                     {"AS 04 F3 01 00", 50},
                                     {"AR 00 04 F3 01", 80},
                                     {"Gy 07 08", 90},
                                     {"Gw 01 4A", 390},
                                     {"G{ 24 00 00", 440},
                                     {"QQ", 450},
                                     {"DCMD_DEVICE_READY", 470},  // busy while the picture is read out
                                     {"DCMD_DEVICE_READY", 570},
                                     {"DCMD_DEVICE_READY", 670},
                                     {"DCMD_DEVICE_READY", 770},
                                     {"DCMD_GET_PROPERTY", 770},
                                     {"DCMD_GET_IMAGE_FILE_INFO", 780},
                                     {"DXC_CCD_ADJUST_DATA_IN", 790},
                                     {"DCMD_CLOSE_SESSION", 800},
                                     {"DCMD_OPEN_SESSION", 850},
                                     {"DCMD_CHANGE_MODE", 870},
                                     {"next SS", 870}}));
    EXPECT_EQ(picture(ss[firstMain]), (Steps{{"SS", 0},
                                             {"AS 04 F4 01 00", 50},
                                             {"AR 00 04 F4 01", 80},
                                             {"Gy 07 08", 90},
                                             {"Gw 01 4A", 390},
                                             {"G} 3C 00 00", 440},
                                             {"QQ", 540},
                                             {"DCMD_DEVICE_READY", 590},
                                             {"DCMD_DEVICE_READY", 690},
                                             {"DCMD_DEVICE_READY", 790},
                                             {"DCMD_DEVICE_READY", 890},
                                             {"DCMD_GET_PROPERTY", 910},
                                             {"DCMD_GET_IMAGE_FILE_INFO", 920},
                                             {"DXC_CCD_ADJUST_DATA_IN", 930},
                                             {"DCMD_CLOSE_SESSION", 940},
                                             {"DCMD_OPEN_SESSION", 990},
                                             {"DCMD_CHANGE_MODE", 1010},
                                             {"next SS", 1110}}));
}

TEST_F(InsideSbTest, DeviatingUnitsAndBenchesEndWithTheirNumbers) {
    auto unitWith = [](std::function<void(sim::UnitProfile&)> tweak) {
        sim::UnitProfile u = *sim::FindProfile("nominal");
        tweak(u);
        return u;
    };
    auto onBench = [](std::function<void(SimBench&)> change) {
        // The operator set the bench from the prompt; then this went wrong.
        return [change](const ui::scripted::MessageBoxRecord& box) {
            if (box.caption == "MESSAGEM") {
                SimBench b = sim::Sim().Bench();
                change(b);
                sim::Sim().SetBench(b);
            }
            return ui::IDOK;
        };
    };
    struct Case {
        const char* what;
        sim::UnitProfile unit;
        std::function<int(const ui::scripted::MessageBoxRecord&)> responder;
        std::function<void(sim::Camera&)> fault;
        int result;
        int pictures;         // flash pictures measured
        int faultAtMs = 0;    // when the fault strikes, from the window's opening
    };
    const sim::UnitProfile nominal = *sim::FindProfile("nominal");
    const std::vector<Case> cases = {
        {"flash not popped up", nominal, onBench([](SimBench& b) { b.flashPoppedUp = 0; }), {}, 56, 0},
        {"no lens", nominal, onBench([](SimBench& b) { b.lens = SIM_LENS_NONE; }), {}, 57, 0},
        {"weak flash: pre value beyond +30", *sim::FindProfile("weak-flash"), {}, {}, 52, 3},
        {"weak main flash: value beyond +10", unitWith([](sim::UnitProfile& u) { u.mainGuideNumber *= 0.55; }), {},
         {}, 53, 6},
        {"flashes that disagree use up every pass", unitWith([](sim::UnitProfile& u) { u.flashScatter = 1.0; }), {},
         {}, 54, 15},
        {"EEPROM read back differs", nominal, {}, [](sim::Camera& c) { c.Faults().mcuReadCorrupted = {2, "AU", 243}; },
         12, 6},
        {"camera never ready after a flash", nominal, {}, [](sim::Camera& c) { c.Faults().neverReady = true; }, 7, 0},
        {"property reply malformed", nominal, {}, [](sim::Camera& c) { c.Faults().propertyReply = {1, 5, {}}; }, 3, 0},
        // Once property 139 is set (500 + 1000 + 20 + 20 + 100 + 100 + 100 ms),
        // the read-back of the first shooting condition is malformed.
        {"shooting conditions not taken", nominal, {},
         [](sim::Camera& c) { c.Faults().propertyReply = {1, {}, 0}; }, 8, 0, 1845},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartUnit(c.unit);
        test_support::BenchOperator hands(host_);
        host_.SetResponder(c.responder);
        if (c.fault && c.faultAtMs > 0)
            host_.VClock().After(c.faultAtMs, [&] { c.fault(Cam()); });
        else if (c.fault)
            c.fault(Cam());
        Cam().SetStoredProperty(139, 5);
        const Bytes eepromBefore = Cam().Mem(sim::Memory::McuEeprom);

        CInsideSbDlg dlg(host_);
        EXPECT_EQ(RunItem(dlg), c.result) << dlg.m_log;
        EXPECT_EQ(dlg.m_log.rfind("NG\r\n内蔵ＳＢ調整\r\n", 0), 0u) << dlg.m_log;
        EXPECT_EQ(static_cast<int>(Sent("DXC_CCD_ADJUST_DATA_IN").size()), c.pictures);
        // Nothing corrected the pre-flash value on the way.
        for (const auto& [address, value] : Trials())
            if (address == 1267) {
                EXPECT_EQ(value, 0);
            }
        // The checksum routine runs only after a good write; the setting is
        // given back only on success.
        for (const Bytes& cmd : McuCommands()) EXPECT_NE(cmd, (Bytes{'G', 'q'}));
        EXPECT_EQ(Cam().Property(139), c.result == 3 || c.result >= 56 ? 5 : 1);
        if (c.result != 12) {
            EXPECT_EQ(Cam().Mem(sim::Memory::McuEeprom), eepromBefore);
        }
        host_.SetResponder({});
        cam_.DisconnectCamera();
    }
}

TEST(InsideSbJudgement, PassOutcomesAndTheCorrectedValue) {
    struct Case {
        const char* what;
        int adj;
        std::array<int, 3> greens;
        int target, low, high;
        J::Outcome outcome;
        int next;
    };
    const std::vector<Case> cases = {
        {"on target, but the flashes spread 0.32 EV", 5, {700, 780, 875}, 780, -30, 30, J::kSpread, 5},
        {"no light at all", 5, {0, 0, 0}, 780, -30, 30, J::kSpread, 5},
        {"within tolerance: the value fired stays", -7, {776, 784, 779}, 780, -30, 30, J::kOnTarget, -7},
        {"1 EV weak from 6 reaches +30", 6, {390, 390, 390}, 780, -30, 30, J::kCorrected, 30},
        {"1 EV weak from 7 is beyond +30", 7, {390, 390, 390}, 780, -30, 30, J::kOutOfRange, 7},
        // A bound is inside; on the negative side it rounds toward zero.
        {"1 EV strong from -6: v = -30 is taken (-29)", -6, {780, 780, 780}, 390, -30, 30, J::kCorrected, -29},
        {"1 EV strong from -7 is beyond -30", -7, {780, 780, 780}, 390, -30, 30, J::kOutOfRange, -7},
        {"main: 1 EV weak from -14 reaches +10", -14, {560, 560, 560}, 1120, -50, 10, J::kCorrected, 10},
        {"main: 1 EV weak from -13 is beyond +10", -13, {560, 560, 560}, 1120, -50, 10, J::kOutOfRange, -13},
        {"main: 1 EV strong from -26: v = -50 is taken (-49)", -26, {1120, 1120, 1120}, 560, -50, 10, J::kCorrected,
         -49},
        // 780 / 843.33 is -0.1126 EV: v = -2.70 rounds toward zero to -2.
        {"v = -2.7 gives -2", 0, {843, 843, 844}, 780, -30, 30, J::kCorrected, -2},
        // 780 / 717.33 is +0.1208 EV: v = 2.90 gives 3.
        {"v = +2.9 gives 3", 0, {717, 717, 718}, 780, -30, 30, J::kCorrected, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const J j = CInsideSbDlg::JudgePass(static_cast<std::int8_t>(c.adj), c.greens, c.target, kTolerance, c.low,
                                            c.high);
        EXPECT_EQ(j.outcome, c.outcome);
        EXPECT_EQ(j.adj, c.next);
        EXPECT_DOUBLE_EQ(j.average, (c.greens[0] + c.greens[1] + c.greens[2]) / 3.0);
    }
}

}  // namespace
