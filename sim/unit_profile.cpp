// The built-in unit profiles, profile files, and the memory contents a unit
// leaves the sensor factory with.

#include "sim/unit_profile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
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
        // A sensor 30 % above the line's typical sensitivity (+2.3 dB): the
        // ISO gains come down at both ends, ISO1600 from clipping. The sensor
        // factory's table already suits it.
        {"sensitive", "W73H000000011",
         [](UnitProfile& u) {
             u.greenResponse *= 1.3;
             u.factoryIso200 = 251;
             u.factoryIso1600 = 798;
         }},
        // An ISO amplifier whose gain bows 2.5 dB above the straight law in
        // mid-range: both ends adjust, the steps between come out too bright.
        // The factory's table has the ends right for this law.
        {"gain-bow", "W73G000000012",
         [](UnitProfile& u) {
             u.isoGainBowDb = 2.5;
             u.factoryIso200 = 262;
             u.factoryIso1600 = 819;
         }},
        // Back for rework: three defects already in its table, two of them a
        // marked pair, and an aperture table from an earlier adjustment.
        {"stored-defects", "W73E000000011",
         [](UnitProfile& u) {
             for (const UnitProfile::HotPixel& hp : {UnitProfile::HotPixel{1000, 1200, 500},
                                                     UnitProfile::HotPixel{1002, 1200, 450},
                                                     UnitProfile::HotPixel{300, 455, 400}})
                 u.hotPixels.push_back(hp);
             u.storedDefects = {{false, 603 | 0x2000, 1066}, {false, 603 | 0x4000, 1068}, {true, 230, 366}};
             // Two defects near the level: which of them shows depends on the
             // colour gains in force.
             u.hotPixels.push_back({1501, 1101, 200});  // B
             u.hotPixels.push_back({1500, 1100, 120});  // R
             for (auto& group : u.apertureGains) group = {1.5, 1.1, 0.9, 0.6};
         }},
        // A table entry that no defect can have.
        {"defect-table-bad", "W73T000000012",
         [](UnitProfile& u) { u.storedDefects = {{false, 231, 366}, {false, 240, 0xFFFF}}; }},
        // Counts that no list can hold.
        {"defect-count-over", "W73O000000013", [](UnitProfile& u) { u.storedDefectCounts = {{600, 0}}; }},
        // Red 20 % strong and blue 30 % weak: inside the colour gain stage,
        // so the ratio adjustment has to correct them.
        {"colour-offset", "W73R000000011",
         [](UnitProfile& u) {
             u.redResponse *= 1.2;
             u.blueResponse *= 0.7;
         }},
        // Four times the usual Gr/Gb crosstalk: well inside the correction byte.
        {"crosstalk-high", "W73X000000012", [](UnitProfile& u) { u.crosstalk = 0.048; }},
        // Red filter far too dense: the red level is below the ratio window.
        {"red-weak", "W73E000000013", [](UnitProfile& u) { u.redResponse *= 0.3; }},
        // Blue filter far too dense.
        {"blue-weak", "W73U000000014", [](UnitProfile& u) { u.blueResponse *= 0.3; }},
        // Blue rows pick up three times the crosstalk of red rows: one
        // coefficient cannot take out both fields.
        {"crosstalk-skew", "W73Y000000015", [](UnitProfile& u) { u.crosstalkSkew = 3.0; }},
        // Flash tube within reach but off its rating: the pre-flash 0.3 EV
        // weak, the main flash 0.2 EV strong (a guide number goes with the
        // square root of the light).
        {"flash-offset", "W73G000000011",
         [](UnitProfile& u) {
             u.preGuideNumber *= std::pow(2.0, -0.3 / 2);
             u.mainGuideNumber *= std::pow(2.0, 0.2 / 2);
         }},
        // Red more than a stop short wide open: beyond the colour gain stage.
        {"deep-falloff", "W73P000000011", [](UnitProfile& u) { u.wideOpenRed = 0.45; }},
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

// A 16-bit word, decimal or 0x hexadecimal.
bool ParseWord(const std::string& text, long long& out) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* first = text.data() + (hex ? 2 : 0);
    const char* last = text.data() + text.size();
    auto [p, ec] = std::from_chars(first, last, out, hex ? 16 : 10);
    return ec == std::errc() && p == last && out >= 0 && out <= 0xFFFF;
}

