// The main window in the scripted host: start-up with and without the driver
// library, the item selection rules, the status pictures, the end-of-run
// report, the version window and the standards round trip.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "camera/usb_camera.h"
#include "platform/library.h"
#include "platform/trace.h"
#include "shell/image_adjust_dlg.h"
#include "standards/standard_dlg.h"
#include "tests/support/work_dir.h"
#include "ui/scripted/scripted_host.h"

namespace {

namespace fs = std::filesystem;
using D = CImageAdjustDlg;

const char* const kTitle = "W0073 ImageAdjust software Ver1.020";
const std::vector<int> kItemBoxes = {1112, 1140, 1117, 1118, 1136, 1143, 1138, 1137, 1139, 1144};

// What the window tells of its driver library, and whether the library was
// there to be used each time.
class LibraryEvents : public D::DriverLibraryObserver {
public:
    void DriverLibraryLoaded(platform::SharedLibrary& library) override { Note("loaded", library); }
    void DriverLibraryFreeing(platform::SharedLibrary& library) override { Note("freeing", library); }
    std::vector<std::string> events;

private:
    void Note(const char* event, platform::SharedLibrary& library) {
        const bool usable = CUsbCamera::DriverLibrary() == &library && library.Symbol("LvDriverEntry") != nullptr &&
                            (CUsbCamera::LinkFlags() & 1) != 0;
        events.push_back(std::string(event) + (usable ? "" : " (not usable)"));
    }
};

// Each test runs in a fresh working directory (STD.DAT is read from there);
// the driver library is found beside the test program.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { CUsbCamera::SetDriverLibraryName("libLvxStor.so"); }
    void TearDown() override { platform::SetTraceSink({}); }
    static void WriteStdDat(const std::string& text) { std::ofstream(kStdFileName, std::ios::binary) << text; }
    std::set<int> Ticked(const D& dlg) const {
        std::set<int> ticked;
        for (int id : kItemBoxes)
            if (dlg.IsDlgButtonChecked(id)) ticked.insert(id);
        return ticked;
    }

    test_support::WorkDir work_{"main_window_test"};
    ui::scripted::ScriptedHost host_;
};

TEST_F(MainWindowTest, StartsReadyWithTheDriverLibraryAndFreesItOnClose) {
    if (!fs::exists(test_support::BinDir() / "libLvxStor.so"))
        GTEST_SKIP() << "libLvxStor.so is not built beside the tests";
    // The sample with initial values that atoi reads in its own way, the
    // last out of the 10-bit range.
    std::string sample = test_support::ReadFile(test_support::BinDir() / kStdFileName);
    const std::size_t sens = sample.find("SENS_STD "), end = sample.find("\r\n", sens);
    sample.replace(sens, end - sens,
                   "SENS_STD  400   520  454  3.00 5.00 0100 0120 12AB 0A1F 0140 0150 0160 0170 0180 0190 "
                   "0200 0210 0220 0230 0240 0250 0260 0270 9999");
    WriteStdDat(sample);
    std::vector<std::string> trace;
    platform::SetTraceSink([&](const std::string& line) { trace.push_back(line); });

    LibraryEvents observer;
    D dlg(host_);
    dlg.SetDriverLibraryObserver(&observer);
    ASSERT_TRUE(dlg.Create());
    EXPECT_EQ(observer.events, std::vector<std::string>{"loaded"});
    // The value out of range named, field and value; START would refuse.
    const std::string outOfRange =
        "STD.DATの規格値が範囲外です。確認してください\r\nSENS_STD sensInitial[18] = 9999 （0以上 1023以下）\r\n";
    ASSERT_EQ(host_.MessageBoxes().size(), 1u);
    EXPECT_EQ(host_.MessageBoxes()[0].text, outOfRange);
    EXPECT_EQ(host_.MessageBoxes()[0].caption, "ERROR");
    EXPECT_EQ(dlg.StandardsFault(), outOfRange);
    EXPECT_EQ(dlg.GetWindowText(), kTitle);
    EXPECT_EQ(CUsbCamera::LinkFlags(), 1);
    EXPECT_EQ(dlg.m_displayState, 2);
    EXPECT_EQ(dlg.m_itemFlags, 0);
    EXPECT_TRUE(Ticked(dlg).empty());
    EXPECT_EQ(dlg.GetWindow()->Focus(), 1009);
    EXPECT_EQ(host_.LastBitmap(dlg, 1072), 141);
    // The initial values as atoi reads them.
    EXPECT_EQ(dlg.m_standards.sensInitial[0], 100);
    EXPECT_EQ(dlg.m_standards.sensInitial[2], 12);
    EXPECT_EQ(dlg.m_standards.sensInitial[3], 0);
    EXPECT_EQ(dlg.m_standards.sensInitial[18], 9999);

    host_.Close(dlg);
    // Told while the library could still be used, and only then freed.
    EXPECT_EQ(observer.events, (std::vector<std::string>{"loaded", "freeing"}));
    EXPECT_EQ(CUsbCamera::LinkFlags() & 1, 0);
    EXPECT_EQ(CUsbCamera::DriverLibrary(), nullptr);
    EXPECT_EQ(dlg.m_pCamera, nullptr);
    EXPECT_NE(std::find(trace.begin(), trace.end(), "FREE LIBRARY\r\n"), trace.end());
}

