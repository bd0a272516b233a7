// The baseline buttons against the simulated camera, with the camera's area
// means replaced by chosen values so that spreads and levels sit exactly on
// their limits.

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <string>

#include "camera/usb_camera.h"
#include "shell/image_adjust_dlg.h"
#include "standards/standard_dlg.h"
#include "standards/std_file.h"
#include "sim/simulator.h"
#include "tests/support/station_fixture.h"
#include "ui/scripted/scripted_host.h"

namespace {

namespace fs = std::filesystem;

struct Means {
    int gr, r, gb, b;
};
std::deque<Means> g_means;  // the next area measurements, in LSB

// The camera's area measurement arrives in tenths of an LSB, big-endian,
// in the order Gr, R, Gb, B.
std::uint32_t MeasuringEntry(std::uint32_t selector, void* block, std::uint32_t handle) {
    const std::uint32_t r = SimLvDriverEntry(selector, block, handle);
    const auto& cmds = sim::Sim().Commands();
    if (selector == LVX_SEL_EXECUTE_IO && !cmds.empty() && cmds.back().name == "DXC_CCD_ADJUST_DATA_IN" &&
        !g_means.empty()) {
        auto* io = static_cast<LvxExecuteIoBlock*>(block);
        const Means m = g_means.front();
        g_means.pop_front();
        const int v[4] = {m.gr, m.r, m.gb, m.b};
        for (int i = 0; i < 4; ++i) {
            io->data[2 * i] = static_cast<std::uint8_t>((v[i] * 10) >> 8);
            io->data[2 * i + 1] = static_cast<std::uint8_t>(v[i] * 10);
        }
    }
    return r;
}

class BaselinesTest : public test_support::StationTest<> {
protected:
    BaselinesTest() : StationTest("baselines_test") {}
    void SetUp() override {
        g_means.clear();
        StationTest::SetUp();
        CUsbCamera::BindDriverEntry(&MeasuringEntry);
        StandardData& s = dlg_.m_standards.values;
        s.sensLevelMin = 500;
        s.sensLevelMax = 1500;
        s.sensBaseline = 812;
        s.ratioGrMin = 1.5;
        s.ratioGrMax = 2.5;
        s.ratioGbMin = 1.5;
        s.ratioGbMax = 2.5;
        s.ratioGrBaseline = 1.75;
        s.ratioGbBaseline = 1.8;
    }
    void Sens(std::initializer_list<Means> shots) {
        g_means.assign(shots);
        host_.Click(dlg_, CImageAdjustDlg::IDC_SENS_BASELINE);
    }
    void Ratio(std::initializer_list<Means> shots) {
        g_means.assign(shots);
        host_.Click(dlg_, CImageAdjustDlg::IDC_RATIO_BASELINE);
    }
    // The box before the closing prompt: the verdict of the evaluation.
    const ui::scripted::MessageBoxRecord& Verdict() const {
        const auto& boxes = host_.MessageBoxes();
        return boxes.at(boxes.size() - 2);
    }
    std::uint32_t SensBaseline() const { return dlg_.m_standards.values.sensBaseline; }
};

const char* const kAgain = "もう一度取り直してください\r\n\r\n";

TEST_F(BaselinesTest, SensitivityPromptsAndLogInOrder) {
    Sens({{1000, 0, 1001, 0}, {1010, 0, 1001, 0}, {990, 0, 1001, 0}});
    const auto& boxes = host_.MessageBoxes();
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[0].text,
              "カメラの設定を以下のように設定してください。\r\n・メインスイッチ＝ＯＮ\r\n・露出モード＝Ｍ\r\n・ＡＦモード＝Ｍ");
    EXPECT_EQ(boxes[0].buttons, ui::MbButtons::Ok);
    EXPECT_EQ(boxes[1].text, "ＡＣアダプターを接続し、ＵＳＢケーブルをカメラに差し込んでください");
    EXPECT_EQ(boxes[2].caption, "MESSAGEM");
    EXPECT_EQ(boxes[2].text,
              "下記に示す条件に設定してください\r\n・レンズ　：　工具レンズ　固定絞り：Ｆ８\r\n・ＮＤフィルター：　ＮＤ３\r\n"
              "・カラービュアー：　ＬＶ１３\r\n・カメラ－ビュアー距離：　最至近\r\n・カラーバーチャート　：　無し");
    EXPECT_EQ(boxes[1].timeMs - boxes[0].timeMs, 500);
    EXPECT_EQ(boxes[2].timeMs - boxes[1].timeMs, 100);
    for (size_t i : {0u, 1u, 4u}) EXPECT_EQ(boxes[i].caption, "MESSAGE");
    EXPECT_EQ(boxes[4].text, "ＡＣアダプター、ＵＳＢケーブルをカメラから取り外してください");

