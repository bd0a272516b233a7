// The sensitivity ratio adjustment against simulated units: what the camera
// holds afterwards and what it was sent, against the loop's formulas replayed
// here on the camera's own measurements and against the unit's optics.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "adjust/sens_ratio_dlg.h"
#include "tests/adjust/bench_item_fixture.h"

namespace {

using test_support::Bytes;
using test_support::Means;

struct Inputs {
    int count = 3;
    double grTarget = 1.61022, gbTarget = 1.81295;  // the nominal unit's ratios, as res/STD.DAT
    double grTolerance = 2, gbTolerance = 2;
    double grInitial = 1, gbInitial = 1;
};

// Group coefficients with a different value in every place that matters.
const std::array<double, 20> kPgain = {1.10, 0.97, 1.03, 0.90, 1.05, 0.99, 1.01, 0.95, 1.02, 1.00,
                                       1.00, 0.98, 1.01, 1.00, 1.00, 0.99, 1.00, 1.00, 1.00, 1.00};

// Groups [red x K0, K1, K2, blue x K3]; a trial block takes every K as 1.
Bytes GainBlock(double gr, double gb, const std::array<double, 20>& k) {
    Bytes b;
    for (int i = 0; i < 20; ++i) {
        const int w = static_cast<int>(std::floor(k[i] * (i % 4 == 0 ? gr : i % 4 == 3 ? gb : 1) * 256 + 0.5));
        b.push_back(static_cast<std::uint8_t>(w >> 8));
        b.push_back(static_cast<std::uint8_t>(w));
    }
    return b;
}
Bytes TrialBlock(double gr, double gb) {
    std::array<double, 20> ones;
    ones.fill(1.0);
    return GainBlock(gr, gb, ones);
}

// The ratio loop on the measurements the camera sent: the gains of every
// pass, and whether the last one met both tolerances.
struct Replay {
    std::vector<std::pair<double, double>> gains;  // tried in pass 1, 2, ...
    bool converged = false;
};
Replay ReplayLoop(const std::vector<Means>& m, const Inputs& in) {
    Replay r;
    double gr = in.grInitial, gb = in.gbInitial;
    for (std::size_t p = 0; p < 4 && (p + 1) * in.count <= m.size(); ++p) {
        r.gains.push_back({gr, gb});
        double sg = 0, sr = 0, sb = 0;
        for (int i = 0; i < in.count; ++i) {
            const Means& c = m[p * in.count + static_cast<std::size_t>(i)];
            sg += std::floor((c.gr + c.gb) / 2.0 + 0.5), sr += c.r, sb += c.b;
        }
        const double g = std::floor(sg / in.count + 0.5), red = std::floor(sr / in.count + 0.5),
                     blue = std::floor(sb / in.count + 0.5);
        const double ratioGr = g / red, ratioGb = g / blue;
        if (std::abs(ratioGr / in.grTarget - 1) * 100 < in.grTolerance &&
            std::abs(ratioGb / in.gbTarget - 1) * 100 < in.gbTolerance) {
            r.converged = true;
            break;
        }
        gr = ratioGr * gr / in.grTarget;
        gb = ratioGb * gb / in.gbTarget;
    }
    return r;
}

class SensRatioTest : public test_support::BenchItemTest {
protected:
    int Run(const Inputs& in) {
        CSensRatioDlg dlg(host_);
        dlg.m_pCamera = &cam_;
        dlg.m_pRecord = &record_;
        dlg.m_sampleCount = static_cast<std::uint8_t>(in.count);
        dlg.m_grTarget = in.grTarget;
        dlg.m_gbTarget = in.gbTarget;
        dlg.m_grTolerance = in.grTolerance;
        dlg.m_gbTolerance = in.gbTolerance;
        dlg.m_grInitial = in.grInitial;
        dlg.m_gbInitial = in.gbInitial;
        dlg.m_pgain = kPgain;
        record_.Begin(0x0100, 0);
        record_.BeginItem("ratio", 0);
        dlg.DoModal();
        log_ = dlg.m_log;
        return dlg.m_result;
    }
    // Names of the commands that write, build tables or switch the CCD power.
    static std::vector<std::string> MemoryCommands() {
        std::vector<std::string> out;
        for (const auto& c : sim::Sim().Commands())
            if (c.name.find("DATAWRITE") != std::string::npos || c.name.find("DATAREAD") != std::string::npos ||
                c.name == "DXC_MAKE_FPGAIN_TABLE" || c.name.rfind("DXC_CCD_POWER", 0) == 0)
                out.push_back(c.name);
        return out;
    }