TEST_F(MainWindowTest, OpensWithoutStandardsFileOrDriverAfterTheMessagesInOrder) {
    CUsbCamera::SetDriverLibraryName("libNoSuchDriver.so");
    LibraryEvents observer;
    D dlg(host_);
    dlg.SetDriverLibraryObserver(&observer);
    host_.OnShow(D::IDD).Close();
    dlg.DoModal();
    EXPECT_TRUE(observer.events.empty());  // no library, nothing to tell

    ASSERT_EQ(host_.Shown().size(), 1u);  // the window opens all the same
    const auto& boxes = host_.MessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "STD.DATファイルが開けません。確認してください");
    EXPECT_EQ(boxes[1].text, "USB通信DLL(LvxStor.dll)がﾛｰﾄﾞできませんでした。");
    EXPECT_EQ(boxes[1].icon, ui::MbIcon::Stop);
    EXPECT_EQ(boxes[2].text, "USBﾄﾞﾗｲﾊﾞｰのロードを失敗しました。ソフトを立ち上げて下さい。");
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(boxes[i].ownerId, 0);  // application-modal
        EXPECT_EQ(boxes[i].caption, "W73ImageAdjust");
        EXPECT_EQ(boxes[i].buttons, ui::MbButtons::Ok);
    }
    EXPECT_EQ(dlg.m_standards, StandardsCopy{});
    EXPECT_EQ(dlg.m_displayState, 2);
    EXPECT_EQ(dlg.m_itemFlags, 0);
    ASSERT_FALSE(host_.Bitmaps().empty());
    EXPECT_EQ(host_.Bitmaps().back().bitmapId, 141);
    EXPECT_TRUE(host_.Stalls().empty());
}

// An open main window, driven click by click.
class OpenWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        WriteStdDat("");
        ASSERT_TRUE(dlg_.Create());
        host_.ClearRecords();
    }
    void Click(int id) { host_.Click(dlg_, id); }
    D dlg_{host_};
};

TEST_F(OpenWindowTest, NoStrayKeyEndsTheStationOnlyItsClose) {
    host_.Escape(dlg_);
    EXPECT_FALSE(dlg_.Ended());

    // Enter on a check box is START (which finds no item selected).
    Click(1117);
    Click(1117);
    host_.Enter(dlg_);
    ASSERT_EQ(host_.MessageBoxes().size(), 1u);
    EXPECT_EQ(host_.MessageBoxes()[0].text, "項目が選択されてません");
    EXPECT_FALSE(dlg_.Ended());

    // Enter on another button presses that one.
    host_.OnShow(CStandardDlg::IDD).Escape();
    dlg_.GotoDlgCtrl(1008);
    host_.Enter(dlg_);
    ASSERT_EQ(host_.Shown().size(), 1u);
    EXPECT_EQ(host_.Shown()[0].dialogId, CStandardDlg::IDD);
    EXPECT_FALSE(dlg_.Ended());

    host_.Close(dlg_);
    EXPECT_TRUE(dlg_.Ended());
}

TEST_F(OpenWindowTest, StandAloneItemsReplaceTheSelection) {
    for (auto [box, bit] : std::vector<std::pair<int, int>>{
             {1112, 0x0004}, {1138, 0x0010}, {1137, 0x2000}, {1139, 0x4000}, {1140, 0x8000}, {1144, 0x0800}}) {
        SCOPED_TRACE(box);
        Click(1117);
        Click(1118);  // with ratio and aperture
        ASSERT_EQ(dlg_.m_itemFlags, 0x1380);
        Click(box);
        EXPECT_EQ(dlg_.m_itemFlags, bit);
        EXPECT_EQ(Ticked(dlg_), std::set<int>{box});
        Click(box);
        EXPECT_EQ(dlg_.m_itemFlags, 0);
        EXPECT_TRUE(Ticked(dlg_).empty());
    }
}

TEST_F(OpenWindowTest, CombinableItemsKeepOrDropEarlierBits) {
    Click(1118);
    EXPECT_EQ(dlg_.m_itemFlags, 0x1300);
    EXPECT_EQ(Ticked(dlg_), (std::set<int>{1118, 1136, 1143}));
    Click(1118);  // unticking clears only its own bit
    EXPECT_EQ(dlg_.m_itemFlags, 0x1100);
    EXPECT_EQ(Ticked(dlg_), (std::set<int>{1136, 1143}));
    Click(1136);
    Click(1143);
    EXPECT_EQ(dlg_.m_itemFlags, 0);

    Click(1138);  // battery check, then sensitivity: both
    Click(1117);
    EXPECT_EQ(dlg_.m_itemFlags, 0x0090);
    Click(1143);  // aperture drops the battery check
    EXPECT_EQ(dlg_.m_itemFlags, 0x1080);
    EXPECT_EQ(Ticked(dlg_), (std::set<int>{1117, 1143}));
    Click(1117);
    Click(1117);  // ticked again: drops aperture
    EXPECT_EQ(dlg_.m_itemFlags, 0x0080);
    EXPECT_EQ(Ticked(dlg_), std::set<int>{1117});

    Click(1112);  // CCD flash-up stays when combinable items follow
    Click(1117);
    Click(1118);
    EXPECT_EQ(dlg_.m_itemFlags, 0x1384);
    EXPECT_EQ(Ticked(dlg_), (std::set<int>{1112, 1117, 1118, 1136, 1143}));
    Click(1136);
    EXPECT_EQ(dlg_.m_itemFlags, 0x1284);

    Click(1146);  // SAVE is no item
    EXPECT_EQ(dlg_.m_saveResult, 1);
    EXPECT_EQ(dlg_.m_itemFlags, 0x1284);
    Click(1146);
    EXPECT_EQ(dlg_.m_saveResult, 0);
}

