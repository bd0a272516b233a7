// The run sequencer behind START, in the scripted host against the simulated
// camera: the set-up prompts and their pauses, the item order, the stop at
// the first failure, the pre-check's refusals and the report.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "adjust/adjust_dlg.h"
#include "camera/usb_camera.h"
#include "res/adjust_templates.h"
#include "shell/image_adjust_dlg.h"
#include "sim/simulator.h"
#include "tests/support/station_fixture.h"
#include "ui/scripted/scripted_host.h"

namespace {

using Item = CImageAdjustDlg::Item;

// A stand-in item window: two passes that each judge one level, then the
// given result.
class ProbeDlg : public CAdjustDlg {
public:
    ProbeDlg(ui::Host& host, int result) : CAdjustDlg(host, res::SensitivityTemplate(), {110, 300}), result_(result) {}

protected:
    int RunAdjustment() override {
        SetLog("probe\r\n");
        for (int pass = 1; pass <= 2; ++pass)
            Record({.pass = pass, .name = "GLevel", .value = 440.0 + pass * 10, .low = 445, .high = 460,
                    .unit = "LSB", .passed = pass == 2});
        return result_;
    }

private:
    int result_;
};

// The main window with stand-in items for the windows that are not part of
// this test: each records that it ran, adds a log and returns its result.
class SequencedDlg : public CImageAdjustDlg {
public:
    using CImageAdjustDlg::CImageAdjustDlg;

    std::vector<Item> ran;
    std::map<Item, int> results;  // 1 unless given
    bool probeWindows = false;    // stand-ins run as real item windows

