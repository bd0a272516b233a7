// The optics and electronics of the simulated camera. A picture is a uniform
// field (what the bench shows fills the view) computed per colour class and per
// line crawl band once, plus per-sample noise from a hash of (seed, x, y) and
// the unit's white defects, through the 12-bit converter and the digital
// stages after it; sim/README.md gives the formulas.

#include "sim/model.h"

#include <algorithm>
#include <cmath>
#include <map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "sim/unit_profile.h"

namespace sim {
namespace {

// Bench hardware (the same on every station).
constexpr double kToolLensTransmission = 0.5;   // tool lens: fixed F8 stop behind a diffuser
constexpr double kToolLensAv = 6.0;              // F8
constexpr double kStandardLensTransmission = 0.95;  // 50 mm F1.4
constexpr double kStandardLensMaxAv = 1.0;       // F1.4 wide open
constexpr double kStandardLensMinAv = 9.0;       // F22
constexpr double kNdFilterLoss = 0.9;            // surface losses of any ND filter
constexpr double kRoomLv = 5.0;                  // what the camera sees when not at the source
constexpr double kFlashRed = 1.05;               // flash colour relative to the bench sources
constexpr double kFlashBlue = 0.95;
struct ChartField {
    double r = 0, g = 0, b = 0;  // transmission per colour
};
constexpr ChartField kRedField{0.40, 0.12, 0.05};
constexpr ChartField kBlueField{0.05, 0.12, 0.50};

// Camera electronics.
constexpr double kGainDbPerLsb = 0.033;    // ISO gain step
constexpr double kColourGainMin = 0.5;     // the digital gain stage spans one stop either way
constexpr double kColourGainMax = 2.0;
constexpr double kFullScale = 4095.0;      // 12-bit converter
constexpr double kDefectReferenceSeconds = 0.25;  // hot pixel levels are given at 1/4 s
constexpr int kIsoTableBase = 328;         // RAM configuration address of code 0's word
constexpr int kLineCrawlBlock = 312;
constexpr int kApertureTable = 2088;
constexpr int kDefectTable = 370;          // CCD EEPROM
constexpr int kMaxDefectEntries = 512;
// The flash levels at which a unit's guide numbers hold; any other level
// byte, like the adjustment value, moves the quench point 1/24 EV a step.
constexpr int kPreFlashRatedLevel = 36;
constexpr int kMainFlashRatedLevel = 60;

// Aperture table order inside a group.
enum TableChannel { kR = 0, kGr = 1, kGb = 2, kB = 3 };

int TableIndex(Channel c) {
    switch (c) {
        case Channel::R: return kR;
        case Channel::Gr: return kGr;
        case Channel::Gb: return kGb;
        case Channel::B: return kB;
    }
    return kGr;
}

std::uint64_t Mix(std::uint64_t z) {
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// The sum of the four 16-bit fields of a hash.
std::uint32_t FieldSum(std::uint64_t h) {
    const std::uint64_t pairs = (h & 0x0000FFFF0000FFFFull) + ((h >> 16) & 0x0000FFFF0000FFFFull);
    return static_cast<std::uint32_t>((pairs & 0xFFFFFFFFull) + (pairs >> 32));
}

constexpr double kSqrt3 = 1.7320508075688772;

// About normal (mean 0, variance 1): the sum of four uniforms, the hash's
// four 16-bit fields. Their sum is taken in integers, which is exact and so
// the same as adding the uniforms one by one.
double Gauss(std::uint64_t h) { return (FieldSum(h) / 65536.0 - 2.0) * kSqrt3; }

std::uint8_t Byte(const std::vector<std::uint8_t>& m, std::size_t a) { return a < m.size() ? m[a] : 0; }
std::uint16_t Be16(const std::vector<std::uint8_t>& m, std::size_t a) {
    return static_cast<std::uint16_t>((Byte(m, a) << 8) | Byte(m, a + 1));
}

// The analogue gain of a 10-bit ISO value: straight in dB, bowed on some units.
double IsoGain(const UnitProfile& unit, int value) {
    const double u = value / 1023.0;
    return std::pow(10.0, (kGainDbPerLsb * value + unit.isoGainBowDb * 4 * u * (1 - u)) / 20.0);
}

// The 12-bit converter, and every digital stage after it: rounded, held in
// 0..4095. Held first, the value is truncated to its floor; without a branch.
double Digitise(double v) {
    return static_cast<double>(static_cast<int>(std::min(kFullScale, std::max(0.0, v + 0.5))));
}

int IsoValue(const CameraMemories& mem, int code) {
    code = std::clamp(code, 72, 108) & ~1;
    return (Be16(mem.ramConfig, static_cast<std::size_t>(kIsoTableBase + code)) & 0x1FF8) >> 3;
}

double ColourGain(const CameraMemories& mem, int group, int ch) {
    const std::uint16_t w = Be16(mem.ramConfig, static_cast<std::size_t>(kApertureTable + group * 8 + ch * 2));
    return std::clamp(w / 256.0, kColourGainMin, kColourGainMax);
}

// Aperture group of the gain table for an aperture value: AV1 (F1.4) .. AV4
// (F4), AV5 for F5.6 and smaller.
int ApertureGroup(double av) { return std::clamp(static_cast<int>(std::lround(av)), 1, 5) - 1; }

// Share of the wide-open colour shift that is left at AV 1 (F1.4), 2, 3, 4
// and 5 (F5.6), for red and for blue: full wide open, gone at F5.6, and in
// between as the steepest rays of the closing stop leave each colour's
// pixels. The aperture adjustment carries its F1.4 correction to F2 .. F4
// with the same shares, so that an adjusted unit is right at every aperture.
constexpr double kWideOpenRedShare[5] = {1.0, 0.6579, 0.2862, 0.1237, 0.0};
constexpr double kWideOpenBlueShare[5] = {1.0, 0.6786, 0.1241, 0.0011, 0.0};

// The share at any aperture value, straight between the whole stops.
double WideOpenWeight(const double (&share)[5], double av) {
    if (av <= 1.0) return share[0];
    if (av >= 5.0) return share[4];
    const int stop = static_cast<int>(av);  // 1..4
    const double f = av - stop;
    return share[stop - 1] + (share[stop] - share[stop - 1]) * f;
}

struct LensState {
    bool light = false;  // any light reaches the sensor
    double av = 0;
    double transmission = 0;
};

LensState Lens(const SimBench& bench, const ShootingConditions& cond) {
    switch (bench.lens) {
        case SIM_LENS_TOOL_F8: return {true, kToolLensAv, kToolLensTransmission};
        case SIM_LENS_50MM_F14: {
            // b = 0 leaves the lens at its own (wide-open) aperture.
            const double av = cond.p12 != 0 ? cond.p12 / 6.0 : kStandardLensMaxAv;
            return {true, std::clamp(av, kStandardLensMaxAv, kStandardLensMinAv), kStandardLensTransmission};
        }
        case SIM_LENS_NONE: return {true, 0.0, 1.0};  // open mount: all the light, no stop
        default: return {false, 0, 0};                // cap on
    }
}

struct Rgb {
    double r = 0, g = 0, b = 0;
};

// Exposure per colour in units of a correct exposure at ISO200.
Rgb SceneExposure(const UnitProfile& unit, const SimBench& bench, const Exposure& ex, const LensState& lens) {
    Rgb e;
    if (!lens.light) return e;
    const double tv = ex.conditions.p11 / 6.0;
    const double nd = bench.ndFilter > 0 ? bench.ndFilter : 0;
    const double ndLoss = bench.ndFilter > 0 ? kNdFilterLoss : 1.0;

    if (bench.light == SIM_LIGHT_VIEWER || bench.light == SIM_LIGHT_BOX) {
        const bool atSource = bench.closest != 0;
        const double lv = atSource ? bench.lightLevel : kRoomLv;
        const double amb = std::pow(2.0, lv - lens.av - tv - nd) * lens.transmission * ndLoss;
        // The colour bar chart is a transparency on the viewer's face: the
        // light box across the bench is not seen through it.
        ChartField f{1, 1, 1};
        const bool throughChart = atSource && bench.light == SIM_LIGHT_VIEWER;
        if (throughChart && bench.chart == SIM_CHART_RED) f = kRedField;
        if (throughChart && bench.chart == SIM_CHART_BLUE) f = kBlueField;
        e.r += amb * f.r;
        e.g += amb * f.g;
        e.b += amb * f.b;
    }

    // The flash lights the standard reflector, and only when popped up.
    const bool flashLights = bench.flashPoppedUp && bench.light == SIM_LIGHT_REFLECTOR;
    for (std::size_t i = 0; flashLights && i < ex.flashes.size(); ++i) {
        const FlashEmission& f = ex.flashes[i];
        const bool pre = f.kind == FlashKind::Pre;
        const double gn = pre ? unit.preGuideNumber : unit.mainGuideNumber;
        const int quench = f.level - (pre ? kPreFlashRatedLevel : kMainFlashRatedLevel) + f.adj;
        const double d = std::max(bench.subjectDistanceM, 0.1);
        const double fnum = std::pow(std::sqrt(2.0), lens.av);
        const double charge = f.volts / unit.flashRatedVolts;
        const double scatter = 1.0 + unit.flashScatter * Gauss(Mix(ex.seed ^ (0xF1A5F1A5ull + i)));
        // Guide number: correct exposure at ISO100 when F = GN / d; ISO200 gains a factor 2.
        double ef = std::pow(gn * std::sqrt(2.0) / (d * fnum), 2.0) * std::pow(2.0, quench / 24.0) * charge * charge *
                    (lens.transmission / kStandardLensTransmission) * std::max(scatter, 0.0) * ndLoss *
                    std::pow(2.0, -nd);
        e.r += ef * kFlashRed;
        e.g += ef;
        e.b += ef * kFlashBlue;
    }
    return e;
}

// What turns a sample's noise into its value: the level before the noise,
// the noise's sigma, the line crawl offset and the colour gain.
struct Stages {
    double level = 0, sigma = 0, lineCrawl = 0, colour = 0;
};

// Noise and the clamped black are analogue; the converter clips; the line
// crawl correction and the colour gains work on what it read.
std::uint16_t Render(const Stages& s, std::uint64_t noiseKey) {
    const double adc = Digitise(s.level + s.sigma * Gauss(Mix(noiseKey)));
    return static_cast<std::uint16_t>(Digitise((adc + s.lineCrawl) * s.colour));
}

#if defined(__SSE2__)
// Render for neighbouring samples in pairs, one in each lane: the same
// operations in the same order, so the same values, at half the cost of
// the arithmetic. `a` is the first sample's stages, `b` its neighbour's.
// Returns how many of the n samples it rendered: all the pairs.
int RenderPairs(const Stages& a, const Stages& b, std::uint64_t rowSeed, int x, int n, std::uint16_t* out) {
    const __m128d level = _mm_set_pd(b.level, a.level);
    const __m128d sigma = _mm_set_pd(b.sigma, a.sigma);
    const __m128d lineCrawl = _mm_set_pd(b.lineCrawl, a.lineCrawl);
    const __m128d colour = _mm_set_pd(b.colour, a.colour);
    const __m128d fieldUnit = _mm_set1_pd(1.0 / 65536.0), two = _mm_set1_pd(2.0), sqrt3 = _mm_set1_pd(kSqrt3);
    const __m128d half = _mm_set1_pd(0.5), zero = _mm_setzero_pd(), full = _mm_set1_pd(kFullScale);
    auto digitise = [&](__m128d v) {
        return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(_mm_add_pd(v, half), zero), full));
    };
    int i = 0;
    for (; i + 2 <= n; i += 2) {
        const auto s0 = static_cast<int>(FieldSum(Mix(rowSeed ^ static_cast<std::uint32_t>(x + i))));
        const auto s1 = static_cast<int>(FieldSum(Mix(rowSeed ^ static_cast<std::uint32_t>(x + i + 1))));
        const __m128d sums = _mm_cvtepi32_pd(_mm_set_epi32(0, 0, s1, s0));
        const __m128d gauss = _mm_mul_pd(_mm_sub_pd(_mm_mul_pd(sums, fieldUnit), two), sqrt3);
        const __m128d adc = _mm_cvtepi32_pd(digitise(_mm_add_pd(level, _mm_mul_pd(sigma, gauss))));
        const __m128i v = digitise(_mm_mul_pd(_mm_add_pd(adc, lineCrawl), colour));
        out[i] = static_cast<std::uint16_t>(_mm_cvtsi128_si32(v));
        out[i + 1] = static_cast<std::uint16_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 4)));
    }
    return i;
}
#endif

