// The bench window of the station program: it opens with the simulated
// driver library only, shows the bench as the operator sets it, is gone
// before the library is freed, and, on an X server, stands beside the station
// during the battery item, where its ammeter is what the person types into
// the current input window. The screenshot goes to the build's artefacts.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/bench_operator_hook.h"
#include "app/bench_window.h"
#include "camera/usb_camera.h"
#include "platform/library.h"
#include "shell/image_adjust_dlg.h"
#include "sim/model.h"
#include "sim/unit_profile.h"
#include "tests/support/driver_library_fixture.h"
#include "ui/qt/qt_host.h"
#include "ui/scripted/scripted_host.h"

namespace {

namespace fs = std::filesystem;
using app::BenchWindow;
using F = BenchWindow::Field;

int g_argc = 1;
char g_name[] = "app_tests";
char* g_argv[] = {g_name, nullptr};

int BenchWindowsOpen() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) n += w->objectName() == "BenchWindow";
    return n;
}

const SimBenchApi* BenchOf(const platform::SharedLibrary* library) {
    auto get = library ? library->Function<SimGetBenchApiFn>(SIM_BENCH_API_ENTRY) : nullptr;
    return get ? get(SIM_BENCH_API_VERSION) : nullptr;
}

class BenchWindowTest : public test_support::DriverLibraryTest {
protected:
    BenchWindowTest() : DriverLibraryTest("bench_window_test") {}
};

