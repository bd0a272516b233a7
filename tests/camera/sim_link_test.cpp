// The camera link against the simulated camera: finding and opening the
// camera, transfers that fail or complete late, and the command sets as the
// camera receives and holds them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "camera/shooting.h"
#include "camera/usb_camera.h"
#include "platform/clock.h"
#include "sim/simulator.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Counts the entry calls by selector on their way to the simulated library.
std::map<std::uint32_t, int>& Calls() {
    static std::map<std::uint32_t, int> calls;
    return calls;
}
std::uint32_t CountingEntry(std::uint32_t selector, void* block, std::uint32_t handle) {
    ++Calls()[selector];
    return SimLvDriverEntry(selector, block, handle);
}

class SimLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Sim().Reset();
        Calls().clear();
        CUsbCamera::SetLinkFlags(0);
        CUsbCamera::BindDriverEntry(&CountingEntry);
    }
    void TearDown() override {
        cam.DisconnectCamera();
        CUsbCamera::BindDriverEntry(nullptr);
    }
    void Connect() {
        ASSERT_EQ(cam.ConnectCamera(), 1);
        sim::Sim().ClearCommands();
        clock0 = clock.SleptMs();
    }
    std::vector<sim::CommandRecord> Named(const std::string& name) const {
        std::vector<sim::CommandRecord> out;
        for (const auto& c : sim::Sim().Commands())
            if (c.name == name) out.push_back(c);
        return out;
    }
    sim::Camera& Camera() { return sim::Sim().FirstCamera(); }
    std::int64_t Slept() const { return clock.SleptMs() - clock0; }

    platform::VirtualClock clock;
    CUsbCamera cam{clock};
    std::int64_t clock0 = 0;
};

TEST_F(SimLinkTest, NoDeviceGivesFourAfterTwentyAttempts) {
    sim::Sim().ClearDevices();
    EXPECT_EQ(cam.ConnectCamera(), 4);
    EXPECT_EQ(clock.SleptMs(), 10000);
    EXPECT_EQ(Calls()[LVX_SEL_GET_DEVICELIST], 20);  // asked once per attempt
    EXPECT_EQ(Calls()[LVX_SEL_OPEN_DEVICE], 0);
}

TEST_F(SimLinkTest, AnotherMakersDeviceIsNoCamera) {
    sim::Sim().ClearDevices();
    sim::Sim().AddForeignDevice();
    EXPECT_EQ(cam.ConnectCamera(), 5);
    EXPECT_EQ(Calls()[LVX_SEL_OPEN_DEVICE], 0);
}

TEST_F(SimLinkTest, FirstCameraInListOrderIsOpened) {
    sim::Sim().ClearDevices();
    sim::Sim().AddForeignDevice();
    const std::uint32_t first = sim::Sim().AddCamera("nominal");
    const std::uint32_t second = sim::Sim().AddCamera("nominal");
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    ASSERT_EQ(cam.ConnectCamera(), 1);
    EXPECT_EQ(CUsbCamera::LinkFlags(), 0x07);
    const auto inquiry = Named("INQUIRY");
    ASSERT_EQ(inquiry.size(), 1u);
    EXPECT_EQ(inquiry[0].deviceId, first);
    EXPECT_EQ(inquiry[0].cdb, (Bytes{0x12, 0, 0, 0, 0x24, 0}));
}

TEST_F(SimLinkTest, DisconnectTwiceDoesNothingTheSecondTime) {
    Connect();
    EXPECT_EQ(cam.DisconnectCamera(), 1);
    EXPECT_EQ(CUsbCamera::LinkFlags(), 0x01);
    EXPECT_FALSE(sim::Sim().DriverOpen());
    Calls().clear();
    EXPECT_EQ(cam.DisconnectCamera(), 1);
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(CUsbCamera::LinkFlags(), 0x01);
}

TEST_F(SimLinkTest, SenseByteFailsACommandTheCallPassed) {
    Connect();
    sim::Sim().InjectSense(sim::MakeSense(sim::kSenseIllegalRequest, sim::kAscInvalidField), 1, "DXC_OPEN_CHECKER");
    EXPECT_EQ(cam.OpenChecker(), 14);
    ASSERT_EQ(sim::Sim().Commands().size(), 1u);
    EXPECT_EQ(sim::Sim().Commands()[0].result, 0u);
    EXPECT_EQ(cam.OpenChecker(), 1);
    EXPECT_TRUE(Camera().Modes().checkerOpen);
}