class FieldPicture : public Picture {
public:
    // Per table channel: the analogue level at the converter (after the ISO
    // gain), and the digital colour gain. Per line crawl band and channel:
    // the digital line crawl offset.
    double analogue[4] = {};
    double lineCrawl[3][4] = {};
    double colour[4] = {1, 1, 1, 1};
    double pedestal = 0;
    double readNoise2 = 0;
    double shotPerLsb = 0;
    double hotScale = 0;
    std::uint64_t seed = 0;
    std::map<std::uint32_t, double> hot;  // by y * kSensorWidth + x, so that a row's are together

    std::uint16_t Sample(int x, int y) const override {
        if (x < 0 || y < 0 || x >= kSensorWidth || y >= kSensorHeight) return 0;
        const auto it = hot.find(Key(x, y));
        return Render(Stage(x, y, it == hot.end() ? 0.0 : it->second), RowSeed(y) ^ static_cast<std::uint32_t>(x));
    }

    // The samples of a row share their band, and each column parity its
    // channel: the stages are worked out once per parity, and only the
    // white defects of the row once each.
    void Row(int x, int y, int n, std::uint16_t* out) const override {
        if (y < 0 || y >= kSensorHeight || x < 0 || n > kSensorWidth - x) {
            Picture::Row(x, y, n, out);
            return;
        }
        const Stages parity[2] = {Stage(x & ~1, y, 0.0), Stage(x | 1, y, 0.0)};
        const Stages& first = parity[x & 1];
        const Stages& second = parity[(x + 1) & 1];
        const std::uint64_t rowSeed = RowSeed(y);
        int i = 0;
#if defined(__SSE2__)
        i = RenderPairs(first, second, rowSeed, x, n, out);
#endif
        for (; i < n; ++i) out[i] = Render(i % 2 == 0 ? first : second, rowSeed ^ static_cast<std::uint32_t>(x + i));
        for (auto it = hot.lower_bound(Key(x, y)); it != hot.end() && it->first < Key(x, y) + n; ++it) {
            const int hx = static_cast<int>(it->first % kSensorWidth);
            out[hx - x] = Render(Stage(hx, y, it->second), rowSeed ^ static_cast<std::uint32_t>(hx));
        }
    }

private:
    static std::uint32_t Key(int x, int y) { return static_cast<std::uint32_t>(y * kSensorWidth + x); }
    std::uint64_t RowSeed(int y) const { return seed ^ (static_cast<std::uint64_t>(y) << 32); }