    RunRecord record_;
    std::string log_;
};

TEST_F(SensRatioTest, UnitsWithinTheGainStageConvergeAndTheCameraHoldsBothBlocks) {
    struct Case {
        const char* unit;
        Inputs in;
        int passes;
    };
    Inputs far;  // far beyond the gain stage's 2.0: each pass halves it
    far.grInitial = far.gbInitial = 8.0;
    const Case cases[] = {
        {"nominal", {}, 1},
        {"colour-offset", {}, 2},
        {"crosstalk-high", {}, 2},
        {"nominal", far, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unit) + " from " + std::to_string(c.in.grInitial));
        const sim::UnitProfile unit = Unit(c.unit);
        Start(unit);
        ASSERT_EQ(Run(c.in), 1) << log_;
        EXPECT_EQ(log_.rfind("OK\r\n感度比調整\r\n", 0), 0u);
        EXPECT_EQ(host_.Shown().front().dialogId, 139);  // the routine starts 500 ms after the window
        EXPECT_EQ(host_.MessageBoxes().front().timeMs - host_.Shown().front().timeMs, 500);
        EXPECT_EQ(Prompts(), std::vector<std::string>{
                                 "MESSAGEM|下記に示す条件に設定してください\r\n・レンズ　：　工具レンズ　固定絞り：Ｆ８\r\n"
                                 "・ＮＤフィルター：　無し\r\n・カラービュアー：　ＬＶ１３\r\n"
                                 "・カメラ－ビュアー距離：　最至近\r\n・カラーバーチャート　：　無し"});
        EXPECT_EQ(Camera().Property(11), 42);
        EXPECT_EQ(Camera().Property(5), 72);
        EXPECT_FALSE(Camera().Modes().ob);

        const std::vector<Means> shots = Measurements();
        ASSERT_EQ(shots.size(), static_cast<std::size_t>(c.passes * c.in.count));
        const Replay replay = ReplayLoop(shots, c.in);
        ASSERT_TRUE(replay.converged);
        ASSERT_EQ(replay.gains.size(), static_cast<std::size_t>(c.passes));
        std::vector<Bytes> expectTrials;
        for (auto [gr, gb] : replay.gains) expectTrials.push_back(TrialBlock(gr, gb));
        EXPECT_EQ(Written("DXC_RAMCONFIG_DATAWRITE"), expectTrials);

        // The gains that balance the unit by its optics.
        const auto [gr, gb] = replay.gains.back();
        const test_support::Levels l = test_support::PredictViewer(unit, 42, SIM_CHART_NONE);
        const double green = (l.gr + l.gb) / 2;
        EXPECT_NEAR(gr / (green / l.r / c.in.grTarget), 1.0, c.in.grTolerance / 100);
        EXPECT_NEAR(gb / (green / l.b / c.in.gbTarget), 1.0, c.in.gbTolerance / 100);

        EXPECT_EQ(Mem(sim::Memory::RamConfig, 2088, 40), TrialBlock(gr, gb));
        EXPECT_EQ(Camera().BuiltFpgainTable(), TrialBlock(gr, gb));
        EXPECT_EQ(Mem(sim::Memory::CcdEeprom, 1936, 40), GainBlock(gr, gb, kPgain));

        std::vector<std::string> expect;
        for (int p = 0; p < c.passes; ++p)
            expect.insert(expect.end(), {"DXC_RAMCONFIG_DATAWRITE", "DXC_RAMCONFIG_DATAREAD", "DXC_MAKE_FPGAIN_TABLE"});
        expect.insert(expect.end(), {"DXC_CCD_POWERON", "DXC_CCDEEPROM_DATAWRITE", "DXC_CCDEEPROM_DATAREAD",
                                     "DXC_MAKE_FPGAIN_TABLE", "DXC_CCD_POWEROFF"});
        EXPECT_EQ(MemoryCommands(), expect);

        // Per pass the three levels and the two deviations; the last pass meets both.
        ASSERT_EQ(record_.Measurements().size(), static_cast<std::size_t>(5 * c.passes));
        const RunMeasurement& lastGb = record_.Measurements().back();
        EXPECT_EQ(lastGb.name, "GB");
        EXPECT_EQ(lastGb.pass, c.passes);
        EXPECT_TRUE(lastGb.passed);
        EXPECT_EQ(lastGb.high, c.in.gbTolerance);
        EXPECT_EQ(record_.Measurements()[0].name, "GLevel");
        EXPECT_EQ(record_.Measurements()[0].low, 300);
        EXPECT_EQ(record_.Measurements()[0].high, 2500);
    }
}

