// The sensitivity adjustment in the scripted host against simulated units on
// the viewer bench: what the camera holds afterwards and the log, against
// the windows the sample standards give and the levels these units show;
// the faults that stop it.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "adjust/sensitivity_dlg.h"
#include "tests/adjust/item_fixture.h"
#include "tests/support/station_fixture.h"

namespace {

// SENS_STD as res/STD.DAT ships it: ISO200 targets 454 (440..468 while
// adjusting, 431..477 in the check), ISO1600 3632 (3523..3741, 3450..3814).
constexpr std::uint32_t kBaseline = 454;
constexpr double kAdjustTolerance = 3, kCheckTolerance = 5;
constexpr int kInitial200 = 300, kInitial1600 = 870;

// The nominal unit gives 421 at 300: 20 log10(454 / 421) / 0.033 = 19.9
// steps up make 320, which meets its window; 870 meets ISO1600's at once.
// The table runs from 320 to 870 in 18 equal steps of 30.6.
constexpr const char* kNominalLog =
    "感度調整\r\nISO200の調整\r\n"
    " GLevel=   421[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 300[LSB] \r\n"
    " GLevel=   454[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 320[LSB] \r\n"
    " 3回の平均値 GLevel=   454[LSB] ( MIN:  440- MAX:  468 )\r\n"
    "ISO1600の調整\r\n"
    " GLevel=  3664[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ= 870[LSB] \r\n"
    " 3回の平均値 GLevel=  3664[LSB] ( MIN: 3523- MAX: 3741 )\r\n"
    "ISO200  320[LSB] \r\n"
    "ISO220  351[LSB] ISO250  381[LSB] ISO280  412[LSB] ISO320  442[LSB] ISO360  473[LSB] ISO400  503[LSB] \r\n"
    "ISO440  534[LSB] ISO500  564[LSB] ISO560  595[LSB] ISO640  626[LSB] ISO720  656[LSB] ISO800  687[LSB] \r\n"
    "ISO880  717[LSB] ISO1000  748[LSB] ISO1100  778[LSB] ISO1250  809[LSB] ISO1400  839[LSB] ISO1600  870[LSB] \r\n"
    "点検\r\n"
    "ISO200 GLevel=   454[LSB] ( MIN:  431- MAX:  477 ) ADJ=0320[LSB][0A00]\r\n"
    "ISO400 GLevel=   909[LSB] ( MIN:  863- MAX:  953 ) ADJ=0503[LSB][0FB8]\r\n"
    "ISO800 GLevel=  1828[LSB] ( MIN: 1725- MAX: 1907 ) ADJ=0687[LSB][1578]\r\n"
    "ISO1600 GLevel=  3664[LSB] ( MIN: 3450- MAX: 3814 ) ADJ=0870[LSB][1B30]\r\n";
const std::vector<int> kNominalTable = {320, 351, 381, 412, 442, 473, 503, 534, 564, 595,
                                        626, 656, 687, 717, 748, 778, 809, 839, 870};
// What it judged, pass by pass, against the windows of the log: name, pass,
// level, window, verdict.
using Judged = std::tuple<std::string, int, double, double, double, bool>;
const std::vector<Judged> kNominalJudged = {
    {"ISO200 GLevel", 1, 421, 440, 468, false},       {"ISO200 GLevel", 2, 454, 440, 468, true},
    {"ISO200 GLevel average", 2, 454, 440, 468, true}, {"ISO1600 GLevel", 1, 3664, 3523, 3741, true},
    {"ISO1600 GLevel average", 1, 3664, 3523, 3741, true}, {"ISO200 check GLevel", 0, 454, 431, 477, true},
    {"ISO400 check GLevel", 0, 909, 863, 953, true},   {"ISO800 check GLevel", 0, 1828, 1725, 1907, true},
    {"ISO1600 check GLevel", 0, 3664, 3450, 3814, true}};

// The sensitive unit: 547 at 300 calls for 251; at ISO1600 the picture clips
// at 4095 twice before 806 meets the window.
constexpr const char* kSensitiveLog =
    "感度調整\r\nISO200の調整\r\n"
    " GLevel=   547[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 300[LSB] \r\n"
    " GLevel=   454[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 251[LSB] \r\n"
    " 3回の平均値 GLevel=   454[LSB] ( MIN:  440- MAX:  468 )\r\n"
    "ISO1600の調整\r\n"
    " GLevel=  4095[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ= 870[LSB] \r\n"
    " GLevel=  4094[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ= 838[LSB] \r\n"
    " GLevel=  3735[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ= 806[LSB] \r\n"
    " 3回の平均値 GLevel=  3735[LSB] ( MIN: 3523- MAX: 3741 )\r\n"
    "ISO200  251[LSB] \r\n"
    "ISO220  282[LSB] ISO250  313[LSB] ISO280  344[LSB] ISO320  374[LSB] ISO360  405[LSB] ISO400  436[LSB] \r\n"
    "ISO440  467[LSB] ISO500  498[LSB] ISO560  529[LSB] ISO640  559[LSB] ISO720  590[LSB] ISO800  621[LSB] \r\n"
    "ISO880  652[LSB] ISO1000  683[LSB] ISO1100  714[LSB] ISO1250  744[LSB] ISO1400  775[LSB] ISO1600  806[LSB] \r\n"
    "点検\r\n"
    "ISO200 GLevel=   454[LSB] ( MIN:  431- MAX:  477 ) ADJ=0251[LSB][07D8]\r\n"
    "ISO400 GLevel=   916[LSB] ( MIN:  863- MAX:  953 ) ADJ=0436[LSB][0DA0]\r\n"
    "ISO800 GLevel=  1850[LSB] ( MIN: 1725- MAX: 1907 ) ADJ=0621[LSB][1368]\r\n"
    "ISO1600 GLevel=  3734[LSB] ( MIN: 3450- MAX: 3814 ) ADJ=0806[LSB][1930]\r\n";
const std::vector<int> kSensitiveTable = {251, 282, 313, 344, 374, 405, 436, 467, 498, 529,
                                          559, 590, 621, 652, 683, 714, 744, 775, 806};

// ISO1600 out of the gain's reach: from 1023 on the picture stays at 2948.
constexpr const char* kInsensitiveLog =
    "感度調整\r\nISO200の調整\r\n"
    " GLevel=   190[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 300[LSB] \r\n"
    " GLevel=   452[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 529[LSB] \r\n"
    " 3回の平均値 GLevel=   452[LSB] ( MIN:  440- MAX:  468 )\r\n"
    "ISO1600の調整\r\n"
    " GLevel=  1649[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ= 870[LSB] \r\n"
    " GLevel=  2948[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ=1023[LSB] \r\n"
    " GLevel=  2949[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ=1023[LSB] \r\n"
    " GLevel=  2948[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ=1023[LSB] \r\n"
    " GLevel=  2949[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ=1023[LSB] \r\n";

// A gain that bows: both ends meet their windows, ISO400 is 972 on the line between.
constexpr const char* kGainBowLog =
    "感度調整\r\nISO200の調整\r\n"
    " GLevel=   534[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 300[LSB] \r\n"
    " GLevel=   444[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 257[LSB] \r\n"
    " 3回の平均値 GLevel=   444[LSB] ( MIN:  440- MAX:  468 )\r\n"
    "ISO1600の調整\r\n"
    " GLevel=  4094[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ= 870[LSB] \r\n"
    " GLevel=  3847[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ= 838[LSB] \r\n"
    " GLevel=  3673[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ= 823[LSB] \r\n"
    " 3回の平均値 GLevel=  3673[LSB] ( MIN: 3523- MAX: 3741 )\r\n"
    "ISO200  257[LSB] \r\n"
    "ISO220  288[LSB] ISO250  320[LSB] ISO280  351[LSB] ISO320  383[LSB] ISO360  414[LSB] ISO400  446[LSB] \r\n"
    "ISO440  477[LSB] ISO500  509[LSB] ISO560  540[LSB] ISO640  571[LSB] ISO720  603[LSB] ISO800  634[LSB] \r\n"
    "ISO880  666[LSB] ISO1000  697[LSB] ISO1100  729[LSB] ISO1250  760[LSB] ISO1400  792[LSB] ISO1600  823[LSB] \r\n"
    "点検\r\n"
    "ISO200 GLevel=   444[LSB] ( MIN:  431- MAX:  477 ) ADJ=0257[LSB][0808]\r\n"
    "ISO400 GLevel=   972[LSB] ( MIN:  863- MAX:  953 ) ADJ=0446[LSB][0DF0]\r\n";
const std::vector<int> kGainBowTable = {257, 288, 320, 351, 383, 414, 446, 477, 509, 540,
                                        571, 603, 634, 666, 697, 729, 760, 792, 823};

// No green at all: nothing to correct from, five times.
constexpr const char* kDeadSensorLog =
    "感度調整\r\nISO200の調整\r\n"
    " GLevel=     0[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 300[LSB] \r\n"
    " GLevel=     0[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 300[LSB] \r\n"
    " GLevel=     0[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 300[LSB] \r\n"
    " GLevel=     0[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 300[LSB] \r\n"
    " GLevel=     0[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 300[LSB] \r\n";

// The mean of the three pictures at half the light is 227, out of the
// window: 320 stays, from the single picture's 454.
constexpr const char* kMeanOutsideLog =
    "OK\r\n感度調整\r\nISO200の調整\r\n"
    " GLevel=   454[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 320[LSB] \r\n"
    " 3回の平均値 GLevel=   227[LSB] ( MIN:  440- MAX:  468 )\r\n"
    " GLevel=   454[LSB] ( MIN:  440- MAX:  468 ) : ADJ= 320[LSB] \r\n"
    " 3回の平均値 GLevel=   454[LSB] ( MIN:  440- MAX:  468 )\r\n"
    "ISO1600の調整\r\n"
    " GLevel=  3663[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ= 870[LSB] \r\n"
    " 3回の平均値 GLevel=  3664[LSB] ( MIN: 3523- MAX: 3741 )\r\n"
    "ISO200  320[LSB] \r\n"
    "ISO220  351[LSB] ISO250  381[LSB] ISO280  412[LSB] ISO320  442[LSB] ISO360  473[LSB] ISO400  503[LSB] \r\n"
    "ISO440  534[LSB] ISO500  564[LSB] ISO560  595[LSB] ISO640  626[LSB] ISO720  656[LSB] ISO800  687[LSB] \r\n"
    "ISO880  717[LSB] ISO1000  748[LSB] ISO1100  778[LSB] ISO1250  809[LSB] ISO1400  839[LSB] ISO1600  870[LSB] \r\n"
    "点検\r\n"
    "ISO200 GLevel=   454[LSB] ( MIN:  431- MAX:  477 ) ADJ=0320[LSB][0A00]\r\n"
    "ISO400 GLevel=   909[LSB] ( MIN:  863- MAX:  953 ) ADJ=0503[LSB][0FB8]\r\n"
    "ISO800 GLevel=  1828[LSB] ( MIN: 1725- MAX: 1907 ) ADJ=0687[LSB][1578]\r\n"
    "ISO1600 GLevel=  3663[LSB] ( MIN: 3450- MAX: 3814 ) ADJ=0870[LSB][1B30]\r\n";

SimBench SensitivityBench() {
    SimBench b = sim::Simulator::DefaultBench();
    b.lens = SIM_LENS_TOOL_F8;
    b.ndFilter = 3;
    b.light = SIM_LIGHT_VIEWER;
    b.lightLevel = 13;
    b.closest = 1;
    return b;
}

// A sensor that gives no signal at all, not even the black clamp's residual.
sim::UnitProfile DeadSensor() {
    sim::UnitProfile u = *sim::FindProfile("nominal");
    u.greenResponse = u.redResponse = u.blueResponse = 1e-9;
    u.clampResidual = u.readNoise = u.shotNoise = 0;
    return u;
}

// The 19 words of a table: as the camera holds it, as it left the factory.
std::vector<int> TableOf(const std::vector<std::uint8_t>& m, std::size_t address) {
    std::vector<int> w;
    for (std::size_t i = 0; i < 19; ++i) w.push_back(m[address + 2 * i] << 8 | m[address + 2 * i + 1]);
    return w;
}
std::vector<int> Table(sim::Memory memory, std::size_t address) {
    return TableOf(sim::Sim().FirstCamera().Mem(memory), address);
}
std::vector<int> FactoryTable(const sim::UnitProfile& u) { return TableOf(sim::InitialMemories(u).ccdEeprom, 248); }
// Values as the camera stores them: x 8, in bits 12..3.
std::vector<int> AsWords(std::vector<int> values) {
    for (int& v : values) v *= 8;
    return values;
}

class SensitivityTest : public test_support::ItemTest {
protected:
    // The window with the sample standards and `initial` at both ends; the
    // steps between get values that no table would hold, as only the ends
    // may count.
    int Run(int initial200 = kInitial200, int initial1600 = kInitial1600) {
        dlg_ = std::make_unique<CSensitivityDlg>(host_);
        dlg_->m_sensBaseline = kBaseline;
        dlg_->m_adjustTolerance = kAdjustTolerance;
        dlg_->m_checkTolerance = kCheckTolerance;
        for (std::size_t i = 1; i < 18; ++i) dlg_->m_initial[i] = i % 2 ? 0 : 1023;
        dlg_->m_initial[0] = static_cast<std::uint16_t>(initial200);
        dlg_->m_initial[18] = static_cast<std::uint16_t>(initial1600);
        return ItemTest::Run(*dlg_, "sensitivity");
    }
    // Every level judged has its line in the log, and no line goes without one.
    void ExpectALogLinePerJudgement() const {
        std::size_t lines = 0;
        for (auto p = log_.find("GLevel="); p != std::string::npos; p = log_.find("GLevel=", p + 1)) ++lines;
        EXPECT_EQ(record_.Measurements().size(), lines);
    }
    int CheckCount() const {
        int n = 0;
        for (const auto& m : record_.Measurements()) n += m.name.ends_with(" check GLevel");
        return n;
    }

