// The pixel defect editor against the simulated camera: what the operator
// sees, what the camera's CCD EEPROM holds after each action, and the
// result file.

#include "adjust/pixel_defect_dlg.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "platform/sjis.h"
#include "res/prompts.h"
#include "sim/simulator.h"
#include "tests/support/work_dir.h"
#include "ui/scripted/scripted_host.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using D = CPixelDefectDlg;

struct Entry {
    bool blue;
    std::uint16_t v, h;
    bool operator==(const Entry&) const = default;
};

// The table as the camera's working copy holds it.
std::vector<Entry> CameraTable() {
    const auto& ee = sim::Sim().FirstCamera().Mem(sim::Memory::CcdEeprom);
    const int r = platform::GetBe16(&ee[370]), b = platform::GetBe16(&ee[372]);
    std::vector<Entry> out;
    for (int i = 0; i < r + b; ++i)
        out.push_back({i >= r, platform::GetBe16(&ee[376 + 4 * i]), platform::GetBe16(&ee[378 + 4 * i])});
    return out;
}

class PixelDefectTest : public ::testing::Test {
protected:
    PixelDefectTest() : dir_("pixel_defect_test") {}
    void SetUp() override {
        sim::Sim().Reset();
        CUsbCamera::BindDriverEntry(&SimLvDriverEntry);
    }
    void TearDown() override {
        cam_.DisconnectCamera();
        CUsbCamera::BindDriverEntry(nullptr);
    }
    void Use(const std::string& profile) {
        sim::Sim().ClearDevices();
        ASSERT_NE(sim::Sim().AddCamera(profile), 0u) << sim::Sim().LastError();
    }
    // One showing of the editor: the actions, then CANCEL.
    std::string Show(const std::function<void(ui::scripted::Script&)>& actions) {
        ui::scripted::Script& s = host_.OnShow(D::IDD);
        actions(s);
        s.Click(ui::IDCANCEL);
        D dlg(host_);
        dlg.m_pCamera = &cam_;
        dlg.DoModal();
        return dlg.m_log;
    }
    static void Pixel(ui::scripted::Script& s, int mode, int x, int y) {
        s.Click(mode).Type(D::IDC_RAW_X, std::to_string(x)).Type(D::IDC_RAW_Y, std::to_string(y)).Click(ui::IDOK);
    }
    // The application-modal boxes shown: what the editor told the operator.
    std::vector<std::string> Notices() const {
        std::vector<std::string> out;
        for (const auto& b : host_.MessageBoxes())
            if (b.ownerId == 0 && b.buttons == ui::MbButtons::Ok) out.push_back(b.text);
        return out;
    }
    static int Writes() {
        int n = 0;
        for (const auto& c : sim::Sim().Commands()) n += c.name == "DXC_CCDEEPROM_DATAWRITE";
        return n;
    }

    test_support::WorkDir dir_;
    ui::scripted::ScriptedHost host_;
    CUsbCamera cam_{host_.VClock()};
};

// stored-defects holds R (1000, 1200) and (1002, 1200) as a marked pair and B (300, 455).
const std::vector<Entry> kStored = {{false, 0x2000 | 603, 1066}, {false, 0x4000 | 603, 1068}, {true, 230, 366}};

TEST_F(PixelDefectTest, ReadListsTheTableAndLetsTheCameraGo) {
    Use("stored-defects");
    const std::string log = Show([](ui::scripted::Script& s) { s.Click(D::IDC_READ); });
    EXPECT_EQ(log,
              "書き込み済み画素欠陥情報\r\n"
              "R数=    2  B数=    1 TOTAL=3\r\n"
              "R[1]  H= 1066  V=  603 RAW( X: 1000, Y: 1200 )\r\n"
              "R[2]  H= 1068  V=  603 RAW( X: 1002, Y: 1200 )\r\n"
              "\r\n"
              "B[1]  H=  366  V=  230 RAW( X: 300, Y: 455 )\r\n");
    EXPECT_EQ(Writes(), 0);
    EXPECT_EQ(Notices(), std::vector<std::string>{"カメラからケーブルを取り外してください"});
    EXPECT_FALSE(sim::Sim().FirstCamera().Modes().ccdPower);
    EXPECT_FALSE(sim::Sim().FirstCamera().Modes().checkerOpen);
}