    // Averages 1000 and 1001: G rounds half up to 1001; a spread of 20 passes.
    const std::string line = "感度基準値は［ 1001 ]です(前回は812[LSB]です)。\r\n";
    EXPECT_EQ(dlg_.m_log, "感度基準値取得\r\n[1]  Gr=  1000  Gb=  1001\r\n[2]  Gr=  1010  Gb=  1001\r\n"
                          "[3]  Gr=   990  Gb=  1001\r\n平均値  G =  1001\r\n" + line);
    EXPECT_EQ(boxes[3].caption, "感度基準値設定");
    EXPECT_EQ(boxes[3].text, line + "基準値を設定しますか？");
    EXPECT_EQ(boxes[3].buttons, ui::MbButtons::OkCancel);
    EXPECT_EQ(SensBaseline(), 1001u);
    EXPECT_EQ(CUsbCamera::LinkFlags() & 0x04, 0);
    // The status picture is not the baseline's business.
    EXPECT_EQ(dlg_.m_displayState, CImageAdjustDlg::kDisplayReady);
}

TEST_F(BaselinesTest, SensitivitySpreadAndLevelLimits) {
    Sens({{1000, 0, 1000, 0}, {1010, 0, 1000, 0}, {1021, 0, 1000, 0}});
    EXPECT_EQ(Verdict().caption, "エラー");
    EXPECT_EQ(Verdict().text, std::string("Ｇ出力バラツキ大です\r\n") + kAgain +
                                  "Gr=   21[LSB]  Gb=    0[LSB] (STANDARD 20以下)");
    EXPECT_TRUE(dlg_.m_log.ends_with(Verdict().text));
    EXPECT_EQ(SensBaseline(), 812u);

    Sens({{1000, 0, 1000, 0}, {1000, 0, 1021, 0}, {1000, 0, 1000, 0}});  // Gb likewise
    EXPECT_EQ(Verdict().caption, "エラー");
    EXPECT_EQ(SensBaseline(), 812u);

    // The level limits are inclusive.
    dlg_.m_standards.values.sensLevelMin = 1000;
    dlg_.m_standards.values.sensLevelMax = 1000;
    Sens({{1000, 0, 1000, 0}, {1000, 0, 1000, 0}, {1000, 0, 1000, 0}});
    EXPECT_EQ(Verdict().caption, "感度基準値設定");
    EXPECT_EQ(SensBaseline(), 1000u);
    Sens({{1001, 0, 1001, 0}, {1001, 0, 1001, 0}, {1001, 0, 1001, 0}});
    EXPECT_EQ(Verdict().caption, "エラー");
    EXPECT_EQ(Verdict().text, std::string("Ｇ出力レベル出力範囲外です\r\n") + kAgain +
                                  "GLevel = 1001[LSB](STANDARD_MIN: 1000[LSB] MAX: 1000[LSB])");
    EXPECT_EQ(SensBaseline(), 1000u);
}

