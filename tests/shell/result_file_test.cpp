// The result file of a run with SAVE: its name from the camera's
// identification, its bytes, its replacement, and the failures around it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "camera/usb_camera.h"
#include "history/run_document.h"
#include "platform/sjis.h"
#include "shell/image_adjust_dlg.h"
#include "sim/simulator.h"
#include "tests/support/station_fixture.h"
#include "tests/support/work_dir.h"
#include "ui/scripted/scripted_host.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const char* const kFlashUpLog = "OK\r\nFLASHｱｯﾌﾟｺﾏﾝﾄﾞ実行中 ・・・・完了\r\nFLASH->DRAMへ展開中・・・・完了\r\n";
const char* const kNotOpened = "指定のファイルを開けませんでした";

// The window works in "work" below the test's folder, so that a file
// written outside the working folder would be found.
class ResultFileTest : public test_support::StationTest<> {
protected:
    ResultFileTest() : StationTest("result_file_test", "work") {}
    void SetUp() override {
        StationTest::SetUp();
        dlg_.m_saveResult = 1;
    }
    // The identification bytes 16..29 in the camera's CCD EEPROM.
    static void SetIdentification(const Bytes& bytes13) {
        sim::Camera& cam = sim::Sim().FirstCamera();
        for (Memory m : {sim::Memory::CcdEeprom, sim::Memory::CcdEepromFlash})
            for (size_t i = 0; i < 13; ++i) cam.Mem(m)[17 + i] = i < bytes13.size() ? bytes13[i] : 0;
    }
    using Memory = sim::Memory;
    // The CCD EEPROM flash-up, or the TFT one (which reads no CCD EEPROM).
    void RunFlashUp(std::uint16_t selection = 0x0004) {
        dlg_.SetSelection(selection);
        host_.Click(dlg_, CImageAdjustDlg::IDC_START);
    }
    static std::string Read(const fs::path& p) { return test_support::ReadFile(p); }
    // Every entry anywhere under the test's folder, the working folder itself
    // and its STD.DAT aside, and the history's files and the run's record
    // beside the result file (tests/shell/run_history_test.cpp has those).
    std::vector<fs::path> Entries() const {
        std::vector<fs::path> out;
        for (const auto& e : fs::recursive_directory_iterator(dir_)) {
            const std::string name = e.path().filename().string();
            if (e.path() == dir_ / "work" || e.path() == dir_ / "work" / "STD.DAT" || name.rfind("HISTORY.DB", 0) == 0 ||
                e.path().extension() == ".json" || name == "history-queue")
                continue;
            out.push_back(e.path());
        }
        return out;
    }

    const fs::path& dir_ = work_.Root();
};

TEST_F(ResultFileTest, HoldsTheLogAndDateLineInShiftJis) {
    sim::Sim().ClearDevices();
    sim::Sim().AddCamera("nominal", "ABCDEFGHIJKLM");
    RunFlashUp();
    ASSERT_EQ(dlg_.LastResult(), 1);
    const std::string expected = std::string(kFlashUpLog) + "2002年7月5日\r\n";
    EXPECT_EQ(dlg_.m_log, expected);
    EXPECT_EQ(Entries(), std::vector<fs::path>{dir_ / "work" / "ABCDEFGHIJKLM.dat"});
    const std::string file = Read("ABCDEFGHIJKLM.dat");
    EXPECT_EQ(file, platform::ToShiftJis(expected));
    // The date in code page 932: 年 94 4E, 月 8C 8E, 日 93 FA; no padding.
    EXPECT_EQ(file.substr(file.size() - 14), "2002\x94\x4E" "7\x8C\x8E" "5\x93\xFA\r\n");
    // The CCD power was switched off again after the read.
    EXPECT_FALSE(sim::Sim().FirstCamera().Modes().ccdPower);
}