// Applies one "key = value" of a profile file; an empty string or a message.
std::string ApplyKey(UnitProfile& u, const std::string& key, const std::string& value) {
    static const std::map<std::string, double UnitProfile::*> reals = {
        {"green_response", &UnitProfile::greenResponse},
        {"red_response", &UnitProfile::redResponse},
        {"blue_response", &UnitProfile::blueResponse},
        {"crosstalk", &UnitProfile::crosstalk},
        {"crosstalk_skew", &UnitProfile::crosstalkSkew},
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
        {"iso_gain_bow_db", &UnitProfile::isoGainBowDb},
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
    if (key == "stored_defect" || key == "stored_defect_word") {
        std::istringstream in(value);
        std::vector<std::string> words;
        for (std::string w; in >> w;) words.push_back(w);
        UnitProfile::StoredDefect d;
        if (key == "stored_defect") {
            long long x = 0, y = 0;
            if (words.size() < 2 || words.size() > 3 || !ParseInt(words[0], x) || !ParseInt(words[1], y) ||
                (words.size() == 3 && words[2] != "left" && words[2] != "right"))
                return "stored_defect takes column row, and left or right for a member of a marked pair";
            if (x < 0 || x >= 3034 || y < 0 || y >= 2024) return "stored_defect lies outside the 3034 x 2024 sensor";
            d.blue = (y & 1) != 0;
            d.h = static_cast<std::uint16_t>(x + 66);
            d.v = static_cast<std::uint16_t>((y + (d.blue ? 5 : 6)) / 2);
            if (words.size() == 3) d.v |= words[2] == "left" ? 0x2000 : 0x4000;
        } else {
            long long v = 0, h = 0;
            if (words.size() != 3 || (words[0] != "r" && words[0] != "b") || !ParseWord(words[1], v) ||
                !ParseWord(words[2], h))
                return "stored_defect_word takes r or b, then the V and H words (0..65535, 0x for hex)";
            d.blue = words[0] == "b";
            d.v = static_cast<std::uint16_t>(v);
            d.h = static_cast<std::uint16_t>(h);
        }
        u.storedDefects.push_back(d);
        return {};
    }
    if (key == "stored_defect_counts") {
        std::istringstream in(value);
        std::string rs, bs, rest;
        long long r = 0, b = 0;
        if (!(in >> rs >> bs) || (in >> rest) || !ParseWord(rs, r) || !ParseWord(bs, b))
            return "stored_defect_counts takes the R and B counts (0..65535)";
        u.storedDefectCounts = {{static_cast<std::uint16_t>(r), static_cast<std::uint16_t>(b)}};
        return {};
    }
    if (key == "aperture_gain") {
        std::istringstream in(value);
        std::string gs, rest;
        std::array<std::string, 4> ws;
        long long group = 0;
        std::array<double, 4> gains{};
        if (!(in >> gs >> ws[0] >> ws[1] >> ws[2] >> ws[3]) || (in >> rest) || !ParseInt(gs, group) ||
            !ParseDouble(ws[0], gains[0]) || !ParseDouble(ws[1], gains[1]) || !ParseDouble(ws[2], gains[2]) ||
            !ParseDouble(ws[3], gains[3]))
            return "aperture_gain takes the group (1 F1.4 .. 5 F5.6) and the R, Gr, Gb and B gains";
        if (group < 1 || group > 5) return "aperture_gain groups are 1 (F1.4) to 5 (F5.6)";
        for (double g : gains)
            if (g < 0 || g >= 256) return "aperture gains lie in 0..255.99";
        u.apertureGains[static_cast<std::size_t>(group - 1)] = gains;
        return {};
    }
    if (key == "flash_values") {
        std::istringstream in(value);
        std::string ps, ms, rest;
        long long pre = 0, main = 0;
        if (!(in >> ps >> ms) || (in >> rest) || !ParseInt(ps, pre) || !ParseInt(ms, main) || pre < -128 ||
            pre > 127 || main < -128 || main > 127)
            return "flash_values takes the pre-flash and main-flash values (-128..127)";
        u.preFlashValue = static_cast<std::int8_t>(pre);
        u.mainFlashValue = static_cast<std::int8_t>(main);
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
    if (u.storedDefects.size() > kStoredDefectRoom) return "at most 390 stored defects fit the table";
    return {};
}

// The length of the well-formed UTF-8 sequence that `s` starts with, and its
// code point; 0 for a stray, overlong or truncated sequence or a surrogate.
std::size_t Utf8Sequence(std::string_view s, char32_t* cp) {
    const auto b0 = static_cast<unsigned char>(s[0]);
    if (b0 < 0x80) {
        *cp = b0;
        return 1;
    }
    const std::size_t n = (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || s.size() < n) return 0;
    char32_t v = b0 & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[k]);
        if ((b & 0xC0) != 0x80) return 0;
        v = (v << 6) | (b & 0x3F);
    }
    constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (v < kSmallest[n] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
    *cp = v;
    return n;
}

std::string ReadFailure(const std::string& path, platform::ReadError why) {
    switch (why) {
        case platform::ReadError::NotRegular:
            return path + ": not a profile file (a directory, FIFO or device)";
        case platform::ReadError::TooLarge:
            return path + ": larger than " + std::to_string(kMaxProfileFileBytes / 1024) +
                   " KiB, too large for a profile file";
        case platform::ReadError::ReadFailed:
            return path + ": the profile file cannot be read";
        case platform::ReadError::None:
        case platform::ReadError::Missing:
            break;
    }
    std::string names;
    for (const auto& n : ProfileNames()) names += (names.empty() ? "" : ", ") + n;
    return "no unit profile named '" + path + "' and no such profile file (built-in: " + names + ")";
}

void PutBe16(std::vector<std::uint8_t>& m, std::size_t a, unsigned v) {
    m[a] = static_cast<std::uint8_t>(v >> 8);
    m[a + 1] = static_cast<std::uint8_t>(v);
}

}  // namespace

