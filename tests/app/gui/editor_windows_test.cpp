// The station's other windows on an X server, worked by mouse and keys: the
// pixel defect editor reads the camera's table and adds a pixel, which the
// next read finds in the camera; the standards window leaves STD.DAT alone on
// Escape and writes the changed value on OK.

#include <gtest/gtest.h>

#include "res/adjust_templates.h"
#include "res/templates.h"
#include "shell/image_adjust_dlg.h"
#include "sim/unit_profile.h"
#include "tests/app/gui/station_session.h"

namespace {

using namespace gui_test;
using D = CImageAdjustDlg;

bool HaveTools() { return std::getenv("DISPLAY") && XdoTool({"getmouselocation"}); }

class EditorWindows : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveTools()) GTEST_SKIP() << "needs an X display and xdotool";
    }

    // Answers the boxes of one action, whose captions must come in this
    // order; false at the first other window or at the deadline.
    bool AnswerBoxes(StationSession& station, const std::vector<std::string>& captions) {
        for (const std::string& caption : captions) {
            const std::optional<XWindow> box = station.NextWindow(milliseconds(15000));
            if (!box) {
                ADD_FAILURE() << "no box \"" << caption << "\"";
                return false;
            }
            if (box->title != caption) {
                ADD_FAILURE() << "box \"" << box->title << "\" where \"" << caption << "\" was due";
                return false;
            }
            station.AnswerWithEnter(*box);
        }
        return true;
    }
    bool Closed(StationSession& station, const std::string& title) {
        return WaitUntil([&] { return !station.Screen().Find(title); }, milliseconds(5000));
    }
};

TEST_F(EditorWindows, PixelDefectEditorAddsAPixelThatTheNextReadFinds) {
    StationSession station("pixel_defect_editor");
    ASSERT_TRUE(station.Started());
    const auto nominal = sim::FindProfile("nominal");
    ASSERT_TRUE(nominal);
    const std::filesystem::path resultFile = station.Dir() / (nominal->identification + ".dat");
    const ui::DialogTemplate& t = res::PixelDefectTemplate();
    const std::string app = "W73ImageAdjust";
    const std::string title = "CCD画素欠陥";

    station.ClickMain(D::IDC_PIXEL_DEFECT);
    const std::optional<XWindow> editor = station.NextWindow(milliseconds(5000));
    ASSERT_TRUE(editor && editor->title == title);

    // READ: the adapter prompt, then the cable prompt after the table.
    Click(*editor, t, 1008);
    ASSERT_TRUE(AnswerBoxes(station, {"MESSAGE", app}));
    ASSERT_TRUE(WaitUntil([&] { return station.Others().size() == 1; }, milliseconds(5000)));
    EXPECT_TRUE(station.Screen().SaveScreen(ArtefactsDir() / "pixel_defect_read.png"));

    // ADD RAW (1200, 800), an even row: the R list, H = X + 66, V = (Y + 6) / 2.
    Retype(*editor, t, 1001, "1200");
    Retype(*editor, t, 1002, "800");
    Click(*editor, t, 1112);  // SAVE
    Click(*editor, t, 1);     // RUN
    ASSERT_TRUE(AnswerBoxes(station, {"MESSAGE", "MESSAGE", app, "MESSAGE"}));
    ASSERT_TRUE(WaitUntil([&] { return station.Others().size() == 1; }, milliseconds(5000)));
    EXPECT_TRUE(station.Screen().SaveScreen(ArtefactsDir() / "pixel_defect_add.png"));
    std::string log = FromShiftJis(test_support::ReadFile(resultFile));
    EXPECT_NE(log.find("H= 1266, V= 403  RAW(X: 1200, Y: 800 )\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("書き込みデータ\r\n"), std::string::npos);
    EXPECT_TRUE(log.ends_with(DateLine()));

    // READ again, with SAVE still ticked: the camera holds the pixel.
    std::filesystem::remove(resultFile);
    Click(*editor, t, 1008);
    ASSERT_TRUE(AnswerBoxes(station, {"MESSAGE", app}));
    ASSERT_TRUE(WaitUntil([&] { return std::filesystem::exists(resultFile); }, milliseconds(5000)));
    log = FromShiftJis(test_support::ReadFile(resultFile));
    EXPECT_EQ(log.rfind("書き込み済み画素欠陥情報\r\n", 0), 0u) << log;
    EXPECT_NE(log.find("  H= 1266  V=  403 RAW( X: 1200, Y: 800 )\r\n"), std::string::npos) << log;

    Click(*editor, t, 2);  // CANCEL
    EXPECT_TRUE(Closed(station, title));
    EXPECT_EQ(station.Close(), 0);
}

TEST_F(EditorWindows, StandardsWindowWritesStdDatOnOkOnly) {
    StationSession station("standards_window");
    ASSERT_TRUE(station.Started());
    const ui::DialogTemplate& t = res::StandardDlgTemplate();
    const std::string title = "規格設定";
    const std::string before = test_support::ReadFile(station.Dir() / "STD.DAT");
    ASSERT_NE(before.find("CCD_DEFECT 150 200"), std::string::npos);
    constexpr int kDefectLevel = 1037;

    station.ClickMain(D::IDC_STANDARD);
    std::optional<XWindow> window = station.NextWindow(milliseconds(5000));
    ASSERT_TRUE(window && window->title == title);
    Retype(*window, t, kDefectLevel, "170");
    Key("Escape");
    ASSERT_TRUE(Closed(station, title));
    EXPECT_EQ(test_support::ReadFile(station.Dir() / "STD.DAT"), before);

    station.ClickMain(D::IDC_STANDARD);
    window = station.NextWindow(milliseconds(5000));
    ASSERT_TRUE(window && window->title == title);
    Retype(*window, t, kDefectLevel, "160");
    Click(*window, t, 1);  // OK
    ASSERT_TRUE(Closed(station, title));
    std::string after = test_support::ReadFile(station.Dir() / "STD.DAT");
    EXPECT_NE(after.find("CCD_DEFECT 160 200"), std::string::npos) << after;
    // Every other line as it was.
    std::string expected = before;
    expected.replace(expected.find("CCD_DEFECT 150"), 14, "CCD_DEFECT 160");
    EXPECT_EQ(after, expected);
    EXPECT_EQ(station.Close(), 0);
}

}  // namespace
