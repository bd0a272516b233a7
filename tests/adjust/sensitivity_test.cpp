// The sensitivity adjustment in the scripted host against simulated units on
// the viewer bench: what the camera holds afterwards, judged by the optics of
// sim/README.md and the adjustment's formulas written out again here; the
// log rebuilt from what the item judged; the faults that stop it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "adjust/sensitivity_dlg.h"
#include "camera/usb_camera.h"
#include "platform/format.h"
#include "sim/simulator.h"
#include "tests/support/station_fixture.h"
#include "ui/scripted/scripted_host.h"

namespace {

// SENS_STD as res/STD.DAT ships it.
constexpr std::uint32_t kBaseline = 454;
constexpr double kAdjustTolerance = 3, kCheckTolerance = 5;
constexpr int kInitial200 = 300, kInitial1600 = 870;

constexpr const char* kNames[19] = {"ISO200",  "ISO220",  "ISO250",  "ISO280", "ISO320", "ISO360", "ISO400",
                                    "ISO440",  "ISO500",  "ISO560",  "ISO640", "ISO720", "ISO800", "ISO880",
                                    "ISO1000", "ISO1100", "ISO1250", "ISO1400", "ISO1600"};

// ---- the adjustment's formulas, written out again -----------------------------

struct Win {
    int target, min, max;
};
Win WindowOf(int code, double tolerance) {
    const int t = static_cast<int>(std::floor(std::pow(2.0, code / 12.0 - 6) * kBaseline + 0.5));
    const int d = static_cast<int>(std::floor(t * tolerance / 100 + 0.5));
    return {t, t - d, t + d};
}
int Corrected(int v, int target, int g) {
    double x = v + 20 * std::log10(double(target) / g) / 0.033;
    if (x <= 0) x = 1;
    return std::min(static_cast<int>(std::floor(x + 0.5)), 1023);
}
int Interpolated(int a, int b, int i) {
    if (a == b) return a;
    const double s = 20 * std::log10(8.0) / (b - a);
    return static_cast<int>(std::floor(20 * std::log10(std::pow(2.0, i / 6.0)) / s + a + 0.5));
}

// G of the sensitivity bench (viewer LV13, ND3, tool lens F8 at 1/16 s:
// E = 2^(13 - 3 - 6 - 4) x 0.5 x 0.9) at an ISO value, by sim/README.md.
double PredictedG(const sim::UnitProfile& u, int value) {
    const double e = 0.45, x = value / 1023.0;
    const double gain = std::pow(10.0, (0.033 * value + u.isoGainBowDb * 4 * x * (1 - x)) / 20);
    const double green = u.greenResponse * e * (1 + u.crosstalk * (u.redResponse + u.blueResponse) / 2);
    return std::min(green * gain + u.clampResidual, 4095.0);
}

// ---- the camera and its traffic ----------------------------------------------

std::function<void(const sim::CommandRecord&)> g_afterCommand;

std::uint32_t HookedEntry(std::uint32_t selector, void* block, std::uint32_t handle) {
    const std::size_t before = sim::Sim().Commands().size();
    const std::uint32_t r = SimLvDriverEntry(selector, block, handle);
    if (g_afterCommand && sim::Sim().Commands().size() > before) g_afterCommand(sim::Sim().Commands().back());
    return r;
}

SimBench SensitivityBench() {
    SimBench b = sim::Simulator::DefaultBench();
    b.lens = SIM_LENS_TOOL_F8;
    b.ndFilter = 3;
    b.light = SIM_LIGHT_VIEWER;
    b.lightLevel = 13;
    b.closest = 1;
    return b;
}

sim::UnitProfile Unit(const char* name) { return *sim::FindProfile(name); }
// A sensor that gives no signal at all, not even the black clamp's residual.
sim::UnitProfile DeadSensor() {
    sim::UnitProfile u = Unit("nominal");
    u.greenResponse = u.redResponse = u.blueResponse = 1e-9;
    u.clampResidual = u.readNoise = u.shotNoise = 0;
    return u;
}

// The 19 words of a table: as the camera holds it, as it left the factory.
std::vector<int> WordsOf(const std::vector<std::uint8_t>& m, std::size_t address) {
    std::vector<int> w;
    for (std::size_t i = 0; i < 19; ++i) w.push_back(m[address + 2 * i] << 8 | m[address + 2 * i + 1]);
    return w;
}
std::vector<int> Words(sim::Memory memory, std::size_t address) {
    return WordsOf(sim::Sim().FirstCamera().Mem(memory), address);
}
std::vector<int> FactoryWords(const sim::UnitProfile& u) { return WordsOf(sim::InitialMemories(u).ccdEeprom, 248); }

class SensitivityTest : public ::testing::Test {
protected:
    void TearDown() override {
        g_afterCommand = nullptr;
        cam_.DisconnectCamera();
        CUsbCamera::BindDriverEntry(nullptr);
    }

