#include "standards/standard_ranges.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "platform/format.h"
#include "res/templates.h"

namespace {

using D = const StandardData&;
using Get = std::function<double(D)>;

// The sensor as the area measurement addresses it, and its samples.
constexpr double kSensorColumns = 3034;
constexpr double kSensorRows = 2024;
constexpr double kFullScale = 4095;  // 12-bit: a level at full scale is a saturated one
constexpr double kBelowFullScale = kFullScale - 1;

// An aperture or channel gain: unsigned 8.8 fixed point, written as
// truncate(gain x 256 + 0.5); it must not be 0 and must fit the word.
constexpr double kGainLow = 1.0 / 256;
constexpr double kGainHigh = 65535.0 / 256;

// The ratio item judges G in 300..2500 and R and B in 100..1500: a G/R or
// G/B ratio it can measure lies between these.
constexpr double kRatioLow = 300.0 / 1500;
constexpr double kRatioHigh = 2500.0 / 100;

// The CCD EEPROM defect table starts at 376 and meets the stored aperture
// gain table at 1936: room for 390 entries of 4 bytes.
constexpr double kDefectEntriesMax = (1936 - 376) / 4;

// A consumption current is stored in one byte of 10 mA.
constexpr double kCurrentMax = 2.55;
// A bench supply setting for the camera's 7.2 V battery input; the battery
// check itself asks for 7.2, 7.7 and 9 V.
constexpr double kSupplyMax = 12;

Get Const(double v) {
    return [v](D) { return v; };
}

// The rounding of the items: floor(x + 0.5).
double Round(double x) { return std::floor(x + 0.5); }

// The highest tolerance (percent) whose window around the ISO1600 target of
// the sensitivity item (8 x the reference, rounded) stays below full scale,
// so that a saturated picture can never be inside it.
double SensToleranceHigh(D d) {
    const double target = Round(8.0 * d.sensBaseline);
    if (target <= 0) return 100;
    return std::min(100.0, (kBelowFullScale - target) / target * 100);
}

// The highest flash tolerance (EV) for which a saturated picture is not on
// target: |log2(target / 4095)| must reach the tolerance.
Get FlashToleranceHigh(std::uint32_t StandardData::*target) {
    return [target](D d) {
        const double t = d.*target;
        return t > 0 ? std::log2(kFullScale / t) : 0.0;
    };
}

struct Builder {
    std::vector<StandardField> fields;