std::optional<UnitProfile> ProfileFromText(const std::string& path, const std::string& text, std::string* error) {
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

std::optional<UnitProfile> FindProfile(const std::string& nameOrPath, std::string* error) {
    if (auto u = BuiltInProfile(nameOrPath)) return u;
    // A profile file comes from outside: only a small regular file is read
    // (a FIFO, a device or a directory is refused unopened), and whatever a
    // message echoes of its name or content is made printable.
    platform::ReadError why = platform::ReadError::None;
    auto text = platform::ReadRegularFile(nameOrPath, kMaxProfileFileBytes, &why);
    std::optional<UnitProfile> unit;
    if (text)
        unit = ProfileFromText(nameOrPath, *text, error);
    else if (error)
        *error = ReadFailure(nameOrPath, why);
    if (!unit && error) *error = Printable(*error);
    return unit;
}

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const std::size_t n = Utf8Sequence(text.substr(i), &cp);
        const bool control = cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0);
        if (n > 0 && !control) {
            out.append(text.substr(i, n));
            i += n;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[i]));
            out += escaped;
            ++i;
        }
    }
    return out;
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
    // Monitor path gains (RAM configuration 1552 once unpacked): unity.
    for (std::size_t i = 0; i < 4; ++i) PutBe16(ccd, 1400 + 2 * i, 0x0100);
    // Defect table at 370: the counts, the zero word, the R entries, the B
    // entries. A long table reaches over the monitor path gains at 1400.
    std::size_t at = 376;
    std::uint16_t counts[2] = {};
    for (bool blue : {false, true}) {
        for (const auto& d : unit.storedDefects) {
            if (d.blue != blue) continue;
            PutBe16(ccd, at, d.v);
            PutBe16(ccd, at + 2, d.h);
            at += 4;
            ++counts[blue ? 1 : 0];
        }
    }
    if (unit.storedDefectCounts) std::copy(unit.storedDefectCounts->begin(), unit.storedDefectCounts->end(), counts);
    PutBe16(ccd, 370, counts[0]);
    PutBe16(ccd, 372, counts[1]);
    // Aperture gain table, 8.8 fixed point.
    for (std::size_t g = 0; g < 5; ++g)
        for (std::size_t c = 0; c < 4; ++c)
            PutBe16(ccd, 1936 + 8 * g + 2 * c,
                    static_cast<unsigned>(std::min(std::floor(unit.apertureGains[g][c] * 256 + 0.5), 65535.0)));

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
    mcu[243] = static_cast<std::uint8_t>(unit.preFlashValue);
    mcu[244] = static_cast<std::uint8_t>(unit.mainFlashValue);
    const std::uint8_t currents[4] = {33, 52, 31, 49};
    for (std::size_t i = 0; i < 4; ++i) mcu[259 + i] = currents[i];
    return f;
}

}  // namespace sim