TEST_F(BenchWindowTest, OpensWithTheSimulatorOnlyAndIsGoneBeforeItIsFreed) {
    QApplication app(g_argc, g_argv);
    ui::scripted::ScriptedHost host;
    app::BenchOperatorHook hook(host);
    app::BenchWindowKeeper keeper(hook);

    {
        CUsbCamera::SetDriverLibraryName("libLvxPlain.so");
        CImageAdjustDlg dlg(host);
        dlg.SetDriverLibraryObserver(&hook);
        ASSERT_TRUE(dlg.Create());
        ASSERT_NE(CUsbCamera::DriverLibrary(), nullptr);
        EXPECT_EQ(keeper.Window(), nullptr);
        EXPECT_EQ(BenchWindowsOpen(), 0);
        host.Close(dlg);
    }

    CUsbCamera::SetDriverLibraryName("libLvxStor.so");
    CImageAdjustDlg dlg(host);
    dlg.SetDriverLibraryObserver(&hook);
    ASSERT_TRUE(dlg.Create());
    const SimBenchApi* api = BenchOf(CUsbCamera::DriverLibrary());
    ASSERT_NE(api, nullptr);
    BenchWindow* window = keeper.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(BenchWindowsOpen(), 1);

    // What the operator sets shows at the next reading.
    SimBench b{};
    api->GetBench(&b);
    b.power = SIM_POWER_BATTERY_TOOL;
    b.supplyVolts = 7.7;
    b.lens = SIM_LENS_TOOL_F8;
    b.ndFilter = 3;
    b.light = SIM_LIGHT_VIEWER;
    b.lightLevel = 13;
    b.chart = SIM_CHART_BLUE;
    b.usbPlugged = 0;
    api->SetBench(&b);
    window->Refresh();
    EXPECT_EQ(window->Shown(F::Power), "電池工具（抵抗無し）");
    EXPECT_EQ(window->Shown(F::SupplyVolts), "7.70 V");
    EXPECT_EQ(window->Shown(F::Usb), "未接続");
    EXPECT_EQ(window->Shown(F::Lens), "工具レンズ Ｆ８");
    EXPECT_EQ(window->Shown(F::NdFilter), "ND3");
    EXPECT_EQ(window->Shown(F::Light), "カラービュアー LV13");
    EXPECT_EQ(window->Shown(F::Chart), "有り（青）");
    EXPECT_EQ(window->Shown(F::CcdPower), "ＯＦＦ");
    EXPECT_EQ(window->Shown(F::Ammeter), QString::asprintf("%.3f A", api->ReadAmmeter()));

    host.Close(dlg);
    EXPECT_EQ(CUsbCamera::DriverLibrary(), nullptr);
    EXPECT_EQ(keeper.Window(), nullptr);
    EXPECT_EQ(BenchWindowsOpen(), 0);
    // No reading of the bench is left to come into the freed library.
    QTimer settle;
    settle.setSingleShot(true);
    settle.start(3 * BenchWindow::kRefreshMs);
    while (settle.isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

bool Reported(const CImageAdjustDlg& dlg) {
    return dlg.m_displayState == CImageAdjustDlg::kDisplayOk || dlg.m_displayState == CImageAdjustDlg::kDisplayNg;
}

// The readings the person takes at each current input window.
struct Reading {
    QString title;
    QString ammeter, ccdPower, volts, power;
    QString expected;  // the meter computed from the nominal unit's model
};

TEST_F(BenchWindowTest, StandsBesideTheStationAndShowsTheAmmeterOfTheBatteryItem) {
    QApplication app(g_argc, g_argv);
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X server (xcb)";
    const fs::path artefacts = test_support::BinDir().parent_path() / "artefacts";
    fs::create_directories(artefacts);
    const fs::path shot = artefacts / "bench_window_battery.png";
    fs::remove(shot);

    ui::qt::QtHost host;
    app::BenchOperatorHook hook(host);
    app::BenchWindowKeeper keeper(hook);
    CImageAdjustDlg dlg(host);
    dlg.SetDriverLibraryObserver(&hook);

    const auto nominal = sim::FindProfile("nominal");
    ASSERT_TRUE(nominal);
    auto meter = [&](double volts, bool ccdOn) {
        SimBench bench{};
        bench.power = SIM_POWER_BATTERY_TOOL;
        bench.supplyVolts = volts;
        bench.mainSwitchOn = 1;
        return QString::asprintf("%.3f A", sim::ConsumptionCurrent(*nominal, bench, ccdOn));
    };

    std::vector<Reading> readings;
    QRect stationFrame, benchFrame;
    bool benchActivated = false, saved = false, lastBoxAnsweredAfterReport = false;
    // The person: OK in every box, and in each current input window the
    // ammeter's reading as the bench window shows it.
    QTimer person;
    QObject::connect(&person, &QTimer::timeout, [&] {
        BenchWindow* bench = keeper.Window();
        if (bench && QApplication::activeWindow() == bench) benchActivated = true;
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !bench) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            lastBoxAnsweredAfterReport = Reported(dlg);
            QMetaObject::invokeMethod(box->defaultButton(), &QPushButton::click, Qt::QueuedConnection);
            return;
        }
        const QString title = modal->windowTitle();
        auto* edit = modal->findChild<QLineEdit*>();
        if (!title.contains("CCD-") || !edit || (!readings.empty() && readings.back().title == title)) return;
        const bool ccdOn = title.endsWith("CCD-ON");
        const double volts = title.startsWith("7.2") ? 7.2 : 7.7;
        readings.push_back({title, bench->Shown(F::Ammeter), bench->Shown(F::CcdPower),
                            bench->Shown(F::SupplyVolts), bench->Shown(F::Power), meter(volts, ccdOn)});
        if (readings.size() == 1) {
            stationFrame = host.WidgetOf(dlg)->frameGeometry();
            benchFrame = bench->frameGeometry();
            saved = modal->screen()->grabWindow(0).save(QString::fromStdString(shot.string()), "PNG");
        }
        edit->setText(bench->Shown(F::Ammeter).chopped(2));  // the number, without " A"
        for (QPushButton* b : modal->findChildren<QPushButton*>())
            if (b->text() == "OK") QMetaObject::invokeMethod(b, &QPushButton::click, Qt::QueuedConnection);
    });
    person.start(50);
    QTimer::singleShot(0, [&] {
        static_cast<QAbstractButton*>(host.ControlWidget(dlg, CImageAdjustDlg::IDC_BATTERY_CHECK))->click();
        QMetaObject::invokeMethod(static_cast<QAbstractButton*>(host.ControlWidget(dlg, CImageAdjustDlg::IDC_START)),
                                  &QAbstractButton::click, Qt::QueuedConnection);
    });
    // The run ends with the cable prompt after the result; then the station closes.
    QTimer done;
    QObject::connect(&done, &QTimer::timeout, [&] {
        if (lastBoxAnsweredAfterReport && QApplication::activeModalWidget() == host.WidgetOf(dlg)) dlg.PostClose();
    });
    done.start(100);
    QTimer::singleShot(60000, [&] {
        ADD_FAILURE() << "the run did not end";
        while (QWidget* modal = QApplication::activeModalWidget()) {
            if (modal == host.WidgetOf(dlg)) break;
            modal->close();
        }
        dlg.PostClose();
    });
    dlg.DoModal();
    person.stop();
    done.stop();

    EXPECT_EQ(dlg.LastResult(), 1);
    EXPECT_EQ(keeper.Window(), nullptr);
    EXPECT_FALSE(benchActivated) << "the bench window took the keyboard from the station";
    ASSERT_EQ(readings.size(), 4u);
    const char* ccd[] = {"ＯＦＦ", "ＯＮ", "ＯＦＦ", "ＯＮ"};
    const char* volts[] = {"7.20 V", "7.20 V", "7.70 V", "7.70 V"};
    for (std::size_t i = 0; i < readings.size(); ++i) {
        SCOPED_TRACE(readings[i].title.toStdString());
        EXPECT_EQ(readings[i].ammeter, readings[i].expected);
        EXPECT_EQ(readings[i].ccdPower, QString::fromUtf8(ccd[i]));
        EXPECT_EQ(readings[i].volts, volts[i]);
        EXPECT_EQ(readings[i].power, "電池工具（抵抗無し）");
    }
    // Beside the station, not over it, and on the screen.
    EXPECT_FALSE(stationFrame.intersects(benchFrame)) << "station " << stationFrame.x() << "," << stationFrame.width()
                                                      << " bench " << benchFrame.x() << "," << benchFrame.width();
    EXPECT_EQ(benchFrame.top(), stationFrame.top());
    EXPECT_TRUE(QGuiApplication::primaryScreen()->geometry().contains(benchFrame));
    EXPECT_TRUE(saved) << shot;
}