    StandardField& Add(const char* line, std::string name, int id, Get value, Get low, Get high,
                       StandardWindow window = StandardWindow::Standards) {
        fields.push_back({line, std::move(name), window, id, std::move(value), std::move(low), std::move(high)});
        return fields.back();
    }
    // A field whose value must be above its low bound.
    StandardField& AddAbove(const char* line, std::string name, int id, Get value, Get low, Get high,
                            StandardWindow window = StandardWindow::Standards) {
        StandardField& f = Add(line, std::move(name), id, std::move(value), std::move(low), std::move(high), window);
        f.lowExclusive = true;
        return f;
    }
};

template <class T>
Get Field(T StandardData::*member) {
    return [member](D d) { return static_cast<double>(d.*member); };
}

// A byte the record holds for a signed value.
Get Signed(std::uint8_t StandardData::*member) {
    return [member](D d) { return static_cast<double>(static_cast<std::int8_t>(d.*member)); };
}

std::vector<StandardField> Build() {
    Builder b;
    using S = StandardData;

    // BC: the voltages are not used by the item; the A/D window is two bytes
    // wide; a current pair lies inside what the camera's byte can store.
    b.AddAbove("BC", "bcAdjustVoltage", 1096, Field(&S::bcAdjustVoltage), Const(0), Const(kSupplyMax));
    b.AddAbove("BC", "bcCheckVoltage", 1097, Field(&S::bcCheckVoltage), Const(0), Const(kSupplyMax));
    b.Add("BC", "bcAdMin", 1098, Field(&S::bcAdMin), Const(0), Field(&S::bcAdMax));
    b.Add("BC", "bcAdMax", 1099, Field(&S::bcAdMax), Field(&S::bcAdMin), Const(65535));
    struct Pair {
        const char* name;  // without Min and Max
        double S::*min;
        double S::*max;
        int minId;  // the Max control follows
    };
    for (const Pair& p : {Pair{"current72Off", &S::current72OffMin, &S::current72OffMax, 1100},
                          Pair{"current77Off", &S::current77OffMin, &S::current77OffMax, 1102},
                          Pair{"current72On", &S::current72OnMin, &S::current72OnMax, 1104},
                          Pair{"current77On", &S::current77OnMin, &S::current77OnMax, 1106}}) {
        b.Add("BC", p.name + std::string("Min"), p.minId, Field(p.min), Const(0), Field(p.max));
        b.Add("BC", p.name + std::string("Max"), p.minId + 1, Field(p.max), Field(p.min), Const(kCurrentMax));
    }

    // LINE: a limit is a percentage of the green level, and one of 100 % or
    // more passes any field; an area lies inside the sensor.
    struct Area {
        const char* prefix;
        double S::*limit;
        std::uint32_t S::*x;
        std::uint32_t S::*width;
        std::uint32_t S::*y;
        std::uint32_t S::*height;
        int firstId;  // limit; then x, width, y, height
    };
    for (const Area& a : {Area{"lineRed", &S::lineRedLimit, &S::lineRedX, &S::lineRedWidth, &S::lineRedY,
                               &S::lineRedHeight, 1051},
                          Area{"lineBlue", &S::lineBlueLimit, &S::lineBlueX, &S::lineBlueWidth, &S::lineBlueY,
                               &S::lineBlueHeight, 1056}}) {
        const std::string p = a.prefix;
        b.AddAbove("LINE", p + "Limit", a.firstId, Field(a.limit), Const(0), Const(100)).highExclusive = true;
        const auto width = a.width;
        const auto height = a.height;
        b.Add("LINE", p + "X", a.firstId + 1, Field(a.x), Const(0),
              [width](D d) { return kSensorColumns - d.*width; });
        b.Add("LINE", p + "Width", a.firstId + 2, Field(a.width), Const(1), Const(kSensorColumns));
        b.Add("LINE", p + "Y", a.firstId + 3, Field(a.y), Const(0), [height](D d) { return kSensorRows - d.*height; });
        b.Add("LINE", p + "Height", a.firstId + 4, Field(a.height), Const(1), Const(kSensorRows));
    }

    // SENS_STD: the level window below full scale; the reference inside it,
    // with its ISO1600 target (8 times) below full scale too; each tolerance
    // positive, with its window at ISO1600 below full scale; each initial
    // value a 10-bit gain setting.
    b.Add("SENS_STD", "sensLevelMin", 1064, Field(&S::sensLevelMin), Const(1), Field(&S::sensLevelMax));
    b.Add("SENS_STD", "sensLevelMax", 1063, Field(&S::sensLevelMax), Field(&S::sensLevelMin), Const(kBelowFullScale));
    b.Add("SENS_STD", "sensBaseline", 1065, Field(&S::sensBaseline), Field(&S::sensLevelMin), [](D d) {
        return std::min<double>(d.sensLevelMax, std::floor(kBelowFullScale / 8));
    });
    b.AddAbove("SENS_STD", "sensAdjustTolerance", 1094, Field(&S::sensAdjustTolerance), Const(0), SensToleranceHigh);
    b.AddAbove("SENS_STD", "sensCheckTolerance", 1095, Field(&S::sensCheckTolerance), Const(0), SensToleranceHigh);
    for (std::size_t i = 0; i < kSensInitialCount; ++i)
        b.Add("SENS_STD", "sensInitial[" + std::to_string(i) + "]", 1075 + static_cast<int>(i),
              [i](D d) { return static_cast<double>(AtoiClamped(d.sensInitial[i])); }, Const(0), Const(1023));

    // SENS_RATIO_STD: one to five pictures (the window's own label), each
    // reference inside its window, the windows inside what the ratio item
    // can measure, tolerances positive and below 100 %, the initial values
    // gains.
    b.Add("SENS_RATIO_STD", "ratioSampleCount", 1046, Field(&S::ratioSampleCount), Const(1), Const(5));
    b.Add("SENS_RATIO_STD", "ratioGrBaseline", 1066, Field(&S::ratioGrBaseline), Field(&S::ratioGrMin),
          Field(&S::ratioGrMax));
    b.Add("SENS_RATIO_STD", "ratioGbBaseline", 1067, Field(&S::ratioGbBaseline), Field(&S::ratioGbMin),
          Field(&S::ratioGbMax));
    b.Add("SENS_RATIO_STD", "ratioGrMin", 1108, Field(&S::ratioGrMin), Const(kRatioLow), Field(&S::ratioGrMax));
    b.Add("SENS_RATIO_STD", "ratioGrMax", 1110, Field(&S::ratioGrMax), Field(&S::ratioGrMin), Const(kRatioHigh));
    b.Add("SENS_RATIO_STD", "ratioGbMin", 1109, Field(&S::ratioGbMin), Const(kRatioLow), Field(&S::ratioGbMax));
    b.Add("SENS_RATIO_STD", "ratioGbMax", 1111, Field(&S::ratioGbMax), Field(&S::ratioGbMin), Const(kRatioHigh));
    b.AddAbove("SENS_RATIO_STD", "ratioGrTolerance", 1068, Field(&S::ratioGrTolerance), Const(0), Const(100))
        .highExclusive = true;
    b.AddAbove("SENS_RATIO_STD", "ratioGbTolerance", 1070, Field(&S::ratioGbTolerance), Const(0), Const(100))
        .highExclusive = true;
    b.Add("SENS_RATIO_STD", "ratioGrInitial", 1061, Field(&S::ratioGrInitial), Const(kGainLow), Const(kGainHigh));
    b.Add("SENS_RATIO_STD", "ratioGbInitial", 1062, Field(&S::ratioGbInitial), Const(kGainLow), Const(kGainHigh));

    // PGAIN: every coefficient is a gain or multiplies one; the F1.4
    // tolerance as the ratio tolerances.
    static const char* const kApertures[] = {"F1.4", "F2", "F2.8", "F4", "F5.6"};
    static const char* const kChannels[] = {"R", "Gr", "Gb", "B"};
    for (int a = 0; a < 5; ++a)
        for (int g = 0; g < 4; ++g) {
            const auto i = static_cast<std::size_t>(4 * a + g);
            b.Add("PGAIN", "pgain[" + std::to_string(i) + "] " + kApertures[a] + " " + kChannels[g],
                  res::ApertureSpecGainId(a, g), [i](D d) { return d.pgain[i]; }, Const(kGainLow),
                  Const(kGainHigh), StandardWindow::ApertureSpec);
        }
    b.AddAbove("PGAIN", "pgainF14Tolerance", 1094, Field(&S::pgainF14Tolerance), Const(0), Const(100),
               StandardWindow::ApertureSpec)
        .highExclusive = true;

    // INSIDE_SB: the initial values are signed bytes inside the ranges the
    // item corrects within; a target below full scale; a tolerance positive
    // and small enough that a saturated picture is never on target; the
    // charge voltage is sent as tenths of a volt in 16 bits.
    b.Add("INSIDE_SB", "sbPreInitial", 1001, Signed(&S::sbPreInitial), Const(-30), Const(30));
    b.Add("INSIDE_SB", "sbMainInitial", 1002, Signed(&S::sbMainInitial), Const(-50), Const(10));
    b.Add("INSIDE_SB", "sbPreTarget", 1003, Field(&S::sbPreTarget), Const(1), Const(kBelowFullScale));
    b.Add("INSIDE_SB", "sbMainTarget", 1005, Field(&S::sbMainTarget), Const(1), Const(kBelowFullScale));
    b.AddAbove("INSIDE_SB", "sbPreTolerance", 1004, Field(&S::sbPreTolerance), Const(0),
               FlashToleranceHigh(&S::sbPreTarget));
    b.AddAbove("INSIDE_SB", "sbMainTolerance", 1036, Field(&S::sbMainTolerance), Const(0),
               FlashToleranceHigh(&S::sbMainTarget));
    b.AddAbove("INSIDE_SB", "sbChargeVoltage", 1028, Field(&S::sbChargeVoltage), Const(0), Const(6553.5));

    // CCD_DEFECT: a level above the 50 LSB dark mean the item accepts and
    // below full scale (where nothing is ever found); no more entries than
    // the table has room for.
    b.AddAbove("CCD_DEFECT", "defectLevel", 1037, Field(&S::defectLevel), Const(50), Const(kBelowFullScale));
    b.Add("CCD_DEFECT", "defectMaxWrites", 1032, Field(&S::defectMaxWrites), Const(0), Const(kDefectEntriesMax));
    return b.fields;
}

std::string Number(double v) { return platform::Format("%.6g", v); }

}  // namespace

