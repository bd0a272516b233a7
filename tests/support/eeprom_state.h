// What a simulated camera keeps of the station's work when it is switched
// off: the CCD and TFT EEPROMs, working copies and flash, and the
// microcontroller's EEPROM with its DRAM working copies; and what it works
// with until then: the RAM configuration blocks its pictures use (line
// crawl 312, ISO table 400, aperture gains 2088) and the aperture gains in
// force. One value.

#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "sim/simulator.h"

namespace test_support {

struct EepromState {
    std::vector<std::uint8_t> ccd, ccdFlash, tft, tftFlash, mcu, mcuDram, ramInUse, gainsInForce;

    static EepromState Of(const sim::Camera& camera) {
        using sim::Memory;
        const std::vector<std::uint8_t>& ram = camera.Mem(Memory::RamConfig);
        std::vector<std::uint8_t> inUse;
        for (auto [address, size] : {std::pair{312, 12}, std::pair{400, 38}, std::pair{2088, 40}})
            inUse.insert(inUse.end(), ram.begin() + address, ram.begin() + address + size);
        return {camera.Mem(Memory::CcdEeprom),      camera.Mem(Memory::CcdEepromFlash),
                camera.Mem(Memory::TftEeprom),      camera.Mem(Memory::TftEepromFlash),
                camera.Mem(Memory::McuEeprom),      camera.Mem(Memory::McuDram),
                std::move(inUse),                   camera.BuiltFpgainTable()};
    }
    bool operator==(const EepromState&) const = default;
};

struct EepromPart {
    const char* name;
    const std::vector<std::uint8_t> EepromState::*bytes;
};
inline constexpr EepromPart kEepromParts[] = {
    {"CCD EEPROM", &EepromState::ccd},        {"CCD EEPROM flash", &EepromState::ccdFlash},
    {"TFT EEPROM", &EepromState::tft},        {"TFT EEPROM flash", &EepromState::tftFlash},
    {"MCU EEPROM", &EepromState::mcu},        {"MCU DRAM", &EepromState::mcuDram},
    {"RAM configuration in use (312, 400, 2088 in a row)", &EepromState::ramInUse},
    {"aperture gains in force", &EepromState::gainsInForce},
};

// The first byte where `actual` differs from `expected`, for a failure
// message: "CCD EEPROM 160: 1e, expected 1f"; empty when they are equal.
// With `from`: only a byte outside the span of bytes that `expected` changed
// from `from` counts.
inline std::string FirstDifference(const EepromState& expected, const EepromState& actual,
                                   const EepromState* from = nullptr) {
    for (const EepromPart& p : kEepromParts) {
        const auto &e = expected.*p.bytes, &a = actual.*p.bytes;
        if (e.size() != a.size()) return std::string(p.name) + ": size differs";
        std::size_t lo = e.size(), hi = 0;
        for (std::size_t i = 0; from && i < e.size(); ++i)
            if ((from->*p.bytes)[i] != e[i]) lo = std::min(lo, i), hi = i;
        for (std::size_t i = 0; i < e.size(); ++i) {
            if (e[i] == a[i] || (i >= lo && i <= hi)) continue;
            char text[96];
            std::snprintf(text, sizeof text, "%s %zu: %02x, expected %02x", p.name, i, a[i], e[i]);
            return text;
        }
    }
    return "";
}

}  // namespace test_support
