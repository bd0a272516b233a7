#pragma once
// The physics of the simulated camera, as the camera core asks for it: what a
// picture holds, what the A/D converter reads, what the ammeter shows. The
// camera core (commands, memories, picture store) calls these; they read the
// bench, the unit's profile and the adjustment values in the camera's memory.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/bench_api.h"

namespace sim {

struct UnitProfile;  // sim/unit_profile.h

constexpr int kSensorWidth = 3034;   // samples per row
constexpr int kSensorHeight = 2024;  // rows
constexpr int kPackedRowBytes = 4864;

// Colour of a sensor sample. Even rows are red rows (R, Gr), odd rows blue
// rows (Gb, B); even columns carry the colour, odd columns the green.
enum class Channel { Gr, R, Gb, B };
inline Channel ChannelAt(int x, int y) {
    if ((y & 1) == 0) return (x & 1) == 0 ? Channel::R : Channel::Gr;
    return (x & 1) == 0 ? Channel::Gb : Channel::B;
}

// The camera's memories as the model reads them (the working copies).
struct CameraMemories {
    std::vector<std::uint8_t> ccdEeprom;  // working copy (kind 0)
    std::vector<std::uint8_t> tftEeprom;  // working copy (kind 1)
    std::vector<std::uint8_t> ramConfig;  // kind 2
    std::vector<std::uint8_t> mcuEeprom;  // area 4
    std::vector<std::uint8_t> mcuDram;    // area 3
};

// The properties that shape a picture.
struct ShootingConditions {
    std::uint8_t p11 = 0;  // argument a
    std::uint8_t p12 = 0;  // argument b
    std::uint8_t p5 = 72;  // sensitivity code
    std::uint8_t p2 = 0;   // argument d
};

enum class FlashKind { Pre, Main };

// One firing of the built-in flash, as the camera set it off.
struct FlashEmission {
    FlashKind kind = FlashKind::Pre;
    int level = 0;     // level byte of the flash command
    int adj = 0;       // the mode's adjustment value in DRAM as it fired
    double volts = 0;  // charge on the flash capacitor as it fired
};

// Everything about one exposure.
struct Exposure {
    ShootingConditions conditions;
    std::vector<FlashEmission> flashes;  // the built-in flash fired while the shutter was open
    bool obClamp = false;    // SetOb state
    std::uint64_t seed = 0;  // picture number mixed with the unit's seed
};

// A taken picture. Samples are computed on demand, so that an area
// measurement touches only its rectangle and a transfer renders each sample
// once.
class Picture {
public:
    virtual ~Picture() = default;
    virtual std::uint16_t Sample(int x, int y) const = 0;  // 12-bit
    // Samples x to x + n - 1 of row y into `out`, as Sample gives them; a
    // picture may render a run of a row faster than sample by sample.
    virtual void Row(int x, int y, int n, std::uint16_t* out) const;
};

std::shared_ptr<const Picture> TakePicture(const UnitProfile& unit, const SimBench& bench, const CameraMemories& mem,
                                           const Exposure& exposure);

// The battery A/D reading (subroutine 37) for the bench's supply.
std::uint16_t BatteryAdReading(const UnitProfile& unit, const SimBench& bench, std::uint64_t seed);

// The consumption current in amperes that the ammeter shows.
double ConsumptionCurrent(const UnitProfile& unit, const SimBench& bench, bool ccdPowerOn);

}  // namespace sim