TEST_F(SensRatioTest, UnitsOutOfReachOrOutOfTheLevelWindowsFailWithTheirNumber) {
    struct Case {
        const char* unit;
        Inputs in;
        int result;
        int captures;
        const char* failing;  // the record's last judgement
    };
    Inputs tooFar;  // the fifth pass would be the first at a reachable gain
    tooFar.grInitial = tooFar.gbInitial = 16.0;
    Inputs none;
    none.count = 0;
    const Case cases[] = {
        {"colour-imbalance", {}, 44, 12, "GB"},
        {"nominal", tooFar, 44, 12, "GB"},
        {"insensitive", {}, 45, 1, "GLevel"},
        {"red-weak", {}, 46, 1, "RLevel"},
        {"blue-weak", {}, 47, 1, "BLevel"},
        {"nominal", none, 44, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unit) + " -> " + std::to_string(c.result));
        Start(Unit(c.unit));
        const Bytes stored = Mem(sim::Memory::CcdEeprom, 1936, 40);
        const Bytes working = Mem(sim::Memory::RamConfig, 2088, 40);
        EXPECT_EQ(Run(c.in), c.result);
        EXPECT_EQ(log_.rfind("NG\r\n感度比調整\r\n", 0), 0u);
        EXPECT_EQ(Count("DCMD_TAKE_PICTURE"), c.captures);
        EXPECT_EQ(Count("DXC_CCDEEPROM_DATAWRITE"), 0);
        EXPECT_EQ(Mem(sim::Memory::CcdEeprom, 1936, 40), stored);
        if (!c.failing) {
            // Refused before the bench is set up: not a command, not a prompt.
            EXPECT_TRUE(sim::Sim().Commands().empty());
            EXPECT_TRUE(host_.MessageBoxes().empty());
            EXPECT_EQ(Mem(sim::Memory::RamConfig, 2088, 40), working);
            continue;
        }
        const auto& m = record_.Measurements();
        const auto failed = std::find_if(m.begin(), m.end(), [&](auto& x) { return x.name == c.failing && !x.passed; });
        EXPECT_NE(failed, m.end());
        if (c.result == 44) {
            // Four passes; the camera keeps the last gains tried.
            const Replay replay = ReplayLoop(Measurements(), c.in);
            ASSERT_EQ(replay.gains.size(), 4u);
            EXPECT_FALSE(replay.converged);
            EXPECT_EQ(Mem(sim::Memory::RamConfig, 2088, 40),
                      TrialBlock(replay.gains.back().first, replay.gains.back().second));
        }
    }
}

