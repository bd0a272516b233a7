// The main window on a demo bench, with the programs' hook at its driver
// library: with the simulated driver library loaded by name, the simulator's
// operator follows START's prompts on the simulated bench while the person
// still answers the boxes; with any other library, or without the hook,
// nothing of the simulator is touched; and once the window has closed (and
// freed the library) a message box reaches nothing of it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "app/bench_operator_hook.h"
#include "camera/usb_camera.h"
#include "platform/library.h"
#include "shell/image_adjust_dlg.h"
#include "sim/bench_api.h"
#include "tests/support/driver_library_fixture.h"
#include "tests/support/work_dir.h"
#include "ui/scripted/scripted_host.h"

namespace {

namespace fs = std::filesystem;
using D = CImageAdjustDlg;

constexpr const char* kPlugUsb = "ＵＳＢケーブルをカメラに差し込んでください\r\n";
constexpr const char* kAcAdapter = "ＡＣアダプターをカメラに接続してください";
constexpr const char* kBatteryTool = "電池工具（抵抗無し）をカメラに接続してください";

using test_support::BinDir;

const SimBenchApi* BenchOf(const platform::SharedLibrary* library) {
    auto get = library ? library->Function<SimGetBenchApiFn>(SIM_BENCH_API_ENTRY) : nullptr;
    return get ? get(SIM_BENCH_API_VERSION) : nullptr;
}

bool SimulatorMapped() {
    return test_support::ReadFile("/proc/self/maps").find("libLvxStor.so") != std::string::npos;
}

// A bench set against every set-up prompt.
void SetContraryBench(const SimBenchApi& api) {
    SimBench b{};
    api.GetBench(&b);
    b.usbPlugged = 0;
    b.mainSwitchOn = 0;
    b.exposureMode = SIM_MODE_AUTO;
    b.afMode = SIM_MODE_AUTO;
    b.power = SIM_POWER_BATTERY_TOOL;
    api.SetBench(&b);
}

class BenchWatchTest : public test_support::DriverLibraryTest {
protected:
    BenchWatchTest() : DriverLibraryTest("bench_watch_test") {}

    // The bench as it stood when each box appeared (after the operator read
    // it, before the person answered it), by the box's text.
    void WatchBoxes(const SimBenchApi& api) {
        host_.SetResponder([this, &api](const ui::scripted::MessageBoxRecord& r) {
            SimBench now{};
            api.GetBench(&now);
            seen_[r.text] = now;
            return ui::IDOK;
        });
    }

