#pragma once
// What the station shoots with on the bench, named once: the codes of the
// shooting conditions (SetShootingConditions a, b, c, d; d is always 0, and
// b is 0, the lens's own and not sent, except where named here) and the
// areas of the sensor whose means the camera measures. Each goes with the
// bench conditions that its item prompts for.

#include <cstdint>

#include "camera/usb_camera.h"

// The sensor as the area measurement addresses it.
inline constexpr int kSensorColumns = 3034;
inline constexpr int kSensorRows = 2024;

// c, sensitivity: 12 codes a stop. Step i of the ISO table (ISO200 x
// 2^(i/6)) is code 72 + 2i, so that ISO1600, eight times ISO200, is 108.
inline constexpr std::uint8_t kIso200 = 72;
inline constexpr std::uint8_t kIso1600 = 108;
constexpr int IsoStepCode(int step) { return kIso200 + 2 * step; }

// a, shutter, by item.
inline constexpr std::uint8_t kSensShutter = 24;         // the viewer at LV13 through ND3
inline constexpr std::uint8_t kRatioShutter = 42;        // the viewer at LV13, no filter
inline constexpr std::uint8_t kLineCrawlShutter = 18;    // the colour chart on the viewer
inline constexpr std::uint8_t kFlashShutter = 45;        // the standard reflector, lit by the flash
inline constexpr std::uint8_t kApertureF8Shutter = 18;   // the light box at LV9, at F8
inline constexpr std::uint8_t kApertureF14Shutter = 48;  // and at F1.4
inline constexpr std::uint8_t kDefectShutter = 12;       // the lens capped

// b, aperture.
inline constexpr std::uint8_t kPreFlashAperture = 18;
inline constexpr std::uint8_t kMainFlashAperture = 30;
inline constexpr std::uint8_t kF8Aperture = 36;
inline constexpr std::uint8_t kF14Aperture = 6;

// Measuring areas: x, y, width, height in pixels.
// 300 x 300 at the centre: the sensitivity adjustment and its baseline.
inline constexpr MeasureArea kSensAdjustArea{1360, 862, 300, 300};
// 200 x 200 at the centre: the sensitivity check, and the sensitivity ratio
// and its baseline.
inline constexpr MeasureArea kSensCheckArea{1420, 912, 200, 200};
// 300 x 300 beside the centre, through the 50 mm lens: the built-in flash
// and the aperture dependence.
inline constexpr MeasureArea kLensArea{1400, 900, 300, 300};
