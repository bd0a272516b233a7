// Runs against the simulated driver library loaded by name from beside the
// test program, each in a fresh working directory holding only STD.DAT.

#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "camera/usb_camera.h"
#include "tests/support/work_dir.h"

namespace test_support {

class DriverLibraryTest : public ::testing::Test {
protected:
    explicit DriverLibraryTest(std::string dirName) : m_dirName(std::move(dirName)) {}

    void SetUp() override {
        if (!std::filesystem::exists(BinDir() / "libLvxStor.so"))
            GTEST_SKIP() << "libLvxStor.so is not built beside the tests";
        work_.emplace(m_dirName);
        std::filesystem::copy_file(BinDir() / "STD.DAT", work_->Root() / "STD.DAT",
                                   std::filesystem::copy_options::overwrite_existing);
        CUsbCamera::SetDriverLibraryName("libLvxStor.so");
    }
    void TearDown() override {
        // A test may have chosen another library.
        CUsbCamera::SetDriverLibraryName("libLvxStor.so");
        work_.reset();
    }

    std::optional<WorkDir> work_;  // none when skipped

private:
    std::string m_dirName;
};

}  // namespace test_support
