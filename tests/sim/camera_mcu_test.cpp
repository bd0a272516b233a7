// The microcontroller test channel: inspection mode, memory access,
// subroutine 37, the EEPROM checksum, the built-in flash.

#include <gtest/gtest.h>

#include <cstdlib>

#include "sim/host_link.h"
#include "sim/simulator.h"
#include "tests/sim/camera_fixture.h"

namespace {

using sim::Memory;
using sim::Sim;
using Bytes = std::vector<std::uint8_t>;

class CameraMcu : public test_support::CheckerOpenCameraTest {
protected:
    Bytes Answer(const Bytes& cmd, std::uint32_t n = 3) {
        auto r = link->Mcu(cmd, n);
        EXPECT_TRUE(r.Ok());
        return r.data;
    }
};

TEST_F(CameraMcu, MemoryAccessOnlyInInspectionMode) {
    const Bytes readEeprom = {'A', 'U', 0x00, 0xF3, 2};
    const std::uint8_t pre = Cam().Mem(Memory::McuEeprom)[243];
    EXPECT_NE(Answer(readEeprom, 4)[0], 'a');
    EXPECT_NE(Answer({'A', 'W', 0x00, 0xF3, 2, static_cast<std::uint8_t>(pre + 1), 6})[0], 'a');
    EXPECT_EQ(Cam().Mem(Memory::McuEeprom)[243], pre);

    EXPECT_EQ(Answer({'S', 'S'}), (Bytes{'a', 'S', 'S'}));
    EXPECT_TRUE(Cam().Modes().inspection);
    EXPECT_EQ(Answer({'A', 'W', 0x00, 0xF3, 2, 0xFA, 0x07})[0], 'a');
    // A read answers the data first, then 'a' and the data's 8-bit sum.
    EXPECT_EQ(Answer(readEeprom, 4), (Bytes{0xFA, 0x07, 'a', 0x01}));
    // DRAM: 3-byte read address, 2-byte write address.
    EXPECT_EQ(Answer({'A', 'S', 0x04, 0xF3, 2, 0x11, 0x22})[0], 'a');
    EXPECT_EQ(Answer({'A', 'R', 0x00, 0x04, 0xF3, 2}, 4), (Bytes{0x11, 0x22, 'a', 0x33}));
    EXPECT_EQ(Cam().Mem(Memory::McuDram)[1267], 0x11);
    // Area 5.
    EXPECT_EQ(Answer({'M', 'C', 0x00, 0x10, 1, 0x5A})[0], 'a');
    EXPECT_EQ(Answer({'M', 'A', 0x00, 0x10, 1}, 3)[0], 0x5A);
    // Outside the memory, a short write, an unknown command: not 'a'.
    EXPECT_NE(Answer({'A', 'U', 0x07, 0xFF, 2}, 4)[0], 'a');
    EXPECT_NE(Answer({'A', 'W', 0x00, 0x10, 3, 1})[0], 'a');
    EXPECT_NE(Answer({'X', 'X'})[0], 'a');

    EXPECT_EQ(Answer({'Q', 'Q'})[0], 'a');
    EXPECT_FALSE(Cam().Modes().inspection);
}

TEST_F(CameraMcu, DramWorkingCopiesComeFromTheEepromAtStart) {
    ASSERT_EQ(Answer({'S', 'S'})[0], 'a');
    ASSERT_EQ(Answer({'A', 'W', 0x01, 0x03, 4, 10, 20, 30, 40})[0], 'a');
    EXPECT_NE(Answer({'A', 'R', 0x00, 0x05, 0x03, 4}, 6)[0], 10);  // DRAM untouched by the EEPROM write
    ASSERT_EQ(Answer({'G', 'q'})[0], 'a');
    Cam().PowerCycle();
    ASSERT_TRUE(link->OpenChecker().Ok());
    ASSERT_EQ(Answer({'S', 'S'})[0], 'a');
    const Bytes r = Answer({'A', 'R', 0x00, 0x05, 0x03, 4}, 6);
    EXPECT_EQ(Bytes(r.begin(), r.begin() + 4), (Bytes{10, 20, 30, 40}));
    EXPECT_FALSE(Cam().McuChecksumBad());
}

TEST_F(CameraMcu, ChecksumLeftStaleIsFoundAtTheNextStart) {
    ASSERT_TRUE(link->Dcmd(0xE0).Ok());
    EXPECT_EQ(link->GetProperty(71).data[3], Cam().Unit().batteryState);
    ASSERT_EQ(Answer({'S', 'S'})[0], 'a');
    ASSERT_EQ(Answer({'A', 'W', 0x00, 0x02, 2, 0x34, 0x12})[0], 'a');
    Cam().PowerCycle();
    EXPECT_TRUE(Cam().McuChecksumBad());
    ASSERT_TRUE(link->Dcmd(0xE0).Ok());
    EXPECT_EQ(link->GetProperty(71).data[3], 3);

    ASSERT_TRUE(link->OpenChecker().Ok());
    ASSERT_EQ(Answer({'S', 'S'})[0], 'a');
    ASSERT_EQ(Answer({'G', 'q'})[0], 'a');
    Cam().PowerCycle();
    EXPECT_FALSE(Cam().McuChecksumBad());
}

TEST_F(CameraMcu, Subroutine37PutsTheBatteryReadingAt2566) {
    ASSERT_EQ(Answer({'S', 'S'})[0], 'a');
    SimBench b = Sim().Bench();
    b.power = SIM_POWER_BATTERY_TOOL;
    b.supplyVolts = 7.2;
    Sim().SetBench(b);
    ASSERT_EQ(Answer({'E', 'S', 37})[0], 'a');
    const Bytes r = Answer({'A', 'R', 0x00, 0x0A, 0x06, 2}, 4);
    const int reading = r[0] | (r[1] << 8);
    const int model = sim::BatteryAdReading(Cam().Unit(), b, 0);
    EXPECT_GT(reading, 0);
    EXPECT_LE(std::abs(reading - model), 16) << "model " << model;
    EXPECT_NE(Answer({'E', 'S', 38})[0], 'a');
}

TEST_F(CameraMcu, AnArmedFlashTakesItsPictureWhenInspectionModeCloses) {
    ASSERT_TRUE(link->ResumeSession());
    ASSERT_EQ(Answer({'S', 'S'})[0], 'a');
    ASSERT_EQ(Answer({'G', 'y', 0x07, 0x08})[0], 'a');
    ASSERT_EQ(Answer({'G', 'w', 0x01, 0x4A})[0], 'a');
    ASSERT_EQ(Answer({'G', '{', 36, 0, 0})[0], 'a');
    EXPECT_EQ(Cam().PictureCount(), 0);
    ASSERT_EQ(Answer({'Q', 'Q'})[0], 'a');
    EXPECT_EQ(link->WaitReady(), 3);
    EXPECT_EQ(link->GetProperty(88).data[3], 1);
    EXPECT_EQ(Cam().LastExposure().flash, sim::FlashKind::Pre);
    EXPECT_DOUBLE_EQ(Cam().LastExposure().chargeVolts, 33.0);
    EXPECT_EQ(Cam().Modes().fireWidth, 1800);

    // Without an armed flash, closing takes nothing.
    ASSERT_EQ(Answer({'S', 'S'})[0], 'a');
    ASSERT_EQ(Answer({'Q', 'Q'})[0], 'a');
    EXPECT_EQ(link->WaitReady(), 0);
    EXPECT_EQ(Cam().PictureCount(), 1);
}

TEST_F(CameraMcu, ReplyFaultAndMemoryCopy) {
    Cam().Faults().mcuReply = {1, 'z'};
    EXPECT_EQ(Answer({'S', 'S'})[0], 'z');
    EXPECT_EQ(Answer({'S', 'S'})[0], 'a');
    ASSERT_EQ(Answer({'A', 'W', 0x00, 0x02, 2, 7, 9})[0], 'a');
    ASSERT_EQ(Answer({'A', 'Y', 0x00, 0x02, 0x00, 0x03})[0], 'a');  // EEPROM 2..3 to DRAM 1026..1027
    EXPECT_EQ(Answer({'A', 'R', 0x00, 0x04, 0x02, 2}, 4)[1], 9);
    ASSERT_EQ(Answer({'A', 'S', 0x01, 0x00, 2, 0x12, 0x34})[0], 'a');
    const Bytes word = Answer({'C', 'Q', 128}, 4);  // the DRAM word at 256, big-endian
    EXPECT_EQ(word[0], 0x12);
    EXPECT_EQ(word[1], 0x34);
}

}  // namespace
