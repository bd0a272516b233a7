// Every run into the history, as the main window records it: the record
// beside the result file, the history file named by HISTORY.INI, and a
// history that cannot be written, which the station says and catches up on.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "history/history_store.h"
#include "history/history_writer.h"
#include "platform/clock.h"
#include "platform/sha256.h"
#include "adjust/pixel_defect_dlg.h"
#include "shell/image_adjust_dlg.h"
#include "tests/support/station_fixture.h"

namespace {

namespace fs = std::filesystem;

class RunHistoryTest : public test_support::StationTest<> {
protected:
    // The history lies in a folder that does not exist yet: it cannot be
    // written until the test makes the folder.
    RunHistoryTest() : StationTest("run_history_test") {
        std::ofstream("HISTORY.INI") << "# the station's history\nsqlite_file = line/HISTORY.DB\nstation = ST-7\n";
    }
    std::vector<history::RunDocument> Queued() {
        std::vector<history::RunDocument> runs;
        for (const auto& e : history::HistoryWriter(nullptr, "history-queue").Queue())
            if (e.run) runs.push_back(*e.run);
        return runs;
    }
    void Start(std::uint16_t selection, bool save) {
        dlg_.SetSelection(selection);
        host_.SetCheck(dlg_, CImageAdjustDlg::IDC_SAVE, save);
        dlg_.DispatchCommand(CImageAdjustDlg::IDC_SAVE);
        host_.Click(dlg_, CImageAdjustDlg::IDC_START);
    }
    std::vector<history::RunDocument> Stored() {
        std::string error;
        auto store = history::OpenSqliteStore("line/HISTORY.DB", &error);
        EXPECT_TRUE(store) << error;
        auto runs = store ? store->Query({}, &error) : std::nullopt;
        return runs ? *runs : std::vector<history::RunDocument>{};
    }
};

TEST_F(RunHistoryTest, RunsWaitWhileTheHistoryCannotBeWrittenAndGoInOnceItCan) {
    Start(0x0004, true);
    EXPECT_EQ(dlg_.LastResult(), 1);
    // The design's status line, and after it what the history is owed.
    EXPECT_EQ(dlg_.m_comment, "終了！　☆☆　ＯＫ　☆☆　［履歴未保存 1 件］");
    EXPECT_EQ(std::distance(fs::directory_iterator("history-queue"), fs::directory_iterator()), 1);

    // The record beside the result file is there all the same.
    const auto json = history::FromJson(test_support::ReadFile("W73N000000001.json"));
    ASSERT_TRUE(json);
    EXPECT_TRUE(fs::exists("W73N000000001.dat"));

    fs::create_directory("line");
    sim::Sim().FirstCamera().Faults().propertyReply = {1, 5, std::nullopt};  // the next run fails its pre-check
    Start(0x0004, false);
    EXPECT_EQ(dlg_.LastResult(), 3);
    EXPECT_EQ(dlg_.m_comment, "ERROR NO=3 USB通信エラー");
    EXPECT_TRUE(fs::is_empty("history-queue"));

    const auto runs = Stored();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], *json);
    const history::RunDocument& first = runs[0];
    EXPECT_EQ(first.station, "ST-7");
    EXPECT_EQ(first.identification, "W73N000000001");
    EXPECT_EQ(first.selectedItems, std::vector<std::string>{"ccd-flashup"});
    ASSERT_EQ(first.items.size(), 1u);
    EXPECT_EQ(first.items[0].item, "ccd-flashup");
    EXPECT_EQ(first.items[0].endMs - first.items[0].startMs, 500 + 500 + 1000 + 1000 + 500 + 200);
    EXPECT_EQ(first.standardsHash, platform::Sha256Hex(test_support::ReadFile(test_support::BinDir() / "STD.DAT")));
    EXPECT_EQ(first.programVersion, "1.02");
    // Wall times, with the items' virtual durations beside them.
    EXPECT_GE(first.endedAtMs, first.startedAtMs);
    EXPECT_EQ(runs[1].result, 3);
    EXPECT_EQ(runs[1].errorMessage, "USB通信エラー");
    EXPECT_TRUE(runs[1].identification.empty());  // no result file, no identification read
    EXPECT_LT(first.startedAtMs, runs[1].startedAtMs);
}

// A history file that is not the station's is said at once and kept as it is;
// the runs wait for a history that can take them.
TEST_F(RunHistoryTest, AFileThatIsNotAHistoryIsSaidAndKept) {
    fs::create_directory("line");
    std::ofstream("line/HISTORY.DB") << "the shift's notes, not a database\n";
    CImageAdjustDlg other(host_);
    ASSERT_TRUE(other.Create());
    ASSERT_FALSE(host_.MessageBoxes().empty());
    EXPECT_NE(host_.MessageBoxes().back().text.find("調整点検履歴のファイルを使えません。"), std::string::npos);
    EXPECT_NE(host_.MessageBoxes().back().text.find("not a station history"), std::string::npos);
    EXPECT_EQ(test_support::ReadFile("line/HISTORY.DB"), "the shift's notes, not a database\n");
}

