// The line crawl adjustment against simulated units: the correction byte the
// camera holds afterwards, and the log, against the coefficient that the
// fields these units give call for.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "adjust/line_crawl_dlg.h"
#include "tests/adjust/item_fixture.h"

namespace {

using test_support::Bytes;

constexpr const char* kRedPrompt =
    "MESSAGE|ファインダーを覗いたときに全面が赤になる位置にチャートを移動してください。";
constexpr const char* kBluePrompt =
    "MESSAGE|ファインダーを覗いたときに全面が青になる位置にチャートを移動してください。";
constexpr const char* kConditions =
    "MESSAGEM|下記に示す条件に設定してください\r\n・レンズ　：　工具レンズ　固定絞り　：　Ｆ８\r\n"
    "・ＮＤフィルター：　無し\r\n・カラービュアー：　ＬＶ１３\r\n・カメラ－ビュアー距離：　最至近\r\n"
    "・カラーバーチャート　：　有り";

// The nominal unit: Kr = (963 - 985) / (2 (223 - 2001)), Kb = (987 - 963) /
// (2 (2223 - 251)); K x 4096 = 25.1 is 19h. Without it the red field's
// greens differ by 1.13 %, with it by nothing.
constexpr const char* kNominalLog =
    "OK\r\nラインクロール調整\r\n"
    "  AREA1 Gr:   985[LSB]  Gb:   963[LSB]  R:  2001[LSB]  B:   223[LSB]\r\n"
    "  AREA2 Gr:   963[LSB]  Gb:   987[LSB]  R:   251[LSB]  B:  2223[LSB]\r\n"
    "  Kr= 0.00619   Kb= 0.00609    K= 0.00614\r\n"
    "  AREA1 Gr:   974[LSB]  Gb:   974[LSB]  R:  2001[LSB]  B:   223[LSB]\r\n"
    "  AREA2 Gr:   976[LSB]  Gb:   975[LSB]  R:   251[LSB]  B:  2223[LSB]\r\n"
    "  結果:  AREA1=0.00000   AREA2= 0.05126 ( x <= 0.50000) K=19\r\n";

class LineCrawlTest : public test_support::ItemTest {
protected:
    int Run(double redLimit = 0.5, double blueLimit = 0.5) {
        CLineCrawlDlg dlg(host_);
        dlg.m_redLimit = redLimit;
        dlg.m_blueLimit = blueLimit;
        dlg.m_redArea = {1420, 912, 200, 200};
        dlg.m_blueArea = {100, 100, 50, 50};  // not where the fields are measured
        return ItemTest::Run(dlg, "line-crawl");
    }
    // Timing bytes of the camera's own in the working block, and a stale
    // correction that pass 0 must not measure with.
    void PrepareBlock() {
        auto& ram = Camera().Mem(sim::Memory::RamConfig);
        const Bytes block = {0x11, 0x12, 0x77, 0x77, 0x21, 0x22, 0x77, 0x77, 0x31, 0x32, 0x77, 0x77};
        std::copy(block.begin(), block.end(), ram.begin() + 312);
    }
    static Bytes BlockWith(int k8) {
        const auto b = static_cast<std::uint8_t>(k8);
        return {0x11, 0x12, b, b, 0x21, 0x22, b, b, 0x31, 0x32, b, b};
    }
};

TEST_F(LineCrawlTest, UnitsWithinReachPassOnlyWithTheirCorrectionAndStoreIt) {
    struct Case {
        const char* unit;
        int k8;
        const char* result;  // the log's last line
        const char* log = nullptr;
    };
    const Case cases[] = {
        {"nominal", 0x19, "  結果:  AREA1=0.00000   AREA2= 0.05126 ( x <= 0.50000) K=19\r\n", kNominalLog},
        {"crosstalk-high", 0x62, "  結果:  AREA1=0.00000   AREA2= 0.00000 ( x <= 0.50000) K=62\r\n"},
        {"colour-offset", 0x18, "  結果:  AREA1=0.00000   AREA2= 0.05147 ( x <= 0.50000) K=18\r\n"},
        // Red saturated in one field, blue in the other.
        {"colour-imbalance", 0x28, "  結果:  AREA1=0.09990   AREA2= 0.29851 ( x <= 0.50000) K=28\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        Start(c.unit);
        PrepareBlock();
        const Bytes flash = Mem(sim::Memory::CcdEepromFlash, 160, 12);
        ASSERT_EQ(Run(), 1) << log_;
        EXPECT_EQ(log_.rfind("OK\r\nラインクロール調整\r\n", 0), 0u);
        EXPECT_TRUE(log_.ends_with(c.result)) << log_;
        if (c.log) {
            EXPECT_EQ(log_, c.log);
        }
        EXPECT_EQ(host_.Shown().front().dialogId, 140);  // the routine starts 500 ms after the window
        EXPECT_EQ(host_.MessageBoxes().front().timeMs - host_.Shown().front().timeMs, 500);
        // Both fields are asked for in both passes.
        EXPECT_EQ(Prompts(), (std::vector<std::string>{kConditions, kRedPrompt, kBluePrompt, kRedPrompt, kBluePrompt}));
        EXPECT_EQ(AreaMeans().size(), 4u);

        // Pass 0 measured with K8 = 0, pass 1 with K8; the camera's bytes kept.
        const Bytes unity = {1, 0, 1, 0, 1, 0, 1, 0};
        EXPECT_EQ(Written("DXC_RAMCONFIG_DATAWRITE"), (std::vector<Bytes>{unity, BlockWith(0), BlockWith(c.k8)}));
        EXPECT_EQ(Mem(sim::Memory::RamConfig, 1552, 8), unity);
        EXPECT_EQ(Mem(sim::Memory::RamConfig, 312, 12), BlockWith(c.k8));
        EXPECT_EQ(Mem(sim::Memory::CcdEeprom, 160, 12), BlockWith(c.k8));
        EXPECT_EQ(Mem(sim::Memory::CcdEepromFlash, 160, 12), flash);  // the flash-up item commits it
        EXPECT_FALSE(Camera().Modes().ccdPower);
        EXPECT_EQ(Camera().Property(11), 18);
        // Two captures a pass, each with its own session cycle, and one per pass.
        EXPECT_EQ(Count("DCMD_CLOSE_SESSION"), 6);

        const auto& m = record_.Measurements();
        ASSERT_EQ(m.size(), 5u);
        EXPECT_EQ(m[0].name, "AREA1 Gr");
        EXPECT_EQ(m[0].low, 700);
        EXPECT_EQ(m[0].high, 2000);
        EXPECT_EQ(m[1].name, "K");
        EXPECT_EQ(m[3].name, "AREA1");
        EXPECT_EQ(m[4].name, "AREA2");
        EXPECT_EQ(m[4].pass, 2);
        EXPECT_TRUE(m[4].passed);
    }
}

TEST_F(LineCrawlTest, CoefficientOutOfReachResidualOrRedLevelOutOfLimitFails) {
    struct Case {
        const char* unit;
        double redLimit, blueLimit;
        int result;
        int captures;
        const char* failing;  // the record's judgement that failed
    };
    const Case cases[] = {
        {"line-crawl", 0.5, 0.5, 49, 2, "K"},          // K = 0.08001: K8 would be 328
        {"crosstalk-skew", 0.5, 0.5, 50, 4, "AREA1"},  // one K cannot take out both fields
        {"nominal", 0.5, 0.01, 50, 4, "AREA2"},        // the blue field is held to the second limit
        {"crosstalk-skew", 2.0, 1.0, 50, 4, "AREA1"},  // AREA1 1.33 between the limits: held to both
        {"insensitive", 0.5, 0.5, 51, 1, "AREA1 Gr"},  // the red field too dark, at once
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        Start(c.unit);
        PrepareBlock();
        const Bytes stored = Mem(sim::Memory::CcdEeprom, 160, 12);
        EXPECT_EQ(Run(c.redLimit, c.blueLimit), c.result);
        EXPECT_EQ(log_.rfind("NG\r\nラインクロール調整\r\n", 0), 0u);
        EXPECT_EQ(Count("DCMD_TAKE_PICTURE"), c.captures);
        EXPECT_EQ(Count("DXC_CCDEEPROM_DATAWRITE"), 0);
        EXPECT_EQ(Mem(sim::Memory::CcdEeprom, 160, 12), stored);
        const auto& m = record_.Measurements();
        EXPECT_NE(std::find_if(m.begin(), m.end(), [&](auto& x) { return x.name == c.failing && !x.passed; }),
                  m.end());
        if (c.result == 49) {
            EXPECT_EQ(Mem(sim::Memory::RamConfig, 312, 12), BlockWith(0));
        }
    }
}

TEST_F(LineCrawlTest, FailingCommandEndsTheItemWithItsNumberAndNothingAfter) {
    ExpectEachEndsTheItem(
        {
            {"DXC_SET_OB", 3}, {"DXC_RAMCONFIG_DATAWRITE", 3}, {"DXC_RAMCONFIG_DATAREAD", 3}, {"DCMD_SET_PROPERTY", 8},
            {"DXC_CCD_ADJUST_DATA_IN", 7}, {"DXC_CCD_POWERON", 3}, {"DXC_CCDEEPROM_DATAREAD", 3},
            {"DXC_CCD_POWEROFF", 3},
            {"DXC_CCDEEPROM_DATAWRITE", 3, true},
        },
        [this] { return Run(); });
}

TEST(LineCrawlCoefficient, LimitsOfTheCorrectionByte) {
    // Gr, R, Gb, B of the red and of the blue field.
    auto field = [](int gr, int r, int gb, int b) {
        AreaMeasurement m;
        m.m[0] = static_cast<std::uint16_t>(gr), m.m[1] = static_cast<std::uint16_t>(r);
        m.m[2] = static_cast<std::uint16_t>(gb), m.m[3] = static_cast<std::uint16_t>(b);
        return m;
    };
    struct Case {
        const char* what;
        AreaMeasurement red, blue;
        int result;
        int k8;
    };
    const Case cases[] = {
        {"nominal fields", field(985, 2001, 963, 223), field(963, 251, 987, 2223), 1, 25},
        {"small negative K", field(1000, 100, 990, 200), field(1000, 100, 990, 200), 1, 0},
        {"K = -5", field(1100, 0, 1000, 10), field(1100, 0, 1000, 10), 1, 0},
        {"K below -5", field(1101, 0, 1000, 10), field(1100, 0, 1000, 10), 49, 0},
        {"K x 4096 = 25.5 rounds up", field(1000, 0, 1051, 4096), field(1000, 0, 1051, 4096), 1, 26},
        {"K x 4096 = 255", field(1000, 0, 1255, 2048), field(1000, 0, 1255, 2048), 1, 255},
        {"K x 4096 = 255.5", field(1000, 0, 1511, 4096), field(1000, 0, 1511, 4096), 49, 0},
        {"red field without contrast", field(1000, 500, 990, 500), field(963, 251, 987, 2223), 48, 0},
        {"blue field without contrast", field(985, 2001, 963, 223), field(963, 700, 987, 700), 48, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CLineCrawlDlg::Coefficient k = CLineCrawlDlg::ComputeCoefficient(c.red, c.blue);
        EXPECT_EQ(k.result, c.result);
        EXPECT_EQ(k.k8, c.k8);
    }
}

}  // namespace