TEST_F(SensRatioTest, DeviationEqualToItsToleranceDoesNotPass) {
    // The unit's first G/R deviation, as the loop computes it, is the tolerance.
    Start(Unit("crosstalk-high"));
    Inputs probe;
    probe.gbTolerance = 100;
    ASSERT_EQ(Run(probe), 1);
    const std::vector<Means> shots = Measurements();
    ASSERT_GE(shots.size(), 3u);
    double sg = 0, sr = 0;
    for (int i = 0; i < 3; ++i) sg += std::floor((shots[i].gr + shots[i].gb) / 2.0 + 0.5), sr += shots[i].r;
    const double dev = std::abs(std::floor(sg / 3 + 0.5) / std::floor(sr / 3 + 0.5) / probe.grTarget - 1) * 100;
    ASSERT_GT(dev, 0.5);

    for (auto [tolerance, passes] : {std::pair{dev, 2}, std::pair{std::nextafter(dev, 100.0), 1}}) {
        SCOPED_TRACE(passes);
        sim::Sim().Reset();  // the same pictures again
        Start(Unit("crosstalk-high"));
        Inputs in = probe;
        in.grTolerance = tolerance;
        EXPECT_EQ(Run(in), 1);
        EXPECT_EQ(Count("DCMD_TAKE_PICTURE"), 3 * passes);
    }
}

TEST_F(SensRatioTest, FailingCommandEndsTheItemWithItsNumberAndNothingAfter) {
    ExpectEachEndsTheItem(
        {
            {"DCMD_SET_PROPERTY", 8}, {"DXC_SET_OB", 3}, {"DXC_RAMCONFIG_DATAREAD", 3}, {"DXC_MAKE_FPGAIN_TABLE", 3},
            {"DXC_CCD_ADJUST_DATA_IN", 7}, {"DXC_CCD_POWERON", 3}, {"DXC_CCDEEPROM_DATAREAD", 3},
            {"DXC_CCD_POWEROFF", 3},
            {"DXC_CCDEEPROM_DATAWRITE", 3, true},
            {"DXC_RAMCONFIG_DATAWRITE", 3, true},
        },
        [this] { return Run({}); });
}

TEST(SensRatioBlock, GainWordsAndGroupCoefficients) {
    using Mode = CSensRatioDlg::BlockMode;
    std::array<double, 20> k{};
    for (int i = 0; i < 20; ++i) k[i] = 1.0 + i / 64.0;
    struct Case {
        Mode mode;
        double gr, gb;
        std::optional<Bytes> group0;  // the first group's words; nullopt: no block
        std::optional<Bytes> group4;
    };
    const Case cases[] = {
        {Mode::Trial, 1.0, 1.5, Bytes{1, 0, 1, 0, 1, 0, 1, 128}, Bytes{1, 0, 1, 0, 1, 0, 1, 128}},
        // Result: red x K0, K1, K2, blue x K3 (K of group 4 = 1 + 16..19 / 64).
        {Mode::Result, 1.0, 1.5, Bytes{1, 0, 1, 4, 1, 8, 1, 146}, Bytes{1, 64, 1, 68, 1, 72, 1, 242}},
        {Mode::Trial, 0.0, 255.99, Bytes{0, 0, 1, 0, 1, 0, 255, 253}, Bytes{0, 0, 1, 0, 1, 0, 255, 253}},
        {Mode::Trial, 256.0, 1.0, std::nullopt, std::nullopt},
        {Mode::Trial, 1.0, -0.01, std::nullopt, std::nullopt},
        {Mode::Result, std::numeric_limits<double>::infinity(), 1.0, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.gr) + " " + std::to_string(c.gb));
        const auto block = CSensRatioDlg::BuildGainBlock(c.mode, c.gr, c.gb, k);
        ASSERT_EQ(block.has_value(), c.group0.has_value());
        if (!block) continue;
        EXPECT_EQ(Bytes(block->begin(), block->begin() + 8), *c.group0);
        EXPECT_EQ(Bytes(block->begin() + 32, block->end()), *c.group4);
    }
}

}  // namespace
