// The aperture dependence item in the scripted host against the simulated
// camera, with the simulator's operator at the bench: what the camera holds
// afterwards in its working (RAM configuration 2088) and stored (CCD EEPROM
// 1936) gain tables, and the log, against the gains that the F1.4 / F8
// ratios these units show call for.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "adjust/aperture_dlg.h"
#include "adjust/flash_up_dlg.h"
#include "tests/adjust/item_fixture.h"

namespace {

using test_support::Bytes;
using test_support::Words;

constexpr double kTolerance = 2.0;  // the sample STD.DAT's F1.4 tolerance, %

// A gain table of five equal groups (R, Gr, Gb, B words, 256 = 1.0).
Bytes FiveTimes(int r, int gr, int gb, int b) {
    Bytes t;
    for (int g = 0; g < 5; ++g) {
        const Bytes group = Words({r, gr, gb, b});
        t.insert(t.end(), group.begin(), group.end());
    }
    return t;
}
const Bytes kUnity = FiveTimes(0x100, 0x100, 0x100, 0x100);

// The nominal unit: within the tolerance at once.
constexpr const char* kNominalLog =
    "OK\r\n絞り依存性調整\r\n\r\n絞り依存性確認\r\n"
    "F8出力レベル取得\r\n"
    "[1]  G=   965[LSB]  R=   632[LSB]  B=   495[LSB]\r\n"
    "平均　G= 965.0[LSB]  R= 632.0[LSB]  B= 495.0[LSB]\r\n"
    " 感度比  G/R= 0.65492   G/B= 0.51295\r\n"
    "F1.4出力レベル取得\r\n"
    "[1]  G=   965[LSB]  R=   629[LSB]  B=   497[LSB]\r\n"
    "平均　G= 965.0[LSB]  R= 629.0[LSB]  B= 497.0[LSB]\r\n"
    " 感度比  G/R= 0.65181   G/B= 0.51503\r\n"
    "\r\nF8基準によるF1.4の感度比\r\n"
    " GR比(F1.4/F8)= 0.99525  GB比(F1.4/F8)= 1.00404\r\n";

// The gains of the aperture-falloff unit from a working table of
// [1.0625, 1, 1.015625, 0.9375]: red 1.0625 / 0.90063 at F1.4, by the fixed
// shares at F2 to F4, F5.6 kept; blue likewise from 0.93180; Gb as Gr.
const Bytes kFalloffGains = Words({0x12E, 0x100, 0x100, 0x102, 0x123, 0x100, 0x100, 0xFB, 0x117, 0x100,
                                   0x100, 0xF1, 0x113, 0x100, 0x100, 0xEF, 0x110, 0x100, 0x100, 0xF0});
// Each group's gains under a heading of its own, between the two measurements.
constexpr const char* kFalloffGainLines =
    " GB比(F1.4/F8)= 0.93180\r\n"
    "新調整値\r\nAV1 : PGAINR= 1.17974 \r\nAV1 : PGAINGr= 1.00000 \r\nAV1 : PGAINGb= 1.00000 \r\nAV1 : PGAINB= 1.00612 \r\n"
    "新調整値\r\nAV2 : PGAINR= 1.13561 \r\nAV2 : PGAINGr= 1.00000 \r\nAV2 : PGAINGb= 1.00000 \r\nAV2 : PGAINB= 0.98207 \r\n"
    "新調整値\r\nAV3 : PGAINR= 1.09136 \r\nAV3 : PGAINGr= 1.00000 \r\nAV3 : PGAINGb= 1.00000 \r\nAV3 : PGAINB= 0.94312 \r\n"
    "新調整値\r\nAV4 : PGAINR= 1.07312 \r\nAV4 : PGAINGr= 1.00000 \r\nAV4 : PGAINGb= 1.00000 \r\nAV4 : PGAINB= 0.93495 \r\n"
    "新調整値\r\nAV5 : PGAINR= 1.06250 \r\nAV5 : PGAINGr= 1.00000 \r\nAV5 : PGAINGb= 1.00000 \r\nAV5 : PGAINB= 0.93750 \r\n"
    "\r\n絞り依存性確認\r\n";

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
}