TEST_F(OpenWindowTest, PictureFollowsTheDisplayStateOnEveryPaint) {
    for (auto [state, bitmap] : std::vector<std::pair<int, int>>{{0, 142}, {1, 143}, {2, 141}, {3, 144}, {7, 144}}) {
        dlg_.m_displayState = static_cast<std::uint8_t>(state);
        for (int paint = 0; paint < 2; ++paint) {
            host_.ClearRecords();
            dlg_.RedrawNow();
            ASSERT_EQ(host_.Bitmaps().size(), 1u);
            EXPECT_EQ(host_.Bitmaps()[0].controlId, 1072);
            EXPECT_EQ(host_.Bitmaps()[0].bitmapId, bitmap) << "state " << state;
        }
    }
}

TEST_F(OpenWindowTest, ReportResultShowsStatusPictureAndBeeps) {
    struct Case {
        int result;
        const char* status;
    };
    for (const Case& c : {Case{1, "終了！　☆☆　ＯＫ　☆☆"}, Case{3, "ERROR NO=3 USB通信エラー"},
                          Case{74, "ERROR NO=74 ファイルオープンエラー"}, Case{2, "ERROR NO=2 "}}) {
        SCOPED_TRACE(c.result);
        host_.ClearRecords();
        dlg_.ReportResult(c.result);
        EXPECT_EQ(dlg_.GetDlgItemText(1001), c.status);  // shown at once
        EXPECT_EQ(host_.LastBitmap(dlg_, 1072), c.result == 1 ? 142 : 143);
        const auto& beeps = host_.Beeps();
        ASSERT_EQ(beeps.size(), c.result == 1 ? 1u : 2u);
        for (const auto& b : beeps) {
            EXPECT_EQ(b.frequencyHz, c.result == 1 ? 2000 : 500);
            EXPECT_EQ(b.durationMs, 300);
        }
        if (beeps.size() == 2) {
            EXPECT_EQ(beeps[1].timeMs - beeps[0].timeMs, 300 + 200);
        }
    }
}

TEST_F(OpenWindowTest, VersionWindowShowsTheProgramTitle) {
    std::string shown;
    int icon = 0;
    host_.OnShow(100)
        .Do([&](ui::Dialog& about) {
            shown = about.GetDlgItemText(1113);
            icon = host_.LastBitmap(about, 1012);
        })
        .Enter();
    host_.SysCommand(dlg_, 0xF060);  // another system command opens nothing
    host_.SysCommand(dlg_, 16);
    EXPECT_EQ(shown, kTitle);
    EXPECT_EQ(icon, 128);
    ASSERT_EQ(host_.Shown().size(), 1u);
    EXPECT_EQ(host_.Shown()[0].dialogId, 100);
}

TEST_F(OpenWindowTest, StandardsWindowGetsAndReturnsTheCopyWhateverItsOutcome) {
    dlg_.m_standards.values.sensBaseline = 812;
    dlg_.m_standards.sensInitial[0] = 7;
    dlg_.m_standards.sensInitial[18] = 1234;
    const StandardsCopy before = dlg_.m_standards;

    StandardData seen;
    host_.OnShow(CStandardDlg::IDD).Do([&](ui::Dialog& d) { seen = static_cast<CStandardDlg&>(d).m_data; }).Escape();
    host_.Click(dlg_, 1008);
    EXPECT_EQ(seen.sensBaseline, 812u);
    EXPECT_EQ(seen.sensInitial[0], "0007");
    EXPECT_EQ(seen.sensInitial[18], "1234");
    EXPECT_EQ(dlg_.m_standards, before);

    host_.OnShow(CStandardDlg::IDD).Do([](ui::Dialog& d) {
        auto& data = static_cast<CStandardDlg&>(d).m_data;
        data.sensInitial[1] = "12AB";
        data.defectLevel = 99;
    }).Escape();
    host_.Click(dlg_, 1008);
    EXPECT_EQ(dlg_.m_standards.sensInitial[1], 12);
    EXPECT_EQ(dlg_.m_standards.values.defectLevel, 99u);
    EXPECT_EQ(fs::file_size(kStdFileName), 0u);  // a cancel writes nothing
}

}  // namespace
