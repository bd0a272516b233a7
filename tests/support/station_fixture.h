// The main window in the scripted host, in a working directory of its own,
// with the simulated camera's entry bound directly (no library by name).

#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string_view>

#include "camera/usb_camera.h"
#include "shell/image_adjust_dlg.h"
#include "sim/simulator.h"
#include "tests/support/work_dir.h"
#include "ui/scripted/scripted_host.h"

namespace test_support {

// `Dlg` is the main window or a test's subclass of it. Each test starts with
// a fresh simulator, the sample STD.DAT, an open window and no host records.
template <class Dlg = CImageAdjustDlg>
class StationTest : public ::testing::Test {
protected:
    explicit StationTest(std::string_view dirName, const std::filesystem::path& enter = {}) : work_(dirName, enter) {}

    void SetUp() override {
        sim::Sim().Reset();
        std::filesystem::copy_file(BinDir() / "STD.DAT", "STD.DAT", std::filesystem::copy_options::overwrite_existing);
        // No library by name: the window opens, then the simulator is bound.
        CUsbCamera::SetDriverLibraryName("libNoSuchDriver.so");
        ASSERT_TRUE(dlg_.Create());
        CUsbCamera::BindDriverEntry(&SimLvDriverEntry);
        host_.ClearRecords();
    }
    void TearDown() override {
        if (dlg_.m_pCamera) dlg_.m_pCamera->DisconnectCamera();
        CUsbCamera::BindDriverEntry(nullptr);
    }

    WorkDir work_;  // first in, last out: the window is gone before its folder
    ui::scripted::ScriptedHost host_;
    Dlg dlg_{host_};
};

}  // namespace test_support
