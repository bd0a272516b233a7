// The guide's screenshots, taken of the station program on an X server as a
// person works it: every window of the station, the bench window and its
// unit menu, an OK and an NG run, the baseline notice and the question on
// closing with it. With IMAGEADJUST_UPDATE_SCREENSHOTS=1 they are written
// into docs/screens/ of the source tree; otherwise into the build's
// artefacts, and the committed ones are checked against them: each is there,
// of the same size, and the guide shows each.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>
#include <thread>

#include "platform/format.h"
#include "res/adjust_templates.h"
#include "res/templates.h"
#include "shell/image_adjust_dlg.h"
#include "sim/model.h"
#include "sim/unit_profile.h"
#include "tests/app/gui/station_session.h"

namespace {

namespace fs = std::filesystem;
using namespace gui_test;
using D = CImageAdjustDlg;

bool HaveTools() { return std::getenv("DISPLAY") && XdoTool({"getmouselocation"}); }

const fs::path kCommitted = fs::path(IMAGEADJUST_SOURCE_DIR) / "docs" / "screens";

bool Updating() {
    const char* v = std::getenv("IMAGEADJUST_UPDATE_SCREENSHOTS");
    return v && std::string(v) == "1";
}

fs::path ShotsDir() {
    const fs::path dir = Updating() ? kCommitted : ArtefactsDir() / "guide";
    fs::create_directories(dir);
    return dir;
}

class Guide {
public:
    explicit Guide(StationSession& station) : station_(station) {}

    // The screen over the windows with these titles, saved as `name`.
    void Shot(const std::string& name, const std::vector<std::string>& titles, QMargins grow = {}) {
        QRect area;
        for (const std::string& title : titles) {
            const std::optional<XWindow> w = station_.Screen().Find(title);
            if (!w) {
                ADD_FAILURE() << name << ": no window \"" << title << "\"";
                continue;
            }
            area = area.united(w->rect);
        }
        area = area.marginsAdded(grow);
        area = area.intersected(QRect(QPoint(0, 0), station_.Screen().GrabScreen().size()));
        // Let the last paint land.
        std::this_thread::sleep_for(milliseconds(300));
        const QImage image = station_.Screen().Grab(area);
        EXPECT_TRUE(!image.isNull() && image.save(QString::fromStdString((ShotsDir() / name).string()), "PNG"))
            << name;
        taken.push_back(name);
    }

    // Answers boxes whose captions come in this order.
    void AnswerBoxes(const std::vector<std::string>& captions) {
        for (const std::string& caption : captions) {
            const std::optional<XWindow> box = station_.NextWindow(milliseconds(15000));
            ASSERT_TRUE(box) << "no box \"" << caption << "\"";
            ASSERT_EQ(box->title, caption);
            station_.AnswerWithEnter(*box);
        }
    }

    // Right click on the status picture, and the n-th item of the menu.
    std::optional<XWindow> MenuItem(int n) {
        const QPoint at = station_.Main().rect.topLeft() + QPoint(40, 40);
        XdoTool({"mousemove", "--sync", std::to_string(at.x()), std::to_string(at.y()), "click", "3"});
        std::this_thread::sleep_for(milliseconds(500));
        for (int i = 0; i < n; ++i) Key("Down");
        Key("Return");
        return station_.NextWindow(milliseconds(5000));
    }

    // The bench window's unit button, and the n-th unit of its menu.
    void OpenUnitMenu() {
        const std::optional<XWindow> bench = station_.Screen().Find(kBenchTitle);
        ASSERT_TRUE(bench);
        Click(QPoint(bench->rect.right() - 58, bench->rect.top() + 44));
        std::this_thread::sleep_for(milliseconds(500));
    }
    void ChooseUnit(int n) {
        for (int i = 0; i < n; ++i) Key("Down");
        Key("Return");
        std::this_thread::sleep_for(milliseconds(300));
    }

    bool Closed(const std::string& title) {
        return WaitUntil([&] { return !station_.Screen().Find(title); }, milliseconds(5000));
    }

