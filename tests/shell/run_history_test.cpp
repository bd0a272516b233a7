// Every run into the history, as the main window records it: the record
// beside the result file, the history file named by HISTORY.INI, and a
// history that cannot be written, which the station says and catches up on.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "history/history_store.h"
#include "platform/sha256.h"
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
        std::ofstream("STD.DAT", std::ios::binary) << "CCD_DEFECT 150 200\r\n";
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
    EXPECT_EQ(first.standardsHash, platform::Sha256Hex("CCD_DEFECT 150 200\r\n"));
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

}  // namespace
