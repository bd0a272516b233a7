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
    ASSERT_EQ(Named(Sample()), std::vector<std::string>{});
    struct Case {
        const char* what;
        std::function<void(StandardData&)> change;
        std::vector<std::string> named;
    };
    const std::vector<Case> cases = {
        // Values of the design's own and those a good line uses.
        {"a voltage of two decimals", [](StandardData& d) { d.bcAdjustVoltage = 7.456; }, {}},
        {"the flash initial values on the bounds of their ranges",
         [](StandardData& d) {
             d.sbPreInitial = static_cast<std::uint8_t>(-30);
             d.sbMainInitial = 10;
         },
         {}},
        {"no defect writes at all, and as many as the table holds",
         [](StandardData& d) { d.defectMaxWrites = 0; }, {}},
        {"an area reaching the sensor's corner",
         [](StandardData& d) {
             d.lineRedX = 3034 - 200;
             d.lineRedY = 2024 - 200;
         },
         {}},
        {"the reference on its limits", [](StandardData& d) { d.sensBaseline = 400; }, {}},
        // The faults found: each ended OK with a wrong value in the camera.
        {"PGAIN 200 0 0 200 in every group",
         [](StandardData& d) {
             for (std::size_t g = 0; g < 5; ++g) {
                 d.pgain[4 * g] = d.pgain[4 * g + 3] = 200;
                 d.pgain[4 * g + 1] = d.pgain[4 * g + 2] = 0;
             }
         },
         {"pgain[1] F1.4 Gr", "pgain[2] F1.4 Gb", "pgain[5] F2 Gr", "pgain[6] F2 Gb", "pgain[9] F2.8 Gr",
          "pgain[10] F2.8 Gb", "pgain[13] F4 Gr", "pgain[14] F4 Gb", "pgain[17] F5.6 Gr", "pgain[18] F5.6 Gb"}},
        {"a reference outside its own limits", [](StandardData& d) { d.sensBaseline = 350; }, {"sensBaseline"}},
        {"flash tolerances of 100 EV",
         [](StandardData& d) { d.sbPreTolerance = d.sbMainTolerance = 100; },
         {"sbPreTolerance", "sbMainTolerance"}},
        // Bounds that depend on other fields.
        {"a reference whose ISO1600 target is full scale", [](StandardData& d) { d.sensBaseline = 512; },
         {"sensBaseline", "sensAdjustTolerance", "sensCheckTolerance"}},
        {"a check window at ISO1600 that reaches full scale",
         [](StandardData& d) { d.sensCheckTolerance = 13; }, {"sensCheckTolerance"}},
        {"an area past the sensor's edge", [](StandardData& d) { d.lineBlueY = 2024 - 199; }, {"lineBlueY"}},
        {"limits the wrong way round",
         [](StandardData& d) { d.ratioGbMin = 2.2; },
         {"ratioGbBaseline", "ratioGbMin", "ratioGbMax"}},
        {"a flash tolerance a saturated picture would meet", [](StandardData& d) { d.sbMainTolerance = 1.9; },
         {"sbMainTolerance"}},
        // Bounds of the field alone.
        {"no pictures to average", [](StandardData& d) { d.ratioSampleCount = 0; }, {"ratioSampleCount"}},
        {"a flash initial value out of the item's range", [](StandardData& d) { d.sbPreInitial = 31; },
         {"sbPreInitial"}},
        {"a 10-bit initial value of 1024", [](StandardData& d) { d.sensInitial[18] = "1024"; },
         {"sensInitial[18]"}},
        {"more defect writes than fit before the aperture table",
         [](StandardData& d) { d.defectMaxWrites = 391; }, {"defectMaxWrites"}},
        {"a defect level at the dark mean", [](StandardData& d) { d.defectLevel = 50; }, {"defectLevel"}},
        {"a current the byte cannot hold", [](StandardData& d) { d.current77OnMax = 2.56; }, {"current77OnMax"}},
        {"a line crawl limit every field meets", [](StandardData& d) { d.lineRedLimit = 100; }, {"lineRedLimit"}},
        {"a gain no 8.8 word holds", [](StandardData& d) { d.ratioGrInitial = 256; }, {"ratioGrInitial"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StandardData d = Sample();
        c.change(d);
        EXPECT_EQ(Named(d), c.named);
    }
}

TEST(StandardRanges, MessageNamesFieldValueAndRangeAndCountsTheRest) {
    StandardData d;  // a file without its lines: every value 0
    const auto faults = CheckStandardRanges(d);
    ASSERT_GT(faults.size(), 8u);
    const std::string text = DescribeRangeFaults(faults, 2);
    EXPECT_EQ(text, std::string("STD.DATの規格値が範囲外です。確認してください\r\n"
                                "BC bcAdjustVoltage = 0 （0超 12以下）\r\n"
                                "BC bcCheckVoltage = 0 （0超 12以下）\r\nほか ") +
                        std::to_string(faults.size() - 2) + " 件\r\n");
}

}  // namespace
