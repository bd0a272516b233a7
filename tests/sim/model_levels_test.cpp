// The optics and electronics against the formulas of sim/README.md: a level
// predicted from the bench, the shooting conditions, the unit and the memories
// must be what a rectangle mean of the picture shows.

#include <gtest/gtest.h>

#include <cmath>

#include "sim/model.h"
#include "sim/unit_profile.h"

namespace sim {
namespace {

struct Means {
    double gr = 0, r = 0, gb = 0, b = 0;
    double G() const { return (gr + gb) / 2; }
};

Means Measure(const Picture& p, int x0, int y0, int w, int h) {
    double s[4] = {};
    int n[4] = {};
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) {
            const int c = static_cast<int>(ChannelAt(x, y));
            s[c] += p.Sample(x, y);
            ++n[c];
        }
    return {s[0] / n[0], s[1] / n[1], s[2] / n[2], s[3] / n[3]};
}

// The memories as a camera holds them after start: RAM configuration unpacked
// from the CCD EEPROM at +152, the DRAM from the EEPROM at +1024.
CameraMemories Started(const UnitProfile& u) {
    const FactoryMemories f = InitialMemories(u);
    CameraMemories m;
    m.ccdEeprom = f.ccdEeprom;
    m.tftEeprom = f.tftEeprom;
    m.mcuEeprom = f.mcuEeprom;
    m.ramConfig.assign(kRamConfigSize, 0);
    for (std::size_t i = 0; i + 152 < kRamConfigSize; ++i) m.ramConfig[i + 152] = f.ccdEeprom[i];
    m.mcuDram.assign(kMcuDramSize, 0);
    for (std::size_t i = 0; i < 1024; ++i) m.mcuDram[i + 1024] = f.mcuEeprom[i];
    return m;
}

SimBench Viewer(int lens, int nd, double lv, int chart = SIM_CHART_NONE) {
    SimBench b{};
    b.lens = lens;
    b.ndFilter = nd;
    b.light = SIM_LIGHT_VIEWER;
    b.lightLevel = lv;
    b.chart = chart;
    b.closest = 1;
    b.mainSwitchOn = 1;
    b.usbPlugged = 1;
    return b;
}

SimBench Reflector() {
    SimBench b = Viewer(SIM_LENS_50MM_F14, 0, 0);
    b.light = SIM_LIGHT_REFLECTOR;
    b.subjectDistanceM = 1.414;
    b.flashPoppedUp = 1;
    return b;
}

Exposure Shot(int a, int b, int c, std::uint64_t seed = 7) {
    Exposure e;
    e.conditions.p11 = static_cast<std::uint8_t>(a);
    e.conditions.p12 = static_cast<std::uint8_t>(b);
    e.conditions.p5 = static_cast<std::uint8_t>(c);
    e.seed = seed;
    return e;
}

void PutWord(std::vector<std::uint8_t>& m, std::size_t a, unsigned w) {
    m[a] = static_cast<std::uint8_t>(w >> 8);
    m[a + 1] = static_cast<std::uint8_t>(w);
}

double Gain(int value) { return std::pow(10.0, 0.033 * value / 20.0); }

TEST(ModelLevels, GreenLevelFollowsTheReadmeFormula) {
    const UnitProfile u = *FindProfile("nominal");
    CameraMemories m = Started(u);
    struct Case {
        const char* what;
        SimBench bench;
        int a, b;
        double transmission, av;
    };
    const Case cases[] = {
        {"sensitivity bench", Viewer(SIM_LENS_TOOL_F8, 3, 13), 24, 0, 0.5 * 0.9, 6},
        {"ratio bench", Viewer(SIM_LENS_TOOL_F8, 0, 13), 42, 0, 0.5, 6},
        {"light box F1.4", Viewer(SIM_LENS_50MM_F14, 0, 9), 48, 6, 0.95, 1},
    };
    for (const auto& c : cases) {
        const double e = std::pow(2.0, c.bench.lightLevel - c.bench.ndFilter - c.av - c.a / 6.0) * c.transmission;
        const double g = Gain(320);
        // Green with crosstalk from the pixel's colour neighbours, plus what
        // the optical black subtraction leaves.
        const double gr = (u.greenResponse * e + u.crosstalk * u.greenResponse * u.redResponse * e) * g;
        const double gb = (u.greenResponse * e + u.crosstalk * u.greenResponse * u.blueResponse * e) * g;
        const double predicted = (gr + gb) / 2 + u.clampResidual;
        const Means got = Measure(*TakePicture(u, c.bench, m, Shot(c.a, c.b, 72)), 1360, 862, 300, 300);
        EXPECT_NEAR(got.G(), predicted, predicted * 0.004) << c.what;
        EXPECT_NEAR(got.G() / got.r, 1 / u.redResponse, 0.02) << c.what;
    }
}

TEST(ModelLevels, IsoWordAndApertureTableScaleTheChannels) {
    const UnitProfile u = *FindProfile("nominal");
    CameraMemories m = Started(u);
    const SimBench bench = Viewer(SIM_LENS_TOOL_F8, 3, 13);
    const Means base = Measure(*TakePicture(u, bench, m, Shot(24, 0, 72)), 1420, 912, 200, 200);

    // 182 LSB more at ISO200 (code 72 -> RAM 400) is 6 dB: twice the signal.
    PutWord(m.ramConfig, 400, (320 + 182) << 3 | 0x7);  // bits 2..0 are not part of the value
    const Means louder = Measure(*TakePicture(u, bench, m, Shot(24, 0, 72)), 1420, 912, 200, 200);
    EXPECT_NEAR((louder.G() - 1) / (base.G() - 1), std::pow(10.0, 0.033 * 182 / 20), 0.01);
    PutWord(m.ramConfig, 400, 320 << 3);

    // The tool lens (F8) takes the AV5 group; R 1.5, B 0.25 (held at the
    // stage's lower end, 0.5); AV1 untouched.
    PutWord(m.ramConfig, 2088 + 32, 384);
    PutWord(m.ramConfig, 2088 + 38, 64);
    PutWord(m.ramConfig, 2088 + 0, 1024);  // AV1 R 4.0, not used at F8
    const Means tinted = Measure(*TakePicture(u, bench, m, Shot(24, 0, 72)), 1420, 912, 200, 200);
    EXPECT_NEAR((tinted.r - 1) / (base.r - 1), 1.5, 0.01);
    EXPECT_NEAR((tinted.b - 1) / (base.b - 1), 0.5, 0.01);
    EXPECT_NEAR(tinted.G(), base.G(), 0.5);
}

TEST(ModelLevels, IsoGainFollowsTheUnitsLaw) {
    const SimBench bench = Viewer(SIM_LENS_TOOL_F8, 3, 13);
    for (const char* name : {"nominal", "gain-bow"}) {
        const UnitProfile u = *FindProfile(name);
        CameraMemories m = Started(u);
        auto level = [&](int value) {
            PutWord(m.ramConfig, 400, static_cast<unsigned>(value) << 3);
            return Measure(*TakePicture(u, bench, m, Shot(24, 0, 72)), 1420, 912, 200, 200).G() - u.clampResidual;
        };
        const double base = level(0);
        // 0.033 dB a step, and the bow: a parabola over the value range, at its top in mid-range.
        for (int value : {300, 512, 700}) {
            const double x = value / 1023.0;
            const double db = 0.033 * value + u.isoGainBowDb * 4 * x * (1 - x);
            EXPECT_NEAR(level(value) / base, std::pow(10.0, db / 20), 0.01) << name << " " << value;
        }
    }
}

TEST(ModelLevels, LineCrawlCorrectionTakesOutTheGreenDifference) {
    const UnitProfile u = *FindProfile("nominal");
    CameraMemories m = Started(u);
    auto fields = [&] {
        const Means red = Measure(*TakePicture(u, Viewer(SIM_LENS_TOOL_F8, 0, 13, SIM_CHART_RED), m, Shot(18, 0, 72)),
                                  1420, 912, 200, 200);
        const Means blue = Measure(
            *TakePicture(u, Viewer(SIM_LENS_TOOL_F8, 0, 13, SIM_CHART_BLUE), m, Shot(18, 0, 72)), 1420, 912, 200, 200);
        return std::pair{red, blue};
    };
    auto [red, blue] = fields();
    EXPECT_GT(red.gr, red.gb + 10);   // Gr picks up red
    EXPECT_GT(blue.gb, blue.gr + 10);  // Gb picks up blue
    EXPECT_GE(red.gr, 700);
    EXPECT_LE(red.gr, 2000);
    const double k = ((red.gb - red.gr) / (2 * (red.b - red.r)) + (blue.gb - blue.gr) / (2 * (blue.b - blue.r))) / 2;
    const int k8 = static_cast<int>(std::floor(k * 4096 + 0.5));
    EXPECT_NEAR(k8, u.crosstalk / 2 * 4096, 1.5);
    for (std::size_t g = 0; g < 3; ++g) m.ramConfig[312 + 4 * g + 2] = m.ramConfig[312 + 4 * g + 3] =
                                           static_cast<std::uint8_t>(k8);
    std::tie(red, blue) = fields();
    EXPECT_LT(std::abs(red.gb - red.gr) / (red.gb + red.gr) * 100, 0.1);
    EXPECT_LT(std::abs(blue.gb - blue.gr) / (blue.gb + blue.gr) * 100, 0.1);
}

// A red field three times too strong saturates the converter: the line crawl
// correction and the colour gains after it work on full scale, as the
// station measures it, not on the light that was there.
TEST(ModelLevels, ConverterClipsBeforeTheDigitalStages) {
    const UnitProfile u = *FindProfile("colour-imbalance");
    CameraMemories m = Started(u);
    const SimBench bench = Viewer(SIM_LENS_TOOL_F8, 0, 13, SIM_CHART_RED);
    const Means before = Measure(*TakePicture(u, bench, m, Shot(18, 0, 72)), 1420, 912, 200, 200);
    ASSERT_GT(u.greenResponse * u.redResponse * std::pow(2.0, 13 - 6 - 3) * 0.5 * 0.40 * Gain(320), 5000);
    EXPECT_EQ(before.r, 4095);

    const int k8 = 40;
    for (std::size_t g = 0; g < 3; ++g) m.ramConfig[312 + 4 * g + 2] = m.ramConfig[312 + 4 * g + 3] = k8;
    PutWord(m.ramConfig, 2088 + 32, 128);  // AV5 red gain 0.5
    const Means after = Measure(*TakePicture(u, bench, m, Shot(18, 0, 72)), 1420, 912, 200, 200);
    EXPECT_NEAR(after.r, 2048, 0.5);
    const double shift = k8 / 4096.0 * (before.b - 4095);
    EXPECT_NEAR(after.gr, before.gr + shift, 0.5);
    EXPECT_NEAR(after.gb, before.gb - shift, 0.5);
}

TEST(ModelLevels, FlashFollowsAdjustmentValueLevelChargeAndPopUp) {
    const UnitProfile u = *FindProfile("nominal");
    const CameraMemories m = Started(u);
    // One flash at the mode's rated level (36 pre, 60 main) unless given.
    auto flash = [&](FlashKind kind, const SimBench& bench, double volts, int adj = 0, int levelStep = 0,
                     std::uint64_t seed = 3) {
        const bool pre = kind == FlashKind::Pre;
        Exposure e = Shot(45, pre ? 18 : 30, 72, seed);
        e.flashes.push_back({kind, (pre ? 36 : 60) + levelStep, adj, volts});
        return Measure(*TakePicture(u, bench, m, e), 1400, 900, 300, 300).G();
    };
    // Guide number formula: E = (GN * sqrt(2) / (d * F))^2 at ISO200 with
    // the standard lens, F2.8 for the pre-flash; flash-to-flash scatter aside.
    const double ePre = std::pow(u.preGuideNumber * std::sqrt(2.0) / (1.414 * 2.8284), 2);
    const double predicted = u.greenResponse * ePre * (1 + u.crosstalk * 0.59) * Gain(320) + u.clampResidual;
    double sum = 0;
    for (std::uint64_t seed = 1; seed <= 8; ++seed) sum += flash(FlashKind::Pre, Reflector(), 33.0, 0, 0, seed);
    EXPECT_NEAR(sum / 8, predicted, predicted * 0.015);

    // The adjustment value and the level byte: 24 steps per EV each; the
    // charge: its square.
    const double main0 = flash(FlashKind::Main, Reflector(), 33.0);
    EXPECT_NEAR(flash(FlashKind::Main, Reflector(), 33.0, 24) / main0, 2.0, 0.08);
    EXPECT_NEAR(flash(FlashKind::Main, Reflector(), 33.0, -24) / main0, 0.5, 0.02);
    EXPECT_NEAR(flash(FlashKind::Main, Reflector(), 33.0, 0, -24) / main0, 0.5, 0.02);
    EXPECT_NEAR(flash(FlashKind::Main, Reflector(), 33.0 * 0.3) / main0, 0.09, 0.01);

    SimBench down = Reflector();
    down.flashPoppedUp = 0;
    EXPECT_LT(flash(FlashKind::Main, down, 33.0), 5);
    EXPECT_LT(flash(FlashKind::Main, Reflector(), 0.0), 5);  // never charged
}

TEST(ModelLevels, DarkFrameShowsHotPixelsUnlessTheTableHidesThem) {
    const UnitProfile u = *FindProfile("nominal");
    CameraMemories m = Started(u);
    SimBench capped = Viewer(SIM_LENS_CAPPED, 0, 13);
    auto pic = TakePicture(u, capped, m, Shot(12, 0, 72));
    double centre = 0;
    for (int x = 1400; x < 1500; ++x) centre += pic->Sample(x, 1012);
    EXPECT_LT(centre / 100, 5);
    ASSERT_FALSE(u.hotPixels.empty());
    const auto& hp = u.hotPixels.front();
    EXPECT_NEAR(pic->Sample(hp.x, hp.y), hp.level + u.clampResidual, 10);

    // SetOb 1 shows the raw black level.
    Exposure raw = Shot(12, 0, 72);
    raw.obClamp = true;
    EXPECT_NEAR(Measure(*TakePicture(u, capped, m, raw), 1400, 900, 100, 100).G(), u.blackLevel, 1);

    // An R entry (even row) in the CCD EEPROM table: V = row / 2 + 3, H = column + 66.
    ASSERT_EQ(hp.y % 2, 1);  // the first nominal defect is on an odd row: a B entry
    PutWord(m.ccdEeprom, 372, 1);
    PutWord(m.ccdEeprom, 376, static_cast<unsigned>((hp.y + 5) / 2));
    PutWord(m.ccdEeprom, 378, static_cast<unsigned>(hp.x + 66));
    EXPECT_LT(TakePicture(u, capped, m, Shot(12, 0, 72))->Sample(hp.x, hp.y), 20);
}

TEST(ModelLevels, PicturesRepeatPerSeedAndClipAt12Bits) {
    const UnitProfile u = *FindProfile("nominal");
    const CameraMemories m = Started(u);
    const SimBench bench = Viewer(SIM_LENS_TOOL_F8, 0, 13);
    auto a = TakePicture(u, bench, m, Shot(42, 0, 72, 11));
    auto b = TakePicture(u, bench, m, Shot(42, 0, 72, 11));
    auto c = TakePicture(u, bench, m, Shot(42, 0, 72, 12));
    int same = 0;
    for (int x = 0; x < 200; ++x) {
        EXPECT_EQ(a->Sample(x, 5), b->Sample(x, 5));
        same += a->Sample(x, 5) == c->Sample(x, 5);
    }
    EXPECT_LT(same, 60);
    EXPECT_EQ(a->Sample(-1, 0), 0);
    EXPECT_EQ(a->Sample(kSensorWidth, 0), 0);
    // 6 EV over: every sample at full scale.
    auto over = TakePicture(u, Viewer(SIM_LENS_TOOL_F8, 0, 19), m, Shot(42, 0, 108));
    EXPECT_EQ(over->Sample(100, 100), 4095);
}

TEST(ModelLevels, RowsHoldTheSamplesOfThePicture) {
    const UnitProfile u = *FindProfile("defect-cluster");  // hot pixels side by side
    CameraMemories m = Started(u);
    for (int band = 0; band < 3; ++band) {  // a line crawl offset of each sign in every band
        m.ramConfig[static_cast<std::size_t>(312 + 4 * band + 2)] = static_cast<std::uint8_t>(40 + 30 * band);
        m.ramConfig[static_cast<std::size_t>(312 + 4 * band + 3)] = static_cast<std::uint8_t>(90 - 20 * band);
    }
    ASSERT_FALSE(u.hotPixels.empty());
    struct Case {
        const char* what;
        SimBench bench;
        Exposure exposure;
    };
    const Case cases[] = {
        {"dark frame", Viewer(SIM_LENS_CAPPED, 0, 13), Shot(12, 0, 72)},
        {"red field", Viewer(SIM_LENS_TOOL_F8, 0, 13, SIM_CHART_RED), Shot(18, 0, 72)},
        {"clipped", Viewer(SIM_LENS_TOOL_F8, 0, 19), Shot(24, 0, 108)},
    };
    std::vector<int> rows = {0, 1, 674, 675, 1349, 1350, 2022, 2023};
    for (const auto& hp : u.hotPixels) rows.push_back(hp.y);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto pic = TakePicture(u, c.bench, m, c.exposure);
        for (int y : rows) {
            // Whole rows, runs from odd columns and of odd lengths, single
            // samples, and runs that reach past an edge of the sensor.
            for (auto [x, n] : {std::pair{0, kSensorWidth}, {1, kSensorWidth - 1}, {2399, 9}, {2400, 1}, {-3, 6},
                                {kSensorWidth - 4, 7}}) {
                std::vector<std::uint16_t> row(static_cast<std::size_t>(n));
                pic->Row(x, y, n, row.data());
                for (int i = 0; i < n; ++i)
                    ASSERT_EQ(row[static_cast<std::size_t>(i)], pic->Sample(x + i, y)) << x + i << "," << y;
            }
        }
    }
}