TEST_F(ResultFileTest, SecondRunReplacesTheFile) {
    const std::string name = sim::Sim().FirstCamera().Unit().identification + ".dat";
    std::ofstream(name, std::ios::binary) << std::string(4000, 'x');
    RunFlashUp();
    host_.VClock().SetToday({2010, 12, 31});
    RunFlashUp();
    EXPECT_EQ(dlg_.LastResult(), 1);
    EXPECT_EQ(Read(name), platform::ToShiftJis(std::string(kFlashUpLog) + "2010年12月31日\r\n"));
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(ResultFileTest, HostileIdentificationStaysInTheWorkingFolder) {
    const std::vector<Bytes> cases = {
        Bytes{'.', '.', '/', '.', '.', '/', 'e', 't', 'c', '/', 'x'},
        Bytes{'/', 't', 'm', 'p', '/', 'x'},
        Bytes{'.', '.'},
        Bytes{'A', 'B', 0, '/', '.', '.'},
        Bytes{'\\', '.', '.', '\\', 'C', '\r', '\n', '\t', 0x7F, 0x1B, 'Z'},
        Bytes{0x82, 0xA0, 0xFF, 0x80, 'k', 0xE3, 0x81, 0x82},
    };
    for (const Bytes& id : cases) {
        SCOPED_TRACE(std::string(id.begin(), id.end()));
        for (const auto& e : Entries()) fs::remove_all(e);
        SetIdentification(id);
        RunFlashUp();
        EXPECT_EQ(dlg_.LastResult(), 1);
        const auto entries = Entries();
        ASSERT_EQ(entries.size(), 1u);
        const fs::path& p = entries[0];
        EXPECT_EQ(p.parent_path(), dir_ / "work");
        EXPECT_TRUE(fs::is_regular_file(p));
        EXPECT_EQ(p.extension(), ".dat");
        for (unsigned char c : p.filename().string()) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << int(c);
        EXPECT_EQ(Read(p), platform::ToShiftJis(dlg_.m_log));
    }
    EXPECT_FALSE(fs::exists(dir_ / "etc"));
}

TEST_F(ResultFileTest, CutAtTheFirstZeroByte) {
    SetIdentification(Bytes{'A', 'B', 0, 'C', 'D'});
    RunFlashUp();
    EXPECT_TRUE(fs::exists("AB.dat"));
}

TEST_F(ResultFileTest, EmptyIdentificationGivesSeventyFourWithTheLogKept) {
    SetIdentification(Bytes(13, 0));
    RunFlashUp();
    EXPECT_EQ(dlg_.LastResult(), 74);
    EXPECT_TRUE(Entries().empty());
    const auto& boxes = host_.MessageBoxes();
    ASSERT_GE(boxes.size(), 2u);
    const auto& box = boxes[boxes.size() - 2];  // before the cable prompt
    EXPECT_EQ(box.text.rfind(kNotOpened, 0), 0u) << box.text;
    EXPECT_EQ(box.ownerId, 0);
    EXPECT_EQ(dlg_.m_log, std::string(kFlashUpLog) + "2002年7月5日\r\n");
    EXPECT_EQ(dlg_.GetDlgItemText(CImageAdjustDlg::IDC_LOG), dlg_.m_log);
    EXPECT_EQ(dlg_.GetDlgItemText(CImageAdjustDlg::IDC_COMMENT), "ERROR NO=74 ファイルオープンエラー");
    EXPECT_EQ(CUsbCamera::LinkFlags() & 0x04, 0);
}

TEST_F(ResultFileTest, FileThatCannotBeWrittenGivesSeventyFour) {
    const std::string name = sim::Sim().FirstCamera().Unit().identification + ".dat";
    fs::create_directory(name);
    std::ofstream(fs::path(name) / "keep") << "kept";
    RunFlashUp();
    EXPECT_EQ(dlg_.LastResult(), 74);
    const auto& boxes = host_.MessageBoxes();
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[boxes.size() - 2].text, kNotOpened);
    EXPECT_EQ(boxes[boxes.size() - 2].ownerId, 0);
    EXPECT_EQ(Read(fs::path(name) / "keep"), "kept");
    EXPECT_EQ(dlg_.m_log, std::string(kFlashUpLog) + "2002年7月5日\r\n");
}

TEST_F(ResultFileTest, ReadOnlyFileIsKeptAndGivesSeventyFour) {
    // The station runs as root on the line PC, where permission bits do not
    // stop a write: a file without any write bit is what it may not replace.
    const std::string name = sim::Sim().FirstCamera().Unit().identification + ".dat";
    std::ofstream(name, std::ios::binary) << "an earlier run";
    fs::permissions(name, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    RunFlashUp();
    EXPECT_EQ(dlg_.LastResult(), 74);
    const auto& boxes = host_.MessageBoxes();
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[boxes.size() - 2].text, kNotOpened);
    EXPECT_EQ(boxes[boxes.size() - 2].ownerId, 0);
    EXPECT_EQ(Read(name), "an earlier run");
    EXPECT_EQ(Entries().size(), 1u);  // nor a temporary file left beside it
    EXPECT_EQ(dlg_.GetDlgItemText(CImageAdjustDlg::IDC_COMMENT), "ERROR NO=74 ファイルオープンエラー");
}

