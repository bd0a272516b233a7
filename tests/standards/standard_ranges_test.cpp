// The range of every standard: the sample and the values a good line uses
// pass; values out of reason, alone or against the fields they depend on,
// are named.

#include "standards/standard_ranges.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "standards/std_file.h"
#include "tests/support/work_dir.h"

namespace {

StandardData Sample() {
    StandardData d;
    ParseStandards(test_support::ReadFile(test_support::BinDir() / kStdFileName), d);
    return d;
}

std::vector<std::string> Named(const StandardData& d) {
    std::vector<std::string> names;
    for (const StandardRangeFault& f : CheckStandardRanges(d)) names.push_back(f.field->name);
    return names;
}

TEST(StandardRanges, GoodValuesPassAndValuesOutOfReasonAreNamed) {
    using S = StandardData;
    struct Case {
        std::function<void(S&)> change;
        std::vector<std::string> named;
    };
    const std::vector<Case> cases = {
        // The sample, values of the design's own and those a good line uses.
        {[](S&) {}, {}},
        {[](S& d) { d.bcAdjustVoltage = 7.456; }, {}},
        {[](S& d) { d.sbPreInitial = static_cast<std::uint8_t>(-30), d.sbMainInitial = 10; }, {}},
        {[](S& d) { d.defectMaxWrites = 0; }, {}},
        {[](S& d) { d.lineRedX = 3034 - 200, d.lineRedY = 2024 - 200; }, {}},  // to the sensor's corner
        {[](S& d) { d.sensBaseline = 400; }, {}},
        // The faults found: each ended OK with a wrong value in the camera.
        {[](S& d) {
             for (std::size_t g = 0; g < 20; g += 4) d.pgain[g] = d.pgain[g + 3] = 200, d.pgain[g + 1] = d.pgain[g + 2] = 0;
         },
         {"pgain[1] F1.4 Gr", "pgain[2] F1.4 Gb", "pgain[5] F2 Gr", "pgain[6] F2 Gb", "pgain[9] F2.8 Gr",
          "pgain[10] F2.8 Gb", "pgain[13] F4 Gr", "pgain[14] F4 Gb", "pgain[17] F5.6 Gr", "pgain[18] F5.6 Gb"}},
        {[](S& d) { d.sensBaseline = 350; }, {"sensBaseline"}},
        {[](S& d) { d.sbPreTolerance = d.sbMainTolerance = 100; }, {"sbPreTolerance", "sbMainTolerance"}},
        // Bounds that depend on other fields: a saturated picture never on target.
        {[](S& d) { d.sensBaseline = 512; }, {"sensBaseline", "sensAdjustTolerance", "sensCheckTolerance"}},
        {[](S& d) { d.sensCheckTolerance = 13; }, {"sensCheckTolerance"}},  // ISO1600 window to full scale
        {[](S& d) { d.sbMainTolerance = 1.9; }, {"sbMainTolerance"}},
        {[](S& d) { d.lineBlueY = 2024 - 199; }, {"lineBlueY"}},  // past the sensor's edge
        {[](S& d) { d.ratioGbMin = 2.2; }, {"ratioGbBaseline", "ratioGbMin", "ratioGbMax"}},
        // Bounds of the field alone.
        {[](S& d) { d.ratioSampleCount = 0; }, {"ratioSampleCount"}},
        {[](S& d) { d.sbPreInitial = 31; }, {"sbPreInitial"}},
        {[](S& d) { d.sensInitial[18] = "1024"; }, {"sensInitial[18]"}},
        {[](S& d) { d.defectMaxWrites = 391; }, {"defectMaxWrites"}},  // would reach the aperture table
        {[](S& d) { d.defectLevel = 50; }, {"defectLevel"}},
        {[](S& d) { d.current77OnMax = 2.56; }, {"current77OnMax"}},
        {[](S& d) { d.lineRedLimit = 100; }, {"lineRedLimit"}},
        {[](S& d) { d.ratioGrInitial = 256; }, {"ratioGrInitial"}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        StandardData d = Sample();
        cases[i].change(d);
        EXPECT_EQ(Named(d), cases[i].named) << "case " << i;
    }
}

TEST(StandardRanges, MessageNamesFieldValueAndRangeAndCountsTheRest) {
    const auto faults = CheckStandardRanges(StandardData{});  // a file without its lines: every value 0
    ASSERT_GT(faults.size(), 8u);
    EXPECT_EQ(DescribeRangeFaults(faults, 2), std::string("STD.DATの規格値が範囲外です。確認してください\r\n"
                                                          "BC bcAdjustVoltage = 0 （0超 12以下）\r\n"
                                                          "BC bcCheckVoltage = 0 （0超 12以下）\r\nほか ") +
                                                  std::to_string(faults.size() - 2) + " 件\r\n");
}

}  // namespace