bool StandardField::Holds(const StandardData& d) const {
    const double v = value(d), lo = low(d), hi = high(d);
    const bool aboveLow = lowExclusive ? v > lo : v >= lo;
    const bool belowHigh = highExclusive ? v < hi : v <= hi;
    return aboveLow && belowHigh;  // false for a value that is not a number
}

const std::vector<StandardField>& StandardFields() {
    static const std::vector<StandardField> fields = Build();
    return fields;
}

std::vector<StandardRangeFault> CheckStandardRanges(const StandardData& d,
                                                    const std::function<bool(const StandardField&)>& which) {
    std::vector<StandardRangeFault> faults;
    for (const StandardField& f : StandardFields())
        if (which(f) && !f.Holds(d)) faults.push_back({&f, f.value(d), f.low(d), f.high(d)});
    return faults;
}

std::vector<StandardRangeFault> CheckStandardRanges(const StandardData& d) {
    return CheckStandardRanges(d, [](const StandardField&) { return true; });
}

std::vector<StandardRangeFault> CheckStandardRanges(const StandardData& d, StandardWindow window) {
    return CheckStandardRanges(d, [window](const StandardField& f) { return f.window == window; });
}

std::string DescribeRangeFault(const StandardRangeFault& fault) {
    const StandardField& f = *fault.field;
    return platform::Format("%s %s = %s （%s%s %s%s）", f.line, f.name.c_str(), Number(fault.value).c_str(),
                            Number(fault.low).c_str(), f.lowExclusive ? "超" : "以上", Number(fault.high).c_str(),
                            f.highExclusive ? "未満" : "以下");
}

std::string DescribeRangeFaults(const std::vector<StandardRangeFault>& faults, std::size_t maxLines) {
    std::string text = kStdOutOfRange;
    for (std::size_t i = 0; i < faults.size() && i < maxLines; ++i) text += DescribeRangeFault(faults[i]) + "\r\n";
    if (faults.size() > maxLines)
        text += platform::Format("ほか %d 件\r\n", static_cast<int>(faults.size() - maxLines));
    return text;
}
