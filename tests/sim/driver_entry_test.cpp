// The simulated driver entry: selectors, results, the bus, and the
// transfer-level faults.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim/host_link.h"
#include "sim/simulator.h"

namespace {

using sim::HostLink;
using sim::Sim;

class DriverEntry : public ::testing::Test {
protected:
    void SetUp() override { Sim().Reset(); }
    void TearDown() override { Sim().Reset(); }

    static std::uint32_t OpenDriver() {
        LvxOpenDriverBlock b{};
        std::memcpy(b.version, "1200", 4);
        EXPECT_EQ(sim::LvDriverEntry(LVX_SEL_OPEN_DRIVER, &b, 0), 0u);
        return b.driverHandle;
    }
};

TEST_F(DriverEntry, DriverOpensOnlyWithItsVersionAndChecksHandles) {
    std::uint32_t ids[4] = {};
    LvxDeviceListBlock list{LVX_DEVICELIST_TAG, 4, ids};
    EXPECT_EQ(sim::LvDriverEntry(LVX_SEL_GET_DEVICELIST, &list, 1), LVX_RESULT(LVX_CODE_DRIVER, LVX_ERR_SEQUENCE));

    LvxOpenDriverBlock bad{};
    std::memcpy(bad.version, "1100", 4);
    EXPECT_EQ(sim::LvDriverEntry(LVX_SEL_OPEN_DRIVER, &bad, 0), LVX_RESULT(LVX_CODE_DRIVER, LVX_ERR_VERSION));

    const std::uint32_t h = OpenDriver();
    ASSERT_NE(h, 0u);
    EXPECT_EQ(sim::LvDriverEntry(LVX_SEL_GET_DEVICELIST, &list, h + 1),
              LVX_RESULT(LVX_CODE_DRIVER, LVX_ERR_INVALIDPARAM));
    LvxDeviceListBlock badTag{1234, 4, ids};
    EXPECT_EQ(sim::LvDriverEntry(LVX_SEL_GET_DEVICELIST, &badTag, h),
              LVX_RESULT(LVX_CODE_DRIVER, LVX_ERR_INVALIDPARAM));
    EXPECT_EQ(sim::LvDriverEntry(99, &list, h), LVX_RESULT(LVX_CODE_DRIVER, LVX_ERR_UNSUPPORT));

    LvxExecuteIoBlock io{};
    io.deviceHandle = 12345;
    EXPECT_EQ(sim::LvDriverEntry(LVX_SEL_EXECUTE_IO, &io, h), LVX_RESULT(LVX_CODE_DRIVER, LVX_ERR_INVALIDPARAM));
    LvxCloseDriverBlock close{};
    EXPECT_EQ(sim::LvDriverEntry(LVX_SEL_CLOSE_DRIVER, &close, h), 0u);
    EXPECT_FALSE(Sim().DriverOpen());
}

TEST_F(DriverEntry, DeviceListCountsFirstAndHonoursCapacity) {
    Sim().AddForeignDevice();
    const std::uint32_t second = Sim().AddCamera("nominal");
    ASSERT_NE(second, 0u);
    const std::uint32_t h = OpenDriver();

    LvxDeviceListBlock ask{LVX_DEVICELIST_TAG, 0, nullptr};
    ASSERT_EQ(sim::LvDriverEntry(LVX_SEL_GET_DEVICELIST, &ask, h), 0u);
    EXPECT_EQ(ask.count, 3u);

    std::uint32_t ids[2] = {0, 0xDEAD};
    LvxDeviceListBlock one{LVX_DEVICELIST_TAG, 1, ids};
    ASSERT_EQ(sim::LvDriverEntry(LVX_SEL_GET_DEVICELIST, &one, h), 0u);
    EXPECT_EQ(one.count, 3u);
    EXPECT_EQ(ids[0], Sim().AllDevices()[0]);
    EXPECT_EQ(ids[1], 0xDEADu);  // beyond the capacity: untouched

    // Cable out or main switch off: the cameras leave the list, the other
    // maker's device stays.
    for (int which = 0; which < 2; ++which) {
        SimBench b = sim::Simulator::DefaultBench();
        (which == 0 ? b.usbPlugged : b.mainSwitchOn) = 0;
        Sim().SetBench(b);
        ASSERT_EQ(sim::LvDriverEntry(LVX_SEL_GET_DEVICELIST, &ask, h), 0u);
        EXPECT_EQ(ask.count, 1u);
        Sim().SetBench(sim::Simulator::DefaultBench());
    }
}

TEST_F(DriverEntry, DeviceInfoAndInquiryCarryTheIdentity) {
    const std::uint32_t foreign = Sim().AddForeignDevice();
    const std::uint32_t h = OpenDriver();
    const std::uint32_t cam = Sim().AllDevices()[0];

    LvxDeviceInfoBlock first{cam, 0, 0, nullptr};
    EXPECT_EQ(sim::LvDriverEntry(LVX_SEL_GET_DEVICEINFO, &first, h), 0u);
    std::uint8_t buf[LVX_DEVICEINFO_SIZE];
    LvxDeviceInfoBlock info{cam, 0, 0, buf};
    ASSERT_EQ(sim::LvDriverEntry(LVX_SEL_GET_DEVICEINFO, &info, h), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf + 8), 28), "VORNE   M740            1.00");
    info.deviceId = foreign;
    ASSERT_EQ(sim::LvDriverEntry(LVX_SEL_GET_DEVICEINFO, &info, h), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf + 8), 28), sim::kForeignIdentity);
    info.deviceId = 777;
    EXPECT_EQ(sim::LvDriverEntry(LVX_SEL_GET_DEVICEINFO, &info, h), LVX_RESULT(LVX_CODE_DEVICE, LVX_ERR_NODEVICE));

    HostLink link(cam);
    ASSERT_TRUE(link.Connected());
    auto inq = link.Execute({0x12, 0, 0, 0, 0x24, 0}, LVX_DIR_IN, {}, 36);
    ASSERT_TRUE(inq.Ok());
    EXPECT_EQ(std::string(inq.data.begin() + 8, inq.data.end()), "VORNE   M740            1.00");
    EXPECT_EQ(Sim().Commands().back().name, "INQUIRY");
}

