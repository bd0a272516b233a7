// The aperture dependence item in the scripted host against the simulated
// camera, with the simulator's operator at the bench: what the camera holds
// afterwards in its working (RAM configuration 2088) and stored (CCD EEPROM
// 1936) gain tables, against gains computed here from the area means the
// camera answered.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "adjust/aperture_dlg.h"
#include "adjust/flash_up_dlg.h"
#include "camera/usb_camera.h"
#include "platform/format.h"
#include "shell/run_record.h"
#include "sim/simulator.h"
#include "tests/support/bench_operator.h"
#include "ui/scripted/scripted_host.h"

namespace {

using platform::Format;
using Bytes = std::vector<std::uint8_t>;
using Table = std::array<double, 20>;  // AV1..AV5, each R, Gr, Gb, B

constexpr double kTolerance = 2.0;  // the sample STD.DAT's F1.4 tolerance, %

Bytes Words(const Table& gains) {
    Bytes t;
    for (double g : gains) {
        const int w = static_cast<int>(std::floor(g * 256 + 0.5));
        t.push_back(static_cast<std::uint8_t>(w >> 8));
        t.push_back(static_cast<std::uint8_t>(w));
    }
    return t;
}
Table Gains(const Bytes& words) {
    Table g{};
    for (std::size_t i = 0; i < 20; ++i) g[i] = words[2 * i] + words[2 * i + 1] / 256.0;
    return g;
}
Table Unity() {
    Table t;
    t.fill(1.0);
    return t;
}

// The gains that take the F1.4 deviations out, written out from the
// adjustment's rules: wholly at F1.4, by fixed shares at F2 .. F4, F5.6 as it
// was; Gb takes the old Gr.
Table ExpectedGains(const Table& old, double dR, double dB) {
    const double rDiv[5] = {dR, 0.6579 * dR + 0.3431, 0.2862 * dR + 0.7158, 0.1237 * dR + 0.8787, 1};
    const double bDiv[5] = {dB, 0.6786 * dB + 0.3223, 0.1241 * dB + 0.8784, 0.0011 * dB + 1.0017, 1};
    Table t = old;
    for (int g = 0; g < 5; ++g) {
        t[4 * g] = old[4 * g] / rDiv[g];
        t[4 * g + 2] = old[4 * g + 1];
        t[4 * g + 3] = old[4 * g + 3] / bDiv[g];
    }
    return t;
}

struct Levels {
    double g = 0, r = 0, b = 0;
};

// The means the camera answered to the area measurements, in order (the
// first eight values come in tenths of an LSB).
std::vector<Levels> AnsweredLevels() {
    std::vector<Levels> out;
    for (const auto& c : sim::Sim().Commands()) {
        if (c.name != "DXC_CCD_ADJUST_DATA_IN" || c.dataIn.size() != 32) continue;
        auto at = [&](int i) { return ((c.dataIn[2 * i] << 8) | c.dataIn[2 * i + 1]) / 10; };
        out.push_back({(at(0) + at(2)) / 2.0, double(at(1)), double(at(3))});
    }
    return out;
}

// The F1.4/F8 ratios of one measurement, which are also the deviations the
// gains divide out.
std::pair<double, double> Deviations(const Levels& f8, const Levels& f14) {
    return {(f14.r / f8.r) / (f14.g / f8.g), (f14.b / f8.b) / (f14.g / f8.g)};
}

// The configuration writes, gain table builds, update and CCD power commands
// the camera received, with the address and the update code.
std::vector<std::string> Writes() {
    std::vector<std::string> out;
    for (const auto& c : sim::Sim().Commands()) {
        const unsigned code = (unsigned{c.cdb[2]} << 8) | c.cdb[3];
        const unsigned address = (unsigned{c.cdb[4]} << 24) | (unsigned{c.cdb[5]} << 16) | (unsigned{c.cdb[6]} << 8) |
                                 c.cdb[7];
        if (c.name.find("DATAWRITE") != std::string::npos)
            out.push_back(c.name + " " + std::to_string(address));
        else if (c.name == "DXC_UPDATECOMMAND")
            out.push_back(c.name + " " + std::to_string(code));
        else if (c.name == "DXC_MAKE_FPGAIN_TABLE" || c.name.rfind("DXC_CCD_POWER", 0) == 0)
            out.push_back(c.name);
    }
    return out;
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
}

class ApertureTest : public ::testing::Test {
protected:
    void TearDown() override {
        cam_.DisconnectCamera();
        CUsbCamera::BindDriverEntry(nullptr);
    }

