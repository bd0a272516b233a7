// START hands each item window its standards as the range check judged
// them: what the camera receives shows the values the window was given.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/big_endian.h"
#include "sim/simulator.h"
#include "tests/support/bench_operator.h"
#include "tests/support/station_fixture.h"

namespace {

class ItemRunnersTest : public test_support::StationTest<> {
protected:
    ItemRunnersTest() : StationTest("item_runners_test") {}
    int Start(std::uint16_t selection) {
        dlg_.SetSelection(selection);
        host_.Click(dlg_, CImageAdjustDlg::IDC_START);
        return dlg_.LastResult();
    }
    std::vector<sim::CommandRecord> Sent(const std::string& name) const {
        std::vector<sim::CommandRecord> out;
        for (const sim::CommandRecord& c : sim::Sim().Commands())
            if (c.name == name) out.push_back(c);
        return out;
    }
    test_support::BenchOperator bench_{host_};
};

TEST_F(ItemRunnersTest, FlashStartsFromTheSignedInitialValues) {
    dlg_.m_standards.values.sbPreInitial = 256 - 10;
    dlg_.m_standards.values.sbMainInitial = 256 - 5;
    ASSERT_EQ(Start(0x2000), 1) << dlg_.m_log;
    // The first trial value of each mode goes to its DRAM working copy: "AS", address, 1, value.
    std::array<int, 2> first = {0x100, 0x100};
    for (const sim::CommandRecord& c : Sent("DXC_CAMMCU_TESTCMD_SEND")) {
        const auto& b = c.dataOut;
        if (b.size() != 6 || b[0] != 'A' || b[1] != 'S' || b[4] != 1) continue;
        int& slot = first[platform::GetBe16(&b[2]) == 1267 ? 0 : 1];
        if (slot == 0x100) slot = b[5];
    }
    EXPECT_EQ(first, (std::array<int, 2>{0xF6, 0xFB}));
}

TEST_F(ItemRunnersTest, LineCrawlMeasuresTheRedAreaAsXWidthYHeight) {
    StandardData& s = dlg_.m_standards.values;
    s.lineRedX = 1410, s.lineRedWidth = 220, s.lineRedY = 900, s.lineRedHeight = 180;
    s.lineBlueX = 100, s.lineBlueWidth = 50, s.lineBlueY = 60, s.lineBlueHeight = 70;
    ASSERT_EQ(Start(0x0200), 1) << dlg_.m_log;
    // DXC_CCD_ADJUST_DATA_IN: x at 4, y at 6, width at 12, height at 14.
    const auto reads = Sent("DXC_CCD_ADJUST_DATA_IN");
    ASSERT_EQ(reads.size(), 4u);
    for (const sim::CommandRecord& c : reads)
        EXPECT_EQ((std::array<int, 4>{platform::GetBe16(&c.cdb[4]), platform::GetBe16(&c.cdb[6]),
                                      platform::GetBe16(&c.cdb[12]), platform::GetBe16(&c.cdb[14])}),
                  (std::array<int, 4>{1410, 900, 220, 180}));
}

}  // namespace