    Stages Stage(int x, int y, double hotLevel) const {
        const int band = y * 3 / kSensorHeight;
        const int ch = TableIndex(ChannelAt(x, y));
        const double v = analogue[ch] + hotLevel * hotScale;  // the colour gains below reach defects too
        return {v + pedestal, std::sqrt(readNoise2 + shotPerLsb * std::max(v, 0.0)), lineCrawl[band][ch], colour[ch]};
    }
};

// The white defects of the unit that the camera's correction does not hide
// (the ones in the CCD EEPROM defect table are replaced by their neighbours).
void PlaceHotPixels(const UnitProfile& unit, const CameraMemories& mem, FieldPicture& pic) {
    for (const auto& hp : unit.hotPixels) {
        if (hp.x < 0 || hp.y < 0 || hp.x >= kSensorWidth || hp.y >= kSensorHeight) continue;
        pic.hot[static_cast<std::uint32_t>(hp.y * kSensorWidth + hp.x)] += hp.level;
    }
    for (int i = 0; i < unit.randomHotPixels; ++i) {
        const std::uint64_t h = Mix(unit.seed * 0x100000001B3ull + static_cast<std::uint64_t>(i) + 0xD15EA5E);
        const int x = 1 + static_cast<int>(h % (kSensorWidth - 1));
        const int y = static_cast<int>((h >> 24) % kSensorHeight);
        const double lv = 200.0 + static_cast<double>((h >> 48) % 700);
        pic.hot[static_cast<std::uint32_t>(y * kSensorWidth + x)] += lv;
    }
    const auto& ee = mem.ccdEeprom;
    const int rCount = std::min<int>(Be16(ee, kDefectTable), kMaxDefectEntries);
    const int bCount = std::min<int>(Be16(ee, kDefectTable + 2), kMaxDefectEntries);
    for (int i = 0; i < rCount + bCount; ++i) {
        const std::size_t a = static_cast<std::size_t>(kDefectTable + 6 + 4 * i);
        if (a + 4 > ee.size()) break;
        const int v = Be16(ee, a) & 0x0FFF;
        const int col = Be16(ee, a + 2) - 66;
        const int row = 2 * v - (i < rCount ? 6 : 5);
        if (col >= 0 && row >= 0 && col < kSensorWidth && row < kSensorHeight)
            pic.hot.erase(static_cast<std::uint32_t>(row * kSensorWidth + col));
    }
}

}  // namespace