// The run's record beside the result file is treated as the file is: one
// that may not be replaced is kept, and the run is not OK.
TEST_F(ResultFileTest, ReadOnlyRecordBesideTheFileGivesSeventyFour) {
    const std::string name = sim::Sim().FirstCamera().Unit().identification + ".json";
    std::ofstream(name, std::ios::binary) << "an earlier record";
    fs::permissions(name, fs::perms::owner_read);
    RunFlashUp();
    EXPECT_EQ(dlg_.LastResult(), 74);
    EXPECT_EQ(Read(name), "an earlier record");
    EXPECT_EQ(host_.MessageBoxes()[host_.MessageBoxes().size() - 2].text, kNotOpened);
    EXPECT_EQ(dlg_.LastRunRecord().Result(), 74);
}

// Identifications that differ only in a byte a file name cannot hold as it
// is still name files of their own, and the record keeps the same text; an
// erased EEPROM names no camera.
TEST_F(ResultFileTest, EveryIdentificationNamesAFileOfItsOwn) {
    const std::pair<Bytes, std::string> cases[] = {
        {Bytes{'W', '7', '3', 'N', '/'}, "W73N%2F"},
        {Bytes{'W', '7', '3', 'N', '\\'}, "W73N%5C"},
        {Bytes{'W', '7', '3', 'N', '_'}, "W73N_"},
        {Bytes{'W', '7', '3', 'N', '%', '2', 'F'}, "W73N%252F"},
        {Bytes{'W', '7', '3', 0xFF, 0x0A}, "W73%FF%0A"},
        {Bytes(13, 0xFF), ""},
    };
    for (const auto& [id, text] : cases) {
        SCOPED_TRACE(text);
        SetIdentification(id);
        RunFlashUp();
        EXPECT_EQ(dlg_.LastResult(), text.empty() ? 74 : 1);
        EXPECT_EQ(dlg_.LastRunRecord().Identification(), text);
        if (text.empty()) continue;
        const auto record = history::FromJson(Read(text + ".json"));
        ASSERT_TRUE(record);
        EXPECT_EQ(record->identification, text);
    }
    std::vector<std::string> names;
    for (const auto& e : Entries()) names.push_back(e.filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"W73%FF%0A.dat", "W73N%252F.dat", "W73N%2F.dat", "W73N%5C.dat",
                                               "W73N_.dat"}));
}

TEST_F(ResultFileTest, FailingItemStillWritesItsLogUpToTheFailure) {
    // The flash-up's update command fails: its NG log is what the file holds.
    sim::Sim().InjectSense(sim::MakeSense(sim::kSenseNotReady, sim::kAscNotReady), 1, "DXC_UPDATECOMMAND");
    RunFlashUp();
    EXPECT_EQ(dlg_.LastResult(), 3);
    const std::string expected = "NG\r\nFLASHｱｯﾌﾟｺﾏﾝﾄﾞ実行中2002年7月5日\r\n";
    EXPECT_EQ(dlg_.m_log, expected);
    EXPECT_EQ(Read(sim::Sim().FirstCamera().Unit().identification + ".dat"), platform::ToShiftJis(expected));
}

TEST_F(ResultFileTest, CameraFailureWhileReadingTheNameGivesThree) {
    sim::Sim().InjectSense(sim::MakeSense(sim::kSenseNotReady, sim::kAscNotReady), 1, "DXC_CCDEEPROM_DATAREAD");
    RunFlashUp(0x8000);
    EXPECT_EQ(dlg_.LastResult(), 3);
    EXPECT_TRUE(Entries().empty());
}

TEST_F(ResultFileTest, SaveOffWritesNothing) {
    dlg_.m_saveResult = 0;
    RunFlashUp();
    EXPECT_EQ(dlg_.LastResult(), 1);
    EXPECT_TRUE(Entries().empty());
    EXPECT_EQ(dlg_.m_log, kFlashUpLog);
    EXPECT_FALSE(sim::Sim().Commands().empty());
    for (const auto& c : sim::Sim().Commands())
        EXPECT_FALSE(c.name == "DXC_CCDEEPROM_DATAREAD" && c.cdb[7] == 16) << "the identification was read";
}

}  // namespace
