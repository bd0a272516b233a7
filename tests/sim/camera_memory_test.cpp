// The camera's configuration memories through the checker commands: gating,
// CCD power, working copies, update commands, restarts, the gain table.

#include <gtest/gtest.h>

#include "sim/host_link.h"
#include "sim/simulator.h"
#include "tests/sim/camera_fixture.h"

namespace {

using sim::Memory;
using sim::Sim;
using Bytes = std::vector<std::uint8_t>;

constexpr int kCcd = 0, kTft = 1, kRam = 2;

class CameraMemory : public test_support::CameraTest {};

TEST_F(CameraMemory, CheckerCommandsWaitForTheCheckerMode) {
    auto r = link->ReadMemory(kRam, 0, 4);
    EXPECT_EQ(r.SenseKey(), sim::kSenseIllegalRequest);
    EXPECT_EQ(r.Asc(), sim::kAscSequenceError);
    EXPECT_EQ(link->Checker(0xFC, 0x1000).Asc(), sim::kAscSequenceError);
    ASSERT_TRUE(link->OpenChecker().Ok());
    EXPECT_TRUE(Cam().Modes().checkerOpen);
    EXPECT_TRUE(link->ReadMemory(kRam, 0, 4).Ok());
    EXPECT_TRUE(link->OpenChecker().Ok());  // opening again is harmless
    ASSERT_TRUE(link->Checker(0xFC, 0x1000).Ok());
    EXPECT_EQ(link->WriteMemory(kRam, 0, {1}).Asc(), sim::kAscSequenceError);
    EXPECT_EQ(Cam().Mem(Memory::RamConfig)[0], 0);
}

TEST_F(CameraMemory, CcdEepromNeedsTheCcdPowerAndStaysOnlyWhenCommitted) {
    ASSERT_TRUE(link->OpenChecker().Ok());
    const Bytes iso = {0x12, 0x34, 0x56, 0x78};
    const Bytes before(Cam().Mem(Memory::CcdEeprom).begin() + 248, Cam().Mem(Memory::CcdEeprom).begin() + 252);

    auto off = link->WriteMemory(kCcd, 248, iso);
    EXPECT_EQ(off.SenseKey(), sim::kSenseNotReady);
    EXPECT_EQ(link->ReadMemory(kCcd, 248, 4).SenseKey(), sim::kSenseNotReady);
    EXPECT_EQ(link->Update(0x2102).SenseKey(), sim::kSenseNotReady);

    ASSERT_TRUE(link->CcdPower(true).Ok());
    ASSERT_TRUE(link->WriteMemory(kCcd, 248, iso).Ok());
    auto rd = link->ReadMemory(kCcd, 248, 4);
    ASSERT_TRUE(rd.Ok());
    EXPECT_EQ(rd.data, iso);
    // Not committed: a restart brings the flash contents back.
    Cam().PowerCycle();
    EXPECT_FALSE(Cam().Modes().checkerOpen);
    EXPECT_FALSE(Cam().Modes().ccdPower);
    ASSERT_TRUE(link->OpenChecker().Ok());
    ASSERT_TRUE(link->CcdPower(true).Ok());
    EXPECT_EQ(link->ReadMemory(kCcd, 248, 4).data, before);

    // Committed with update 1: it survives the main switch going off and on.
    ASSERT_TRUE(link->WriteMemory(kCcd, 248, iso).Ok());
    ASSERT_TRUE(link->Update(0x2102).Ok());
    SimBench b = Sim().Bench();
    b.mainSwitchOn = 0;
    Sim().SetBench(b);
    EXPECT_EQ(link->ReadMemory(kCcd, 248, 4).result, LVX_RESULT(LVX_CODE_DEVICE, LVX_INF_DISCONNECT));
    b.mainSwitchOn = 1;
    Sim().SetBench(b);
    ASSERT_TRUE(link->OpenChecker().Ok());
    ASSERT_TRUE(link->CcdPower(true).Ok());
    EXPECT_EQ(link->ReadMemory(kCcd, 248, 4).data, iso);
    // ... and the camera started with it in its RAM configuration.
    EXPECT_EQ(link->ReadMemory(kRam, 400, 4).data, iso);

    // Update 0 discards uncommitted edits.
    ASSERT_TRUE(link->WriteMemory(kCcd, 248, {0, 0, 0, 0}).Ok());
    ASSERT_TRUE(link->Update(0x2101).Ok());
    EXPECT_EQ(link->ReadMemory(kCcd, 248, 4).data, iso);
}

TEST_F(CameraMemory, CorruptedReadFlipsOneByteOfTheReadsThatReachIt) {
    ASSERT_TRUE(link->OpenChecker().Ok());
    ASSERT_TRUE(link->CcdPower(true).Ok());
    const Bytes table = link->ReadMemory(kRam, 400, 38).data;
    Cam().Faults().configRead = {.times = 2, .memory = Memory::RamConfig, .byte = 20, .flip = 0x81};
    EXPECT_EQ(link->ReadMemory(kRam, 400, 20).data, Bytes(table.begin(), table.begin() + 20));  // short of byte 20
    EXPECT_EQ(link->ReadMemory(kCcd, 248, 38).data, table);                                    // another memory
    for (int i = 0; i < 2; ++i) {
        Bytes read = link->ReadMemory(kRam, 400, 38).data;
        ASSERT_EQ(read.size(), 38u);
        EXPECT_EQ(read[20], table[20] ^ 0x81);
        read[20] = table[20];
        EXPECT_EQ(read, table);
    }
    EXPECT_EQ(link->ReadMemory(kRam, 400, 38).data, table);  // two reads, and the memory kept its bytes
    EXPECT_EQ(Cam().Faults().configRead.times, 0);
}

TEST_F(CameraMemory, UnpackCopiesTheEepromBlocksIntoRamAt152) {
    ASSERT_TRUE(link->OpenChecker().Ok());
    ASSERT_TRUE(link->CcdPower(true).Ok());
    const Bytes crawl(12, 0x11), table(38, 0x22), counts = {0, 2, 0, 1}, aperture(40, 0x44);
    ASSERT_TRUE(link->WriteMemory(kCcd, 160, crawl).Ok());
    ASSERT_TRUE(link->WriteMemory(kCcd, 248, table).Ok());
    ASSERT_TRUE(link->WriteMemory(kCcd, 370, counts).Ok());
    ASSERT_TRUE(link->WriteMemory(kCcd, 1936, aperture).Ok());
    const Bytes unity = link->ReadMemory(kRam, 1552, 8).data;
    EXPECT_EQ(unity, (Bytes{1, 0, 1, 0, 1, 0, 1, 0}));

    // Update 2 alone unpacks flash, not the working copy.
    ASSERT_TRUE(link->Update(0x2F00).Ok());
    EXPECT_NE(link->ReadMemory(kRam, 2088, 40).data, aperture);
    ASSERT_TRUE(link->WriteMemory(kCcd, 160, crawl).Ok());
    ASSERT_TRUE(link->WriteMemory(kCcd, 248, table).Ok());
    ASSERT_TRUE(link->WriteMemory(kCcd, 370, counts).Ok());
    ASSERT_TRUE(link->WriteMemory(kCcd, 1936, aperture).Ok());
    ASSERT_TRUE(link->Update(0x2102).Ok());
    ASSERT_TRUE(link->Update(0x2F00).Ok());
    EXPECT_EQ(link->ReadMemory(kRam, 312, 12).data, crawl);
    EXPECT_EQ(link->ReadMemory(kRam, 400, 38).data, table);
    EXPECT_EQ(link->ReadMemory(kRam, 522, 4).data, counts);
    EXPECT_EQ(link->ReadMemory(kRam, 2088, 40).data, aperture);
    EXPECT_EQ(link->ReadMemory(kRam, 1552, 8).data, unity);  // no EEPROM block behind it
    EXPECT_EQ(link->ReadMemory(kCcd, 1936, 40).data, aperture);
}

TEST_F(CameraMemory, TftEepromCommitsWithUpdate4AndReloadsWith5) {
    ASSERT_TRUE(link->OpenChecker().Ok());
    const Bytes pos = {1, 0x25, 3, 4, 5, 0x0C, 7, 8};
    ASSERT_TRUE(link->WriteMemory(kTft, 72, pos).Ok());  // no CCD power needed
    ASSERT_TRUE(link->Update(0x3F00).Ok());
    EXPECT_NE(link->ReadMemory(kTft, 72, 8).data, pos);
    ASSERT_TRUE(link->WriteMemory(kTft, 72, pos).Ok());
    ASSERT_TRUE(link->Update(0x3102).Ok());
    ASSERT_TRUE(link->Update(0x3F00).Ok());
    EXPECT_EQ(link->ReadMemory(kTft, 72, 8).data, pos);
    EXPECT_EQ(Bytes(Cam().Mem(Memory::TftEepromFlash).begin() + 72, Cam().Mem(Memory::TftEepromFlash).begin() + 80),
              pos);
}

TEST_F(CameraMemory, TransfersOutsideAMemoryAreRefusedWhole) {
    ASSERT_TRUE(link->OpenChecker().Ok());
    const Bytes before = Cam().Mem(Memory::TftEeprom);
    auto r = link->WriteMemory(kTft, static_cast<std::uint32_t>(sim::kTftEepromSize) - 2, {1, 2, 3, 4});
    EXPECT_EQ(r.Asc(), sim::kAscOutOfRange);
    EXPECT_EQ(Cam().Mem(Memory::TftEeprom), before);
    EXPECT_EQ(link->ReadMemory(kRam, 0xFFFFFFF0u, 32).Asc(), sim::kAscOutOfRange);
    EXPECT_TRUE(link->ReadMemory(kRam, static_cast<std::uint32_t>(sim::kRamConfigSize) - 4, 4).Ok());
}

TEST_F(CameraMemory, ThePhysicsSeesTheGainTableOnlyOnceBuilt) {
    ASSERT_TRUE(link->OpenChecker().Ok());
    const Bytes trial(40, 0x80);
    const Bytes built = Cam().BuiltFpgainTable();
    ASSERT_TRUE(link->WriteMemory(kRam, 2088, trial).Ok());
    auto view = Cam().ModelMemories();
    EXPECT_EQ(Bytes(view.ramConfig.begin() + 2088, view.ramConfig.begin() + 2128), built);
    ASSERT_TRUE(link->Checker(0xFC, 0x2200).Ok());
    view = Cam().ModelMemories();
    EXPECT_EQ(Bytes(view.ramConfig.begin() + 2088, view.ramConfig.begin() + 2128), trial);
    EXPECT_EQ(Cam().Modes().fpgainBuilds, 1);
}

TEST_F(CameraMemory, CheckerSettingsAreKeptAndCheckedForRange) {
    ASSERT_TRUE(link->OpenChecker().Ok());
    ASSERT_TRUE(link->Checker(0xFC, 0x6201).Ok());
    ASSERT_TRUE(link->Checker(0xFC, 0x6301).Ok());
    ASSERT_TRUE(link->Checker(0xFC, 0x6460).Ok());
    ASSERT_TRUE(link->Checker(0xFD, 0x7081, 0, {1}).Ok());
    EXPECT_EQ(link->Checker(0xFD, 0x7081, 0, {2}).Asc(), sim::kAscInvalidField);
    EXPECT_EQ(link->Checker(0xFC, 0x6411).Asc(), sim::kAscInvalidOpcode);  // pattern 17 is sent as 0x20
    ASSERT_TRUE(link->Checker(0xFD, 0x8401).Ok());
    ASSERT_TRUE(link->Checker(0xFD, 0x6500, 0, Bytes(22, 7)).Ok());
    const auto& m = Cam().Modes();
    EXPECT_TRUE(m.playMode);
    EXPECT_EQ(m.videoMode, 1);
    EXPECT_EQ(m.testPattern, 0x60);
    EXPECT_TRUE(m.ob);
    EXPECT_EQ(m.cfLed, 1);
    EXPECT_EQ(m.menuResets, 1);
    auto fw = link->Checker(0xFE, 0x1180, 0, {}, 128);
    ASSERT_TRUE(fw.Ok());
    EXPECT_EQ(fw.data.size(), 128u);
    EXPECT_NE(fw.data[0], 0);
}

}  // namespace
