// The battery check and the built-in flash adjustment from the main window's
// START, with the sample standards and the operator at the simulated bench.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/big_endian.h"
#include "tests/support/bench_operator.h"
#include "tests/support/station_fixture.h"

namespace {

constexpr const char* kBatteryUnusable = "バッテリーが動作不可状態だよ";

class StationItemsTest : public test_support::StationTest<> {
protected:
    StationItemsTest() : StationTest("station_items_test") {}
    void Start(std::uint16_t selection) {
        dlg_.SetSelection(selection);
        host_.Click(dlg_, CImageAdjustDlg::IDC_START);
    }
    bool Warned() const {
        for (const auto& b : host_.MessageBoxes())
            if (b.text == kBatteryUnusable) return true;
        return false;
    }
};

TEST_F(StationItemsTest, BatteryAndFlashRunInTurnWithTheSampleStandards) {
    test_support::BenchOperator hands(host_);
    Start(0x2010);
    EXPECT_EQ(dlg_.LastResult(), 1) << dlg_.m_log;
    EXPECT_EQ(dlg_.m_log.rfind("OK\r\nＢＣ調整\r\n", 0), 0u) << dlg_.m_log;
    EXPECT_NE(dlg_.m_log.find("OK\r\n内蔵ＳＢ調整\r\n"), std::string::npos) << dlg_.m_log;
    EXPECT_EQ(hands.Typed().size(), 4u);

    const RunRecord& record = dlg_.LastRunRecord();
    ASSERT_EQ(record.Items().size(), 2u);
    EXPECT_EQ(record.Items()[0].item, "battery");
    EXPECT_EQ(record.Items()[1].item, "flash");
    for (const RunItemResult& item : record.Items()) EXPECT_EQ(item.result, 1) << item.item;
    // The windows judged with the standards of STD.DAT.
    int judged = 0;
    for (const RunMeasurement& m : record.Measurements()) {
        if (m.name == "BC AD") {
            EXPECT_EQ(m.item, "battery");
            EXPECT_EQ(m.low, 700);
            EXPECT_EQ(m.high, 780);
            ++judged;
        }
        if (m.name == "PRE DIFF" || m.name == "MAIN DIFF") {
            EXPECT_EQ(m.item, "flash");
            EXPECT_EQ(m.high, 0.1);
            EXPECT_TRUE(m.passed);
            ++judged;
        }
    }
    EXPECT_EQ(judged, 3 + 2);
    EXPECT_FALSE(Warned());
}

TEST_F(StationItemsTest, EepromLeftWithoutItsChecksumIsReportedAtTheNextStart) {
    test_support::BenchOperator hands(host_);
    // New flash values reach the EEPROM, but its read-back differs: no checksum routine.
    sim::Sim().ClearDevices();
    ASSERT_NE(sim::Sim().AddCamera("flash-offset"), 0u);
    sim::Sim().FirstCamera().Faults().mcuReadCorrupted = {2, "AU", 243};
    Start(0x2000);
    EXPECT_EQ(dlg_.LastResult(), 12);

    // The camera goes off and on; the next run warns and goes on.
    for (int on : {0, 1}) {
        SimBench b = sim::Sim().Bench();
        b.mainSwitchOn = on;
        sim::Sim().SetBench(b);
    }
    host_.ClearRecords();
    Start(0x2000);
    EXPECT_TRUE(Warned());
    EXPECT_EQ(dlg_.LastResult(), 1);
    const auto& eeprom = sim::Sim().FirstCamera().Mem(sim::Memory::McuEeprom);
    EXPECT_EQ(platform::GetBe16(&eeprom[sim::kMcuChecksumEnd]), sim::McuChecksum(eeprom));  // mended
}

}  // namespace