TEST_F(RunHistoryTest, TheMenuShowsTheHistoryOnlyBetweenRuns) {
    int shown = 0;
    dlg_.SetHistoryViewer([&](const history::HistorySettings& s) {
        ++shown;
        EXPECT_EQ(s.sqliteFile, "line/HISTORY.DB");
    });
    host_.SysCommand(dlg_, CImageAdjustDlg::IDM_HISTORY);
    EXPECT_EQ(shown, 1);
    // Asked for from a box of a run under way: nothing opens.
    host_.SetResponder([&](const ui::scripted::MessageBoxRecord&) {
        host_.SysCommand(dlg_, CImageAdjustDlg::IDM_HISTORY);
        return ui::IDOK;
    });
    Start(0x0004, false);
    EXPECT_EQ(shown, 1);
}

// The server's (here the file's) refusal is told once on stderr, not at
// every run; the times are the wall clock's, though the host's is virtual.
TEST_F(RunHistoryTest, ARefusalIsToldOnceAndTheTimesAreTheWallClocks) {
    const std::int64_t before = platform::RealClock().UnixMs();
    testing::internal::CaptureStderr();
    for (int run = 0; run < 3; ++run) Start(0x0004, run == 0);
    const std::string told = testing::internal::GetCapturedStderr();
    const std::string refusal = "history: line/HISTORY.DB: unable to open database file\n";
    EXPECT_EQ(told.find(refusal), told.rfind(refusal)) << told;
    EXPECT_NE(told.find(refusal), std::string::npos) << told;
    const auto runs = Queued();
    ASSERT_EQ(runs.size(), 3u);
    for (const auto& r : runs) {
        EXPECT_GE(r.startedAtMs, before);
        EXPECT_LE(r.endedAtMs, platform::RealClock().UnixMs());
    }
    EXPECT_EQ(dlg_.m_comment, "終了！　☆☆　ＯＫ　☆☆　［履歴未保存 3 件］");
}

// The defect editor's SAVE replaces the result file: its action goes into
// the history and beside the file as a run does.
TEST_F(RunHistoryTest, TheDefectEditorsSaveIsARunOfTheHistory) {
    fs::create_directory("line");
    ui::scripted::Script& s = host_.OnShow(CPixelDefectDlg::IDD);
    s.Click(CPixelDefectDlg::IDC_SAVE).Click(CPixelDefectDlg::IDC_READ).Click(ui::IDCANCEL);
    host_.Click(dlg_, CImageAdjustDlg::IDC_PIXEL_DEFECT);
    const auto runs = Stored();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].identification, "W73N000000001");
    EXPECT_EQ(runs[0].selectedItems, std::vector<std::string>{"defect-editor"});
    EXPECT_EQ(runs[0].result, 1);
    EXPECT_EQ(history::FromJson(test_support::ReadFile("W73N000000001.json")), runs[0]);
    EXPECT_TRUE(fs::exists("W73N000000001.dat"));
}

// HISTORY.INI as the window finds it when it opens.
template <const char* kIni>
class HistoryIniTest : public RunHistoryTest {
protected:
    HistoryIniTest() {
        std::ofstream("HISTORY.INI") << kIni;
        std::ofstream("notes.txt") << "not a database\n";
    }
    std::string Boxes() const {
        std::string all;
        for (const auto& b : host_.MessageBoxes()) all += b.text + "|";
        return all;
    }
};
constexpr char kMalformed[] = "sqlite_file = line.db\nqueue =\n";
constexpr char kNowhere[] = "sqlite_file = notes.txt\nqueue = STD.DAT/queue\n";
using MalformedIniTest = HistoryIniTest<kMalformed>;
using NowhereTest = HistoryIniTest<kNowhere>;

// A file that cannot be used is said with its line and reason, and the runs
// go to the default history, not to none.
TEST_F(MalformedIniTest, IsSaidAndTheRunsGoToTheDefaultHistory) {
    ui::scripted::ScriptedHost host;
    CImageAdjustDlg dlg(host);
    ASSERT_TRUE(dlg.Create());
    ASSERT_FALSE(host.MessageBoxes().empty());
    const std::string said = host.MessageBoxes().back().text;
    EXPECT_NE(said.find("調整点検履歴の設定ファイルを使えません。"), std::string::npos) << said;
    EXPECT_NE(said.find("HISTORY.INI:2: 'queue' has no value"), std::string::npos) << said;
    dlg.DestroyWindow();
    Start(0x0004, false);
    std::string error;
    auto store = history::OpenSqliteStore("HISTORY.DB", &error, true);
    ASSERT_TRUE(store) << error;
    EXPECT_EQ(store->Query({}, &error)->size(), 1u);
    EXPECT_FALSE(fs::exists("line.db"));
}

// A run that can be neither stored nor queued is told at its end, counted
// in the status line, and the run's own result stands.
TEST_F(NowhereTest, ALostRunIsToldAndCounted) {
    Start(0x0004, true);
    EXPECT_EQ(dlg_.LastResult(), 1);
    EXPECT_EQ(dlg_.LostRuns(), 1u);
    EXPECT_NE(Boxes().find("この検査の記録を調整点検履歴にも保留にも書けませんでした。"), std::string::npos) << Boxes();
    EXPECT_EQ(dlg_.m_comment, "終了！　☆☆　ＯＫ　☆☆　［履歴記録不能 1 件］");
    EXPECT_EQ(test_support::ReadFile("notes.txt"), "not a database\n");
}

}  // namespace
