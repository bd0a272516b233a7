// The built-in unit profiles, profile files, and the memory contents a unit
// leaves the sensor factory with.

#include "sim/unit_profile.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <functional>
#include <map>
#include <sstream>

#include "platform/file_write.h"

namespace sim {
namespace {

UnitProfile Nominal() {
    UnitProfile u;
    u.name = "nominal";
    u.identification = "W73N000000001";
    u.seed = 0x5EED0001;
    // A few white defects as every sensor has them, among them one pair of
    // same-colour neighbours on one line.
    u.hotPixels = {{517, 301, 420},  {2210, 1500, 650}, {2212, 1500, 380}, {900, 1777, 300},
                   {1999, 640, 820}, {2800, 91, 260},   {133, 1901, 510},  {1620, 333, 275}};
    return u;
}

using Tweak = std::function<void(UnitProfile&)>;

struct BuiltIn {
    const char* name;
    const char* identification;
    Tweak tweak;
};

const std::vector<BuiltIn>& BuiltIns() {
    static const std::vector<BuiltIn> list = {
        {"nominal", "W73N000000001", [](UnitProfile&) {}},
        // Sensor gain too low for ISO1600 even at the top of the gain range.
        {"insensitive", "W73S000000002", [](UnitProfile& u) { u.greenResponse *= 0.45; }},
        // Red and blue three times too strong: beyond the colour gain stage.
        {"colour-imbalance", "W73C000000003",
         [](UnitProfile& u) {
             u.redResponse *= 3.0;
             u.blueResponse *= 3.0;
         }},
        // Gr/Gb crosstalk beyond what the correction byte can take.
        {"line-crawl", "W73L000000004", [](UnitProfile& u) { u.crosstalk = 0.16; }},
        // Flash tube 1.7 EV short of its rating.
        {"weak-flash", "W73F000000005",
         [](UnitProfile& u) {
             u.preGuideNumber *= 0.55;
             u.mainGuideNumber *= 0.55;
         }},
        {"many-defects", "W73D000000006", [](UnitProfile& u) { u.randomHotPixels = 450; }},
        // Four neighbouring defects on one line.
        {"defect-cluster", "W73K000000007",
         [](UnitProfile& u) {
             for (int x = 2400; x < 2404; ++x) u.hotPixels.push_back({x, 700, 600});
         }},
        // Battery check divider out of tolerance.
        {"battery-ad", "W73B000000008", [](UnitProfile& u) { u.adOffset -= 63.0; }},
        // Wide-open colour shift that the aperture table has to take out.
        {"aperture-falloff", "W73A000000009",
         [](UnitProfile& u) {
             u.wideOpenRed = 0.90;
             u.wideOpenBlue = 0.93;
         }},
        // The focus mode switch does not reach M.
        {"af-auto", "W73M000000010", [](UnitProfile& u) { u.afStuckAuto = true; }},
    };
    return list;
}

std::optional<UnitProfile> BuiltInProfile(const std::string& name) {
    std::uint64_t n = 0;
    for (const auto& b : BuiltIns()) {
        ++n;
        if (name != b.name) continue;
        UnitProfile u = Nominal();
        u.name = b.name;
        u.identification = b.identification;
        u.seed = 0x5EED0000 + n;
        b.tweak(u);
        return u;
    }
    return std::nullopt;
}

bool ValidIdentification(const std::string& id) {
    if (id.size() != 13) return false;
    for (unsigned char c : id)
        if (!std::isalnum(c)) return false;
    return true;
}

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool ParseDouble(const std::string& text, double& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    auto [p, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && p == last && std::isfinite(out);
}

bool ParseInt(const std::string& text, long long& out) {
    const char* first = text.data();
    const char* last = first + text.size();
    auto [p, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && p == last;
}

// Applies one "key = value" of a profile file; an empty string or a message.
std::string ApplyKey(UnitProfile& u, const std::string& key, const std::string& value) {
    static const std::map<std::string, double UnitProfile::*> reals = {
        {"green_response", &UnitProfile::greenResponse},
        {"red_response", &UnitProfile::redResponse},
        {"blue_response", &UnitProfile::blueResponse},
        {"crosstalk", &UnitProfile::crosstalk},
        {"wide_open_red", &UnitProfile::wideOpenRed},
        {"wide_open_blue", &UnitProfile::wideOpenBlue},
        {"black_level", &UnitProfile::blackLevel},
        {"clamp_residual", &UnitProfile::clampResidual},
        {"read_noise", &UnitProfile::readNoise},
        {"shot_noise", &UnitProfile::shotNoise},
        {"pre_guide_number", &UnitProfile::preGuideNumber},
        {"main_guide_number", &UnitProfile::mainGuideNumber},
        {"flash_rated_volts", &UnitProfile::flashRatedVolts},
        {"flash_scatter", &UnitProfile::flashScatter},
        {"ad_slope", &UnitProfile::adSlope},
        {"ad_offset", &UnitProfile::adOffset},
        {"ac_adapter_volts", &UnitProfile::acAdapterVolts},
        {"base_power_w", &UnitProfile::basePowerW},
        {"ccd_power_w", &UnitProfile::ccdPowerW},
        {"converter_efficiency", &UnitProfile::converterEfficiency},
        {"quiescent_a", &UnitProfile::quiescentA},
    };
    static const std::map<std::string, std::pair<long long, long long>> intRanges = {
        {"seed", {0, (1ll << 62)}},       {"battery_state", {0, 255}},  {"random_hot_pixels", {0, 100000}},
        {"factory_iso200", {0, 1023}},    {"factory_iso1600", {0, 1023}},
    };

    if (key == "name") {
        if (value.empty()) return "the name is empty";
        u.name = value;
        return {};
    }
    if (key == "identification") {
        if (!ValidIdentification(value)) return "the identification must be exactly 13 letters or digits";
        u.identification = value;
        return {};
    }
    if (key == "af_stuck_auto") {
        if (value == "1" || value == "true" || value == "yes") u.afStuckAuto = true;
        else if (value == "0" || value == "false" || value == "no") u.afStuckAuto = false;
        else return "af_stuck_auto takes true or false";
        return {};
    }
    if (key == "hot_pixel") {
        std::istringstream in(value);
        std::string xs, ys, ls, rest;
        long long x = 0, y = 0;
        double level = 0;
        if (!(in >> xs >> ys >> ls) || (in >> rest) || !ParseInt(xs, x) || !ParseInt(ys, y) ||
            !ParseDouble(ls, level))
            return "hot_pixel takes three numbers: column row level";
        if (x < 0 || x >= 3034 || y < 0 || y >= 2024) return "hot_pixel lies outside the 3034 x 2024 sensor";
        if (level < 0) return "hot_pixel level must not be negative";
        u.hotPixels.push_back({static_cast<int>(x), static_cast<int>(y), level});
        return {};
    }
    if (key == "clear_hot_pixels") {
        u.hotPixels.clear();
        return {};
    }
    if (auto it = reals.find(key); it != reals.end()) {
        double v = 0;
        if (!ParseDouble(value, v)) return "'" + value + "' is not a number";
        u.*(it->second) = v;
        return {};
    }
    if (auto it = intRanges.find(key); it != intRanges.end()) {
        long long v = 0;
        if (!ParseInt(value, v)) return "'" + value + "' is not a whole number";
        if (v < it->second.first || v > it->second.second)
            return key + " must lie in " + std::to_string(it->second.first) + ".." + std::to_string(it->second.second);
        if (key == "seed") u.seed = static_cast<std::uint64_t>(v);
        else if (key == "battery_state") u.batteryState = static_cast<std::uint8_t>(v);
        else if (key == "random_hot_pixels") u.randomHotPixels = static_cast<int>(v);
        else if (key == "factory_iso200") u.factoryIso200 = static_cast<int>(v);
        else u.factoryIso1600 = static_cast<int>(v);
        return {};
    }
    return "unknown key '" + key + "'";
}

std::string Check(const UnitProfile& u) {
    if (u.greenResponse <= 0 || u.redResponse <= 0 || u.blueResponse <= 0) return "responses must be positive";
    if (u.readNoise < 0 || u.shotNoise < 0 || u.flashScatter < 0) return "noise figures must not be negative";
    if (u.flashRatedVolts <= 0) return "flash_rated_volts must be positive";
    if (u.converterEfficiency <= 0 || u.converterEfficiency > 1) return "converter_efficiency must lie in (0, 1]";
    return {};
}

std::optional<UnitProfile> ProfileFromFile(const std::string& path, const std::string& text, std::string* error) {
    auto fail = [&](int line, const std::string& msg) -> std::optional<UnitProfile> {
        // Built from the left: GCC 12 warns falsely (-Wrestrict) on a literal + a temporary string.
        if (error) *error = (line > 0 ? path + ":" + std::to_string(line) : path) + ": " + msg;
        return std::nullopt;
    };
    UnitProfile u = Nominal();
    // The file's own name (without folders and extension) unless it names itself.
    std::string stem = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    if (auto dot = stem.find_last_of('.'); dot != std::string::npos && dot > 0) stem = stem.substr(0, dot);
    u.name = stem;

    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    bool sawKey = false;
    while (std::getline(in, raw)) {
        ++lineNo;
        if (auto hash = raw.find('#'); hash != std::string::npos) raw.erase(hash);
        const std::string line = Trim(raw);
        if (line.empty()) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) return fail(lineNo, "expected 'key = value', found '" + line + "'");
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (key.empty()) return fail(lineNo, "a key is missing before '='");
        if (key == "base") {
            if (sawKey) return fail(lineNo, "'base' must come before every other key");
            auto b = BuiltInProfile(value);
            if (!b) return fail(lineNo, "no built-in profile named '" + value + "'");
            const std::string keepName = u.name;
            u = *b;
            u.name = keepName;
            continue;
        }
        sawKey = true;
        if (std::string msg = ApplyKey(u, key, value); !msg.empty()) return fail(lineNo, msg);
    }
    if (std::string msg = Check(u); !msg.empty()) return fail(0, msg);
    return u;
}

void PutBe16(std::vector<std::uint8_t>& m, std::size_t a, unsigned v) {
    m[a] = static_cast<std::uint8_t>(v >> 8);
    m[a + 1] = static_cast<std::uint8_t>(v);
}

}  // namespace

std::optional<UnitProfile> FindProfile(const std::string& nameOrPath, std::string* error) {
    if (auto u = BuiltInProfile(nameOrPath)) return u;
    auto text = platform::ReadWholeFile(nameOrPath);
    if (!text) {
        if (error) {
            std::string names;
            for (const auto& n : ProfileNames()) names += (names.empty() ? "" : ", ") + n;
            *error = "no unit profile named '" + nameOrPath + "' and no such profile file (built-in: " + names + ")";
        }
        return std::nullopt;
    }
    return ProfileFromFile(nameOrPath, *text, error);
}

std::vector<std::string> ProfileNames() {
    std::vector<std::string> names;
    for (const auto& b : BuiltIns()) names.push_back(b.name);
    return names;
}

FactoryMemories InitialMemories(const UnitProfile& unit) {
    FactoryMemories f;
    auto& ccd = f.ccdEeprom;
    // Identification at 17..29 (16 is not used).
    for (std::size_t i = 0; i < 13 && i < unit.identification.size(); ++i)
        ccd[17 + i] = static_cast<std::uint8_t>(unit.identification[i]);
    // Line crawl block: three bands of (two sensor timing bytes, K8 for Gr, K8 for Gb).
    for (std::size_t g = 0; g < 3; ++g) {
        ccd[160 + 4 * g] = 0x08;
        ccd[161 + 4 * g] = 0x80;
    }
    // ISO gain table, straight between the factory ISO200 and ISO1600 values.
    for (int i = 0; i < 19; ++i) {
        const double v = unit.factoryIso200 + (unit.factoryIso1600 - unit.factoryIso200) * i / 18.0;
        const unsigned value = static_cast<unsigned>(std::floor(v + 0.5)) & 0x3FF;
        PutBe16(ccd, 248 + 2 * static_cast<std::size_t>(i), value << 3);
    }
    // Defect table at 370: empty (the counts and the zero word).
    // Monitor path gains (RAM configuration 1552 once unpacked): unity.
    for (std::size_t i = 0; i < 4; ++i) PutBe16(ccd, 1400 + 2 * i, 0x0100);
    // Aperture gain table: unity at every aperture.
    for (std::size_t i = 0; i < 20; ++i) PutBe16(ccd, 1936 + 2 * i, 0x0100);

    // TFT display position blocks (NTSC at 72, PAL at 328): the position
    // fields in mid-range, the other bits as the panel maker sets them.
    auto& tft = f.tftEeprom;
    const std::uint8_t ntsc[8] = {0x11, 0xC0 | 32, 0x24, 0x07, 0x00, 0xE0 | 16, 0x3C, 0x81};
    const std::uint8_t pal[8] = {0x11, 0xC0 | 32, 0x24, 0x07, 0x00, 0xE0 | 14, 0x3C, 0x82};
    for (std::size_t i = 0; i < 8; ++i) {
        tft[72 + i] = ntsc[i];
        tft[328 + i] = pal[i];
    }

    // Microcontroller EEPROM: battery check A/D value, flash values and the
    // currents as a typical unit, before this unit is adjusted.
    auto& mcu = f.mcuEeprom;
    const unsigned ad = 738;
    mcu[2] = static_cast<std::uint8_t>(ad & 0xFF);
    mcu[3] = static_cast<std::uint8_t>(ad >> 8);
    mcu[243] = 0;
    mcu[244] = 0;
    const std::uint8_t currents[4] = {33, 52, 31, 49};
    for (std::size_t i = 0; i < 4; ++i) mcu[259 + i] = currents[i];
    return f;
}

}  // namespace sim