TEST(ModelLevels, BatteryReadingAndSupplyCurrent) {
    const UnitProfile u = *FindProfile("nominal");
    SimBench b = Viewer(SIM_LENS_TOOL_F8, 0, 13);
    b.power = SIM_POWER_BATTERY_TOOL;
    b.supplyVolts = 7.2;
    for (std::uint64_t seed = 0; seed < 20; ++seed) EXPECT_NEAR(BatteryAdReading(u, b, seed), 738, 1);
    const UnitProfile off = *FindProfile("battery-ad");
    EXPECT_LT(BatteryAdReading(off, b, 1), 700);

    const double i72off = ConsumptionCurrent(u, b, false);
    const double i72on = ConsumptionCurrent(u, b, true);
    b.supplyVolts = 7.7;
    const double i77off = ConsumptionCurrent(u, b, false);
    EXPECT_NEAR(i72off, 2.0 / (7.2 * 0.9) + 0.02, 0.001);
    EXPECT_GT(i72on, i72off + 0.15);
    EXPECT_LT(i77off, i72off);  // the converter draws less current at a higher voltage
    b.power = SIM_POWER_AC_ADAPTER;
    EXPECT_EQ(ConsumptionCurrent(u, b, true), 0.0);  // the ammeter is not in the adapter's line
}

}  // namespace
}  // namespace sim