TEST_F(BaselinesTest, RatioChecksInOrderWithInclusiveLimits) {
    struct Case {
        Means shot;  // all three alike unless spread
        int spreadGr, spreadR, spreadB;
        const char* firstPart;  // null: passes
    };
    const std::vector<Case> cases = {
        {{1000, 500, 1000, 500}, 100, 20, 20, nullptr},
        {{1000, 500, 1000, 500}, 101, 0, 0, "Ｇ出力バラツキ大です\r\n"},
        {{1000, 500, 1000, 500}, 0, 21, 0, "Ｒ出力バラツキ大です\r\n"},
        {{1000, 500, 1000, 500}, 0, 0, 21, "Ｂ出力バラツキ大です\r\n"},
        {{400, 200, 400, 200}, 0, 0, 0, nullptr},
        {{1400, 700, 1400, 700}, 0, 0, 0, nullptr},
        {{399, 200, 399, 200}, 0, 0, 0, "Ｇ出力レベル出力範囲外です\r\n"},
        {{1401, 700, 1401, 700}, 0, 0, 0, "Ｇ出力レベル出力範囲外です\r\n"},
        {{1000, 400, 1000, 500}, 0, 0, 0, nullptr},                        // GR 2.5, the top
        {{1000, 666, 1000, 500}, 0, 0, 0, nullptr},                        // GR 1.5015
        {{1000, 399, 1000, 500}, 0, 0, 0, "ＧＲ比出力規格外です\r\n"},   // 2.506
        {{1000, 500, 1000, 667}, 0, 0, 0, "ＧＢ比出力規格外です\r\n"},   // 1.4993
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.shot.gr << "/" << c.shot.r << "/" << c.shot.b << " spreads "
                                        << c.spreadGr << "," << c.spreadR << "," << c.spreadB);
        host_.ClearRecords();
        dlg_.m_standards.values.ratioGrBaseline = 1.75;
        Means lo = c.shot, hi = c.shot;
        // Spread around the level, the average unchanged.
        lo.gr -= c.spreadGr / 2;
        hi.gr += c.spreadGr - c.spreadGr / 2;
        lo.r -= c.spreadR / 2;
        hi.r += c.spreadR - c.spreadR / 2;
        lo.b -= c.spreadB / 2;
        hi.b += c.spreadB - c.spreadB / 2;
        Ratio({lo, c.shot, hi});
        if (c.firstPart) {
            EXPECT_EQ(Verdict().caption, "エラー");
            EXPECT_EQ(Verdict().text.rfind(std::string(c.firstPart) + kAgain, 0), 0u) << Verdict().text;
            EXPECT_EQ(dlg_.m_standards.values.ratioGrBaseline, 1.75);
        } else {
            EXPECT_EQ(Verdict().caption, "感度基準値設定") << Verdict().text;
            EXPECT_NE(dlg_.m_standards.values.ratioGrBaseline, 1.75);
        }
    }
}

TEST_F(BaselinesTest, RatioTextsAndStoredValues) {
    Ratio({{1000, 500, 1002, 400}, {1000, 500, 1002, 400}, {1000, 500, 1002, 400}});
    const std::string line =
        "感度比基準値はGR[ 2.00200 ],GB[ 2.50250 ]です。\r\n(前回はGR[ 1.75000 ],GB[ 1.80000 ]です)。\r\n";
    EXPECT_EQ(dlg_.m_log.substr(0, std::string("感度比取得\r\n\r\n").size()), "感度比取得\r\n\r\n");
    EXPECT_NE(dlg_.m_log.find("[1]  Gr=  1000  Gb=  1002  R=   500  B=   400\r\n"), std::string::npos);
    EXPECT_NE(dlg_.m_log.find("\r\n平均値　Gr=  1000  Gb=  1002  R=   500  B=   400\r\n"), std::string::npos);
    // The GB window is 1.5 to 2.5: 2.5025 is outside.
    EXPECT_EQ(Verdict().caption, "エラー");
    dlg_.m_standards.values.ratioGbMax = 2.6;
    host_.ClearRecords();
    Ratio({{1000, 500, 1002, 400}, {1000, 500, 1002, 400}, {1000, 500, 1002, 400}});
    EXPECT_EQ(Verdict().text, line + "基準値を設定しますか？");
    EXPECT_TRUE(dlg_.m_log.ends_with(line));
    EXPECT_DOUBLE_EQ(dlg_.m_standards.values.ratioGrBaseline, 1001.0 / 500);
    EXPECT_DOUBLE_EQ(dlg_.m_standards.values.ratioGbBaseline, 1001.0 / 400);
    // The ratio conditions: no ND filter.
    EXPECT_NE(host_.MessageBoxes()[2].text.find("・ＮＤフィルター：　無し\r\n"), std::string::npos);
}

TEST_F(BaselinesTest, CancelStoresNothingAndOkReachesTheNextRunOnly) {
    host_.SetResponder([](const ui::scripted::MessageBoxRecord& b) {
        return b.caption == "感度基準値設定" ? ui::IDCANCEL : ui::IDOK;
    });
    Sens({{900, 0, 900, 0}, {900, 0, 900, 0}, {900, 0, 900, 0}});
    EXPECT_EQ(SensBaseline(), 812u);
    EXPECT_TRUE(dlg_.m_log.ends_with("感度基準値は［ 900 ]です(前回は812[LSB]です)。\r\n"));
    Ratio({{1000, 500, 1000, 500}, {1000, 500, 1000, 500}, {1000, 500, 1000, 500}});
    EXPECT_EQ(dlg_.m_standards.values.ratioGrBaseline, 1.75);
    EXPECT_EQ(dlg_.m_standards.values.ratioGbBaseline, 1.8);

    host_.SetResponder({});
    Sens({{900, 0, 900, 0}, {900, 0, 900, 0}, {900, 0, 900, 0}});
    EXPECT_EQ(SensBaseline(), 900u);
    EXPECT_EQ(test_support::ReadFile(kStdFileName), test_support::ReadFile(test_support::BinDir() / kStdFileName));
}

