// The built-in flash adjustment against the simulated camera: the values it
// finds and its log for the flashes these units give, the flash picture's
// commands and waits, the units and benches it must refuse, and the
// judgement of a pass.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "adjust/inside_sb_dlg.h"
#include "platform/format.h"
#include "tests/adjust/item_fixture.h"

namespace {

using J = CInsideSbDlg::PassJudgement;
using test_support::Bytes;

// The INSIDE_SB standards of the sample STD.DAT.
constexpr int kPreTarget = 780, kMainTarget = 1120;
constexpr double kTolerance = 0.1, kChargeVolts = 33.0;

// The flash-offset unit: its pre-flash gives 640, log2(780 / 640) = 0.285 EV
// short, corrected by 0.285 x 24 = 6.85 to 7; its main flash 1302, 0.217 EV
// over, corrected by -5.21 to -4 (FCh). Each then lands within 0.1 EV.
constexpr const char* kFlashOffsetLog =
    "OK\r\n内蔵ＳＢ調整\r\nプリ発光ＧＮレベル調整\r\n"
    "  [1] GREEN :   644[LSB]  RED :   419[LSB]  BLUE :   338[LSB]\r\n"
    "  [2] GREEN :   638[LSB]  RED :   416[LSB]  BLUE :   335[LSB]\r\n"
    "  [3] GREEN :   638[LSB]  RED :   416[LSB]  BLUE :   335[LSB]\r\n"
    "差分 = 0.285[EV] TARGET=780[LSB]  GLEVEL=640[LSB]\r\n(MAX-MIN = 0.014[EV]\r\n調整値= 07[HEX}\r\n\r\n"
    "  [1] GREEN :   781[LSB]  RED :   509[LSB]  BLUE :   410[LSB]\r\n"
    "  [2] GREEN :   779[LSB]  RED :   507[LSB]  BLUE :   409[LSB]\r\n"
    "  [3] GREEN :   775[LSB]  RED :   505[LSB]  BLUE :   407[LSB]\r\n"
    "差分 = 0.003[EV] TARGET=780[LSB]  GLEVEL=778[LSB]\r\n(MAX-MIN = 0.011[EV]\r\n"
    "\r\n本発光ＧＮレベル調整\r\n"
    "  [1] GREEN :  1290[LSB]  RED :   841[LSB]  BLUE :   676[LSB]\r\n"
    "  [2] GREEN :  1291[LSB]  RED :   841[LSB]  BLUE :   677[LSB]\r\n"
    "  [3] GREEN :  1325[LSB]  RED :   863[LSB]  BLUE :   694[LSB]\r\n"
    "差分 = -0.217[EV] TARGET=1120[LSB]  GLEVEL=1302[LSB]\r\n(MAX-MIN = 0.039[EV]\r\n調整値= FC[HEX}\r\n\r\n"
    "  [1] GREEN :  1158[LSB]  RED :   755[LSB]  BLUE :   607[LSB]\r\n"
    "  [2] GREEN :  1159[LSB]  RED :   756[LSB]  BLUE :   608[LSB]\r\n"
    "  [3] GREEN :  1159[LSB]  RED :   756[LSB]  BLUE :   608[LSB]\r\n"
    "差分 = -0.049[EV] TARGET=1120[LSB]  GLEVEL=1158[LSB]\r\n(MAX-MIN = 0.001[EV]\r\n"
    "プリ調整値：07  本調整値：FC\r\n";

class InsideSbTest : public test_support::ItemTest {
protected:
    // The window with the sample standards.
    int RunItem(CInsideSbDlg& dlg) {
        dlg.m_preTarget = kPreTarget;
        dlg.m_mainTarget = kMainTarget;
        dlg.m_preTolerance = dlg.m_mainTolerance = kTolerance;
        dlg.m_chargeVolts = kChargeVolts;
        return Run(dlg, "flash");
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
        std::vector<int> pre, main;  // the value of each pass, the last one kept
        const char* lastLine;
        const char* log = nullptr;
    };
    const Case cases[] = {
        {"nominal", {0}, {0}, "プリ調整値：00  本調整値：00\r\n"},
        {"flash-offset", {0, 7}, {0, -4}, "プリ調整値：07  本調整値：FC\r\n", kFlashOffsetLog},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile);
        Start(c.profile);
        // Stale values where the item writes, and a setting of its own to keep.
        auto& eeprom = Camera().Mem(sim::Memory::McuEeprom);
        eeprom[243] = eeprom[244] = 0x55;
        Camera().Mem(sim::Memory::McuDram)[1267] = Camera().Mem(sim::Memory::McuDram)[1268] = 0x55;
        Camera().SetStoredProperty(139, 5);

