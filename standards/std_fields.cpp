#include "standards/std_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <type_traits>

#include "res/resource.h"

namespace {

using S = StandardData;
using D = const StandardData&;
using Get = std::function<double(D)>;
using Ids = res::StandardIds;

// The sensor as the area measurement addresses it: the camera link's
// kSensorColumns and kSensorRows, copied because the standards do not sit
// on the link; a test holds the copy to the link's.
constexpr double kColumns = 3034;
constexpr double kRows = 2024;
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
Get FlashToleranceHigh(std::uint32_t S::*target) {
    return [target](D d) {
        const double t = d.*target;
        return t > 0 ? std::log2(kFullScale / t) : 0.0;
    };
}

template <class T>
Get Field(T S::*member) {
    return [member](D d) { return static_cast<double>(d.*member); };
}

Get Const(double v) {
    return [v](D) { return v; };
}

template <class T>
constexpr StdType TypeOf() {
    if constexpr (std::is_same_v<T, double>)
        return StdType::Real;
    else if constexpr (std::is_same_v<T, std::uint32_t>)
        return StdType::Unsigned;
    else if constexpr (std::is_same_v<T, std::uint8_t>)
        return StdType::Byte;
    else
        return StdType::Text;
}

// The value a field holds, as the range check and the items see it.
template <class T>
double ValueOf(const T& v) {
    if constexpr (std::is_same_v<T, std::string>)
        return static_cast<double>(AtoiClamped(v));
    else
        return static_cast<double>(v);
}

class Builder {
public:
    // The range of the row just added: From and To include their bound,
    // Above and Below exclude it.
    class Row {
    public:
        explicit Row(std::vector<StandardField>& fields) : m_fields(fields), m_index(fields.size() - 1) {}
        Row& From(Get low) { return Low(std::move(low), false); }
        Row& From(double low) { return From(Const(low)); }
        Row& Above(Get low) { return Low(std::move(low), true); }
        Row& Above(double low) { return Above(Const(low)); }
        Row& To(Get high) { return High(std::move(high), false); }
        Row& To(double high) { return To(Const(high)); }
        Row& Below(double high) { return High(Const(high), true); }
        // A byte that holds a signed value's low 8 bits.
        Row& Signed() {
            Get byte = std::move(Entry().value);
            Entry().value = [byte](D d) {
                const double v = byte(d);
                return v >= 128 ? v - 256 : v;
            };
            return *this;
        }

    private:
        StandardField& Entry() { return m_fields[m_index]; }
        Row& Low(Get low, bool exclusive) {
            Entry().low = std::move(low);
            Entry().lowExclusive = exclusive;
            return *this;
        }
        Row& High(Get high, bool exclusive) {
            Entry().high = std::move(high);
            Entry().highExclusive = exclusive;
            return *this;
        }
        std::vector<StandardField>& m_fields;
        std::size_t m_index;
    };

    // The fields that follow are of this line and edited in this window.
    void Line(const char* keyword, StandardWindow window = StandardWindow::Standards) {
        m_line = keyword;
        m_window = window;
    }

    template <class T>
    Row Add(std::string name, T S::*member, const char* format, int controlId) {
        return Add<T>(std::move(name), format, controlId, [member](S& d) { return StdFieldRef(&(d.*member)); },
                      [member](D d) { return ValueOf(d.*member); });
    }
    template <class T, std::size_t N>
    Row Add(std::string name, std::array<T, N> S::*array, std::size_t i, const char* format, int controlId) {
        return Add<T>(std::move(name), format, controlId, [array, i](S& d) { return StdFieldRef(&(d.*array)[i]); },
                      [array, i](D d) { return ValueOf((d.*array)[i]); });
    }

    std::vector<StandardField> m_fields;

private:
    template <class T>
    Row Add(std::string name, const char* format, int controlId, std::function<StdFieldRef(S&)> locate, Get value) {
        m_fields.push_back({m_line, std::move(name), TypeOf<T>(), format, m_window, controlId, std::move(locate),
                          std::move(value)});
        return Row(m_fields);
    }

