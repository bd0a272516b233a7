#pragma once
// Unit profiles: what makes one simulated camera differ from another. The
// camera core reads the identity, the initial memory contents and the few
// behaviours it models itself; the physics (sim/model.h) reads the rest.

#include <cstdint>
#include <optional>
#include <string>
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
    // (fields added by the model)
};

// A built-in profile by name, or a profile file (a path); nullopt and a
// message in `error` when neither exists or the file is malformed.
std::optional<UnitProfile> FindProfile(const std::string& nameOrPath, std::string* error = nullptr);
std::vector<std::string> ProfileNames();

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