TEST_F(SimLinkTest, LateCompletionSucceedsAndMissingOneFails) {
    Connect();
    sim::Sim().LeaveNextPending("DXC_OPEN_CHECKER");
    clock.After(1500, [] { sim::Sim().CompletePending(0); });
    EXPECT_EQ(cam.OpenChecker(), 1);
    EXPECT_EQ(Slept(), 1500);
    EXPECT_TRUE(Camera().Modes().checkerOpen);

    // The data arrive with the completion.
    Camera().Mem(sim::Memory::RamConfig)[400] = 0x5A;
    std::uint8_t value = 0;
    sim::Sim().LeaveNextPending("DXC_RAMCONFIG_DATAREAD");
    clock.After(30, [] { sim::Sim().CompletePending(0); });
    EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, 400, 1, &value), 1);
    EXPECT_EQ(value, 0x5A);

    sim::Sim().LeaveNextPending("DXC_OPEN_CHECKER");
    clock.After(50, [] { sim::Sim().CompletePending(LVX_RESULT(LVX_CODE_DEVICE, LVX_INF_TIMEOUT)); });
    EXPECT_EQ(cam.OpenChecker(), 14);

    // The whole wait, then the device is closed: a camera command waits 4 s,
    // a checker command 10 s.
    const struct {
        const char* command;
        int (CUsbCamera::*send)();
        std::int64_t waitMs;
    } never[] = {{"DCMD_OPEN_SESSION", &CUsbCamera::DcmdOpenSession, 4000},
                 {"DXC_CLOSE_CHECKER", &CUsbCamera::CloseChecker, 10000}};
    for (const auto& c : never) {
        Connect();
        sim::Sim().LeaveNextPending(c.command, true);
        EXPECT_EQ((cam.*c.send)(), 14) << c.command;
        EXPECT_EQ(Slept(), c.waitMs) << c.command;
        EXPECT_EQ(CUsbCamera::LinkFlags(), 0x03) << c.command;
        cam.DisconnectCamera();
    }
}

TEST_F(SimLinkTest, OnlyACompletionCompletesAPendingTransfer) {
    const std::uint32_t notifications[] = {
        LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_BUSRESET),    LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_DISCONNECT),
        LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_STATUSCHANGE), LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_ABORT),
        LVX_RESULT(LVX_CODE_DEVICE, LVX_INF_BUSRESET),    LVX_RESULT(LVX_CODE_NONE, LVX_INF_NONE),
    };
    Connect();
    ASSERT_EQ(cam.OpenChecker(), 1);
    const Bytes held = {0x11, 0x22, 0x33, 0x44};
    ASSERT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Write, 400, 4, Bytes(held).data()), 1);
    for (std::uint32_t event : notifications) {
        clock0 = clock.SleptMs();
        Bytes buffer(4, 0xA5);
        sim::Sim().LeaveNextPending("DXC_RAMCONFIG_DATAREAD");
        clock.After(30, [event] { sim::Sim().InterruptPending(event); });
        EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, 400, 4, buffer.data()), 14)
            << std::hex << event;
        EXPECT_EQ(Slept(), 30) << std::hex << event;
        EXPECT_EQ(buffer, Bytes(4, 0xA5)) << std::hex << event;
        // The session goes on.
        EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, 400, 4, buffer.data()), 1)
            << std::hex << event;
        EXPECT_EQ(buffer, held) << std::hex << event;
    }

    // A completion reported twice ends its own transfer only: the next one
    // that never completes still fails after the whole wait.
    Bytes buffer(4);
    sim::Sim().LeaveNextPending("DXC_RAMCONFIG_DATAREAD");
    clock.After(30, [] { sim::Sim().CompletePending(0, true); });
    EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, 400, 4, buffer.data()), 1);
    EXPECT_EQ(buffer, held);
    clock0 = clock.SleptMs();
    sim::Sim().LeaveNextPending("DXC_RAMCONFIG_DATAREAD", true);
    EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, 400, 4, buffer.data()), 14);
    EXPECT_EQ(Slept(), 10000);
}