// Another unit on the bench between runs: the station's next run is that
// unit's; a name or file that is no profile leaves the unit there; during a
// run (the gate closed) nothing changes.
TEST_F(BenchWindowTest, PutsAnotherUnitOnTheBenchBetweenRunsOnly) {
    QApplication app(g_argc, g_argv);
    ui::scripted::ScriptedHost host;
    app::BenchOperatorHook hook(host);
    app::BenchWindowKeeper keeper(hook);
    CUsbCamera::SetDriverLibraryName("libLvxStor.so");
    CImageAdjustDlg dlg(host);
    dlg.SetDriverLibraryObserver(&hook);
    ASSERT_TRUE(dlg.Create());
    BenchWindow* window = keeper.Window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Unit(), "nominal");
    bool between = true;
    window->SetGate([&] { return between; });
    auto flashUp = [&] {
        host.SetCheck(dlg, CImageAdjustDlg::IDC_CCD_FLASH_UP, true);
        dlg.DispatchCommand(CImageAdjustDlg::IDC_CCD_FLASH_UP);
        host.Click(dlg, CImageAdjustDlg::IDC_START);
        return dlg.LastResult();
    };
    std::ofstream("stuck.profile") << "base = af-auto\nname = stuck-af\n";

    struct Step {
        std::string profile;
        bool gateOpen, put;
        const char* unitAfter;
        int runResult;
    } steps[] = {
        {"af-auto", false, false, "nominal", 1},     // during a run: refused
        {"af-auto", true, true, "af-auto", 13},
        {"no-such-unit", true, false, "af-auto", 13},
        {"stuck.profile", true, true, "stuck.profile", 13},
        {"nominal", true, true, "nominal", 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.profile);
        between = step.gateOpen;
        QString error;
        EXPECT_EQ(window->PutUnit(step.profile, &error), step.put) << error.toStdString();
        EXPECT_EQ(error.isEmpty(), step.put);
        EXPECT_EQ(window->Unit(), step.unitAfter);
        between = true;
        EXPECT_EQ(flashUp(), step.runResult);
    }
    host.Close(dlg);
}

// Without a gate of its own, the window lets a unit go on the bench while
// the station's window is the top modal one, and not while another is.
TEST_F(BenchWindowTest, TheStationsModalWindowOpensTheGate) {
    QApplication app(g_argc, g_argv);
    ui::scripted::ScriptedHost host;
    app::BenchOperatorHook hook(host);
    app::BenchWindowKeeper keeper(hook);
    CUsbCamera::SetDriverLibraryName("libLvxStor.so");
    CImageAdjustDlg dlg(host);
    dlg.SetDriverLibraryObserver(&hook);
    ASSERT_TRUE(dlg.Create());
    ASSERT_NE(keeper.Window(), nullptr);
    QDialog station, item;
    keeper.Window()->ShowBeside(&station);
    bool stationOnTop = false, itemOnTop = true;
    QTimer::singleShot(0, [&] {
        stationOnTop = keeper.Window()->BetweenRuns();
        QTimer::singleShot(0, [&] {
            itemOnTop = keeper.Window()->BetweenRuns();
            item.done(0);
            station.done(0);
        });
        item.exec();
    });
    station.exec();
    EXPECT_TRUE(stationOnTop);
    EXPECT_FALSE(itemOnTop);
    host.Close(dlg);
}

}  // namespace
