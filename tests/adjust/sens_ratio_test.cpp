// The sensitivity ratio adjustment against simulated units: what the camera
// holds afterwards and what it was sent, against the gains each pass's log
// line shows for the levels these units give.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "adjust/sens_ratio_dlg.h"
#include "tests/adjust/item_fixture.h"

namespace {

using test_support::Bytes;
using test_support::Words;

struct Inputs {
    int count = 3;
    double grTarget = 1.61022, gbTarget = 1.81295;  // the nominal unit's ratios, as res/STD.DAT
    double grTolerance = 2, gbTolerance = 2;
    double grInitial = 1, gbInitial = 1;
};

// Group coefficients with a different value in every place that matters.
const std::array<double, 20> kPgain = {1.10, 0.97, 1.03, 0.90, 1.05, 0.99, 1.01, 0.95, 1.02, 1.00,
                                       1.00, 0.98, 1.01, 1.00, 1.00, 0.99, 1.00, 1.00, 1.00, 1.00};

// A trial block: every group [red, 1.0, 1.0, blue], as 8.8 words.
Bytes TrialBlock(int red, int blue) {
    Bytes b;
    for (int g = 0; g < 5; ++g) {
        const Bytes group = Words({red, 0x100, 0x100, blue});
        b.insert(b.end(), group.begin(), group.end());
    }
    return b;
}

// The colour-offset unit: red reads 376 and blue 195 against green 504 at
// first, so the gains become 1.34043 / 1.61022 and 2.58462 / 1.81295.
constexpr const char* kColourOffsetLog =
    "OK\r\n感度比調整\r\n"
    "  [1] GREEN :   504[LSB]  RED :   376[LSB]  BLUE :   195[LSB]\r\n"
    "  [2] GREEN :   504[LSB]  RED :   376[LSB]  BLUE :   195[LSB]\r\n"
    "  [3] GREEN :   504[LSB]  RED :   375[LSB]  BLUE :   195[LSB]\r\n"
    "  AVE  GREEN :   504[LSB]  RED :   376[LSB]  BLUE :   195[LSB]\r\n"
    "  RATIO : GR比 : 1.34043(TARGET:1.61022)  GB比 : 2.58462(TARGET:1.81295)\r\n"
    "\r\n ADJ GR= 0.83245  GB= 1.42564 \r\n"
    "  [1] GREEN :   504[LSB]  RED :   312[LSB]  BLUE :   278[LSB]\r\n"
    "  [2] GREEN :   504[LSB]  RED :   312[LSB]  BLUE :   278[LSB]\r\n"
    "  [3] GREEN :   504[LSB]  RED :   312[LSB]  BLUE :   278[LSB]\r\n"
    "  AVE  GREEN :   504[LSB]  RED :   312[LSB]  BLUE :   278[LSB]\r\n"
    "  RATIO : GR比 : 1.61538(TARGET:1.61022)  GB比 : 1.81295(TARGET:1.81295)\r\n";

class SensRatioTest : public test_support::ItemTest {
protected:
    int Run(const Inputs& in) {
        CSensRatioDlg dlg(host_);
        dlg.m_sampleCount = static_cast<std::uint8_t>(in.count);
        dlg.m_grTarget = in.grTarget;
        dlg.m_gbTarget = in.gbTarget;
        dlg.m_grTolerance = in.grTolerance;
        dlg.m_gbTolerance = in.gbTolerance;
        dlg.m_grInitial = in.grInitial;
        dlg.m_gbInitial = in.gbInitial;
        dlg.m_pgain = kPgain;
        return ItemTest::Run(dlg, "ratio");
    }
    // Names of the commands that write, build tables or switch the CCD power.
    std::vector<std::string> MemoryCommands() const {
        std::vector<std::string> out;
        for (const auto& c : sent_)
            if (c.name.find("DATAWRITE") != std::string::npos || c.name.find("DATAREAD") != std::string::npos ||
                c.name == "DXC_MAKE_FPGAIN_TABLE" || c.name.rfind("DXC_CCD_POWER", 0) == 0)
                out.push_back(c.name);
        return out;
    }
};

TEST_F(SensRatioTest, UnitsWithinTheGainStageConvergeAndTheCameraHoldsBothBlocks) {
    struct Case {
        const char* unit;
        Inputs in;
        std::vector<std::pair<int, int>> trials;  // the red and blue words of each pass
        Bytes result;                             // the stored block: the last gains x K
        const char* log = nullptr;
    };
    Inputs far;  // far beyond the gain stage's 2.0: each pass halves it
    far.grInitial = far.gbInitial = 8.0;
    const Case cases[] = {
        {"nominal", {}, {{0x100, 0x100}},  // every K x 256
         Words({0x11A, 0xF8, 0x108, 0xE6, 0x10D, 0xFD, 0x103, 0xF3, 0x105, 0x100,
                0x100, 0xFB, 0x103, 0x100, 0x100, 0xFD, 0x100, 0x100, 0x100, 0x100})},
        {"colour-offset", {}, {{0x100, 0x100}, {0xD5, 0x16D}},  // 0.83245 and 1.42564 x 256
         Words({0xEA, 0xF8, 0x108, 0x148, 0xE0, 0xFD, 0x103, 0x15B, 0xD9, 0x100,
                0x100, 0x166, 0xD7, 0x100, 0x100, 0x169, 0xD5, 0x100, 0x100, 0x16D}),
         kColourOffsetLog},
        {"crosstalk-high", {}, {{0x100, 0x100}, {0x106, 0x106}},  // 1.02183 both
         Words({0x120, 0xF8, 0x108, 0xEB, 0x113, 0xFD, 0x103, 0xF9, 0x10B, 0x100,
                0x100, 0x100, 0x108, 0x100, 0x100, 0x103, 0x106, 0x100, 0x100, 0x106})},
        {"nominal", far, {{0x800, 0x800}, {0x3FE, 0x3FE}, {0x1FE, 0x1FE}, {0x100, 0x100}},  // 0.99841, 0.99821
         Words({0x119, 0xF8, 0x108, 0xE6, 0x10C, 0xFD, 0x103, 0xF3, 0x105, 0x100,
                0x100, 0xFA, 0x102, 0x100, 0x100, 0xFD, 0x100, 0x100, 0x100, 0x100})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unit) + " from " + std::to_string(c.in.grInitial));
        Start(c.unit);
        ASSERT_EQ(Run(c.in), 1) << log_;
        if (c.log) {
            EXPECT_EQ(log_, c.log);
        }
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

        const std::size_t passes = c.trials.size();
        EXPECT_EQ(AreaMeans().size(), passes * 3);
        std::vector<Bytes> trials;
        for (auto [red, blue] : c.trials) trials.push_back(TrialBlock(red, blue));
        EXPECT_EQ(Written("DXC_RAMCONFIG_DATAWRITE"), trials);
        EXPECT_EQ(Mem(sim::Memory::RamConfig, 2088, 40), trials.back());
        EXPECT_EQ(Camera().BuiltFpgainTable(), trials.back());
        EXPECT_EQ(Mem(sim::Memory::CcdEeprom, 1936, 40), c.result);

        std::vector<std::string> expect;
        for (std::size_t p = 0; p < passes; ++p)
            expect.insert(expect.end(), {"DXC_RAMCONFIG_DATAWRITE", "DXC_RAMCONFIG_DATAREAD", "DXC_MAKE_FPGAIN_TABLE"});
        expect.insert(expect.end(), {"DXC_CCD_POWERON", "DXC_CCDEEPROM_DATAWRITE", "DXC_CCDEEPROM_DATAREAD",
                                     "DXC_MAKE_FPGAIN_TABLE", "DXC_CCD_POWEROFF"});
        EXPECT_EQ(MemoryCommands(), expect);

        // Per pass the three levels and the two deviations; the last pass meets both.
        ASSERT_EQ(record_.Measurements().size(), 5 * passes);
        const RunMeasurement& lastGb = record_.Measurements().back();
        EXPECT_EQ(lastGb.name, "GB");
        EXPECT_EQ(lastGb.pass, static_cast<int>(passes));
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
        std::optional<std::pair<int, int>> lastTrial;  // the red and blue words the camera keeps
    };
    Inputs tooFar;  // the fifth pass would be the first at a reachable gain
    tooFar.grInitial = tooFar.gbInitial = 16.0;
    Inputs none;
    none.count = 0;
    const Case cases[] = {
        {"colour-imbalance", {}, 44, 12, "GB", std::pair{0x28, 0x28}},  // the fourth pass's 0.15581, 0.15532
        {"nominal", tooFar, 44, 12, "GB", std::pair{0x1FE, 0x1FD}},     // 1.99046, 1.98925
        {"insensitive", {}, 45, 1, "GLevel"},
        {"red-weak", {}, 46, 1, "RLevel"},
        {"blue-weak", {}, 47, 1, "BLevel"},
        {"nominal", none, 44, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unit) + " -> " + std::to_string(c.result));
        Start(c.unit);
        const Bytes stored = Mem(sim::Memory::CcdEeprom, 1936, 40);
        const Bytes working = Mem(sim::Memory::RamConfig, 2088, 40);
        EXPECT_EQ(Run(c.in), c.result);
        EXPECT_EQ(log_.rfind("NG\r\n感度比調整\r\n", 0), 0u);
        EXPECT_EQ(Count("DCMD_TAKE_PICTURE"), c.captures);
        EXPECT_EQ(Count("DXC_CCDEEPROM_DATAWRITE"), 0);
        EXPECT_EQ(Mem(sim::Memory::CcdEeprom, 1936, 40), stored);
        if (!c.failing) {
            // Refused before the bench is set up: not a command, not a prompt.
            EXPECT_TRUE(sent_.empty());
            EXPECT_TRUE(host_.MessageBoxes().empty());
            EXPECT_EQ(Mem(sim::Memory::RamConfig, 2088, 40), working);
            continue;
        }
        const auto& m = record_.Measurements();
        const auto failed = std::find_if(m.begin(), m.end(), [&](auto& x) { return x.name == c.failing && !x.passed; });
        EXPECT_NE(failed, m.end());
        if (c.lastTrial) {
            EXPECT_EQ(Count("DXC_RAMCONFIG_DATAWRITE"), 4);
            EXPECT_EQ(Mem(sim::Memory::RamConfig, 2088, 40), TrialBlock(c.lastTrial->first, c.lastTrial->second));
        }
    }
}

TEST_F(SensRatioTest, DeviationEqualToItsToleranceDoesNotPass) {
    // The unit's first G/R, 515 / 313, deviates by 2.18 % from the target.
    const double dev = std::abs(515.0 / 313 / Inputs{}.grTarget - 1) * 100;
    for (auto [tolerance, passes] : {std::pair{dev, 2}, std::pair{std::nextafter(dev, 100.0), 1}}) {
        SCOPED_TRACE(passes);
        Start("crosstalk-high");
        Inputs in;
        in.gbTolerance = 100;
        in.grTolerance = tolerance;
        EXPECT_EQ(Run(in), 1);
        EXPECT_NE(log_.find("  AVE  GREEN :   515[LSB]  RED :   313[LSB]"), std::string::npos) << log_;
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