    // One camera of `unit` on a fresh bus, in checker mode with a session, as
    // an item finds it; the bench as the last item left it.
    template <class Unit>
    void Start(const Unit& unit, const SimBench& bench = sim::Simulator::DefaultBench()) {
        sim::Sim().Reset();
        sim::Sim().ClearDevices();
        ASSERT_NE(sim::Sim().AddCamera(unit), 0u) << sim::Sim().LastError();
        sim::Sim().SetBench(bench);
        CUsbCamera::BindDriverEntry(&SimLvDriverEntry);
        ASSERT_EQ(cam_.ConnectCamera(), 1);
        ASSERT_EQ(cam_.ResumeSession(), 1);
        ASSERT_EQ(cam_.OpenChecker(), 1);
    }

    // The working gain table, as the defect correction resets it or a test
    // sets it, and the camera builds it.
    void SetWorkingGains(const Table& gains) {
        Bytes t = Words(gains);
        ASSERT_EQ(cam_.WriteConfigMemoryVerified(ConfigMemory::RamConfig, MemoryDirection::Write, 2088, 40, t.data()),
                  1);
        ASSERT_EQ(cam_.MakeFpgainTable(), 1);
    }

    int RunAperture(std::string* log = nullptr) {
        sim::Sim().ClearCommands();
        record_.BeginItem("aperture", host_.VClock().NowMs());
        CApertureDlg dlg(host_);
        dlg.m_pCamera = &cam_;
        dlg.m_pRecord = &record_;
        dlg.m_tolerance = kTolerance;
        dlg.DoModal();
        record_.EndItem(dlg.m_result, host_.VClock().NowMs());
        if (log) *log = dlg.m_log;
        return dlg.m_result;
    }
    int RunCcdFlashUp() {
        CFlashUpDlg dlg(host_);
        dlg.m_pCamera = &cam_;
        dlg.DoModal();
        return dlg.m_result;
    }

    static Bytes Slice(const Bytes& mem, std::size_t at) { return Bytes(mem.begin() + at, mem.begin() + at + 40); }
    Bytes Working() const { return Slice(sim::Sim().FirstCamera().Mem(sim::Memory::RamConfig), 2088); }
    Bytes InForce() const { return sim::Sim().FirstCamera().BuiltFpgainTable(); }
    // The stored copy: the EEPROM itself and the camera's working copy of it.
    Bytes Stored() const { return Slice(sim::Sim().FirstCamera().Mem(sim::Memory::CcdEepromFlash), 1936); }
    Bytes StoredWorking() const { return Slice(sim::Sim().FirstCamera().Mem(sim::Memory::CcdEeprom), 1936); }

    // R / G and B / G at an aperture (b = 6 x AV) against F8, exposed alike.
    std::pair<double, double> ColourAgainstF8(std::uint8_t av6) {
        auto shot = [&](std::uint8_t a, std::uint8_t b) {
            AreaMeasurement m;
            EXPECT_EQ(cam_.SetShootingConditions(a, b, 72, 0), 1);
            EXPECT_EQ(cam_.CaptureAndMeasure({1400, 900, 300, 300}, &m), 1);
            return Levels{(m.Gr() + m.Gb()) / 2.0, double(m.R()), double(m.B())};
        };
        const Levels f8 = shot(18, 36), at = shot(static_cast<std::uint8_t>(54 - av6), av6);
        return {(at.r / at.g) / (f8.r / f8.g), (at.b / at.g) / (f8.b / f8.g)};
    }