TEST_F(SimLinkTest, CompletionReportedAgainIsNotTakenForTheNextTransfers) {
    // A write completes late, and its completion is reported again while the
    // next transfer waits for its own, which comes later.
    Bytes held = {0x11, 0x22, 0x33, 0x44};
    auto writeLate = [&] {
        sim::Sim().LeaveNextPending("DXC_RAMCONFIG_DATAWRITE");
        clock.After(20, [] { sim::Sim().CompletePending(0); });
        ASSERT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Write, 400,
                                           static_cast<std::uint32_t>(held.size()), Bytes(held).data()),
                  1);
        sim::Sim().LeaveNextPending();
        clock.After(5, [] { sim::Sim().RepeatLastCompletion(); });
        clock.After(35, [] { sim::Sim().CompletePending(0); });
    };

    // A read waits for the completion that brings its data, a short one and
    // one of many of the link's 256-byte marks.
    const Bytes shortBlock = held;
    Bytes longBlock(1000);
    for (std::size_t i = 0; i < longBlock.size(); ++i) longBlock[i] = static_cast<std::uint8_t>(i * 7 + 3);
    for (const Bytes& block : {shortBlock, longBlock}) {
        held = block;
        Connect();
        ASSERT_EQ(cam.OpenChecker(), 1);
        writeLate();
        Bytes read(held.size());
        EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, 400,
                                           static_cast<std::uint32_t>(read.size()), read.data()),
                  1);
        EXPECT_EQ(read, held);
        EXPECT_GE(Slept(), 55) << held.size();
        EXPECT_EQ(cam.OpenChecker(), 1);  // and the link goes on
        cam.DisconnectCamera();
    }
    held = shortBlock;
    Bytes read(held.size());

    // A command without data to the host cannot tell, and may be taken as
    // done on the repeat: its own completion then comes to a link with
    // nothing waiting, which sends nothing more until connected again.
    Connect();
    ASSERT_EQ(cam.OpenChecker(), 1);
    writeLate();
    EXPECT_EQ(cam.SetCcdPower(0), 1);
    clock.Sleep(100);
    Calls().clear();
    EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, 400, 4, read.data()), 14);
    EXPECT_EQ(Calls()[LVX_SEL_EXECUTE_IO], 0);
    EXPECT_EQ(CUsbCamera::LinkFlags() & 0x04, 0);
    cam.DisconnectCamera();
    Connect();
    EXPECT_EQ(cam.OpenChecker(), 1);
}

TEST_F(SimLinkTest, AbandonedTransferIsCancelledAndItsLateDataReachNoCaller) {
    const struct {
        const char* what;
        bool closeCancels;
        bool callerFrees;
    } cases[] = {
        {"a driver that cancels at the close", true, false},
        {"one that completes anyway, into a buffer still held", false, false},
        {"one that completes anyway, after the caller freed its buffer", false, true},
    };
    const Bytes held = {1, 2, 3, 4, 5, 6, 7, 8};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Connect();
        ASSERT_EQ(cam.OpenChecker(), 1);
        ASSERT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Write, 400, 8, Bytes(held).data()),
                  1);
        sim::Sim().SetCloseCancelsPending(c.closeCancels);
        Calls().clear();

        auto buffer = std::make_unique<std::uint8_t[]>(8);
        std::fill_n(buffer.get(), 8, 0xA5);
        sim::Sim().LeaveNextPending("DXC_RAMCONFIG_DATAREAD");
        // Later than the whole 10 s wait.
        clock.After(10200, [] { sim::Sim().CompletePending(0); });
        clock0 = clock.SleptMs();
        EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, 400, 8, buffer.get()), 14);
        EXPECT_EQ(Slept(), 10000);
        EXPECT_EQ(Calls()[LVX_SEL_CLOSE_DEVICE], 1);
        EXPECT_EQ(CUsbCamera::LinkFlags(), 0x03);
        EXPECT_EQ(sim::Sim().HasPending(), !c.closeCancels);
        if (c.callerFrees) buffer.reset();  // the sanitizer build sees any later write

        // Nothing goes out on the closed device; meanwhile the library
        // finishes what it was asked, or has cancelled it.
        EXPECT_EQ(cam.OpenChecker(), 14);
        EXPECT_EQ(Calls()[LVX_SEL_EXECUTE_IO], 1);
        cam.DisconnectCamera();
        clock.Sleep(500);
        EXPECT_FALSE(sim::Sim().HasPending());
        if (buffer) {
            EXPECT_EQ(Bytes(buffer.get(), buffer.get() + 8), Bytes(8, 0xA5));
        }

        // The next session's transfers are their own.
        Connect();
        Bytes next(8);
        sim::Sim().LeaveNextPending("DXC_RAMCONFIG_DATAREAD");
        clock.After(30, [] { sim::Sim().CompletePending(0); });
        EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, 400, 8, next.data()), 1);
        EXPECT_EQ(next, held);
        cam.DisconnectCamera();
    }
}

