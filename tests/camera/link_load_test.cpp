// Loading the driver library by name, and the link without a driver.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "camera/usb_camera.h"
#include "platform/clock.h"
#include "platform/trace.h"
#include "tests/camera/recording_driver_support.h"

namespace {

constexpr char kLoadFailed[] = "USB通信DLL(LvxStor.dll)がﾛｰﾄﾞできませんでした。";

class LinkLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        CUsbCamera::BindDriverEntry(nullptr);
        CUsbCamera::SetLinkFlags(0);
    }
    void TearDown() override {
        CUsbCamera::SetDriverLibraryName(LVX_DRIVER_LIBRARY_NAME);
        CUsbCamera::BindDriverEntry(nullptr);
        CUsbCamera::SetLinkFlags(0);
        platform::SetTraceSink({});
    }
    platform::VirtualClock clock;
    std::vector<std::string> messages;
    CUsbCamera cam{clock, [this](const std::string& m) { messages.push_back(m); }};
};

TEST_F(LinkLoadTest, MissingLibraryOrEntryShowsTheStopMessage) {
    CUsbCamera::SetDriverLibraryName("libNoSuchDriver.so");
    EXPECT_EQ(cam.LoadDriverLibrary(), 2);
    EXPECT_EQ(CUsbCamera::LinkFlags(), 0);
    EXPECT_EQ(CUsbCamera::DriverLibrary(), nullptr);

    // A library that loads but has no driver entry is freed again.
    CUsbCamera::SetDriverLibraryName("libm.so.6");
    EXPECT_EQ(cam.LoadDriverLibrary(), 3);
    EXPECT_EQ(CUsbCamera::LinkFlags() & 0x01, 0);
    EXPECT_EQ(CUsbCamera::DriverLibrary(), nullptr);

    EXPECT_EQ(messages, (std::vector<std::string>{kLoadFailed, kLoadFailed}));
}

TEST_F(LinkLoadTest, NothingIsCalledWithoutADriver) {
    std::uint8_t b[4] = {};
    EXPECT_EQ(cam.ConnectCamera(), 2);
    EXPECT_EQ(cam.OpenChecker(), 2);
    EXPECT_EQ(cam.DcmdGetProperty(88, b), 2);
    EXPECT_EQ(cam.DisconnectCamera(), 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(LinkLoadTest, EntryCallsAreTraced) {
    std::vector<std::string> lines;
    platform::SetTraceSink([&](const std::string& l) { lines.push_back(l); });
    camtest::RecordingDriver::Get().Reset();
    camtest::RecordingDriver::Get().identities = {"VORNE   M740            1.00"};
    CUsbCamera::BindDriverEntry(&camtest::RecordingDriver::Entry);
    ASSERT_EQ(cam.ConnectCamera(), 1);
    camtest::RecordingDriver::Get().Queue({{}, 0, LVX_RESULT(LVX_CODE_DEVICE, LVX_ERR_NODEVICE)});
    EXPECT_EQ(cam.OpenChecker(), 14);
    cam.DisconnectCamera();

    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_TRUE(has("LVX_SEL_OPEN_DRIVER\r\n"));
    EXPECT_TRUE(has("LVX_SEL_GET_DEVICELIST_1\r\n"));
    EXPECT_TRUE(has("DEVICE COUNT = 1\n"));
    EXPECT_TRUE(has("COMMAND : INQUIRY\r\n"));
    EXPECT_TRUE(has("MAIN CODE=LVX_CODE_NONE  SUB CODE=LVX_INF_NONE\r\n"));
    EXPECT_TRUE(has("COMMAND : DXC_OPEN_CHECKER\r\n"));
    EXPECT_TRUE(has("MAIN CODE=LVX_CODE_DEVICE  SUB CODE=LVX_ERR_NODEVICE\r\n"));
}

}  // namespace
