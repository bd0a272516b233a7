// What a simulated camera keeps of the station's work when it is switched
// off: the CCD and TFT EEPROMs, working copies and flash, and the
// microcontroller's EEPROM with its DRAM working copies, as one value.

#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/simulator.h"

namespace test_support {

struct EepromState {
    std::vector<std::uint8_t> ccd, ccdFlash, tft, tftFlash, mcu, mcuDram;

    static EepromState Of(const sim::Camera& camera) {
        using sim::Memory;
        return {camera.Mem(Memory::CcdEeprom), camera.Mem(Memory::CcdEepromFlash), camera.Mem(Memory::TftEeprom),
                camera.Mem(Memory::TftEepromFlash), camera.Mem(Memory::McuEeprom), camera.Mem(Memory::McuDram)};
    }
    bool operator==(const EepromState&) const = default;
};

// The first byte where `actual` differs from `expected`, for a failure
// message: "CCD EEPROM 160: 1e, expected 1f"; empty when they are equal.
inline std::string FirstDifference(const EepromState& expected, const EepromState& actual) {
    struct Part {
        const char* name;
        const std::vector<std::uint8_t> EepromState::*bytes;
    };
    static constexpr Part kParts[] = {
        {"CCD EEPROM", &EepromState::ccd},        {"CCD EEPROM flash", &EepromState::ccdFlash},
        {"TFT EEPROM", &EepromState::tft},        {"TFT EEPROM flash", &EepromState::tftFlash},
        {"MCU EEPROM", &EepromState::mcu},        {"MCU DRAM", &EepromState::mcuDram},
    };
    for (const Part& p : kParts) {
        const auto &e = expected.*p.bytes, &a = actual.*p.bytes;
        for (std::size_t i = 0; i < e.size() && i < a.size(); ++i) {
            if (e[i] == a[i]) continue;
            char text[96];
            std::snprintf(text, sizeof text, "%s %zu: %02x, expected %02x", p.name, i, a[i], e[i]);
            return text;
        }
        if (e.size() != a.size()) return std::string(p.name) + ": size differs";
    }
    return "";
}

}  // namespace test_support