void Picture::Row(int x, int y, int n, std::uint16_t* out) const {
    for (int i = 0; i < n; ++i) out[i] = Sample(x + i, y);
}

std::shared_ptr<const Picture> TakePicture(const UnitProfile& unit, const SimBench& bench, const CameraMemories& mem,
                                           const Exposure& exposure) {
    auto pic = std::make_shared<FieldPicture>();
    const LensState lens = Lens(bench, exposure.conditions);
    const Rgb e = SceneExposure(unit, bench, exposure, lens);

    // Sensor at 0 dB: colour response, with the wide-open colour shift.
    const double wR = lens.light ? WideOpenWeight(kWideOpenRedShare, lens.av) : 0.0;
    const double wB = lens.light ? WideOpenWeight(kWideOpenBlueShare, lens.av) : 0.0;
    const double sR = unit.greenResponse * unit.redResponse * (1 + (unit.wideOpenRed - 1) * wR) * e.r;
    const double sG = unit.greenResponse * e.g;
    const double sB = unit.greenResponse * unit.blueResponse * (1 + (unit.wideOpenBlue - 1) * wB) * e.b;

    // Analogue ISO gain of the sensitivity code.
    const double g = IsoGain(unit, IsoValue(mem, exposure.conditions.p5));
    const double gFactory = IsoGain(unit, unit.factoryIso200);
    const double R = sR * g;
    const double B = sB * g;
    pic->analogue[kR] = R;
    pic->analogue[kB] = B;
    pic->analogue[kGr] = (sG + unit.crosstalk * sR) * g;
    pic->analogue[kGb] = (sG + unit.crosstalk * unit.crosstalkSkew * sB) * g;

    const int group = ApertureGroup(lens.light ? lens.av : 6.0);
    for (int ch = 0; ch < 4; ++ch) pic->colour[ch] = ColourGain(mem, group, ch);

    // The pedestal the converter sees: the optical black is clamped before it
    // (what is left shows), unless SetOb 1 (Exposure::obClamp) stops that.
    pic->pedestal = exposure.obClamp ? unit.blackLevel : unit.clampResidual;

    // Line crawl correction, per band: byte 2 of the band's group for Gr,
    // byte 3 for Gb, times the blue-minus-red contrast of the neighbours as
    // the converter read them (a saturated neighbour reads full scale).
    const double contrast = Digitise(B + pic->pedestal) - Digitise(R + pic->pedestal);
    for (int band = 0; band < 3; ++band) {
        const std::size_t a = static_cast<std::size_t>(kLineCrawlBlock + 4 * band);
        pic->lineCrawl[band][kGr] = Byte(mem.ramConfig, a + 2) / 4096.0 * contrast;
        pic->lineCrawl[band][kGb] = -Byte(mem.ramConfig, a + 3) / 4096.0 * contrast;
    }

    pic->readNoise2 = unit.readNoise * unit.readNoise;
    pic->shotPerLsb = unit.shotNoise * g / gFactory;
    const double seconds = std::pow(2.0, -exposure.conditions.p11 / 6.0);
    pic->hotScale = seconds / kDefectReferenceSeconds * g / gFactory;
    pic->seed = Mix(exposure.seed ^ Mix(unit.seed));
    PlaceHotPixels(unit, mem, *pic);
    return pic;
}