    // A fresh bus with one unit on the sensitivity bench, the link up in
    // checker mode with a session, as the sequencer leaves it.
    void Start(const sim::UnitProfile& unit) {
        sim::Sim().Reset();
        sim::Sim().ClearDevices();
        ASSERT_NE(sim::Sim().AddCamera(unit), 0u) << sim::Sim().LastError();
        sim::Sim().SetBench(SensitivityBench());
        CUsbCamera::SetLinkFlags(0);
        CUsbCamera::BindDriverEntry(&HookedEntry);
        ASSERT_EQ(cam_.ConnectCamera(), 1);
        ASSERT_EQ(cam_.ResumeSession(), 1);
        ASSERT_EQ(cam_.OpenChecker(), 1);
        sim::Sim().ClearCommands();
        record_.Begin(0x0080, host_.VClock().NowMs());
        record_.BeginItem("sensitivity", host_.VClock().NowMs());
    }

    // The window with the sample standards and `initial` at both ends; the
    // steps between get values that no table would hold, as only the ends
    // may count.
    int Run(int initial200 = kInitial200, int initial1600 = kInitial1600) {
        dlg_ = std::make_unique<CSensitivityDlg>(host_);
        dlg_->m_pCamera = &cam_;
        dlg_->m_pRecord = &record_;
        dlg_->m_sensBaseline = kBaseline;
        dlg_->m_adjustTolerance = kAdjustTolerance;
        dlg_->m_checkTolerance = kCheckTolerance;
        for (std::size_t i = 1; i < 18; ++i) dlg_->m_initial[i] = i % 2 ? 0 : 1023;
        dlg_->m_initial[0] = static_cast<std::uint16_t>(initial200);
        dlg_->m_initial[18] = static_cast<std::uint16_t>(initial1600);
        dlg_->DoModal();
        return dlg_->m_result;
    }

    // The lines of the loop of one end ("ISO200" or "ISO1600").
    int Passes(const std::string& end) const {
        int n = 0;
        for (const auto& m : record_.Measurements()) n += m.name == end + " GLevel";
        return n;
    }