class ApertureTest : public test_support::ItemTest {
protected:
    // The working gain table, as the defect correction resets it or a test
    // sets it, and the camera builds it.
    void SetWorkingGains(Bytes t) {
        ASSERT_EQ(cam_.WriteConfigMemoryVerified(ConfigMemory::RamConfig, MemoryDirection::Write, 2088, 40, t.data()),
                  1);
        ASSERT_EQ(cam_.MakeFpgainTable(), 1);
    }

    int RunAperture() {
        sent_.clear();
        CApertureDlg dlg(host_);
        dlg.m_tolerance = kTolerance;
        return Run(dlg, "aperture");
    }
    int RunCcdFlashUp() {
        CFlashUpDlg dlg(host_);
        return Run(dlg, "ccd-flash-up");
    }

    // The configuration writes, gain table builds, update and CCD power
    // commands the camera received, with the address and the update code.
    std::vector<std::string> Writes() const {
        std::vector<std::string> out;
        for (const auto& c : sent_) {
            if (c.name.find("DATAWRITE") != std::string::npos)
                out.push_back(c.name + " " + std::to_string(platform::GetBe32(&c.cdb[4])));
            else if (c.name == "DXC_UPDATECOMMAND")
                out.push_back(c.name + " " + std::to_string(platform::GetBe16(&c.cdb[2])));
            else if (c.name == "DXC_MAKE_FPGAIN_TABLE" || c.name.rfind("DXC_CCD_POWER", 0) == 0)
                out.push_back(c.name);
        }
        return out;
    }

    static Bytes Working() { return Mem(sim::Memory::RamConfig, 2088, 40); }
    static Bytes InForce() { return Camera().BuiltFpgainTable(); }
    // The stored copy: the EEPROM itself and the camera's working copy of it.
    static Bytes Stored() { return Mem(sim::Memory::CcdEepromFlash, 1936, 40); }
    static Bytes StoredWorking() { return Mem(sim::Memory::CcdEeprom, 1936, 40); }

    // R / G and B / G at an aperture (b = 6 x AV) against F8, exposed alike.
    std::pair<double, double> ColourAgainstF8(std::uint8_t av6) {
        struct Levels {
            double g, r, b;
        };
        auto shot = [&](std::uint8_t a, std::uint8_t b) {
            AreaMeasurement m;
            EXPECT_EQ(cam_.SetShootingConditions(a, b, 72, 0), 1);
            EXPECT_EQ(cam_.CaptureAndMeasure({1400, 900, 300, 300}, &m), 1);
            return Levels{(m.Gr() + m.Gb()) / 2.0, double(m.R()), double(m.B())};
        };
        const Levels f8 = shot(18, 36), at = shot(static_cast<std::uint8_t>(54 - av6), av6);
        return {(at.r / at.g) / (f8.r / f8.g), (at.b / at.g) / (f8.b / f8.g)};
    }
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
    const Bytes old = FiveTimes(0x110, 0x100, 0x104, 0xF0);

