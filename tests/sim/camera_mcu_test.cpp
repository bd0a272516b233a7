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

// The flash picture in the order the station sends it, and with a step left
// out or moved: what the camera then holds shows it.
TEST_F(CameraMcu, FlashPictureNeedsShotChargeAndFlashInTurn) {
    const Bytes shot = {'G', 'y', 0x07, 0x08}, charge = {'G', 'w', 0x01, 0x4A}, pre = {'G', '{', 36, 0, 0};
    struct Case {
        const char* what;
        std::vector<Bytes> steps;  // after "SS", before "QQ"
        bool newPicture;
        double level;  // green of the new picture over the one in the station's order
    };
    const std::vector<Case> cases = {
        {"station's order", {shot, charge, pre}, true, 1.0},
        {"no shot: nothing exposed", {charge, pre}, false, 0},
        {"no charge: the last flash drained it", {shot, pre}, true, 0.09},
        {"charged after the flash", {shot, pre, charge}, true, 0.09},
        {"flash before the shot", {charge, pre, shot}, true, 0.0},
        {"no flash", {shot, charge}, true, 0.0},
    };
    SimBench b = Sim().Bench();
    b.lens = SIM_LENS_50MM_F14;
    b.light = SIM_LIGHT_REFLECTOR;
    b.subjectDistanceM = 1.414;
    b.flashPoppedUp = 1;
    Sim().SetBench(b);
    ASSERT_TRUE(link->OpenChecker().Ok());
    ASSERT_TRUE(link->ResumeSession());
    ASSERT_TRUE(link->SetProperty(11, 45).Ok());
    ASSERT_TRUE(link->SetProperty(12, 18).Ok());
    auto green = [&] {
        // The area mean over 300 x 300 at (1400, 900).
        const Bytes cdb = {0xFE, 0, 0x62, 0x80, 0x05, 0x78, 0x03, 0x84, 0, 0, 0, 32, 0x01, 0x2C, 0x01, 0x2C};
        auto r = link->Execute(cdb, LVX_DIR_IN, {}, 32);
        EXPECT_TRUE(r.Ok());
        return ((r.data[0] << 8 | r.data[1]) + (r.data[4] << 8 | r.data[5])) / 20.0;
    };
    double reference = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Each case starts from a flash that drained the capacitor.
        ASSERT_EQ(Answer({'S', 'S'})[0], 'a');
        for (const Bytes& step : {shot, charge, pre}) ASSERT_EQ(Answer(step)[0], 'a');
        ASSERT_EQ(Answer({'Q', 'Q'})[0], 'a');
        ASSERT_GE(link->WaitReady(), 0);
        const int count = Cam().PictureCount();

        ASSERT_EQ(Answer({'S', 'S'})[0], 'a');
        for (const Bytes& step : c.steps) ASSERT_EQ(Answer(step)[0], 'a');
        ASSERT_EQ(Answer({'Q', 'Q'})[0], 'a');
        EXPECT_EQ(link->WaitReady(), c.newPicture ? 3 : 0);
        EXPECT_EQ(link->GetProperty(88).data[3], count + (c.newPicture ? 1 : 0));
        if (!c.newPicture) continue;
        const double g = green();
        if (reference == 0) reference = g;
        EXPECT_NEAR(g / reference, c.level, 0.01) << g;
    }
    EXPECT_EQ(Cam().Modes().fireWidth, 1800);
    EXPECT_EQ(Cam().Modes().flashLevel, 36);

    // One shot at a time; a shot needs a width; outside inspection mode nothing.
    ASSERT_EQ(Answer({'S', 'S'})[0], 'a');
    EXPECT_EQ(Answer(shot)[0], 'a');
    EXPECT_NE(Answer(shot)[0], 'a');
    EXPECT_EQ(Answer({'Q', 'Q'})[0], 'a');
    EXPECT_GE(link->WaitReady(), 0);
    EXPECT_EQ(Answer({'S', 'S'})[0], 'a');
    EXPECT_NE(Answer({'G', 'y', 0, 0})[0], 'a');
    EXPECT_EQ(Answer({'Q', 'Q'})[0], 'a');
    EXPECT_NE(Answer(shot)[0], 'a');
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