    std::unique_ptr<CSensitivityDlg> dlg_;
};

TEST(SensitivityArithmetic, WindowsCorrectionsAndTable) {
    // Target and window; the loop leaves the top out, the check takes it in.
    const auto w = CSensitivityDlg::WindowFor(108, 454, 3);
    EXPECT_EQ(w.target, 3632);
    EXPECT_EQ(w.min, 3523);
    EXPECT_EQ(w.max, 3741);
    const auto c = CSensitivityDlg::WindowFor(84, 454, 5);
    EXPECT_EQ(c.target, 908);
    EXPECT_EQ(c.min, 863);
    for (const auto& [g, adjust, check] : std::vector<std::tuple<int, bool, bool>>{
             {3522, false, false}, {3523, true, true}, {3740, true, true}, {3741, false, true}, {3742, false, false}}) {
        EXPECT_EQ(w.AdjustAccepts(g), adjust) << g;
        EXPECT_EQ(w.CheckAccepts(g), check) << g;
    }
    // Standards out of all reason give windows no picture meets, not an overflow.
    EXPECT_FALSE(CSensitivityDlg::WindowFor(108, 4000000000u, 3).CheckAccepts(4095));
    const auto empty = CSensitivityDlg::WindowFor(108, 0, HUGE_VAL);  // 0 x inf
    EXPECT_FALSE(empty.AdjustAccepts(0));
    EXPECT_EQ(empty.max, 0);

    struct Correction {
        int value, target, g, expected;
    };
    for (const Correction& k : {Correction{300, 454, 420, 320},   // +0.68 dB: 20.5 steps
                                Correction{870, 3632, 4095, 838},  // from clipping: -31.6
                                Correction{5, 454, 4095, 1},       // below 0: 1
                                Correction{1, 454, 460, 1},
                                Correction{1000, 3632, 2000, 1023}}) {
        EXPECT_EQ(CSensitivityDlg::CorrectedValue(k.value, k.target, k.g), k.expected) << k.value << " " << k.g;
    }

    struct Line {
        int a, b;
        std::vector<std::pair<int, int>> steps;  // step, value
    };
    for (const Line& l : {Line{500, 500, {{0, 500}, {7, 500}, {18, 500}}},
                          Line{300, 840, {{0, 300}, {6, 480}, {9, 570}, {12, 660}, {18, 840}}},
                          Line{840, 300, {{0, 840}, {6, 660}, {12, 480}, {17, 330}, {18, 300}}}}) {
        const auto t = CSensitivityDlg::Interpolate(l.a, l.b);
        for (const auto& [step, value] : l.steps)
            EXPECT_EQ(t[static_cast<std::size_t>(step)], value) << l.a << " " << step;
    }
}

// Units that converge: the table lands in RAM configuration and in the CCD
// EEPROM's working copy, the log shows every pass, the table and the check.
TEST_F(SensitivityTest, ConvergingUnitsStoreTheTableInRamAndEeprom) {
    struct Case {
        const char* unit;
        const char* log;
        const std::vector<int>& table;
        const std::vector<Judged>* judged;  // null: not spelled out
    };
    for (const Case& c : {Case{"nominal", kNominalLog, kNominalTable, &kNominalJudged},
                          Case{"sensitive", kSensitiveLog, kSensitiveTable, nullptr}}) {
        SCOPED_TRACE(c.unit);
        Start(c.unit);
        ASSERT_EQ(Run(), 1) << log_;
        EXPECT_EQ(log_, std::string("OK\r\n") + c.log);
        ExpectALogLinePerJudgement();
        EXPECT_EQ(Table(sim::Memory::RamConfig, 400), AsWords(c.table));
        EXPECT_EQ(Table(sim::Memory::CcdEeprom, 248), AsWords(c.table));
        // The judgements with the windows the log shows.
        const auto& ms = record_.Measurements();
        ASSERT_FALSE(ms.empty());
        EXPECT_EQ(ms.front().name, "ISO200 GLevel");
        EXPECT_EQ(ms.front().low, 440);
        EXPECT_EQ(ms.front().high, 468);
        EXPECT_EQ(ms.back().name, "ISO1600 check GLevel");
        EXPECT_EQ(ms.back().low, 3450);
        EXPECT_EQ(ms.back().high, 3814);
        EXPECT_TRUE(ms.back().passed);
        EXPECT_EQ(CheckCount(), 4);
        if (c.judged) {
            std::vector<Judged> judged;
            for (const RunMeasurement& m : ms)
                judged.emplace_back(m.name, m.pass, m.value, m.low.value_or(-1), m.high.value_or(-1), m.passed);
            EXPECT_EQ(judged, *c.judged);
        }
    }
}

TEST_F(SensitivityTest, UnitsThatCannotBeAdjustedKeepTheirEeprom) {
    struct Case {
        const char* what;
        sim::UnitProfile unit;
        int result;
        const char* log;
    };
    for (const Case& c : {Case{"insensitive", Unit("insensitive"), 39, kInsensitiveLog},
                          Case{"gain-bow", Unit("gain-bow"), 41, kGainBowLog},
                          Case{"no green at all", DeadSensor(), 36, kDeadSensorLog}}) {
        SCOPED_TRACE(c.what);
        Start(c.unit);
        EXPECT_EQ(Run(), c.result);
        EXPECT_EQ(log_, std::string("NG\r\n") + c.log);
        ExpectALogLinePerJudgement();
        EXPECT_EQ(Table(sim::Memory::CcdEeprom, 248), FactoryTable(c.unit));
        EXPECT_EQ(Table(sim::Memory::CcdEepromFlash, 248), FactoryTable(c.unit));
        const std::vector<int> ram = Table(sim::Memory::RamConfig, 400);
        switch (c.result) {
            case 36:  // the value stays as it started
                EXPECT_EQ(ram[0], kInitial200 * 8);
                break;
            case 39:  // the last candidate, the top
                EXPECT_EQ(ram[18], 1023 * 8);
                break;
            default: {  // the new table is in RAM; ISO400 missed its window
                EXPECT_EQ(ram, AsWords(kGainBowTable));
                const RunMeasurement& last = record_.Measurements().back();
                EXPECT_EQ(last.name, "ISO400 check GLevel");
                EXPECT_EQ(last.value, 972);
                EXPECT_FALSE(last.passed);
            }
        }
    }
}

// A first picture inside the window whose three-picture mean is not: the
// value is corrected from the one picture (454: it stays 320), not from the
// mean (227 would make it 502), and the loop goes on.
TEST_F(SensitivityTest, MeanOutsideTheWindowCorrectsFromTheSinglePicture) {
    Start("nominal");
    int shots = 0;
    afterCommand_ = [&](const sim::CommandRecord& c) {
        if (c.name != "DXC_CCD_ADJUST_DATA_IN") return;
        // The viewer dims to half for the three pictures after the first.
        SimBench b = sim::Sim().Bench();
        b.ndFilter = ++shots < 4 ? 4 : 3;
        sim::Sim().SetBench(b);
    };
    ASSERT_EQ(Run(320, kInitial1600), 1) << log_;
    EXPECT_EQ(log_, kMeanOutsideLog);
    ExpectALogLinePerJudgement();
    const auto& ms = record_.Measurements();
    ASSERT_GE(ms.size(), 2u);
    EXPECT_TRUE(ms[0].passed);
    EXPECT_EQ(ms[1].name, "ISO200 GLevel average");
    EXPECT_FALSE(ms[1].passed);
}

// The check judges the values that the camera holds in RAM, not the
// window's own table: a word changed there after the verified write shows
// in the log (value and raw word) and in the picture.
TEST_F(SensitivityTest, CheckFollowsTheValuesInCameraRam) {
    const std::string nominal = kNominalLog;
    const std::string iso400 = "ISO400 GLevel=   909[LSB] ( MIN:  863- MAX:  953 ) ADJ=0503[LSB][0FB8]\r\n";
    const std::size_t at = nominal.find(iso400);
    ASSERT_NE(at, std::string::npos);
    struct Case {
        const char* what;
        int offset;          // added to the value at ISO400
        unsigned otherBits;  // set around the value's bits
        int result;
        int word;  // what the camera holds at ISO400 afterwards, as the log shows it
        std::string log;
    };
    const std::string otherBits = "ISO400 GLevel=   909[LSB] ( MIN:  863- MAX:  953 ) ADJ=0503[LSB][EFBD]\r\n";
    const std::string brighter = "ISO400 GLevel=  1142[LSB] ( MIN:  863- MAX:  953 ) ADJ=0563[LSB][1198]\r\n";
    const Case cases[] = {
        {"bits outside the value", 0, 0xE005, 1, 0xEFBD,
         "OK\r\n" + std::string(nominal).replace(at, iso400.size(), otherBits)},
        {"a brighter value", 60, 0, 41, 0x1198, "NG\r\n" + nominal.substr(0, at) + brighter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Start("nominal");
        afterCommand_ = [&](const sim::CommandRecord& cmd) {
            // After the verified table write's read-back.
            if (cmd.name != "DXC_RAMCONFIG_DATAREAD" || cmd.length != 38) return;
            auto& ram = Camera().Mem(sim::Memory::RamConfig);
            const int poked = (((ram[412] << 8 | ram[413]) >> 3) + c.offset) << 3 | c.otherBits;
            ram[412] = static_cast<std::uint8_t>(poked >> 8);
            ram[413] = static_cast<std::uint8_t>(poked);
        };
        EXPECT_EQ(Run(), c.result);
        EXPECT_EQ(log_, c.log);
        ExpectALogLinePerJudgement();
        EXPECT_EQ(Table(sim::Memory::RamConfig, 400)[6], c.word);
        // The EEPROM gets the window's table, or nothing after a failed check.
        const std::vector<int> eeprom = Table(sim::Memory::CcdEeprom, 248);
        EXPECT_EQ(eeprom[6], c.result == 1 ? 503 * 8 : FactoryTable(Unit("nominal"))[6]);
    }
}

// A read-back of the verified table writes that differs by one bit: 3, and
// the CCD EEPROM's flash keeps the old table (the working copy has the new
// one when it was that write's read that failed).
TEST_F(SensitivityTest, ReadBackMismatchOfATableWriteGivesThree) {
    for (sim::Memory memory : {sim::Memory::RamConfig, sim::Memory::CcdEeprom}) {
        SCOPED_TRACE(static_cast<int>(memory));
        Start("nominal");
        // The loop's two-byte reads do not reach byte 20: the table's do.
        sim::Sim().FirstCamera().Faults().configRead = {.times = 1, .memory = memory, .byte = 20, .flip = 0x10};
        EXPECT_EQ(Run(), 3);
        const std::vector<int> factory = FactoryTable(Unit("nominal"));
        const std::vector<int> ram = Table(sim::Memory::RamConfig, 400);
        EXPECT_EQ(ram[18], dlg_->m_values[18] * 8);  // the camera holds what was sent
        EXPECT_EQ(Table(sim::Memory::CcdEepromFlash, 248), factory);
        EXPECT_EQ(Table(sim::Memory::CcdEeprom, 248), memory == sim::Memory::CcdEeprom ? ram : factory);
        EXPECT_EQ(CheckCount(), memory == sim::Memory::CcdEeprom ? 4 : 0);
    }
}

// The prompt, and the waits the camera is given between the commands of a
// pass and around the EEPROM write.
TEST_F(SensitivityTest, PromptAndWaitsBetweenCommands) {
    Start("nominal");
    ASSERT_EQ(Run(), 1);
    const std::vector<test_support::TimedCommand>& sent = sent_;
    ASSERT_FALSE(host_.MessageBoxes().empty());
    const auto& prompt = host_.MessageBoxes()[0];
    EXPECT_EQ(prompt.caption, "MESSAGEM");
    EXPECT_EQ(prompt.buttons, ui::MbButtons::Ok);
    EXPECT_EQ(prompt.text,
              "下記に示す条件に設定してください\r\n・レンズ　：　工具レンズ　固定絞り：Ｆ８\r\n・ＮＤフィルター：　ＮＤ３\r\n"
              "・カラービュアー：　ＬＶ１３\r\n・カメラ－ビュアー距離：　最至近\r\n・カラーバーチャート　：　無し");

    std::size_t at = 0;
    std::int64_t last = prompt.timeMs;
    // The next command of that name is sent `gap` ms after the one before.
    const auto expectNext = [&](const std::string& name, std::int64_t gap) {
        while (at < sent.size() && sent[at].name != name) last = sent[at++].ms;
        ASSERT_LT(at, sent.size()) << name;
        EXPECT_EQ(sent[at].ms - last, gap) << name;
        last = sent[at++].ms;
    };
    expectNext("DXC_SET_OB", 1000);
    expectNext("DXC_RAMCONFIG_DATAWRITE", 20);
    expectNext("DXC_RAMCONFIG_DATAREAD", 20);
    expectNext("DCMD_SET_PROPERTY", 100);
    expectNext("DCMD_TAKE_PICTURE", 70);               // 50 after the last property, then 20
    expectNext("DXC_RAMCONFIG_DATAWRITE", 100);        // the first picture was out of the window
    expectNext("DXC_CCD_POWERON", 50);                 // after the last check picture's session
    expectNext("DXC_CCDEEPROM_DATAWRITE", 100);
    expectNext("DXC_CCDEEPROM_DATAREAD", 100);
    expectNext("DXC_CCD_POWEROFF", 100);
    EXPECT_EQ(at, sent.size());
    EXPECT_EQ(host_.VClock().NowMs() - last, 100);
}

// From the main window: the sensitivity box runs the item, then the CCD
// EEPROM flash-up, which commits the new table to the EEPROM's flash.
class SensitivityStationTest : public test_support::StationTest<> {
protected:
    SensitivityStationTest() : StationTest("sensitivity_station_test") {}
};

TEST_F(SensitivityStationTest, SensitivityBoxStoresTheTableInTheEepromFlash) {
    StandardData& std = dlg_.m_standards.values;
    std.sensBaseline = kBaseline;
    std.sensAdjustTolerance = kAdjustTolerance;
    std.sensCheckTolerance = kCheckTolerance;
    dlg_.m_standards.sensInitial[0] = kInitial200;
    dlg_.m_standards.sensInitial[18] = kInitial1600;
    sim::Sim().SetBench(SensitivityBench());
    dlg_.SetSelection(0x0080);
    host_.Click(dlg_, CImageAdjustDlg::IDC_START);

    EXPECT_EQ(dlg_.LastResult(), 1) << dlg_.m_log;
    std::vector<int> shown;
    for (const auto& s : host_.Shown()) shown.push_back(s.dialogId);
    EXPECT_EQ(shown, (std::vector<int>{146, 134}));
    const std::vector<int> ram = Table(sim::Memory::RamConfig, 400);
    EXPECT_NE(ram, FactoryTable(*sim::FindProfile("nominal")));
    EXPECT_EQ(Table(sim::Memory::CcdEepromFlash, 248), ram);
    EXPECT_EQ(dlg_.m_log.rfind("OK\r\n感度調整\r\n", 0), 0u);
    EXPECT_TRUE(dlg_.m_log.ends_with("OK\r\nFLASHｱｯﾌﾟｺﾏﾝﾄﾞ実行中 ・・・・完了\r\nFLASH->DRAMへ展開中・・・・完了\r\n"));
    const RunRecord& record = dlg_.LastRunRecord();
    ASSERT_EQ(record.Items().size(), 2u);
    EXPECT_EQ(record.Items()[0].item, "sensitivity");
    ASSERT_FALSE(record.Measurements().empty());
    EXPECT_EQ(record.Measurements().back().name, "ISO1600 check GLevel");
    EXPECT_EQ(record.Measurements().back().item, "sensitivity");
}

}  // namespace