    ui::scripted::ScriptedHost host_;
    app::BenchOperatorHook hook_{host_};
    std::map<std::string, SimBench> seen_;
};

TEST_F(BenchWatchTest, OperatorSetsTheBenchAsStartPrompts) {
    D dlg(host_);
    dlg.SetDriverLibraryObserver(&hook_);
    ASSERT_TRUE(dlg.Create());
    const SimBenchApi* api = BenchOf(CUsbCamera::DriverLibrary());
    ASSERT_NE(api, nullptr);
    EXPECT_EQ(hook_.Bench(), api);
    api->ClearDevices();
    ASSERT_EQ(api->AddCamera("nominal", nullptr), 0);
    SetContraryBench(*api);
    WatchBoxes(*api);

    host_.Click(dlg, D::IDC_CCD_FLASH_UP);
    host_.Click(dlg, D::IDC_START);
    ASSERT_TRUE(seen_.count(kAcAdapter));
    const SimBench& b = seen_[kAcAdapter];
    EXPECT_EQ(b.mainSwitchOn, 1);
    EXPECT_EQ(b.exposureMode, SIM_MODE_MANUAL);
    EXPECT_EQ(b.afMode, SIM_MODE_MANUAL);
    EXPECT_EQ(b.usbPlugged, 1);
    EXPECT_EQ(b.power, SIM_POWER_AC_ADAPTER);
    EXPECT_EQ(seen_[kPlugUsb].usbPlugged, 1);
    EXPECT_EQ(dlg.LastResult(), 1);  // the camera passed its pre-check on that bench
    SimBench after{};
    api->GetBench(&after);
    EXPECT_EQ(after.usbPlugged, 0);  // and the cables came out at the last prompt

    // The battery check asks for the battery tool instead. A unit stuck at
    // AF auto ends the run at the pre-check, whatever the bench.
    api->ClearDevices();
    ASSERT_EQ(api->AddCamera("af-auto", nullptr), 0);
    seen_.clear();
    host_.Click(dlg, D::IDC_BATTERY_CHECK);
    host_.Click(dlg, D::IDC_START);
    ASSERT_TRUE(seen_.count(kBatteryTool));
    EXPECT_EQ(seen_[kBatteryTool].power, SIM_POWER_BATTERY_TOOL);
    EXPECT_EQ(seen_[kBatteryTool].usbPlugged, 1);
    EXPECT_FALSE(seen_.count(kAcAdapter));
    EXPECT_EQ(dlg.LastResult(), 13);
    host_.Close(dlg);
}

TEST_F(BenchWatchTest, NothingWatchesWithAnotherLibraryOrWithoutTheHook) {
    ASSERT_TRUE(fs::exists(BinDir() / "libLvxPlain.so"));
    // The simulator is in the process, but it is not the station's library;
    // then it is, but the window has no hook: the window alone knows nothing
    // of a simulated bench.
    auto simulator = platform::SharedLibrary::Open("libLvxStor.so");
    const SimBenchApi* api = BenchOf(simulator.get());
    ASSERT_NE(api, nullptr);
    for (const char* library : {"libLvxPlain.so", "libLvxStor.so"}) {
        SCOPED_TRACE(library);
        const bool plainLibrary = std::string(library) == "libLvxPlain.so";  // with the hook
        SetContraryBench(*api);
        SimBench before{};
        api->GetBench(&before);

        CUsbCamera::SetDriverLibraryName(library);
        D dlg(host_);
        if (plainLibrary) dlg.SetDriverLibraryObserver(&hook_);
        ASSERT_TRUE(dlg.Create());
        ASSERT_NE(CUsbCamera::DriverLibrary(), nullptr);
        EXPECT_EQ(hook_.Bench(), nullptr);
        host_.Click(dlg, D::IDC_CCD_FLASH_UP);
        host_.Click(dlg, D::IDC_START);
        if (plainLibrary) {
            EXPECT_EQ(dlg.LastResult(), 4);  // no device on that bus
        }
        host_.NotifyPrompt("MESSAGE", kPlugUsb);

        SimBench after{};
        api->GetBench(&after);
        EXPECT_EQ(after.usbPlugged, before.usbPlugged);
        EXPECT_EQ(after.mainSwitchOn, before.mainSwitchOn);
        EXPECT_EQ(after.afMode, before.afMode);
        EXPECT_EQ(after.power, before.power);
        host_.Close(dlg);
    }
}

TEST_F(BenchWatchTest, NoPromptReachesTheLibraryAfterTheWindowCloses) {
    {
        D dlg(host_);
        dlg.SetDriverLibraryObserver(&hook_);
        ASSERT_TRUE(dlg.Create());
        ASSERT_NE(hook_.Bench(), nullptr);
        host_.Close(dlg);
        EXPECT_EQ(CUsbCamera::DriverLibrary(), nullptr);
        EXPECT_EQ(hook_.Bench(), nullptr);
        // Unmapped, so that a call into it would not go unnoticed.
        ASSERT_FALSE(SimulatorMapped());
        EXPECT_EXIT(
            {
                dlg.MessageBox(kPlugUsb, "MESSAGE");
                host_.NotifyPrompt("MESSAGE", kAcAdapter);
                std::_Exit(0);
            },
            ::testing::ExitedWithCode(0), "");
    }
    // Nor after the window object is gone.
    EXPECT_EXIT(
        {
            host_.NotifyPrompt("MESSAGE", kPlugUsb);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