    // One measurement: the G levels at F8 and F1.4, the F1.4 / F8 ratios
    // and whether each met 1 +- 2 %.
    struct Measurement {
        double f8, f14, gr, gb;
        bool grOk, gbOk;
    };
    struct Case {
        const char* unit;
        int result;
        std::vector<Measurement> measured;
        Bytes working;  // the working table afterwards
        bool stored;    // the new gains reached the CCD EEPROM
    };
    const Case cases[] = {
        {"nominal", 1, {{965, 965, 0.99525, 1.00404, true, true}}, old, false},
        {"aperture-falloff", 1,
         {{965, 964.5, 0.90063, 0.93180, false, false}, {957.5, 956.5, 0.99946, 1.00105, true, true}}, kFalloffGains,
         true},
        // Red needs more than the gain stage's one stop: 2.35126 at F1.4.
        {"deep-falloff", 61,
         {{965, 963, 0.45189, 1.00613, false, true}, {957.5, 955.5, 0.84988, 1.00209, false, true}},
         Words({0x25A, 0x100, 0x100, 0xEF, 0x1A9, 0x100, 0x100, 0xEF, 0x142, 0x100,
                0x100, 0xEF, 0x123, 0x100, 0x100, 0xEF, 0x110, 0x100, 0x100, 0xF0}),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        Start(c.unit);
        SetWorkingGains(old);
        const Bytes storedBefore = Stored();
        EXPECT_EQ(RunAperture(), c.result);
        EXPECT_EQ(AreaMeans().size(), 2 * c.measured.size());

        // Each measurement: both G levels against 700..1800, then the F1.4/F8
        // ratios against 1 +- 2 %, as pass 1 and 2.
        const std::vector<RunMeasurement>& m = record_.Measurements();
        ASSERT_EQ(m.size(), 4 * c.measured.size());
        for (std::size_t i = 0; i < m.size(); ++i) {
            const Measurement& e = c.measured[i / 4];
            const char* names[4] = {"F8 GLevel", "F1.4 GLevel", "GR", "GB"};
            const double values[4] = {e.f8, e.f14, e.gr, e.gb};
            const bool passed[4] = {true, true, e.grOk, e.gbOk};
            const bool level = i % 4 < 2;
            SCOPED_TRACE(names[i % 4]);
            EXPECT_EQ(m[i].item, "aperture");
            EXPECT_EQ(m[i].pass, static_cast<int>(i / 4) + 1);
            EXPECT_EQ(m[i].name, names[i % 4]);
            EXPECT_NEAR(m[i].value, values[i % 4], 0.000005);  // as the log shows them
            EXPECT_EQ(m[i].low.value(), level ? 700 : 0.98);
            EXPECT_EQ(m[i].high.value(), level ? 1800 : 1.02);
            EXPECT_EQ(m[i].unit, level ? "LSB" : "");
            EXPECT_EQ(m[i].passed, passed[i % 4]);
        }
        EXPECT_EQ(Working(), c.working);

        if (c.measured.size() == 1) {
            // Within the tolerance at once: not a single write, build or update.
            EXPECT_TRUE(Writes().empty());
            EXPECT_EQ(Stored(), storedBefore);
            EXPECT_EQ(log_, kNominalLog);
            continue;
        }
        // The working copy holds the new gains, and they are in force.
        EXPECT_EQ(InForce(), c.working);
        EXPECT_EQ(Occurrences(log_, "新調整値\r\n"), 5u);
        std::vector<std::string> writes = {"DXC_RAMCONFIG_DATAWRITE 2088", "DXC_MAKE_FPGAIN_TABLE"};
        if (c.stored) {
            EXPECT_NE(log_.find(kFalloffGainLines), std::string::npos) << log_;
            writes.insert(writes.end(), {"DXC_CCD_POWERON", "DXC_CCDEEPROM_DATAWRITE 1936", "DXC_MAKE_FPGAIN_TABLE",
                                         "DXC_UPDATECOMMAND 8450", "DXC_UPDATECOMMAND 12032", "DXC_CCD_POWEROFF"});
            EXPECT_EQ(Stored(), c.working);
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
        EXPECT_EQ(RunAperture(), 61);
        EXPECT_TRUE(Writes().empty());
        EXPECT_EQ(Working(), working);
        EXPECT_EQ(Stored(), stored);
        EXPECT_EQ(log_.rfind("NG\r\n絞り依存性調整\r\n", 0), 0u);
        EXPECT_EQ(Occurrences(log_, "新調整値\r\n"), 5u);  // the gains were computed and shown
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
    Start("nominal", b);
    EXPECT_EQ(RunAperture(), 1);
    EXPECT_EQ(sim::Sim().Bench().light, SIM_LIGHT_BOX);
    EXPECT_EQ(sim::Sim().Bench().lens, SIM_LENS_50MM_F14);
}

// One camera through the runs of a line, without a restart: the defect
// correction's reset of the gains (its camera traffic), the aperture
// adjustment, the CCD EEPROM flash-up, and the aperture check again, also
// after a later defect run with its flash-up.
TEST_F(ApertureTest, GainsInForceFollowTheStoredCopyAcrossRuns) {
    Start("aperture-falloff");
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
        sent_.clear();
        const std::string what = s.what;
        int result = 1;
        if (what == "defect reset") {
            SetWorkingGains(kUnity);
            EXPECT_EQ(InForce(), kUnity);
        } else if (what == "flash-up") {
            result = RunCcdFlashUp();
            // The stored gains are unpacked and in force again.
            EXPECT_EQ(Working(), adjusted);
            EXPECT_EQ(InForce(), adjusted);
        } else {
            result = RunAperture();
            if (adjusted.empty()) adjusted = Stored();
            EXPECT_EQ(Stored(), adjusted);
            EXPECT_NE(adjusted, kUnity);
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