        CInsideSbDlg dlg(host_);
        ASSERT_EQ(RunItem(dlg), 1) << log_;
        EXPECT_EQ(log_.rfind("OK\r\n内蔵ＳＢ調整\r\n", 0), 0u);
        EXPECT_TRUE(log_.ends_with(c.lastLine)) << log_;
        if (c.log) {
            EXPECT_EQ(log_, c.log);
        }
        EXPECT_EQ(dlg.m_preResult, c.pre.back());
        EXPECT_EQ(dlg.m_mainResult, c.main.back());
        // DRAM 1267 and 1268, the working copies of EEPROM 243 and 244.
        for (auto [dram, value] : {std::pair{1267u, c.pre.back()}, std::pair{1268u, c.main.back()}}) {
            EXPECT_EQ(Camera().Mem(sim::Memory::McuDram)[dram], static_cast<std::uint8_t>(value));
            EXPECT_EQ(eeprom[dram - 1024], static_cast<std::uint8_t>(value));
        }
        EXPECT_EQ(platform::GetBe16(&eeprom[sim::kMcuChecksumEnd]), sim::McuChecksum(eeprom));
        EXPECT_EQ(Camera().Property(139), 5);
        EXPECT_FALSE(Camera().Modes().inspection);

        // Each pass fires its three pictures with the pass's value.
        std::vector<std::pair<int, int>> fired;
        for (int v : c.pre) fired.insert(fired.end(), 3, {1267, v});
        for (int v : c.main) fired.insert(fired.end(), 3, {1268, v});
        EXPECT_EQ(Trials(), fired);

        // The record: each pass's spread, and its deviation where the spread allowed one.
        int judged[2] = {};
        for (const RunMeasurement& m : record_.Measurements()) {
            const bool pre = m.name.starts_with("PRE");
            const std::size_t passes = (pre ? c.pre : c.main).size();
            EXPECT_EQ(m.unit, "EV");
            if (m.name.ends_with("DIFF")) {
                ++judged[pre ? 0 : 1];
                EXPECT_EQ(m.low, -kTolerance);
                EXPECT_EQ(m.high, kTolerance);
                EXPECT_EQ(m.passed, std::fabs(m.value) < kTolerance);
                EXPECT_EQ(m.passed, m.pass == static_cast<int>(passes)) << m.name << " " << m.pass;
            } else {
                EXPECT_TRUE(m.name.ends_with("MAX-MIN")) << m.name;
                EXPECT_EQ(m.high, 0.3);
            }
        }
        EXPECT_EQ(judged[0], static_cast<int>(c.pre.size()));
        EXPECT_EQ(judged[1], static_cast<int>(c.main.size()));
    }
}

TEST_F(InsideSbTest, FlashPictureSendsItsCommandsWithTheirWaits) {
    Start("nominal");
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
        Start(c.unit);
        host_.SetResponder(c.responder);
        if (c.fault && c.faultAtMs > 0)
            host_.VClock().After(c.faultAtMs, [&] { c.fault(Camera()); });
        else if (c.fault)
            c.fault(Camera());
        Camera().SetStoredProperty(139, 5);
        const Bytes eepromBefore = Camera().Mem(sim::Memory::McuEeprom);

        CInsideSbDlg dlg(host_);
        EXPECT_EQ(RunItem(dlg), c.result) << log_;
        EXPECT_EQ(log_.rfind("NG\r\n内蔵ＳＢ調整\r\n", 0), 0u) << log_;
        EXPECT_EQ(Count("DXC_CCD_ADJUST_DATA_IN"), c.pictures);
        // Nothing corrected the pre-flash value on the way.
        for (const auto& [address, value] : Trials())
            if (address == 1267) {
                EXPECT_EQ(value, 0);
            }
        // The checksum routine runs only after a good write; the setting is
        // given back only on success.
        for (const Bytes& cmd : McuCommands()) EXPECT_NE(cmd, (Bytes{'G', 'q'}));
        EXPECT_EQ(Camera().Property(139), c.result == 3 || c.result >= 56 ? 5 : 1);
        if (c.result != 12) {
            EXPECT_EQ(Camera().Mem(sim::Memory::McuEeprom), eepromBefore);
        }
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
