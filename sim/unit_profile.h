#pragma once
// Unit profiles: what makes one simulated camera differ from another. The
// camera core reads the identity, the initial memory contents and the few
// behaviours it models itself; the physics (sim/model.h) reads the rest.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Memory sizes of the simulated camera (every address the station uses fits).
constexpr std::size_t kCcdEepromSize = 4096;
constexpr std::size_t kTftEepromSize = 1024;
constexpr std::size_t kRamConfigSize = 4096;
constexpr std::size_t kMcuEepromSize = 2048;
constexpr std::size_t kMcuDramSize = 4096;

struct UnitProfile {
    std::string name;
    std::string identification;  // 13 characters, CCD EEPROM 17 to 29
    std::uint64_t seed = 1;      // noise of this unit's pictures
    bool afStuckAuto = false;    // the focus mode switch does not reach M
    std::uint8_t batteryState = 0;  // property 71

    // ---- physics; see sim/README.md ----------------------------------------
    // Sensor response: green level in LSB for a correctly exposed grey field
    // through a lens of transmission 1 at 0 dB of ISO gain; red and blue
    // relative to green under the bench's daylight sources.
    double greenResponse = 296.5;
    double redResponse = 0.625;
    double blueResponse = 0.5556;
    // Gr/Gb crosstalk: Gr picks up this fraction of its red neighbours,
    // Gb `crosstalkSkew` times as much of its blue ones.
    double crosstalk = 0.012;
    double crosstalkSkew = 1.0;
    // Red and blue response with the lens wide open (F1.4) relative to small
    // apertures; the effect fades out towards F5.6.
    double wideOpenRed = 0.996;
    double wideOpenBlue = 1.004;
    // Dark output: the raw black level (shown while SetOb 1 stops the
    // optical-black subtraction), what the subtraction leaves, read noise
    // (LSB rms) and shot noise (LSB^2 per LSB at the factory ISO200 gain).
    double blackLevel = 16.0;
    double clampResidual = 1.0;
    double readNoise = 2.0;
    double shotNoise = 0.1;
    // White defects: dark output in LSB at 1/4 s and the factory ISO200 gain.
    struct HotPixel {
        int x = 0;
        int y = 0;
        double level = 0;
    };
    std::vector<HotPixel> hotPixels;
    int randomHotPixels = 0;  // further ones scattered from the seed
    // ISO gain values the sensor factory leaves in the table (10-bit).
    int factoryIso200 = 320;
    int factoryIso1600 = 867;
    // ISO gain law: 0.033 dB a step of the value, plus a bow that lifts the
    // middle of the value range by this many dB (a parabola, nothing at 0 and
    // 1023), so that a table straight in dB between two good ends misses
    // the steps in between.
    double isoGainBowDb = 0;
    // Built-in flash: guide numbers (m, ISO100) at the adjustment value 0 and
    // the rated charge; flash-to-flash scatter (fraction, rms).
    double preGuideNumber = 2.5;
    double mainGuideNumber = 6.0;
    double flashRatedVolts = 33.0;
    double flashScatter = 0.01;
    // Battery check A/D converter (10-bit): reading = offset + slope x volts.
    double adSlope = 100.0;
    double adOffset = 18.0;
    double acAdapterVolts = 8.4;
    // Supply current: electronics and sensor power behind a converter.
    double basePowerW = 2.0;
    double ccdPowerW = 1.25;
    double converterEfficiency = 0.9;
    double quiescentA = 0.02;

    // ---- memories as the unit leaves the sensor factory ---------------------
    // The CCD EEPROM defect table (370...): entries as stored, the R list's
    // first, and the counts at 370 where they are to differ from the lists.
    struct StoredDefect {
        bool blue = false;  // B list (odd RAW rows)
        std::uint16_t v = 0, h = 0;
    };
    std::vector<StoredDefect> storedDefects;
    std::optional<std::array<std::uint16_t, 2>> storedDefectCounts;
    // The stored aperture gain table (CCD EEPROM 1936): groups F1.4, F2,
    // F2.8, F4, F5.6 of the gains R, Gr, Gb, B.
    std::array<std::array<double, 4>, 5> apertureGains = UnityApertureGains();
    // Built-in flash adjustment values in the microcontroller EEPROM (243, 244).
    std::int8_t preFlashValue = 0;
    std::int8_t mainFlashValue = 0;

    static std::array<std::array<double, 4>, 5> UnityApertureGains() {
        std::array<std::array<double, 4>, 5> g{};
        for (auto& group : g) group.fill(1.0);
        return g;
    }
};

// Room for defect entries between 376 and the aperture gain table at 1936.
constexpr std::size_t kStoredDefectRoom = 390;

// A built-in profile by name, or a profile file (a path): a regular file of
// at most kMaxProfileFileBytes. nullopt and a printable message in `error`
// when neither exists or the file is not one or is malformed.
constexpr std::size_t kMaxProfileFileBytes = 64 * 1024;
std::optional<UnitProfile> FindProfile(const std::string& nameOrPath, std::string* error = nullptr);
// The text of a profile file; `path` names it in messages and gives the
// profile's name unless the text names it. The message may echo the text
// as it is: Printable makes it fit to be shown.
std::optional<UnitProfile> ProfileFromText(const std::string& path, const std::string& text,
                                           std::string* error = nullptr);
std::vector<std::string> ProfileNames();

// Text from outside (a file name, a line of a file) fit to be shown: control
// characters and bytes that are not UTF-8 become \xNN escapes.
std::string Printable(std::string_view text);

// The memory contents a unit leaves the factory floor with, before any
// adjustment: the flash copies of the CCD and TFT EEPROM and the
// microcontroller's EEPROM.
struct FactoryMemories {
    std::vector<std::uint8_t> ccdEeprom = std::vector<std::uint8_t>(kCcdEepromSize);
    std::vector<std::uint8_t> tftEeprom = std::vector<std::uint8_t>(kTftEepromSize);
    std::vector<std::uint8_t> mcuEeprom = std::vector<std::uint8_t>(kMcuEepromSize);
};
FactoryMemories InitialMemories(const UnitProfile& unit);

}  // namespace sim
