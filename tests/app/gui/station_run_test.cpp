// The station program itself on an X server with the simulated camera, worked
// as a person works it: each item ticked in turn with SAVE, START, every box
// answered, the ammeter reading typed into the current input window, the TFT
// picture moved with the mouse; each run ends with the OK picture and a
// result file named after the camera. And while an item runs, the station
// window is painted again at once when another window has lain over it.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "platform/format.h"
#include "res/adjust_templates.h"
#include "shell/image_adjust_dlg.h"
#include "sim/model.h"
#include "sim/unit_profile.h"
#include "tests/app/gui/station_session.h"

namespace {

using namespace gui_test;
using D = CImageAdjustDlg;

constexpr const char* kFlashUp = "FLASHｱｯﾌﾟｺﾏﾝﾄﾞ実行中";

bool HaveTools() { return std::getenv("DISPLAY") && XdoTool({"getmouselocation"}); }

// One START: the boxes clicked before it (an item box ticked again unticks
// it), and the headings of the logs that its result file holds, in order.
struct ItemRun {
    const char* name;
    std::vector<int> clicks;
    std::vector<std::string> logs;
};

struct Session {
    const char* name;
    std::vector<ItemRun> runs;
};

// What the ammeter shows for the bench that a current input window's title
// names, from the simulator's model of the nominal unit.
std::string AmmeterReading(const std::string& title) {
    static const auto nominal = sim::FindProfile("nominal");
    SimBench bench{};
    bench.power = SIM_POWER_BATTERY_TOOL;
    bench.supplyVolts = title.rfind("7.2", 0) == 0 ? 7.2 : 7.7;
    bench.mainSwitchOn = 1;
    const bool ccdOn = title.size() >= 6 && title.compare(title.size() - 6, 6, "CCD-ON") == 0;
    return platform::Format("%.3f", sim::ConsumptionCurrent(*nominal, bench, ccdOn));
}

// The result file's lines after the verdicts: each log's verdict and
// heading in order, nothing that failed, the date line last.
void ExpectResultFile(const std::string& text, const std::vector<std::string>& logs) {
    std::size_t at = 0;
    for (const std::string& heading : logs) {
        const std::size_t found = text.find("OK\r\n" + heading, at);
        EXPECT_NE(found, std::string::npos) << "no \"" << heading << "\" after byte " << at;
        if (found != std::string::npos) at = found + 1;
    }
    std::size_t verdicts = 0;
    for (std::size_t p = text.find("OK\r\n"); p != std::string::npos; p = text.find("OK\r\n", p + 1))
        verdicts += p == 0 || text[p - 1] == '\n';
    EXPECT_EQ(verdicts, logs.size());
    EXPECT_EQ(text.find("NG\r\n"), std::string::npos);
    const std::string date = DateLine();
    EXPECT_TRUE(text.size() >= date.size() && text.compare(text.size() - date.size(), date.size(), date) == 0)
        << "the last line is not " << date;
}

class StationRun : public ::testing::TestWithParam<Session> {};

TEST_P(StationRun, EachItemTickedInTurnRunsToOk) {
    if (!HaveTools()) GTEST_SKIP() << "needs an X display and xdotool";
    StationSession station(std::string("station_run_") + GetParam().name);
    ASSERT_TRUE(station.Started()) << "the station and its bench window did not come up";
    const auto nominal = sim::FindProfile("nominal");
    ASSERT_TRUE(nominal);
    const std::filesystem::path resultFile = station.Dir() / (nominal->identification + ".dat");

    station.ClickMain(D::IDC_SAVE);
    for (const ItemRun& item : GetParam().runs) {
        SCOPED_TRACE(item.name);
        for (int id : item.clicks) station.ClickMain(id);
        std::filesystem::remove(resultFile);

        std::vector<std::string> typed;
        auto handle = [&](const XWindow& w) {
            if (w.title.find("CCD-O") != std::string::npos) {  // the current input window
                typed.push_back(AmmeterReading(w.title));
                EXPECT_TRUE(WaitUntil([&] { return station.Screen().Focus() == w.id; }, milliseconds(1000)))
                    << "the input window has no keyboard focus";
                Type(typed.back());
                Key("Return");
            } else if (w.title == "TFT表示位置調整") {
                const ui::DialogTemplate& t = res::TftPositionTemplate();
                for (int id : {1141, 1009, 1024, 1025, 1114, 1008}) Click(w, t, id);  // NTSC, moves, OK
            }
        };
        const StationSession::Run run = station.Start(std::string("station_run_") + item.name, handle);
        ASSERT_TRUE(run.ended);
        EXPECT_TRUE(IsOkGreen(run.result)) << "status picture " << std::hex << run.result;
        EXPECT_TRUE(run.unexpected.empty()) << run.unexpected.front();

        ASSERT_TRUE(std::filesystem::exists(resultFile)) << resultFile;
        const std::string text = FromShiftJis(test_support::ReadFile(resultFile));
        ASSERT_FALSE(text.empty()) << "not Shift-JIS";
        ExpectResultFile(text, item.logs);
        if (!typed.empty()) {
            ASSERT_EQ(typed.size(), 4u);
            int bytes[4];
            for (int i = 0; i < 4; ++i) bytes[i] = static_cast<int>(std::floor(std::stod(typed[i]) * 100 + 0.5));
            EXPECT_NE(text.find(platform::Format("7200mV-OFF = %d  ON = %d  7700mV-OFF = %d  ON = %d[LSB]", bytes[0],
                                                 bytes[1], bytes[2], bytes[3])),
                      std::string::npos);
        }
    }
    EXPECT_EQ(station.Close(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    , StationRun,
    ::testing::Values(
        Session{"ImageLevels",
                {{"sensitivity", {D::IDC_SENSITIVITY}, {"感度調整\r\n", kFlashUp}},
                 // The line crawl box runs four items; sensitivity is unticked first.
                 {"line_crawl",
                  {D::IDC_SENSITIVITY, D::IDC_LINE_CRAWL},
                  {"ラインクロール調整\r\n", "感度比調整\r\n", "絞り依存性調整\r\n", kFlashUp}}}},
        Session{"OtherItems",
                {{"battery", {D::IDC_BATTERY_CHECK}, {"ＢＣ調整\r\n"}},
                 {"inside_sb", {D::IDC_INSIDE_SB}, {"内蔵ＳＢ調整\r\n"}},
                 {"tft_position", {D::IDC_TFT_POSITION}, {}},
                 {"defect_correct", {D::IDC_DEFECT_CORRECT}, {"暗時白欠陥画素検出\r\n", kFlashUp}},
                 {"ccd_flash_up", {D::IDC_CCD_FLASH_UP}, {kFlashUp}},
                 {"tft_flash_up", {D::IDC_TFT_FLASH_UP}, {}}}}),
    [](const ::testing::TestParamInfo<Session>& info) { return std::string(info.param.name); });

// From uncovering a part of the status picture until the screen shows it in
// `colour` again, in milliseconds; nullopt if it did not within a second.
std::optional<double> RepaintMs(XScreen& screen, const QRect& area, const std::function<bool(QRgb)>& colour) {
    constexpr QRgb kMagenta = 0xFFFF00FF;
    const unsigned long cover = screen.Cover(area, kMagenta);
    const QPoint probe = area.center();
    const bool covered = WaitUntil([&] { return screen.Pixel(probe) == kMagenta; }, milliseconds(1000), milliseconds(1));
    screen.Uncover(cover);
    if (!covered) return std::nullopt;
    const auto t0 = Clock::now();
    if (!WaitUntil([&] { return colour(screen.Pixel(probe)); }, milliseconds(1000), milliseconds(1))) return std::nullopt;
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

TEST(StationRepaint, WithinATenthOfASecondOfAnExposeWhileAnItemRuns) {
    if (!HaveTools()) GTEST_SKIP() << "needs an X display and xdotool";
    StationSession station("station_repaint");
    ASSERT_TRUE(station.Started());
    XScreen& screen = station.Screen();
    const QRect area(station.Main().rect.topLeft() + QPoint(4, 4), QSize(120, 120));

    // The X server keeps nothing of a covered window: what shows there again
    // is what the station paints. A stopped station paints nothing.
    {
        const unsigned long cover = screen.Cover(area, 0xFFFF00FF);
        ASSERT_TRUE(WaitUntil([&] { return screen.Pixel(area.center()) == 0xFFFF00FF; }, milliseconds(1000)));
        ::kill(station.Process().Pid(), SIGSTOP);
        screen.Uncover(cover);
        const bool repaintedWhileStopped =
            WaitUntil([&] { return IsReadyYellow(screen.Pixel(area.center())); }, milliseconds(300));
        ::kill(station.Process().Pid(), SIGCONT);
        ASSERT_FALSE(repaintedWhileStopped) << "the server restores covered windows itself: nothing to measure";
        ASSERT_TRUE(WaitUntil([&] { return IsReadyYellow(screen.Pixel(area.center())); }, milliseconds(1000)));
    }

    std::vector<double> ms;
    int lost = 0;
    station.ClickMain(D::IDC_CCD_FLASH_UP);
    auto measure = [&] {
        if (!screen.Find("Flash-UP") || !IsWorkingTeal(screen.Pixel(area.center()))) return;
        const std::optional<double> t = RepaintMs(screen, area, IsWorkingTeal);
        if (!screen.Find("Flash-UP")) return;  // the item ended meanwhile
        if (t)
            ms.push_back(*t);
        else
            ++lost;
    };
    const StationSession::Run run = station.Start("station_repaint", {}, measure);
    ASSERT_TRUE(run.ended);
    EXPECT_TRUE(IsOkGreen(run.result));
    EXPECT_EQ(station.Close(), 0);

    EXPECT_EQ(lost, 0) << "exposes not repainted within a second";
    ASSERT_GE(ms.size(), 10u);
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2], worst = ms.back();
    std::cout << "[ timing   ] repaint after an expose during the item: " << ms.size() << " exposes, median "
              << median << " ms, worst " << worst << " ms\n";
    ::testing::Test::RecordProperty("repaint_median_ms", std::to_string(median));
    ::testing::Test::RecordProperty("repaint_worst_ms", std::to_string(worst));
    // How fast is as much the machine's doing as the station's: the bound
    // holds where the registration under the label "timing" asks for it.
    if (const char* limit = std::getenv("IMAGEADJUST_REPAINT_LIMIT_MS")) {
        EXPECT_LT(worst, std::atof(limit));
    }
}

}  // namespace