    std::vector<std::string> taken;

private:
    StationSession& station_;
};

// What the ammeter shows for the bench of a current input window's title.
std::string AmmeterReading(const std::string& title) {
    static const auto nominal = sim::FindProfile("nominal");
    SimBench bench{};
    bench.power = SIM_POWER_BATTERY_TOOL;
    bench.supplyVolts = title.rfind("7.2", 0) == 0 ? 7.2 : 7.7;
    bench.mainSwitchOn = 1;
    const bool ccdOn = title.size() >= 6 && title.compare(title.size() - 6, 6, "CCD-ON") == 0;
    return platform::Format("%.3f", sim::ConsumptionCurrent(*nominal, bench, ccdOn));
}

TEST(GuideScreens, EveryWindowOfTheStation) {
    if (!HaveTools()) GTEST_SKIP() << "needs an X display and xdotool";
    StationSession station("guide_screens");
    ASSERT_TRUE(station.Started());
    Guide guide(station);
    const std::string main = kStationTitle, bench = kBenchTitle;

    guide.Shot("station_ready.png", {main, bench});

    // The version window and the standards windows.
    const std::optional<XWindow> about = guide.MenuItem(1);
    ASSERT_TRUE(about && about->title == "W73ImageAdjustのﾊﾞｰｼﾞｮﾝ情報");
    guide.Shot("about.png", {main, about->title});
    station.AnswerWithEnter(*about);
    ASSERT_TRUE(guide.Closed(about->title));

    station.ClickMain(D::IDC_STANDARD);
    const std::optional<XWindow> standards = station.NextWindow(milliseconds(5000));
    ASSERT_TRUE(standards && standards->title == "規格設定");
    guide.Shot("standards.png", {standards->title});
    Click(*standards, res::StandardDlgTemplate(), 1008);
    const std::optional<XWindow> aperture = station.NextWindow(milliseconds(5000));
    ASSERT_TRUE(aperture && aperture->title == "絞り依存性規格");
    guide.Shot("aperture_standards.png", {standards->title, aperture->title});
    Key("Escape");
    ASSERT_TRUE(guide.Closed(aperture->title));
    Key("Escape");
    ASSERT_TRUE(guide.Closed(standards->title));

    // The pixel defect editor after READ.
    station.ClickMain(D::IDC_PIXEL_DEFECT);
    const std::optional<XWindow> editor = station.NextWindow(milliseconds(5000));
    ASSERT_TRUE(editor && editor->title == "CCD画素欠陥");
    Click(*editor, res::PixelDefectTemplate(), 1008);
    guide.AnswerBoxes({"MESSAGE", "W73ImageAdjust"});
    ASSERT_TRUE(WaitUntil([&] { return station.Others().size() == 1; }, milliseconds(5000)));
    guide.Shot("pixel_defect.png", {editor->title});
    Click(*editor, res::PixelDefectTemplate(), 2);
    ASSERT_TRUE(guide.Closed(editor->title));

    // The battery item: its window with the readings so far, the current
    // input window and the ammeter beside the station.
    station.ClickMain(D::IDC_BATTERY_CHECK);
    bool inputShot = false;
    StationSession::Run run = station.Start("guide_battery", [&](const XWindow& w) {
        if (w.title.find("CCD-O") == std::string::npos) return;
        if (w.title == "7.7[V] CCD-ON") {  // the last, with the most of the item's log behind it
            guide.Shot("current_input.png", {main, bench, "BCレベル調整", w.title});
            inputShot = true;
        }
        EXPECT_TRUE(WaitUntil([&] { return station.Screen().Focus() == w.id; }, milliseconds(1000)));
        Type(AmmeterReading(w.title));
        Key("Return");
    });
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(IsOkGreen(run.result));
    EXPECT_TRUE(inputShot);

    // The line crawl box with SAVE, and the station after it.
    station.ClickMain(D::IDC_BATTERY_CHECK);  // unticked: it would join the line crawl box
    station.ClickMain(D::IDC_SAVE);
    station.ClickMain(D::IDC_LINE_CRAWL);
    run = station.Start("guide_line_crawl");
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(IsOkGreen(run.result));
    guide.Shot("station_after_run.png", {main, bench});

    // Another unit on the bench, its menu open; the sensitivity item fails
    // on it, and the nominal unit goes back.
    guide.OpenUnitMenu();
    guide.Shot("bench_unit_menu.png", {bench}, QMargins(0, 0, 120, 60));
    guide.ChooseUnit(2);  // insensitive
    station.ClickMain(D::IDC_SENSITIVITY);
    run = station.Start("guide_ng");
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(IsNgRed(run.result));
    guide.Shot("station_ng.png", {main, bench});
    guide.OpenUnitMenu();
    guide.ChooseUnit(1);  // nominal

    // The TFT position window.
    station.ClickMain(D::IDC_TFT_POSITION);
    run = station.Start("guide_tft", [&](const XWindow& w) {
        if (w.title != "TFT表示位置調整") return;
        const ui::DialogTemplate& t = res::TftPositionTemplate();
        Click(w, t, 1141);  // NTSC
        guide.Shot("tft_position.png", {main, w.title});
        for (int id : {1009, 1024, 1025, 1114, 1008}) Click(w, t, id);  // moves, OK
    });
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(IsOkGreen(run.result));

    // The history of these runs.
    const std::optional<XWindow> history = guide.MenuItem(2);
    ASSERT_TRUE(history && history->title == "調整点検履歴");
    guide.Shot("history.png", {history->title});
    Key("Escape");
    ASSERT_TRUE(guide.Closed(history->title));

    // A sensitivity baseline taken and not yet saved, and closing with it.
    // The sample STD.DAT holds the nominal unit's own baseline: with another
    // one in the file, the one taken is new.
    const fs::path stdDat = station.Dir() / "STD.DAT";
    std::string stdText = test_support::ReadFile(stdDat);
    ASSERT_NE(stdText.find("SENS_STD  400   520  454 "), std::string::npos);
    stdText.replace(stdText.find("SENS_STD  400   520  454 "), 25, "SENS_STD  400   520  440 ");
    std::ofstream(stdDat, std::ios::binary) << stdText;
    station.ClickMain(D::IDC_SENS_BASELINE);
    guide.AnswerBoxes({"MESSAGE", "MESSAGE", "MESSAGEM", "感度基準値設定", "MESSAGE"});
    ASSERT_TRUE(WaitUntil([&] { return station.Others().empty(); }, milliseconds(5000)));
    guide.Shot("baseline_unsaved.png", {main});
    station.Screen().RequestClose(station.Main().id);
    std::optional<XWindow> question = station.NextWindow(milliseconds(5000));
    ASSERT_TRUE(question && question->title == "MESSAGE");
    guide.Shot("close_question.png", {main, question->title});
    Key("Escape");  // stays open
    ASSERT_TRUE(guide.Closed("MESSAGE"));
    EXPECT_TRUE(station.Process().Running());
    station.Screen().RequestClose(station.Main().id);
    question = station.NextWindow(milliseconds(5000));
    ASSERT_TRUE(question && question->title == "MESSAGE");
    station.AnswerWithEnter(*question);
    EXPECT_EQ(station.Process().WaitExit(milliseconds(5000)), 0);

    if (Updating()) return;
    // The committed screenshots are these, and the guide shows every one.
    const std::string guideText = test_support::ReadFile(kCommitted.parent_path() / "GUIDE.md");
    std::set<std::string> committed;
    for (const auto& entry : fs::directory_iterator(kCommitted)) committed.insert(entry.path().filename().string());
    EXPECT_EQ(committed, std::set<std::string>(guide.taken.begin(), guide.taken.end()))
        << "refresh them: IMAGEADJUST_UPDATE_SCREENSHOTS=1 (docs/GUIDE.md)";
    for (const std::string& name : guide.taken) {
        SCOPED_TRACE(name);
        const QImage fresh(QString::fromStdString((ShotsDir() / name).string()));
        const QImage kept(QString::fromStdString((kCommitted / name).string()));
        EXPECT_FALSE(kept.isNull());
        EXPECT_EQ(kept.size(), fresh.size());
        EXPECT_NE(guideText.find("](screens/" + name + ")"), std::string::npos) << "the guide does not show it";
    }
}

}  // namespace