    int RunItem(Item item) override {
        ran.push_back(item);
        if (item == Item::CcdFlashUp || item == Item::TftFlashUp || item == Item::TftPosition)
            return CImageAdjustDlg::RunItem(item);
        if (probeWindows) {
            ProbeDlg probe(GetHost(), results.count(item) ? results[item] : 1);
            return RunAdjustDialog(probe, true);
        }
        const int r = results.count(item) ? results[item] : 1;
        m_log += (r == 1 ? "OK\r\n" : "NG\r\n") + std::string("item ") + std::to_string(static_cast<int>(item)) + "\r\n";
        ShowStrings();
        return r;
    }
};

class RunSequencerTest : public test_support::StationTest<SequencedDlg> {
protected:
    RunSequencerTest() : StationTest("run_sequencer_test") {}
    void SetUp() override {
        StationTest::SetUp();
        dlg_.m_displayState = CImageAdjustDlg::kDisplayReady;
        sim::Sim().ClearCommands();
    }
    void Start(std::uint16_t selection) {
        dlg_.SetSelection(selection);
        host_.Click(dlg_, CImageAdjustDlg::IDC_START);
    }
    std::vector<std::string> Names() const { return sim::Sim().CommandNames(); }
    std::vector<std::string> ShownIds() const {
        std::vector<std::string> ids;
        for (const auto& s : host_.Shown()) ids.push_back(std::to_string(s.dialogId));
        return ids;
    }
    bool Sent(const std::string& name) const {
        for (const auto& n : Names())
            if (n == name) return true;
        return false;
    }
};

const char* const kSetUp =
    "カメラの設定を以下のように設定してください。\r\n・メインスイッチ＝ＯＮ\r\n・露出モード＝Ｍ\r\n・ＡＦモード＝Ｍ";
const char* const kOkStatus = "終了！　☆☆　ＯＫ　☆☆";

TEST_F(RunSequencerTest, CcdFlashUpAloneRunsOnlyItsWindowAndReportsOk) {
    Start(0x0004);
    EXPECT_EQ(dlg_.ran, std::vector<Item>{Item::CcdFlashUp});
    EXPECT_EQ(ShownIds(), std::vector<std::string>{"134"});
    EXPECT_EQ(dlg_.LastResult(), 1);

    // From the pre-check's first property read to the end of the session.
    std::vector<std::string> names = Names();
    auto first = std::find(names.begin(), names.end(), "DCMD_GET_PROPERTY");
    ASSERT_NE(first, names.end());
    EXPECT_EQ(std::vector<std::string>(first, names.end()),
              (std::vector<std::string>{"DCMD_GET_PROPERTY", "DCMD_GET_PROPERTY", "DCMD_GET_PROPERTY",
                                        "DXC_OPEN_CHECKER", "DXC_CCD_POWERON", "DXC_CCDEEPROM_DATAREAD",
                                        "DXC_UPDATECOMMAND", "DXC_UPDATECOMMAND", "DXC_CCDEEPROM_DATAREAD",
                                        "DXC_RAMCONFIG_DATAREAD", "DXC_CCD_POWEROFF", "DXC_OPEN_CHECKER",
                                        "DXC_CLOSE_CHECKER", "DCMD_CLOSE_SESSION"}));
    EXPECT_EQ(CUsbCamera::LinkFlags() & 0x04, 0);  // disconnected

    // The window's whole log joins the run log; SAVE is off: no date line.
    EXPECT_EQ(dlg_.m_log, "OK\r\nFLASHｱｯﾌﾟｺﾏﾝﾄﾞ実行中 ・・・・完了\r\nFLASH->DRAMへ展開中・・・・完了\r\n");
    EXPECT_EQ(dlg_.GetDlgItemText(CImageAdjustDlg::IDC_LOG), dlg_.m_log);
    EXPECT_EQ(dlg_.GetDlgItemText(CImageAdjustDlg::IDC_COMMENT), kOkStatus);
    EXPECT_EQ(host_.LastBitmap(dlg_, CImageAdjustDlg::IDC_PICTURE), CImageAdjustDlg::IDB_OK);
    ASSERT_EQ(host_.Beeps().size(), 1u);
    EXPECT_EQ(host_.Beeps()[0].frequencyHz, 2000);
    EXPECT_TRUE(host_.Stalls().empty());
}

TEST_F(RunSequencerTest, PromptsComeInOrderWithTheirPauses) {
    Start(0x0004);
    const auto& boxes = host_.MessageBoxes();
    ASSERT_EQ(boxes.size(), 4u);
    const std::vector<std::string> texts = {kSetUp, "ＵＳＢケーブルをカメラに差し込んでください\r\n",
                                            "ＡＣアダプターをカメラに接続してください",
                                            "カメラから各種ケーブル類を取り外してください"};
    for (size_t i = 0; i < boxes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(boxes[i].text, texts[i]);
        EXPECT_EQ(boxes[i].caption, "MESSAGE");
        EXPECT_EQ(boxes[i].ownerId, CImageAdjustDlg::IDD);
        EXPECT_EQ(boxes[i].buttons, i == 0 ? ui::MbButtons::OkCancel : ui::MbButtons::Ok);
    }
    EXPECT_EQ(boxes[1].timeMs - boxes[0].timeMs, 500);
    EXPECT_EQ(boxes[2].timeMs - boxes[1].timeMs, 100);
    // The cable prompt follows the report (two beeps would be 800 ms, one is 300).
    ASSERT_EQ(host_.Beeps().size(), 1u);
    EXPECT_EQ(boxes[3].timeMs, host_.Beeps()[0].timeMs + 300);
    EXPECT_EQ(host_.VClock().NowMs(), boxes[3].timeMs + 100);
}

TEST_F(RunSequencerTest, ItemsRunInTheTableOrder) {
    struct Case {
        std::uint16_t selection;
        std::vector<Item> order;
    };
    const std::vector<Case> cases = {
        {0x1300, {Item::LineCrawl, Item::SensRatio, Item::Aperture, Item::CcdFlashUp}},
        {0x0090, {Item::Sensitivity, Item::BatteryCheck, Item::CcdFlashUp}},
        {0x0010, {Item::BatteryCheck}},
        {0x2000, {Item::InsideSb}},
        {0x0800, {Item::DefectCorrect, Item::CcdFlashUp}},
        {0x8000, {Item::TftFlashUp}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.selection);
        dlg_.ran.clear();
        host_.ClearRecords();
        Start(c.selection);
        EXPECT_EQ(dlg_.ran, c.order);
        EXPECT_EQ(dlg_.LastResult(), 1);
        ASSERT_EQ(host_.MessageBoxes().size(), 4u);
        // The battery check is run from the battery tool, all else from the AC adapter.
        EXPECT_EQ(host_.MessageBoxes()[2].text, (c.selection & 0x0010)
                                                    ? "電池工具（抵抗無し）をカメラに接続してください"
                                                    : "ＡＣアダプターをカメラに接続してください");
    }
    // The TFT EEPROM flash-up's log does not join the run log.
    EXPECT_EQ(dlg_.m_log, "");
}

TEST_F(RunSequencerTest, RunRecordHoldsEachItemAndWhatItJudged) {
    dlg_.probeWindows = true;
    dlg_.results[Item::SensRatio] = 44;
    const std::int64_t t0 = host_.VClock().NowMs();
    Start(0x1300);
    const RunRecord& record = dlg_.LastRunRecord();
    EXPECT_FALSE(record.Open());
    EXPECT_EQ(record.Selection(), 0x1300);
    EXPECT_EQ(record.Result(), 44);
    EXPECT_GE(record.StartMs(), t0);

    // The items that ran, in order, with their results and times.
    ASSERT_EQ(record.Items().size(), 2u);
    EXPECT_EQ(record.Items()[0].item, "line-crawl");
    EXPECT_EQ(record.Items()[0].result, 1);
    EXPECT_EQ(record.Items()[1].item, "ratio");
    EXPECT_EQ(record.Items()[1].result, 44);
    EXPECT_GE(record.Items()[0].endMs - record.Items()[0].startMs, 300);  // the kick-off timer at least
    EXPECT_LE(record.Items()[0].endMs, record.Items()[1].startMs);
    EXPECT_LE(record.Items()[1].endMs, record.EndMs());

    // Every judgement belongs to the item that made it; the log is untouched by them.
    ASSERT_EQ(record.Measurements().size(), 4u);
    const RunMeasurement& m = record.Measurements()[3];
    EXPECT_EQ(m.item, "ratio");
    EXPECT_EQ(m.pass, 2);
    EXPECT_EQ(m.name, "GLevel");
    EXPECT_DOUBLE_EQ(m.value, 460);
    EXPECT_EQ(m.low, 445);
    EXPECT_EQ(m.high, 460);
    EXPECT_TRUE(m.passed);
    EXPECT_FALSE(record.Measurements()[0].passed);
    EXPECT_EQ(record.Measurements()[0].item, "line-crawl");
    EXPECT_EQ(dlg_.m_log, "OK\r\nprobe\r\nNG\r\nprobe\r\n");

    // The next run starts a new record.
    dlg_.results.clear();
    Start(0x0004);
    ASSERT_EQ(dlg_.LastRunRecord().Items().size(), 1u);
    EXPECT_EQ(dlg_.LastRunRecord().Items()[0].item, "ccd-flashup");
    EXPECT_TRUE(dlg_.LastRunRecord().Measurements().empty());
}

TEST_F(RunSequencerTest, FailingItemStopsTheRunAndIsReported) {
    dlg_.results[Item::Sensitivity] = 36;
    Start(0x1380);
    EXPECT_EQ(dlg_.ran, std::vector<Item>{Item::Sensitivity});
    EXPECT_EQ(dlg_.LastResult(), 36);
    EXPECT_EQ(dlg_.m_log, "NG\r\nitem 0\r\n");
    EXPECT_EQ(dlg_.GetDlgItemText(CImageAdjustDlg::IDC_COMMENT), "ERROR NO=36 感度調整(ISO200）エラー");
    EXPECT_EQ(host_.LastBitmap(dlg_, CImageAdjustDlg::IDC_PICTURE), CImageAdjustDlg::IDB_NG);
    ASSERT_EQ(host_.Beeps().size(), 2u);
    EXPECT_EQ(host_.Beeps()[0].frequencyHz, 500);
    // The session is closed all the same.
    EXPECT_TRUE(Sent("DXC_CLOSE_CHECKER"));
    EXPECT_EQ(CUsbCamera::LinkFlags() & 0x04, 0);
    // START can be pressed again at once, with the selection as it was.
    EXPECT_EQ(dlg_.m_itemFlags, 0x1380);
}

TEST_F(RunSequencerTest, CameraNotInManualModesRunsNoItemButClosesTheChecker) {
    struct Case {
        const char* profile;
        int afMode, exposureMode;
        int result;
    };
    for (const Case& c : {Case{"af-auto", SIM_MODE_MANUAL, SIM_MODE_MANUAL, 13},
                          Case{"nominal", SIM_MODE_AUTO, SIM_MODE_MANUAL, 13},
                          Case{"nominal", SIM_MODE_MANUAL, SIM_MODE_AUTO, 14}}) {
        SCOPED_TRACE(c.result);
        sim::Sim().Reset();
        sim::Sim().ClearDevices();
        ASSERT_NE(sim::Sim().AddCamera(c.profile), 0u);
        SimBench bench = sim::Simulator::DefaultBench();
        bench.afMode = c.afMode;
        bench.exposureMode = c.exposureMode;
        sim::Sim().SetBench(bench);
        dlg_.ran.clear();
        host_.ClearRecords();

        Start(0x0004);
        EXPECT_TRUE(dlg_.ran.empty());
        EXPECT_TRUE(host_.Shown().empty());
        EXPECT_EQ(dlg_.LastResult(), c.result);
        EXPECT_FALSE(Sent("DXC_OPEN_CHECKER"));
        EXPECT_TRUE(Sent("DXC_CLOSE_CHECKER"));
        EXPECT_EQ(CUsbCamera::LinkFlags() & 0x04, 0);
    }
}

TEST_F(RunSequencerTest, NoCameraGivesFourWithNoItemRun) {
    sim::Sim().ClearDevices();
    Start(0x0004);
    EXPECT_TRUE(dlg_.ran.empty());
    EXPECT_EQ(dlg_.LastResult(), 4);
    EXPECT_EQ(dlg_.GetDlgItemText(CImageAdjustDlg::IDC_COMMENT), "ERROR NO=4 USB：デバイス無しエラー");
}

TEST_F(RunSequencerTest, NothingHappensWithoutSelectionOrAfterCancel) {
    dlg_.m_log = "earlier run\r\n";
    Start(0);
    ASSERT_EQ(host_.MessageBoxes().size(), 1u);
    EXPECT_EQ(host_.MessageBoxes()[0].text, "項目が選択されてません");
    EXPECT_EQ(host_.MessageBoxes()[0].caption, "MESSAGE");
    EXPECT_EQ(host_.MessageBoxes()[0].buttons, ui::MbButtons::Ok);

    // CANCEL, or Escape, at the set-up prompt.
    host_.QueueAnswer(ui::IDCANCEL);
    Start(0x0004);
    host_.SetResponder([](const ui::scripted::MessageBoxRecord&) { return ui::IDCANCEL; });
    Start(0x0080);

    EXPECT_EQ(host_.MessageBoxes().size(), 3u);
    EXPECT_TRUE(Names().empty());
    EXPECT_TRUE(dlg_.ran.empty());
    EXPECT_TRUE(host_.Bitmaps().empty());
    EXPECT_TRUE(host_.Beeps().empty());
    EXPECT_EQ(dlg_.m_displayState, CImageAdjustDlg::kDisplayReady);
    EXPECT_EQ(dlg_.m_log, "earlier run\r\n");
    EXPECT_EQ(host_.VClock().NowMs(), 0);
}

TEST_F(RunSequencerTest, BatteryWarningDoesNotStopTheRun) {
    sim::Sim().ClearDevices();
    sim::UnitProfile unit = *sim::FindProfile("nominal");
    unit.batteryState = 3;
    ASSERT_NE(sim::Sim().AddCamera(unit), 0u);
    Start(0x0004);
    const auto& boxes = host_.MessageBoxes();
    ASSERT_EQ(boxes.size(), 5u);
    EXPECT_EQ(boxes[3].text, "バッテリーが動作不可状態だよ");
    EXPECT_EQ(boxes[3].caption, "MESSAGE");
    EXPECT_EQ(dlg_.ran, std::vector<Item>{Item::CcdFlashUp});
    EXPECT_EQ(dlg_.LastResult(), 1);
}

}  // namespace