    // The log the routine must have written, rebuilt from the levels it
    // judged (the record, whose windows are checked on the way) and the
    // table the camera holds in RAM; `ends` gets each end's final value.
    std::string ExpectedLog(int ends[2], int initial200 = kInitial200) const {
        const auto& ms = record_.Measurements();
        std::size_t k = 0;
        const auto next = [&](const std::string& name) { return k < ms.size() && ms[k].name == name; };
        std::string log = "感度調整\r\n";
        for (int e = 0; e < 2; ++e) {
            const int code = e == 0 ? 72 : 108;
            const std::string name = e == 0 ? "ISO200" : "ISO1600";
            const Win w = WindowOf(code, kAdjustTolerance);
            int v = e == 0 ? initial200 : kInitial1600;
            bool adjusted = false;
            log += name + "の調整\r\n";
            while (!adjusted && next(name + " GLevel")) {
                const int g = static_cast<int>(ms[k].value);
                EXPECT_EQ(ms[k].low, w.min);
                EXPECT_EQ(ms[k].high, w.max);
                EXPECT_EQ(ms[k++].passed, g >= w.min && g < w.max);
                log += platform::Format(" GLevel= %5d[LSB] ( MIN:%5d- MAX:%5d ) : ADJ=%4d[LSB] \r\n", g, w.min,
                                        w.max, v);
                if (g >= w.min && g < w.max && next(name + " GLevel average")) {
                    const int g3 = static_cast<int>(ms[k].value);
                    log += platform::Format(" 3回の平均値 GLevel= %5d[LSB] ( MIN:%5d- MAX:%5d )\r\n", g3, w.min,
                                            w.max);
                    adjusted = g3 >= w.min && g3 < w.max;
                    EXPECT_EQ(ms[k++].passed, adjusted);
                }
                if (!adjusted && g > 0) v = Corrected(v, w.target, g);
            }
            ends[e] = v;
            if (!adjusted) return log;
        }
        for (int i = 0; i < 19; ++i) {
            log += kNames[i] + platform::Format("  %d[LSB] ", Interpolated(ends[0], ends[1], i));
            if (i % 6 == 0) log += "\r\n";
        }
        log += "点検\r\n";
        const std::vector<int> ram = Words(sim::Memory::RamConfig, 400);
        for (int step = 0; step <= 18 && next(std::string(kNames[step]) + " check GLevel"); step += 6) {
            const Win w = WindowOf(72 + 2 * step, kCheckTolerance);
            const int g = static_cast<int>(ms[k].value), raw = ram[static_cast<std::size_t>(step)];
            EXPECT_EQ(ms[k].low, w.min);
            EXPECT_EQ(ms[k].high, w.max);
            EXPECT_EQ(ms[k++].passed, g >= w.min && g <= w.max);
            log += kNames[step] + platform::Format(" GLevel= %5d[LSB] ( MIN:%5d- MAX:%5d ) ADJ=%04d[LSB][%04X]\r\n",
                                                   g, w.min, w.max, (raw & 0x1FF8) >> 3, unsigned(raw));
        }
        EXPECT_EQ(k, ms.size());  // nothing judged that the log does not show
        return log;
    }
    int CheckCount() const {
        int n = 0;
        for (const auto& m : record_.Measurements()) n += m.name.ends_with(" check GLevel");
        return n;
    }