std::uint16_t BatteryAdReading(const UnitProfile& unit, const SimBench& bench, std::uint64_t seed) {
    const double volts = bench.power == SIM_POWER_BATTERY_TOOL ? bench.supplyVolts : unit.acAdapterVolts;
    const int jitter = static_cast<int>(Mix(seed ^ Mix(unit.seed + 37)) % 3) - 1;  // one LSB either way
    const double reading = std::floor(unit.adOffset + unit.adSlope * volts + 0.5) + jitter;
    return static_cast<std::uint16_t>(std::clamp(reading, 0.0, 1023.0));
}

double ConsumptionCurrent(const UnitProfile& unit, const SimBench& bench, bool ccdPowerOn) {
    // The ammeter sits in the regulated supply's line, which feeds the battery tool only.
    if (bench.power != SIM_POWER_BATTERY_TOOL || bench.supplyVolts <= 0) return 0.0;
    double amps = 0;
    if (!bench.mainSwitchOn) {
        amps = 0.002;  // standby
    } else if (bench.supplyVolts < 5.5) {
        amps = 0.01;   // below the converter's input range: the camera does not run
    } else {
        const double watts = unit.basePowerW + (ccdPowerOn ? unit.ccdPowerW : 0.0);
        amps = watts / (bench.supplyVolts * unit.converterEfficiency) + unit.quiescentA;
    }
    return std::floor(amps * 1000.0 + 0.5) / 1000.0;  // the meter shows milliamperes
}

}  // namespace sim