    ui::scripted::ScriptedHost host_;
    test_support::BenchOperator bench_{host_};
    CUsbCamera cam_{host_.VClock()};
    RunRecord record_;
};

// A red channel that reads 0, at every aperture or only wide open, behind a
// black clamp that leaves nothing and without noise: the camera answers 0.
sim::UnitProfile RedReadingNothing(bool wideOpenOnly) {
    sim::UnitProfile u = *sim::FindProfile("nominal");
    u.name = wideOpenOnly ? "red-dark-wide-open" : "dead-red";
    u.identification = "W73X000000098";
    (wideOpenOnly ? u.wideOpenRed : u.redResponse) = 0;
    u.clampResidual = u.readNoise = u.shotNoise = 0;
    return u;
}

TEST_F(ApertureTest, UnitsEndWithTheGainsTheirMeasurementsCallFor) {
    // The working table a unit comes with, as a ratio adjustment leaves it:
    // red and blue off unity alike in every group (F8 takes the F5.6 group's,
    // so the ratios are not touched), to show that F5.6 keeps them; and Gb
    // apart from Gr, to show that every group leaves with Gb = Gr.
    Table old = Unity();
    for (int g = 0; g < 5; ++g) {
        old[4 * g] = 1.0625;
        old[4 * g + 2] = 1.015625;
        old[4 * g + 3] = 0.9375;
    }

    struct Case {
        const char* unit;
        int result;
        bool adjusted;  // the first measurement was out of tolerance
        bool stored;    // the new gains reached the CCD EEPROM
    };
    const Case cases[] = {
        {"nominal", 1, false, false},
        {"aperture-falloff", 1, true, true},
        {"deep-falloff", 61, true, false},  // red needs more than the gain stage's one stop
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        Start(std::string(c.unit));
        SetWorkingGains(old);
        const Bytes storedBefore = Stored();
        record_ = RunRecord{};
        std::string log;
        EXPECT_EQ(RunAperture(&log), c.result);

        const std::vector<Levels> answered = AnsweredLevels();
        ASSERT_EQ(answered.size(), c.adjusted ? 4u : 2u);
        const auto [dR, dB] = Deviations(answered[0], answered[1]);
        const Table expected = ExpectedGains(old, dR, dB);
        const std::vector<RunMeasurement>& m = record_.Measurements();
        ASSERT_EQ(m.size(), c.adjusted ? 8u : 4u);
        // Each measurement: both G levels against 700..1800, then the F1.4/F8
        // ratios against 1 +- 2 %, as pass 1 and 2.
        for (std::size_t i = 0; i < m.size(); ++i) {
            const Levels& f8 = answered[2 * (i / 4)];
            const Levels& f14 = answered[2 * (i / 4) + 1];
            const auto [gr, gb] = Deviations(f8, f14);
            const char* names[4] = {"F8 GLevel", "F1.4 GLevel", "GR", "GB"};
            const double values[4] = {f8.g, f14.g, gr, gb};
            const bool level = i % 4 < 2;
            SCOPED_TRACE(names[i % 4]);
            EXPECT_EQ(m[i].item, "aperture");
            EXPECT_EQ(m[i].pass, static_cast<int>(i / 4) + 1);
            EXPECT_EQ(m[i].name, names[i % 4]);
            EXPECT_DOUBLE_EQ(m[i].value, values[i % 4]);
            EXPECT_EQ(m[i].low.value(), level ? 700 : 0.98);
            EXPECT_EQ(m[i].high.value(), level ? 1800 : 1.02);
            EXPECT_EQ(m[i].unit, level ? "LSB" : "");
            EXPECT_EQ(m[i].passed, level || std::abs(values[i % 4] - 1) <= 0.02);
        }

        if (!c.adjusted) {
            // Within the tolerance at once: not a single write, build or update.
            EXPECT_TRUE(Writes().empty());
            EXPECT_EQ(Working(), Words(old));
            EXPECT_EQ(Stored(), storedBefore);
            // The log, line by line as the operator reads it.
            std::string want = "OK\r\n絞り依存性調整\r\n\r\n絞り依存性確認\r\n";
            for (int i = 0; i < 2; ++i) {
                const Levels& l = answered[static_cast<std::size_t>(i)];
                want += i == 0 ? "F8出力レベル取得\r\n" : "F1.4出力レベル取得\r\n";
                want += Format("[1]  G= %5.0f[LSB]  R= %5d[LSB]  B= %5d[LSB]\r\n", l.g, int(l.r), int(l.b));
                want += Format("平均　G= %5.1f[LSB]  R= %5.1f[LSB]  B= %5.1f[LSB]\r\n", l.g, l.r, l.b);
                want += Format(" 感度比  G/R= %2.5f   G/B= %2.5f\r\n", l.r / l.g, l.b / l.g);
            }
            want += "\r\nF8基準によるF1.4の感度比\r\n";
            want += Format(" GR比(F1.4/F8)= %2.5f  GB比(F1.4/F8)= %2.5f\r\n", m[2].value, m[3].value);
            EXPECT_EQ(log, want);
            continue;
        }
        EXPECT_FALSE(m[2].passed && m[3].passed);  // the first measurement started the adjustment
        // The working copy holds the computed gains, and they are in force.
        EXPECT_EQ(Working(), Words(expected));
        EXPECT_EQ(InForce(), Words(expected));
        const Table working = Gains(Working());
        for (int g = 0; g < 5; ++g) EXPECT_EQ(working[4 * g + 2], working[4 * g + 1]) << "group " << g;
        EXPECT_EQ(working[16], old[16]);
        EXPECT_EQ(working[19], old[19]);
        // The F1.4 gains are the unit's own fall-off turned round, to within the noise.
        const sim::UnitProfile unit = *sim::FindProfile(c.unit);
        EXPECT_NEAR(working[0] / old[0], 1 / unit.wideOpenRed, 0.01 / unit.wideOpenRed);
        EXPECT_NEAR(working[3] / old[3], 1 / unit.wideOpenBlue, 0.01 / unit.wideOpenBlue);
        // Each group's gains under a heading of its own, between the two measurements.
        const char* const channels[4] = {"R", "Gr", "Gb", "B"};
        std::string gainLines;
        for (int g = 0; g < 5; ++g) {
            gainLines += "新調整値\r\n";
            for (int k = 0; k < 4; ++k)
                gainLines += Format("AV%d : PGAIN%s= %2.5f \r\n", g + 1, channels[k],
                                    expected[static_cast<std::size_t>(4 * g + k)]);
        }
        EXPECT_NE(log.find(" GB比(F1.4/F8)= " + Format("%2.5f", m[3].value) + "\r\n" + gainLines +
                           "\r\n絞り依存性確認\r\n"),
                  std::string::npos);
        EXPECT_EQ(Count(log, "新調整値\r\n"), 5u);

        std::vector<std::string> writes = {"DXC_RAMCONFIG_DATAWRITE 2088", "DXC_MAKE_FPGAIN_TABLE"};
        if (c.stored) {
            writes.insert(writes.end(), {"DXC_CCD_POWERON", "DXC_CCDEEPROM_DATAWRITE 1936", "DXC_MAKE_FPGAIN_TABLE",
                                         "DXC_UPDATECOMMAND 8450", "DXC_UPDATECOMMAND 12032", "DXC_CCD_POWEROFF"});
            EXPECT_EQ(Stored(), Words(expected));
            EXPECT_EQ(InForce(), Words(expected));
            // Right at every aperture now, F2 to F4 included.
            for (std::uint8_t av6 : {6, 12, 18, 24}) {
                const auto [r, b] = ColourAgainstF8(av6);
                EXPECT_NEAR(r, 1, 0.005) << "b = " << int(av6);
                EXPECT_NEAR(b, 1, 0.005) << "b = " << int(av6);
            }
        } else {
            EXPECT_EQ(Stored(), storedBefore);
            EXPECT_EQ(StoredWorking(), storedBefore);
        }
        EXPECT_EQ(Writes(), writes);
    }
}

TEST_F(ApertureTest, ChannelThatReadsNothingIsNoPass) {
    // 0 / 0 is no ratio, which must not pass; x / 0 asks for a gain no word
    // holds. Neither is written anywhere.
    for (bool wideOpenOnly : {false, true}) {
        SCOPED_TRACE(wideOpenOnly ? "red dark wide open" : "dead red");
        Start(RedReadingNothing(wideOpenOnly));
        const Bytes working = Working(), stored = Stored();
        std::string log;
        EXPECT_EQ(RunAperture(&log), 61);
        EXPECT_TRUE(Writes().empty());
        EXPECT_EQ(Working(), working);
        EXPECT_EQ(Stored(), stored);
        EXPECT_EQ(log.rfind("NG\r\n絞り依存性調整\r\n", 0), 0u);
        EXPECT_EQ(Count(log, "新調整値\r\n"), 5u);  // the gains were computed and shown
    }
}

TEST_F(ApertureTest, ChartLeftOnTheViewerDoesNotTintTheLightBox) {
    // A line crawl run that stopped with the chart in front of the viewer.
    SimBench b = sim::Simulator::DefaultBench();
    b.lens = SIM_LENS_TOOL_F8;
    b.light = SIM_LIGHT_VIEWER;
    b.lightLevel = 13;
    b.closest = 1;
    b.chart = SIM_CHART_RED;
    Start(std::string("nominal"), b);
    EXPECT_EQ(RunAperture(), 1);
    EXPECT_EQ(sim::Sim().Bench().light, SIM_LIGHT_BOX);
    EXPECT_EQ(sim::Sim().Bench().lens, SIM_LENS_50MM_F14);
}

// One camera through the runs of a line, without a restart: the defect
// correction's reset of the gains (its camera traffic), the aperture
// adjustment, the CCD EEPROM flash-up, and the aperture check again, also
// after a later defect run with its flash-up.
TEST_F(ApertureTest, GainsInForceFollowTheStoredCopyAcrossRuns) {
    Start(std::string("aperture-falloff"));
    struct Step {
        const char* what;
        int result;
        bool writesGains;
    };
    const Step steps[] = {
        {"defect reset", 1, true},  {"aperture", 1, true},     {"flash-up", 1, false},
        {"aperture", 1, false},     {"defect reset", 1, true}, {"flash-up", 1, false},
        {"aperture", 1, false},
    };
    Bytes adjusted;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        sim::Sim().ClearCommands();
        const std::string what = s.what;
        int result = 1;
        if (what == "defect reset") {
            SetWorkingGains(Unity());
            EXPECT_EQ(InForce(), Words(Unity()));
        } else if (what == "flash-up") {
            result = RunCcdFlashUp();
            // The stored gains are unpacked and in force again.
            EXPECT_EQ(Working(), adjusted);
            EXPECT_EQ(InForce(), adjusted);
        } else {
            result = RunAperture();
            if (adjusted.empty()) adjusted = Stored();
            EXPECT_EQ(Stored(), adjusted);
            EXPECT_NE(adjusted, Words(Unity()));
        }
        EXPECT_EQ(result, s.result);
        EXPECT_EQ(!Writes().empty() && Writes().front() == "DXC_RAMCONFIG_DATAWRITE 2088", s.writesGains);
    }
}