TEST_F(SimLinkTest, LateCompletionOfAnAbandonedTransferEndsNothingOfTheNextSession) {
    Connect();
    ASSERT_EQ(cam.OpenChecker(), 1);
    const Bytes held = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Write, 400, 8, Bytes(held).data()), 1);
    sim::Sim().SetCloseCancelsPending(false);
    Bytes abandoned(8, 0xA5);
    sim::Sim().LeaveNextPending("DXC_RAMCONFIG_DATAREAD");
    EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, 400, 8, abandoned.data()), 14);
    cam.DisconnectCamera();

    // The library finishes the read given up on while the next session's
    // read is pending, then that one: each completion ends its own.
    Connect();
    Bytes next(8);
    sim::Sim().LeaveNextPending("DXC_RAMCONFIG_DATAREAD");
    clock.After(30, [] { sim::Sim().CompletePending(0); });
    clock.After(60, [] { sim::Sim().CompletePending(0); });
    EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, 400, 8, next.data()), 1);
    EXPECT_EQ(Slept(), 60);
    EXPECT_EQ(next, held);
    EXPECT_EQ(abandoned, Bytes(8, 0xA5));
}

TEST_F(SimLinkTest, AfterTooManyTransfersGivenUpOnTheDeviceIsNotOpenedUntilALibraryIsBound) {
    // The library cancels each at the close, so none is ever heard of: each
    // open's event routine might still be called for it.
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(cam.ConnectCamera(), 1) << i;
        sim::Sim().LeaveNextPending("DXC_OPEN_CHECKER");
        ASSERT_EQ(cam.OpenChecker(), 14) << i;
        cam.DisconnectCamera();
    }
    Calls().clear();
    EXPECT_EQ(cam.ConnectCamera(), 11);
    EXPECT_EQ(Calls()[LVX_SEL_OPEN_DEVICE], 0);
    CUsbCamera::BindDriverEntry(&CountingEntry);
    EXPECT_EQ(cam.ConnectCamera(), 1);
}

TEST_F(SimLinkTest, NoDriverCallWithoutAnOpenDevice) {
    Connect();
    ASSERT_EQ(cam.OpenChecker(), 1);
    cam.DisconnectCamera();
    // The next run cannot open the device, and closes the checker anyway.
    sim::Sim().FailSelector(LVX_SEL_OPEN_DEVICE, LVX_RESULT(LVX_CODE_DEVICE, LVX_ERR_NODEVICE));
    EXPECT_EQ(cam.ConnectCamera(), 11);
    Calls().clear();
    sim::Sim().ClearCommands();
    std::uint8_t b[4] = {};
    EXPECT_EQ(cam.CloseChecker(), 14);
    EXPECT_EQ(cam.DcmdGetProperty(88, b), 14);
    EXPECT_EQ(cam.InquiryDevice(), 14);
    EXPECT_TRUE(Calls().empty());
    EXPECT_TRUE(sim::Sim().Commands().empty());
    EXPECT_TRUE(Camera().Modes().checkerOpen);
}

TEST_F(SimLinkTest, ConfigurationMemoryRoundTrips) {
    Connect();
    ASSERT_EQ(cam.OpenChecker(), 1);
    ASSERT_EQ(cam.SetCcdPower(0), 1);
    Bytes table(38);
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(0x40 + i);
    EXPECT_EQ(cam.WriteConfigMemoryVerified(ConfigMemory::CcdEeprom, MemoryDirection::Write, 248, 38, table.data()), 1);
    const auto& ccd = Camera().Mem(sim::Memory::CcdEeprom);
    EXPECT_TRUE(std::equal(table.begin(), table.end(), ccd.begin() + 248));

    Bytes back(38);
    EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::CcdEeprom, MemoryDirection::Read, 248, 38, back.data()), 1);
    EXPECT_EQ(back, table);
    EXPECT_EQ(cam.WriteConfigMemoryVerified(ConfigMemory::CcdEeprom, MemoryDirection::Read, 248, 38, back.data()),
              1);  // double read

    // The camera changes one byte while the station waits to read back.
    clock.After(50, [this] { Camera().Mem(sim::Memory::RamConfig)[410] ^= 0xFF; });
    EXPECT_EQ(cam.WriteConfigMemoryVerified(ConfigMemory::RamConfig, MemoryDirection::Write, 400, 38, table.data()), 0);
}