TEST_F(BaselinesTest, CameraFailuresExitWithTheirTextsAndDisconnect) {
    struct Case {
        const char* failingCommand;  // null: no camera at all
        const char* text;
    };
    for (const Case& c : {Case{nullptr, "カメラとの初期通信でエラーが発生しました"},
                          Case{"DCMD_SET_PROPERTY", "カメラモード設定で通信エラーが発生しました"},
                          Case{"DXC_CCD_ADJUST_DATA_IN", "レリーズで通信エラーが発生しました"}}) {
        SCOPED_TRACE(c.text);
        sim::Sim().Reset();
        if (c.failingCommand)
            sim::Sim().InjectSense(sim::MakeSense(sim::kSenseNotReady, sim::kAscNotReady), 100, c.failingCommand);
        else
            sim::Sim().ClearDevices();
        host_.ClearRecords();
        Sens({});
        EXPECT_EQ(Verdict().text, c.text);
        EXPECT_EQ(Verdict().caption, "ERROR");
        EXPECT_EQ(SensBaseline(), 812u);
        EXPECT_EQ(CUsbCamera::LinkFlags() & 0x06, 0);
        EXPECT_FALSE(sim::Sim().FirstCamera().Modes().checkerOpen);
    }
}


// A baseline taken is shown as such, on the window's own line, until the
// standards window's OK puts it into STD.DAT; closing before that asks.
TEST_F(BaselinesTest, ATakenBaselineShowsUnsavedUntilTheStandardsWindowSavesIt) {
    const auto notice = [&] { return dlg_.GetDlgItemText(CImageAdjustDlg::IDC_BASELINE_NOTICE); };
    // Limits of the sample STD.DAT, so that the standards window may save what is taken.
    StandardData& s = dlg_.m_standards.values;
    s.sensLevelMin = 400, s.sensLevelMax = 520, s.sensBaseline = 454;
    std::ofstream("STD.DAT", std::ios::binary) << FormatStandards(s);  // as read at start
    const Means steady{480, 0, 482, 0};
    host_.QueueAnswer(ui::IDOK);  // the condition prompts, then CANCEL at the confirmation
    host_.QueueAnswer(ui::IDOK);
    host_.QueueAnswer(ui::IDOK);
    host_.QueueAnswer(ui::IDCANCEL);
    Sens({steady, steady, steady});
    EXPECT_EQ(notice(), "");  // nothing taken
    Sens({steady, steady, steady});
    ASSERT_EQ(SensBaseline(), 481u);
    EXPECT_EQ(notice(), "基準値未保存：STANDARDのOKで保存");
    EXPECT_EQ(dlg_.m_comment, "");  // the station's own texts stay as they were
    EXPECT_TRUE(dlg_.m_log.ends_with("です(前回は454[LSB]です)。\r\n"));

    host_.OnShow(CStandardDlg::IDD).Escape();
    host_.Click(dlg_, CImageAdjustDlg::IDC_STANDARD);
    EXPECT_EQ(notice(), "基準値未保存：STANDARDのOKで保存");
    host_.QueueAnswer(ui::IDCANCEL);
    host_.Close(dlg_);
    EXPECT_EQ(host_.MessageBoxes().back().caption, "MESSAGE");
    EXPECT_NE(host_.MessageBoxes().back().text.find("保存せずに終了しますか？"), std::string::npos);
    ASSERT_TRUE(dlg_.m_pCamera) << "the station closed";

    host_.OnShow(CStandardDlg::IDD).Click(ui::IDOK);
    host_.Click(dlg_, CImageAdjustDlg::IDC_STANDARD);
    EXPECT_EQ(notice(), "");
    StandardData inFile{};
    ParseStandards(test_support::ReadFile("STD.DAT"), inFile);
    EXPECT_EQ(inFile.sensBaseline, 481u);
    const std::size_t boxes = host_.MessageBoxes().size();
    host_.Close(dlg_);
    EXPECT_EQ(host_.MessageBoxes().size(), boxes);
    EXPECT_FALSE(dlg_.m_pCamera);
}

}  // namespace
