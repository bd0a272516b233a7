// START with the aperture dependence item ticked, on the simulated camera with
// the simulator's operator at the bench: the item gets the F1.4 tolerance of
// the standards, its log and judged values join the run, and the CCD EEPROM
// flash-up follows it.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "shell/image_adjust_dlg.h"
#include "sim/simulator.h"
#include "tests/support/bench_operator.h"
#include "tests/support/station_fixture.h"

namespace {

class ApertureItemRunTest : public test_support::StationTest<> {
protected:
    ApertureItemRunTest() : StationTest("aperture_item_run_test") {}
    test_support::BenchOperator bench_{host_};
};

TEST_F(ApertureItemRunTest, ToleranceOfTheStandardsDecidesAndFlashUpFollows) {
    struct Case {
        const char* unit;
        double tolerance;
        int passes;  // measurements taken
        int result;  // 0: either way, as the second measurement's noise has it
    };
    // The nominal unit's F1.4/F8 ratios lie within 0.5 % of 1.
    const Case cases[] = {
        {"nominal", 2.0, 1, 1},
        {"nominal", 0.2, 2, 0},
        {"deep-falloff", 2.0, 2, 61},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unit) + " at " + std::to_string(c.tolerance));
        sim::Sim().ClearDevices();
        ASSERT_NE(sim::Sim().AddCamera(c.unit), 0u);
        dlg_.m_standards.values.pgainF14Tolerance = c.tolerance;
        dlg_.SetSelection(0);
        host_.Click(dlg_, CImageAdjustDlg::IDC_APERTURE);
        ASSERT_EQ(dlg_.m_itemFlags, 0x1000);
        host_.Click(dlg_, CImageAdjustDlg::IDC_START);

        const int result = dlg_.LastResult();
        if (c.result != 0) {
            EXPECT_EQ(result, c.result);
        }
        const RunRecord& record = dlg_.LastRunRecord();
        std::vector<std::string> items;
        for (const auto& item : record.Items()) items.push_back(item.item);
        const std::vector<std::string> ran = {"aperture", "ccd-flashup"};
        EXPECT_EQ(items, std::vector<std::string>(ran.begin(), ran.begin() + (result == 1 ? 2 : 1)));
        ASSERT_EQ(record.Measurements().size(), 4u * static_cast<std::size_t>(c.passes));
        for (const RunMeasurement& m : record.Measurements()) {
            EXPECT_EQ(m.item, "aperture");
            if (m.name != "GR" && m.name != "GB") continue;
            EXPECT_DOUBLE_EQ(m.low.value(), 1 - c.tolerance / 100);
            EXPECT_DOUBLE_EQ(m.high.value(), 1 + c.tolerance / 100);
            EXPECT_EQ(m.passed, std::abs(m.value - 1) <= c.tolerance / 100) << m.name << " " << m.value;
        }
        EXPECT_EQ(dlg_.m_log.rfind(std::string(result == 1 ? "OK" : "NG") + "\r\n絞り依存性調整\r\n", 0), 0u);
    }
}

}  // namespace
