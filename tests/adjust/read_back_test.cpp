// A camera that acknowledges a write and keeps its own value, from START:
// the item reads the write back and ends with the memory's number before
// the camera uses the value or any EEPROM takes a result.

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "tests/support/bench_operator.h"
#include "tests/support/station_fixture.h"

namespace {

class ReadBackTest : public test_support::StationTest<> {
protected:
    ReadBackTest() : StationTest("read_back_test") {
        std::filesystem::copy_file(test_support::BinDir() / "STD.DAT", "STD.DAT");
    }
};

TEST_F(ReadBackTest, WriteTheCameraDoesNotKeepEndsTheItem) {
    using sim::Memory;
    const struct {
        const char* what;
        const char* unit;
        std::uint16_t selection;
        Memory memory;
        std::uint32_t address;
        std::uint32_t old;  // a byte the camera holds otherwise than the item will write it
        int result;
    } cases[] = {
        {"sensitivity: the ISO1600 step word", "nominal", 0x0080, Memory::RamConfig, 436, 437, 10},
        {"line crawl: the unity gains", "nominal", 0x0200, Memory::RamConfig, 1552, 1553, 10},
        {"line crawl: the block with its correction", "nominal", 0x0200, Memory::RamConfig, 312, 314, 10},
        // Its own 07 fires, on target for this unit, not the 00 the pass is judged by.
        {"built-in flash: the pre-flash value", "flash-offset", 0x2000, Memory::McuDram, 1267, 1267, 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Sim().ClearDevices();
        ASSERT_NE(sim::Sim().AddCamera(c.unit), 0u);
        sim::Camera& camera = sim::Sim().FirstCamera();
        camera.Mem(c.memory)[c.old] ^= 0x07;
        camera.Faults().unstored = {.times = 1000, .memory = c.memory, .address = c.address};
        const std::vector<std::uint8_t> ccd = camera.Mem(Memory::CcdEeprom), mcu = camera.Mem(Memory::McuEeprom);
        test_support::BenchOperator hands(host_);
        dlg_.SetSelection(c.selection);
        host_.Click(dlg_, CImageAdjustDlg::IDC_START);
        EXPECT_EQ(dlg_.LastResult(), c.result) << dlg_.m_log;
        EXPECT_EQ(camera.Mem(Memory::CcdEeprom), ccd);
        EXPECT_EQ(camera.Mem(Memory::McuEeprom), mcu);
    }
}

}  // namespace