TEST_F(DriverEntry, UnknownCommandsAnswerWithSenseAndAreRecorded) {
    HostLink link;
    ASSERT_TRUE(link.Connected());
    auto r = link.Checker(0xFC, 0x7777);
    EXPECT_EQ(r.result, 0u);
    EXPECT_EQ(r.SenseKey(), sim::kSenseIllegalRequest);  // before the checker opens: refused too
    ASSERT_TRUE(link.OpenChecker().Ok());
    r = link.Checker(0xFC, 0x7777);
    EXPECT_EQ(r.sense[0], 0x70);
    EXPECT_EQ(r.SenseKey(), 0x05);
    EXPECT_EQ(r.Asc(), 0x20);
    r = link.Execute({0x00, 0, 0, 0, 0, 0}, LVX_DIR_NONE);
    EXPECT_EQ(r.Asc(), 0x20);

    // The record keeps every transfer with what was sent and answered.
    Sim().ClearCommands();
    ASSERT_TRUE(link.WriteMemory(2, 100, {1, 2, 3}).Ok());
    ASSERT_TRUE(link.ReadMemory(2, 100, 3).Ok());
    const auto& rec = Sim().Commands();
    ASSERT_EQ(rec.size(), 2u);
    EXPECT_EQ(rec[0].name, "DXC_RAMCONFIG_DATAWRITE");
    EXPECT_EQ(rec[0].direction, static_cast<std::uint32_t>(LVX_DIR_OUT));
    EXPECT_EQ(rec[0].dataOut, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(rec[0].cdb[0], 0xFD);
    EXPECT_EQ(rec[1].name, "DXC_RAMCONFIG_DATAREAD");
    EXPECT_EQ(rec[1].dataIn, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_TRUE(rec[1].SenseOk());

    // Malformed blocks are the driver's business, not the camera's.
    EXPECT_EQ(link.Execute(std::vector<std::uint8_t>(10, 0), LVX_DIR_NONE).result,
              LVX_RESULT(LVX_CODE_DRIVER, LVX_ERR_INVALIDPARAM));
    // A length that disagrees with the block, or the wrong direction.
    std::vector<std::uint8_t> cdb(16, 0);
    cdb[0] = 0xFE, cdb[2] = 0x50, cdb[3] = 0x80, cdb[11] = 8;
    EXPECT_EQ(link.Execute(cdb, LVX_DIR_IN, {}, 4).Asc(), sim::kAscInvalidField);
    EXPECT_EQ(link.Execute(cdb, LVX_DIR_OUT, std::vector<std::uint8_t>(8)).Asc(), sim::kAscInvalidField);
}

TEST_F(DriverEntry, InjectedFaultsHitOnlyWhatTheyName) {
    HostLink link;
    ASSERT_TRUE(link.OpenChecker().Ok());

    Sim().FailSelector(LVX_SEL_EXECUTE_IO, LVX_RESULT(LVX_CODE_DEVICE, LVX_INF_TIMEOUT), 2);
    EXPECT_EQ(link.ReadMemory(2, 0, 1).result, LVX_RESULT(LVX_CODE_DEVICE, LVX_INF_TIMEOUT));
    EXPECT_EQ(link.ReadMemory(2, 0, 1).result, LVX_RESULT(LVX_CODE_DEVICE, LVX_INF_TIMEOUT));
    EXPECT_TRUE(link.ReadMemory(2, 0, 1).Ok());

    // A sense fault for one command: the write is refused and not carried
    // out; other commands pass.
    const sim::Sense s = sim::MakeSense(0x0B, 0x47);
    Sim().InjectSense(s, 1, "DXC_RAMCONFIG_DATAWRITE");
    EXPECT_TRUE(link.ReadMemory(2, 0, 1).Ok());
    auto w = link.WriteMemory(2, 10, {0x55});
    EXPECT_EQ(w.result, 0u);
    EXPECT_EQ(w.sense, s);
    EXPECT_EQ(Sim().FirstCamera().Mem(sim::Memory::RamConfig)[10], 0);
    EXPECT_TRUE(link.WriteMemory(2, 10, {0x55}).Ok());
    EXPECT_EQ(Sim().FirstCamera().Mem(sim::Memory::RamConfig)[10], 0x55);
}

// A pending RAM configuration read of two bytes at 20, with buffers of the
// test's own that the driver may write at any later time.
struct PendingRead {
    std::uint8_t cdb[16] = {0xFE, 0, 0x50, 0x80, 0, 0, 0, 20, 0, 0, 0, 2};
    std::uint8_t data[2] = {0xEE, 0xEE};
    sim::Sense sense{};
    LvxExecuteIoBlock io{};

    std::uint32_t Send(const HostLink& link) {
        sense.fill(0xEE);
        io = LvxExecuteIoBlock{};
        io.deviceHandle = link.DeviceHandle();
        io.direction = LVX_DIR_IN;
        io.commandLength = sizeof cdb;
        io.command = cdb;
        io.dataLength = sizeof data;
        io.data = data;
        io.senseLength = LVX_SENSE_LENGTH;
        io.sense = sense.data();
        return sim::LvDriverEntry(LVX_SEL_EXECUTE_IO, &io, link.DriverHandle());
    }
};

TEST_F(DriverEntry, PendingTransferAnswersAtItsCompletion) {
    HostLink link;
    ASSERT_TRUE(link.OpenChecker().Ok());
    ASSERT_TRUE(link.WriteMemory(2, 20, {9, 8}).Ok());

    Sim().LeaveNextPending("DXC_RAMCONFIG_DATAREAD");
    EXPECT_TRUE(link.OpenChecker().Ok());  // another command: not pending
    const int events = HostLink::EventCount();
    PendingRead read;
    ASSERT_EQ(read.Send(link), 0u);
    EXPECT_EQ(read.io.pending, 1u);
    EXPECT_EQ(read.data[0], 0xEE);  // nothing yet, sense included
    EXPECT_EQ(read.sense[0], 0xEE);
    EXPECT_TRUE(Sim().HasPending());
    EXPECT_EQ(HostLink::EventCount(), events);

    ASSERT_TRUE(Sim().CompletePending(LVX_RESULT(LVX_CODE_DEVICE, LVX_INF_ABORT), true));
    EXPECT_EQ(read.data[0], 9);
    EXPECT_EQ(read.data[1], 8);
    EXPECT_EQ(read.sense, sim::Sense{});
    EXPECT_EQ(HostLink::EventCount(), events + 2);  // reported twice
    EXPECT_EQ(HostLink::LastEvent(), LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_NONE));
    EXPECT_EQ(HostLink::LastEventValue(), LVX_RESULT(LVX_CODE_DEVICE, LVX_INF_ABORT));
    EXPECT_FALSE(Sim().CompletePending());

    // One that never completes is never written.
    Sim().LeaveNextPending("", true);
    PendingRead never;
    ASSERT_EQ(never.Send(link), 0u);
    EXPECT_EQ(never.io.pending, 1u);
    EXPECT_FALSE(Sim().HasPending());
    EXPECT_FALSE(Sim().CompletePending());
    EXPECT_EQ(never.data[0], 0xEE);
    EXPECT_EQ(HostLink::EventCount(), events + 2);
}

TEST_F(DriverEntry, PendingTransferEndsUnansweredByANotificationOrAClose) {
    {
        HostLink link;
        ASSERT_TRUE(link.OpenChecker().Ok());
        ASSERT_TRUE(link.WriteMemory(2, 20, {9, 8}).Ok());
        const int events = HostLink::EventCount();

        // A bus reset: the event routine hears it, the transfer is dropped.
        PendingRead reset;
        Sim().LeaveNextPending("DXC_RAMCONFIG_DATAREAD");
        ASSERT_EQ(reset.Send(link), 0u);
        ASSERT_TRUE(Sim().InterruptPending(LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_BUSRESET)));
        EXPECT_EQ(HostLink::EventCount(), events + 1);
        EXPECT_EQ(HostLink::LastEvent(), LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_BUSRESET));
        EXPECT_EQ(HostLink::LastEventValue(), 0u);
        EXPECT_FALSE(Sim().HasPending());
        EXPECT_FALSE(Sim().CompletePending());
        EXPECT_FALSE(Sim().InterruptPending(LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_BUSRESET)));
        EXPECT_EQ(reset.data[0], 0xEE);
        EXPECT_EQ(reset.sense[0], 0xEE);
    }

    // Closing the device cancels a pending transfer; a driver that does not
    // honour that still answers later, into the buffers it was given.
    for (const bool cancels : {true, false}) {
        SCOPED_TRACE(cancels ? "cancelled" : "answered after the close");
        Sim().SetCloseCancelsPending(cancels);
        HostLink link;
        ASSERT_TRUE(link.Connected());
        PendingRead read;
        Sim().LeaveNextPending("DXC_RAMCONFIG_DATAREAD");
        ASSERT_EQ(read.Send(link), 0u);
        LvxCloseDeviceBlock close{};
        close.deviceHandle = link.DeviceHandle();
        ASSERT_EQ(sim::LvDriverEntry(LVX_SEL_CLOSE_DEVICE, &close, link.DriverHandle()), 0u);
        EXPECT_EQ(Sim().HasPending(), !cancels);
        EXPECT_EQ(Sim().CompletePending(), !cancels);
        EXPECT_EQ(read.data[0], cancels ? 0xEE : 9);
    }
}

TEST_F(DriverEntry, BadProfilesAndIdentificationsAreRefused) {
    EXPECT_EQ(Sim().AddCamera("no-such-unit"), 0u);
    EXPECT_FALSE(Sim().LastError().empty());
    EXPECT_EQ(Sim().AddCamera("nominal", "SHORT"), 0u);
    const std::uint32_t id = Sim().AddCamera("nominal", "W73X123456789");
    ASSERT_NE(id, 0u);
    const auto& ccd = Sim().CameraOf(id)->Mem(sim::Memory::CcdEepromFlash);
    EXPECT_EQ(std::string(ccd.begin() + 17, ccd.begin() + 30), "W73X123456789");
}

}  // namespace