TEST_F(PixelDefectTest, RunEditsTheTableOrRefusesWithItsMessage) {
    struct Case {
        const char* what;
        const char* unit;
        int mode;
        int x, y;
        const char* refusal;         // nullptr: written
        std::vector<Entry> written;  // the table afterwards
    };
    const int add = D::IDC_ADD, del = D::IDC_DELETE;
    const Case cases[] = {
        {"add a pixel already there", "stored-defects", add, 300, 455, nullptr, kStored},
        {"add the right neighbour of a single entry", "stored-defects", add, 302, 455, nullptr,
         {kStored[0], kStored[1], {true, 0x2000 | 230, 366}, {true, 0x4000 | 230, 368}}},
        {"add a third to a pair", "stored-defects", add, 1004, 1200, "同色３連結以上の欠陥があります", kStored},
        {"delete an absent pixel", "stored-defects", del, 301, 455, "該当アドレスが見つかりませんでした", kStored},
        {"delete the right member of a pair", "stored-defects", del, 1002, 1200, nullptr,
         {{false, 603, 1066}, kStored[2]}},
        {"delete the left member of a pair", "stored-defects", del, 1000, 1200, nullptr,
         {{false, 603, 1068}, kStored[2]}},
        {"RAW_Y 0 is V 3 of the R list", "nominal", add, 500, 0, nullptr, {{false, 3, 566}}},
        {"RAW_Y 1 is V 3 of the B list", "nominal", add, 500, 1, nullptr, {{true, 3, 566}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Use(c.unit);
        host_.ClearRecords();
        sim::Sim().ClearCommands();
        Show([&](ui::scripted::Script& s) { Pixel(s, c.mode, c.x, c.y); });
        EXPECT_EQ(CameraTable(), c.written);
        if (c.refusal) {
            EXPECT_EQ(Notices(), std::vector<std::string>{c.refusal});
            EXPECT_EQ(Writes(), 0);
        } else {
            EXPECT_EQ(Writes(), 1);
            EXPECT_EQ(host_.MessageBoxes().back().text, "カメラからケーブル類を外してください");
            // Committed to the flash by the update commands.
            EXPECT_EQ(sim::Sim().FirstCamera().Mem(sim::Memory::CcdEepromFlash),
                      sim::Sim().FirstCamera().Mem(sim::Memory::CcdEeprom));
        }
    }
}

TEST_F(PixelDefectTest, RunsOfFourAndAFullTableAreNotWritten) {
    struct Case {
        const char* what;
        std::string profile;
        int x, y;
        const char* refusal;
    };
    std::string full = "clear_hot_pixels = x\n";
    for (int i = 0; i < 390; ++i) full += "stored_defect = " + std::to_string(10 + 7 * (i % 400)) + " " +
                                          std::to_string(10 + 5 * (i / 400)) + "\n";
    const Case cases[] = {
        {"fourth side by side",
         "clear_hot_pixels = x\nstored_defect = 2400 700\nstored_defect = 2401 700\nstored_defect = 2402 700\n", 2403,
         700, "横４連画素欠陥があります"},
        {"fourth one above the other",
         "clear_hot_pixels = x\nstored_defect = 900 100\nstored_defect = 900 101\nstored_defect = 900 102\n", 900, 103,
         "縦４連画素欠陥があります"},
        {"a 391st entry", full, 2000, 2000,
         "画素欠陥数が書き込み可能数を超えます（R数+B数=391）\r\n書き込める画素欠陥は390までです"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream("unit.txt") << c.profile;
        Use("unit.txt");
        const std::vector<Entry> before = CameraTable();
        host_.ClearRecords();
        sim::Sim().ClearCommands();
        const std::string log = Show([&](ui::scripted::Script& s) { Pixel(s, D::IDC_ADD, c.x, c.y); });
        EXPECT_EQ(Notices(), std::vector<std::string>{c.refusal}) << log.substr(log.size() > 600 ? log.size() - 600 : 0);
        EXPECT_EQ(Writes(), 0);
        EXPECT_EQ(CameraTable(), before);
    }
}

TEST_F(PixelDefectTest, TablesThatNoCameraShouldHoldAreRefusedOnReading) {
    struct Case {
        const char* unit;
        const char* message;
    };
    const Case cases[] = {
        {"defect-table-bad", "調整値異常です（データ0xFF）"},
        {"defect-count-over", "画素欠陥数が異常です（R数=600  B数=0）\r\n512を超える数は読み込めません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        Use(c.unit);
        host_.ClearRecords();
        sim::Sim().ClearCommands();
        Show([&](ui::scripted::Script& s) { Pixel(s, D::IDC_ADD, 2000, 2000); });
        EXPECT_EQ(host_.MessageBoxes().back().text, c.message);
        EXPECT_EQ(host_.MessageBoxes().back().caption, kCaptionError);
        EXPECT_EQ(Writes(), 0);
    }
}

TEST_F(PixelDefectTest, SaveKeepsThisActionsLogWithTheDateLine) {
    Use("stored-defects");
    const std::string name = sim::Sim().FirstCamera().Unit().identification + ".dat";
    std::ofstream(name) << "an earlier run's log\r\n";
    host_.VClock().SetToday({2003, 4, 9});
    const std::string log = Show([](ui::scripted::Script& s) {
        s.Click(D::IDC_SAVE).Click(D::IDC_READ);
        Pixel(s, D::IDC_DELETE, 300, 455);
    });
    ASSERT_EQ(log.rfind("書き込み済み調整値\r\nR数=    2  B数=    1 TOTAL=3\r\n", 0), 0u);
    EXPECT_EQ(log.substr(log.size() - 17), "2003年4月9日\r\n");
    EXPECT_EQ(log.find("書き込み済み画素欠陥情報"), std::string::npos);  // READ's log went with READ
    EXPECT_EQ(test_support::ReadFile(name), platform::ToShiftJis(log));

    // A read-only file is not replaced.
    ::chmod(name.c_str(), 0444);
    host_.ClearRecords();
    Show([](ui::scripted::Script& s) { s.Click(D::IDC_SAVE).Click(D::IDC_READ); });
    EXPECT_EQ(Notices(), std::vector<std::string>{"指定のファイルを開けませんでした"});
    EXPECT_EQ(test_support::ReadFile(name), platform::ToShiftJis(log));
}

TEST_F(PixelDefectTest, PixelOutsideTheRangeIsNotAsked) {
    Use("nominal");
    Show([](ui::scripted::Script& s) { Pixel(s, D::IDC_ADD, 3501, 0); });
    ASSERT_FALSE(host_.MessageBoxes().empty());
    EXPECT_EQ(host_.MessageBoxes().back().text, "0 から 3500 までの整数を入力してください。");
    EXPECT_TRUE(sim::Sim().Commands().empty());
}

TEST_F(PixelDefectTest, CameraThatFailsThePreCheckIsLetGo) {
    Use("af-auto");
    Show([](ui::scripted::Script& s) { s.Click(D::IDC_READ); });
    EXPECT_EQ(host_.MessageBoxes().back().text, "カメラとの初期通信でエラーが発生しました");
    EXPECT_EQ(host_.MessageBoxes().back().caption, kCaptionError);
    EXPECT_FALSE(sim::Sim().FirstCamera().Modes().checkerOpen);
    EXPECT_EQ(CUsbCamera::LinkFlags() & 0x04, 0);
}

}  // namespace