TEST_F(SimLinkTest, MicrocontrollerChannelAndMemoryAccess) {
    Connect();
    ASSERT_EQ(cam.OpenChecker(), 1);
    ASSERT_EQ(cam.SetInspectionMode(), 1);
    EXPECT_TRUE(Camera().Modes().inspection);

    Bytes values = {0xF8, 0x06};
    ASSERT_EQ(cam.AccessCameraMemory(CameraMemory::Dram, MemoryDirection::Write, 1267, 2, values.data(), 2), 1);
    EXPECT_EQ(Camera().Mem(sim::Memory::McuDram)[1267], 0xF8);
    EXPECT_EQ(Camera().Mem(sim::Memory::McuDram)[1268], 0x06);
    Bytes buf(8, 0xEE);
    ASSERT_EQ(cam.AccessCameraMemory(CameraMemory::Dram, MemoryDirection::Read, 1267, 2, buf.data(), buf.size()), 1);
    EXPECT_EQ(buf[0], 0xF8);
    EXPECT_EQ(buf[1], 0x06);
    EXPECT_EQ(buf[4], 0xEE);  // n + 2 bytes and no more

    sim::Sim().ClearCommands();
    ASSERT_EQ(cam.CallSubroutine(37), 1);
    ASSERT_EQ(cam.AccessCameraMemory(CameraMemory::Dram, MemoryDirection::Read, 2566, 2, buf.data(), 4), 1);
    const auto sends = Named("DXC_CAMMCU_TESTCMD_SEND");
    ASSERT_EQ(sends.size(), 2u);
    EXPECT_EQ(sends[0].dataOut, (Bytes{'E', 'S', 37}));
    EXPECT_EQ(sends[1].dataOut, (Bytes{'A', 'R', 0x00, 0x0A, 0x06, 0x02}));
    const auto resps = Named("DXC_CAMMCU_TESTCMD_RESP");
    ASSERT_EQ(resps.size(), 2u);
    EXPECT_EQ(resps[1].length, 4u);
    EXPECT_EQ(buf[0], Camera().Mem(sim::Memory::McuDram)[2566]);

    Camera().Faults().mcuReply = {1, 'x'};
    EXPECT_EQ(cam.SetInspectionMode(), 9);

    sim::Sim().ClearCommands();
    EXPECT_EQ(cam.ChargeInsideSb(33.07), 1);
    EXPECT_EQ(cam.SetOb(1), 1);
    EXPECT_EQ(cam.SetOb(0), 1);
    const auto& rec = sim::Sim().Commands();
    ASSERT_EQ(rec.size(), 4u);
    EXPECT_EQ(rec[0].dataOut, (Bytes{'G', 'w', 0x01, 0x4A}));
    EXPECT_EQ(rec[2].dataOut, Bytes{1});
    EXPECT_EQ(rec[3].dataOut, Bytes{0});
    EXPECT_FALSE(Camera().Modes().ob);
}

TEST_F(SimLinkTest, ShootingConditionsStopAtADifferingReadBack) {
    Connect();
    ASSERT_EQ(cam.ResumeSession(), 1);
    ASSERT_EQ(cam.SetShootingConditions(45, 18, 72, 0), 1);
    EXPECT_EQ(Camera().Property(11), 45);
    EXPECT_EQ(Camera().Property(12), 18);
    EXPECT_EQ(Camera().Property(5), 72);
    // A new shutter speed gives the aperture back to the lens.
    ASSERT_EQ(cam.SetShootingConditions(18, 0, 72, 0), 1);
    EXPECT_EQ(Camera().Property(12), 0);

    Camera().SetStoredProperty(2, 7);
    Camera().SetStoredProperty(5, 9);
    sim::Sim().ClearCommands();
    // The camera holds another value by the time it is read back.
    clock.After(50, [this] { Camera().SetStoredProperty(11, 99); });
    EXPECT_EQ(cam.SetShootingConditions(24, 0, 72, 0), 6);
    EXPECT_EQ(Named("DCMD_SET_PROPERTY").size(), 1u);
    EXPECT_EQ(Camera().Property(2), 7);
    EXPECT_EQ(Camera().Property(5), 9);

    Camera().Faults().propertyReply = {1, std::nullopt, 12};
    std::uint8_t v = 0;
    EXPECT_EQ(cam.DcmdGetProperty(11, &v), 7);
}