    ui::scripted::ScriptedHost host_;
    CUsbCamera cam_{host_.VClock()};
    RunRecord record_;
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
// EEPROM's working copy, its ends put G on target by the unit's optics, the
// steps between lie on the straight dB line, and the log says so line by
// line.
TEST_F(SensitivityTest, ConvergingUnitsStoreTheTableInRamAndEeprom) {
    struct Case {
        const char* unit;
        int minPasses200, minPasses1600;  // corrections each end needs at the least, plus one
    };
    for (const Case& c : {Case{"nominal", 2, 1}, Case{"sensitive", 2, 3}}) {
        SCOPED_TRACE(c.unit);
        const sim::UnitProfile unit = Unit(c.unit);
        Start(unit);
        ASSERT_EQ(Run(), 1) << dlg_->m_log;
        std::printf("[%s] passes: ISO200 %d, ISO1600 %d\n", c.unit, Passes("ISO200"), Passes("ISO1600"));
        EXPECT_GE(Passes("ISO200"), c.minPasses200);
        EXPECT_GE(Passes("ISO1600"), c.minPasses1600);

        int ends[2] = {};
        EXPECT_EQ(dlg_->m_log, "OK\r\n" + ExpectedLog(ends));
        const std::vector<int> ram = Words(sim::Memory::RamConfig, 400);
        EXPECT_EQ(Words(sim::Memory::CcdEeprom, 248), ram);
        for (int code : {72, 108}) {
            const int value = ram[static_cast<std::size_t>((code - 72) / 2)] >> 3;
            const Win w = WindowOf(code, kAdjustTolerance);
            const double g = PredictedG(unit, value);
            EXPECT_GE(g, w.min - 1.0) << code;  // the area mean is exact to a rounding
            EXPECT_LT(g, w.max + 1.0) << code;
        }
        for (int i = 0; i < 19; ++i)
            EXPECT_EQ(ram[static_cast<std::size_t>(i)], Interpolated(ram[0] >> 3, ram[18] >> 3, i) * 8) << i;
        EXPECT_EQ(ends[0], ram[0] >> 3);
        EXPECT_EQ(ends[1], ram[18] >> 3);
    }
}

TEST_F(SensitivityTest, UnitsThatCannotBeAdjustedKeepTheirEeprom) {
    struct Case {
        const char* what;
        sim::UnitProfile unit;
        int result;
    };
    for (const Case& c : {Case{"insensitive", Unit("insensitive"), 39}, Case{"gain-bow", Unit("gain-bow"), 41},
                          Case{"no green at all", DeadSensor(), 36}}) {
        SCOPED_TRACE(c.what);
        Start(c.unit);
        EXPECT_EQ(Run(), c.result);
        int ends[2] = {};
        EXPECT_EQ(dlg_->m_log, "NG\r\n" + ExpectedLog(ends));
        std::printf("[%s] passes: ISO200 %d, ISO1600 %d\n", c.what, Passes("ISO200"), Passes("ISO1600"));
        EXPECT_EQ(Words(sim::Memory::CcdEeprom, 248), FactoryWords(c.unit));
        EXPECT_EQ(Words(sim::Memory::CcdEepromFlash, 248), FactoryWords(c.unit));
        const std::vector<int> ram = Words(sim::Memory::RamConfig, 400);
        switch (c.result) {
            case 36:  // five pictures without green: the value stays as it started
                EXPECT_EQ(Passes("ISO200"), 5);
                EXPECT_EQ(ram[0], kInitial200 * 8);
                break;
            case 39:  // ISO1600 out of the gain's reach: the last candidate, the top
                EXPECT_EQ(Passes("ISO1600"), 5);
                EXPECT_EQ(ram[18], 1023 * 8);
                EXPECT_LT(PredictedG(c.unit, 1023), WindowOf(108, kAdjustTolerance).min);
                break;
            default: {  // the ends adjust, ISO400 misses its window; the new table is in RAM
                for (int i = 0; i < 19; ++i)
                    EXPECT_EQ(ram[static_cast<std::size_t>(i)], Interpolated(ram[0] >> 3, ram[18] >> 3, i) * 8);
                const RunMeasurement& last = record_.Measurements().back();
                EXPECT_EQ(last.name, "ISO400 check GLevel");
                EXPECT_GT(last.value, *last.high);
                EXPECT_FALSE(last.passed);
                EXPECT_GT(PredictedG(c.unit, ram[6] >> 3), WindowOf(84, kCheckTolerance).max);
            }
        }
    }
}

// A first picture inside the window whose three-picture mean is not: the
// value is corrected from the one picture, and the loop goes on.
TEST_F(SensitivityTest, MeanOutsideTheWindowCorrectsFromTheSinglePicture) {
    Start(Unit("nominal"));
    int shots = 0;
    g_afterCommand = [&](const sim::CommandRecord& c) {
        if (c.name != "DXC_CCD_ADJUST_DATA_IN") return;
        // The viewer dims to half for the three pictures after the first.
        SimBench b = SensitivityBench();
        b.ndFilter = ++shots < 4 ? 4 : 3;
        sim::Sim().SetBench(b);
    };
    ASSERT_EQ(Run(320, kInitial1600), 1) << dlg_->m_log;
    const auto& ms = record_.Measurements();
    ASSERT_GE(ms.size(), 3u);
    const Win w = WindowOf(72, kAdjustTolerance);
    EXPECT_TRUE(ms[0].passed);
    EXPECT_EQ(ms[1].name, "ISO200 GLevel average");
    EXPECT_LT(ms[1].value, w.min);
    // The log rebuilt with the correction from the single picture; the mean's would differ.
    EXPECT_NE(Corrected(320, w.target, static_cast<int>(ms[0].value)),
              Corrected(320, w.target, static_cast<int>(ms[1].value)));
    int ends[2] = {};
    EXPECT_EQ(dlg_->m_log, "OK\r\n" + ExpectedLog(ends, 320));
}

// The check judges the values that the camera holds in RAM, not the
// window's own table: a word changed there after the verified write shows
// in the log (value and raw word) and in the picture.
TEST_F(SensitivityTest, CheckFollowsTheValuesInCameraRam) {
    struct Case {
        const char* what;
        int offset;          // added to the value at ISO400
        unsigned otherBits;  // set around the value's bits
        int result;
    };
    for (const Case& c : {Case{"bits outside the value", 0, 0xE005, 1}, Case{"a brighter value", 60, 0, 41}}) {
        SCOPED_TRACE(c.what);
        Start(Unit("nominal"));
        int poked = -1;
        g_afterCommand = [&](const sim::CommandRecord& cmd) {
            // After the verified table write's read-back.
            if (cmd.name != "DXC_RAMCONFIG_DATAREAD" || cmd.length != 38) return;
            auto& ram = sim::Sim().FirstCamera().Mem(sim::Memory::RamConfig);
            poked = (((ram[412] << 8 | ram[413]) >> 3) + c.offset) << 3 | c.otherBits;
            ram[412] = static_cast<std::uint8_t>(poked >> 8);
            ram[413] = static_cast<std::uint8_t>(poked);
        };
        EXPECT_EQ(Run(), c.result);
        ASSERT_NE(poked, -1);
        EXPECT_EQ(Words(sim::Memory::RamConfig, 400)[6], poked);  // what the rebuilt log's ISO400 line shows
        int ends[2] = {};
        EXPECT_EQ(dlg_->m_log, (c.result == 1 ? "OK\r\n" : "NG\r\n") + ExpectedLog(ends));
        // The EEPROM gets the window's table, or nothing after a failed check.
        const std::vector<int> eeprom = Words(sim::Memory::CcdEeprom, 248);
        EXPECT_EQ(eeprom[6], c.result == 1 ? dlg_->m_values[6] * 8 : FactoryWords(Unit("nominal"))[6]);
    }
}

// A read-back of the verified table writes that differs by one bit: 3, and
// the CCD EEPROM's flash keeps the old table (the working copy has the new
// one when it was that write's read that failed).
TEST_F(SensitivityTest, ReadBackMismatchOfATableWriteGivesThree) {
    for (sim::Memory memory : {sim::Memory::RamConfig, sim::Memory::CcdEeprom}) {
        SCOPED_TRACE(static_cast<int>(memory));
        Start(Unit("nominal"));
        // The loop's two-byte reads do not reach byte 20: the table's do.
        sim::Sim().FirstCamera().Faults().configRead = {.times = 1, .memory = memory, .byte = 20, .flip = 0x10};
        EXPECT_EQ(Run(), 3);
        const std::vector<int> factory = FactoryWords(Unit("nominal"));
        const std::vector<int> ram = Words(sim::Memory::RamConfig, 400);
        EXPECT_EQ(ram[18], dlg_->m_values[18] * 8);  // the camera holds what was sent
        EXPECT_EQ(Words(sim::Memory::CcdEepromFlash, 248), factory);
        EXPECT_EQ(Words(sim::Memory::CcdEeprom, 248), memory == sim::Memory::CcdEeprom ? ram : factory);
        EXPECT_EQ(CheckCount(), memory == sim::Memory::CcdEeprom ? 4 : 0);
    }
}

// The prompt, and the waits the camera is given between the commands of a
// pass and around the EEPROM write.
TEST_F(SensitivityTest, PromptAndWaitsBetweenCommands) {
    Start(Unit("nominal"));
    struct Sent {
        std::string name;
        std::int64_t ms;
    };
    std::vector<Sent> sent;
    g_afterCommand = [&](const sim::CommandRecord& c) { sent.push_back({c.name, host_.VClock().NowMs()}); };
    ASSERT_EQ(Run(), 1);
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
    const std::vector<int> ram = Words(sim::Memory::RamConfig, 400);
    EXPECT_NE(ram, FactoryWords(Unit("nominal")));
    EXPECT_EQ(Words(sim::Memory::CcdEepromFlash, 248), ram);
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