    const char* m_line = "";
    StandardWindow m_window = StandardWindow::Standards;
};

std::vector<StandardField> Build() {
    Builder b;

    // BC: the voltages are not used by the item; the A/D window is two bytes
    // wide; a current pair lies inside what the camera's byte can store.
    b.Line("BC");
    b.Add("bcAdjustVoltage", &S::bcAdjustVoltage, "%2.2f  ", Ids::IDC_BC_ADJUST_VOLTAGE).Above(0).To(kSupplyMax);
    b.Add("bcCheckVoltage", &S::bcCheckVoltage, "%2.2f ", Ids::IDC_BC_CHECK_VOLTAGE).Above(0).To(kSupplyMax);
    b.Add("bcAdMin", &S::bcAdMin, "%d  ", Ids::IDC_BC_AD_MIN).From(0).To(Field(&S::bcAdMax));
    b.Add("bcAdMax", &S::bcAdMax, "%d ", Ids::IDC_BC_AD_MAX).From(Field(&S::bcAdMin)).To(65535);
    struct Pair {
        const char* name;  // without Min and Max
        double S::*min;
        double S::*max;
        int minId, maxId;
        const char* maxFormat;
    };
    for (const Pair& p : {Pair{"current72Off", &S::current72OffMin, &S::current72OffMax, Ids::IDC_CURRENT72_OFF_MIN,
                               Ids::IDC_CURRENT72_OFF_MAX, "%2.2f "},
                          Pair{"current77Off", &S::current77OffMin, &S::current77OffMax, Ids::IDC_CURRENT77_OFF_MIN,
                               Ids::IDC_CURRENT77_OFF_MAX, "%2.2f "},
                          Pair{"current72On", &S::current72OnMin, &S::current72OnMax, Ids::IDC_CURRENT72_ON_MIN,
                               Ids::IDC_CURRENT72_ON_MAX, "%2.2f "},
                          Pair{"current77On", &S::current77OnMin, &S::current77OnMax, Ids::IDC_CURRENT77_ON_MIN,
                               Ids::IDC_CURRENT77_ON_MAX, "%2.2f\r\n"}}) {
        b.Add(p.name + std::string("Min"), p.min, "%2.2f  ", p.minId).From(0).To(Field(p.max));
        b.Add(p.name + std::string("Max"), p.max, p.maxFormat, p.maxId).From(Field(p.min)).To(kCurrentMax);
    }

    // LINE: a limit is a percentage of the green level, and one of 100 % or
    // more passes any field; an area lies inside the sensor.
    b.Line("LINE");
    struct Area {
        const char* prefix;
        double S::*limit;
        std::uint32_t S::*x;
        std::uint32_t S::*width;
        std::uint32_t S::*y;
        std::uint32_t S::*height;
        int limitId, xId, widthId, yId, heightId;
        const char* heightFormat;
    };
    for (const Area& a : {Area{"lineRed", &S::lineRedLimit, &S::lineRedX, &S::lineRedWidth, &S::lineRedY,
                               &S::lineRedHeight, Ids::IDC_LINE_RED_LIMIT, Ids::IDC_LINE_RED_X,
                               Ids::IDC_LINE_RED_WIDTH, Ids::IDC_LINE_RED_Y, Ids::IDC_LINE_RED_HEIGHT, "%d "},
                          Area{"lineBlue", &S::lineBlueLimit, &S::lineBlueX, &S::lineBlueWidth, &S::lineBlueY,
                               &S::lineBlueHeight, Ids::IDC_LINE_BLUE_LIMIT, Ids::IDC_LINE_BLUE_X,
                               Ids::IDC_LINE_BLUE_WIDTH, Ids::IDC_LINE_BLUE_Y, Ids::IDC_LINE_BLUE_HEIGHT, "%d\r\n"}}) {
        const std::string p = a.prefix;
        const auto width = a.width;
        const auto height = a.height;
        b.Add(p + "Limit", a.limit, "%3.5f  ", a.limitId).Above(0).Below(100);
        b.Add(p + "X", a.x, "%d  ", a.xId).From(0).To([width](D d) { return kColumns - d.*width; });
        b.Add(p + "Width", a.width, "%d  ", a.widthId).From(1).To(kColumns);
        b.Add(p + "Y", a.y, "%d  ", a.yId).From(0).To([height](D d) { return kRows - d.*height; });
        b.Add(p + "Height", a.height, a.heightFormat, a.heightId).From(1).To(kRows);
    }

    // SENS_STD: the level window below full scale; the reference inside it,
    // with its ISO1600 target (8 times) below full scale too; each tolerance
    // positive, with its window at ISO1600 below full scale; each initial
    // value a 10-bit gain setting.
    b.Line("SENS_STD");
    b.Add("sensLevelMin", &S::sensLevelMin, "%4d  ", Ids::IDC_SENS_LEVEL_MIN).From(1).To(Field(&S::sensLevelMax));
    b.Add("sensLevelMax", &S::sensLevelMax, "%4d ", Ids::IDC_SENS_LEVEL_MAX)
        .From(Field(&S::sensLevelMin))
        .To(kBelowFullScale);
    b.Add("sensBaseline", &S::sensBaseline, "%4d  ", Ids::IDC_SENS_BASELINE)
        .From(Field(&S::sensLevelMin))
        .To([](D d) { return std::min<double>(d.sensLevelMax, std::floor(kBelowFullScale / 8)); });
    b.Add("sensAdjustTolerance", &S::sensAdjustTolerance, "%2.2f ", Ids::IDC_SENS_ADJUST_TOLERANCE)
        .Above(0)
        .To(SensToleranceHigh);
    b.Add("sensCheckTolerance", &S::sensCheckTolerance, "%2.2f ", Ids::IDC_SENS_CHECK_TOLERANCE)
        .Above(0)
        .To(SensToleranceHigh);
    for (std::size_t i = 0; i < kSensInitialCount; ++i) {
        const char* format = i + 1 < kSensInitialCount ? "%s " : "%s\r\n";
        b.Add("sensInitial[" + std::to_string(i) + "]", &S::sensInitial, i, format,
              Ids::IDC_SENS_INITIAL + static_cast<int>(i))
            .From(0)
            .To(1023);
    }

    // SENS_RATIO_STD: one to five pictures (the window's own label), each
    // reference inside its window, the windows inside what the ratio item
    // can measure, tolerances positive and below 100 %, the initial values
    // gains.
    b.Line("SENS_RATIO_STD");
    b.Add("ratioSampleCount", &S::ratioSampleCount, "%d  ", Ids::IDC_RATIO_SAMPLE_COUNT).From(1).To(5);
    b.Add("ratioGrBaseline", &S::ratioGrBaseline, "%2.5f ", Ids::IDC_RATIO_GR_BASELINE)
        .From(Field(&S::ratioGrMin))
        .To(Field(&S::ratioGrMax));
    b.Add("ratioGbBaseline", &S::ratioGbBaseline, "%2.5f ", Ids::IDC_RATIO_GB_BASELINE)
        .From(Field(&S::ratioGbMin))
        .To(Field(&S::ratioGbMax));
    b.Add("ratioGrMin", &S::ratioGrMin, "%2.5f ", Ids::IDC_RATIO_GR_MIN).From(kRatioLow).To(Field(&S::ratioGrMax));
    b.Add("ratioGrMax", &S::ratioGrMax, "%2.5f ", Ids::IDC_RATIO_GR_MAX).From(Field(&S::ratioGrMin)).To(kRatioHigh);
    b.Add("ratioGbMin", &S::ratioGbMin, "%2.5f ", Ids::IDC_RATIO_GB_MIN).From(kRatioLow).To(Field(&S::ratioGbMax));
    b.Add("ratioGbMax", &S::ratioGbMax, "%2.5f ", Ids::IDC_RATIO_GB_MAX).From(Field(&S::ratioGbMin)).To(kRatioHigh);
    b.Add("ratioGrTolerance", &S::ratioGrTolerance, "%2.5f ", Ids::IDC_RATIO_GR_TOLERANCE).Above(0).Below(100);
    b.Add("ratioGbTolerance", &S::ratioGbTolerance, "%2.5f ", Ids::IDC_RATIO_GB_TOLERANCE).Above(0).Below(100);
    b.Add("ratioGrInitial", &S::ratioGrInitial, "%2.5f ", Ids::IDC_RATIO_GR_INITIAL).From(kGainLow).To(kGainHigh);
    b.Add("ratioGbInitial", &S::ratioGbInitial, "%2.5f \r\n", Ids::IDC_RATIO_GB_INITIAL).From(kGainLow).To(kGainHigh);

    // PGAIN: every coefficient is a gain or multiplies one; the F1.4
    // tolerance as the ratio tolerances.
    b.Line("PGAIN", StandardWindow::ApertureSpec);
    static const char* const kApertures[] = {"F1.4", "F2", "F2.8", "F4", "F5.6"};
    static const char* const kChannels[] = {"R", "Gr", "Gb", "B"};
    for (int a = 0; a < 5; ++a)
        for (int g = 0; g < 4; ++g) {
            const auto i = static_cast<std::size_t>(4 * a + g);
            b.Add("pgain[" + std::to_string(i) + "] " + kApertures[a] + " " + kChannels[g], &S::pgain, i, "%2.5f ",
                  res::ApertureSpecIds::IDC_GAIN[a][g])
                .From(kGainLow)
                .To(kGainHigh);
        }
    b.Add("pgainF14Tolerance", &S::pgainF14Tolerance, "%2.5f\r\n", res::ApertureSpecIds::IDC_F14_TOLERANCE)
        .Above(0)
        .Below(100);

    // INSIDE_SB: the initial values are signed bytes inside the ranges the
    // item corrects within; a target below full scale; a tolerance positive
    // and small enough that a saturated picture is never on target; the
    // charge voltage is sent as tenths of a volt in 16 bits.
    b.Line("INSIDE_SB");
    b.Add("sbPreInitial", &S::sbPreInitial, "%d ", Ids::IDC_SB_PRE_INITIAL).Signed().From(-30).To(30);
    b.Add("sbMainInitial", &S::sbMainInitial, "%d ", Ids::IDC_SB_MAIN_INITIAL).Signed().From(-50).To(10);
    b.Add("sbPreTarget", &S::sbPreTarget, "%d ", Ids::IDC_SB_PRE_TARGET).From(1).To(kBelowFullScale);
    b.Add("sbMainTarget", &S::sbMainTarget, "%d ", Ids::IDC_SB_MAIN_TARGET).From(1).To(kBelowFullScale);
    b.Add("sbPreTolerance", &S::sbPreTolerance, "%2.3f ", Ids::IDC_SB_PRE_TOLERANCE)
        .Above(0)
        .To(FlashToleranceHigh(&S::sbPreTarget));
    b.Add("sbMainTolerance", &S::sbMainTolerance, "%2.3f ", Ids::IDC_SB_MAIN_TOLERANCE)
        .Above(0)
        .To(FlashToleranceHigh(&S::sbMainTarget));
    b.Add("sbChargeVoltage", &S::sbChargeVoltage, "%4.1f \r\n", Ids::IDC_SB_CHARGE_VOLTAGE).Above(0).To(6553.5);

    // CCD_DEFECT: a level above the 50 LSB dark mean the item accepts and
    // below full scale (where nothing is ever found); no more entries than
    // the table has room for.
    b.Line("CCD_DEFECT");
    b.Add("defectLevel", &S::defectLevel, "%d ", Ids::IDC_DEFECT_LEVEL).Above(50).To(kBelowFullScale);
    b.Add("defectMaxWrites", &S::defectMaxWrites, "%d\r\n", Ids::IDC_DEFECT_MAX_WRITES).From(0).To(kDefectEntriesMax);
    return b.m_fields;
}

template <class T>
const StandardField& RowOf(T S::*member) {
    // The row whose field lies where the member does.
    StandardData probe;
    for (const StandardField& f : StandardFields()) {
        const StdFieldRef ref = f.At(probe);
        if (const auto* p = std::get_if<T*>(&ref); p && *p == &(probe.*member)) return f;
    }
    // Every member of the record has its row.
    std::abort();
}

}  // namespace

StdFieldConstRef StandardField::At(const StandardData& d) const {
    // The same field, only read.
    return std::visit([](auto* p) { return StdFieldConstRef(p); }, locate(const_cast<StandardData&>(d)));
}

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

const StandardField& StandardFieldOf(double S::*member) { return RowOf(member); }
const StandardField& StandardFieldOf(std::uint32_t S::*member) { return RowOf(member); }
const StandardField& StandardFieldOf(std::uint8_t S::*member) { return RowOf(member); }

const StandardField* StandardFieldOfControl(StandardWindow window, int id) {
    for (const StandardField& f : StandardFields())
        if (f.window == window && f.controlId == id) return &f;
    return nullptr;
}