TEST_F(SimLinkTest, CaptureRejectsAPictureThatIsNotThere) {
    Connect();
    ASSERT_EQ(cam.ResumeSession(), 1);
    ASSERT_EQ(cam.OpenChecker(), 1);
    AreaMeasurement m;

    Camera().Faults().neverReady = true;
    EXPECT_EQ(cam.CaptureAndMeasure(kSensAdjustArea, &m), 8);
    EXPECT_EQ(Named("DCMD_DEVICE_READY").size(), 100u);
    EXPECT_GE(Slept(), 10000);
    EXPECT_TRUE(Named("DCMD_GET_PROPERTY").empty());

    // The camera finishes the picture it was busy with.
    Camera().Faults().neverReady = false;
    for (int i = 0; i < 10 && cam.DcmdDeviceReady() != 1; ++i) {
    }
    Camera().Faults().imageCountZero = true;
    sim::Sim().ClearCommands();
    EXPECT_EQ(cam.CaptureAndMeasure(kSensAdjustArea, &m), 8);
    EXPECT_TRUE(Named("DCMD_GET_IMAGE_FILE_INFO").empty());

    Camera().Faults().imageCountZero = false;
    ASSERT_EQ(cam.CaptureAndMeasure(kSensAdjustArea, &m), 1);
    EXPECT_GT(m.Gr(), 0);
    EXPECT_TRUE(Camera().Modes().session);
    EXPECT_EQ(Camera().Modes().sessionMode, 1);
}

TEST_F(SimLinkTest, RawTransferFollowsTheReportedParts) {
    Connect();
    ASSERT_EQ(cam.ResumeSession(), 1);
    Camera().Faults().imageInfo = sim::CameraFaults::ImageInfo{0x18000, 0x18000, 4096, 0};
    Bytes picture(0x18000);
    ImageFileInfo info;
    ASSERT_EQ(cam.CaptureRawImage(picture.data(), picture.size(), &info), 1);
    const auto blocks = Named("DCMD_GET_IMAGE");
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].cdb[1], 0);
    EXPECT_EQ(blocks[0].length, 65536u);
    EXPECT_EQ(blocks[1].cdb[1], 0);
    EXPECT_EQ(blocks[1].length, 32768u);
    EXPECT_EQ(info.totalSize, 0x18000u);

    // Larger than the buffer, or with no block size: nothing transferred.
    sim::Sim().ClearCommands();
    EXPECT_EQ(cam.CaptureRawImage(picture.data(), 0x17FFF, &info), 8);
    Camera().Faults().imageInfo = sim::CameraFaults::ImageInfo{0x18000, 0x8000, 0, 0};
    EXPECT_EQ(cam.CaptureRawImage(picture.data(), picture.size(), &info), 8);
    EXPECT_TRUE(Named("DCMD_GET_IMAGE").empty());

    // Part 1 in blocks, and a failing block ends it with 0.
    Camera().Faults().imageInfo = sim::CameraFaults::ImageInfo{0x18000, 0x8000, 0x6000, 0};
    ASSERT_EQ(cam.CaptureRawImage(picture.data(), picture.size(), &info), 1);
    const auto parts = Named("DCMD_GET_IMAGE");
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[1].cdb[1], 1);
    EXPECT_EQ(parts[3].length, 0x4000u);
    sim::Sim().InjectSense(sim::MakeSense(sim::kSenseIllegalRequest, sim::kAscInvalidField), 1, "DCMD_GET_IMAGE");
    EXPECT_EQ(cam.CaptureRawImage(picture.data(), picture.size(), &info), 0);
}

}  // namespace