TEST(ApertureJudgements, LevelsAndRatiosPassOnTheirBounds) {
    struct Level {
        double g;
        bool ok;
    };
    for (const Level& l : {Level{699.5, false}, {700, true}, {1250, true}, {1800, true}, {1800.5, false}})
        EXPECT_EQ(CApertureDlg::LevelInRange(l.g), l.ok) << l.g;

    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Ratio {
        double gr, gb, tolerance;
        int result;
    };
    const Ratio ratios[] = {
        {0.98, 1.02, 2, 1},  {1.02, 0.98, 2, 1},    {0.95, 1.05, 5, 1},  {0.9799, 1, 2, 61},
        {1, 1.0201, 2, 63},  {0.9, 1.1, 2, 63},     {nan, 1, 2, 61},     {1, nan, 2, 63},
        {1.0, 1.0, 0, 1},    {1.0001, 1.0, 0, 61},
    };
    for (const Ratio& r : ratios)
        EXPECT_EQ(CApertureDlg::RatioResult(r.gr, r.gb, r.tolerance), r.result)
            << r.gr << " " << r.gb << " at " << r.tolerance << " %";
}

TEST(ApertureJudgements, DeviationsNoWordCanTakeOutAreRefused) {
    const CApertureDlg::Gains unity = [] {
        CApertureDlg::Gains g;
        for (auto& group : g) group.fill(1.0);
        return g;
    }();
    struct Case {
        double dR, dB;
        int result;
    };
    for (const Case& c : {Case{0.9, 1.1, 1}, {0, 1, 61}, {1, 0, 63}, {0, 0, 63}, {1.0 / 300, 1, 61}})
        EXPECT_EQ(CApertureDlg::GainsResult(CApertureDlg::NewGains(unity, c.dR, c.dB)), c.result)
            << c.dR << " " << c.dB;
}

}  // namespace
