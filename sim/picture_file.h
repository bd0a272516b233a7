#pragma once
// The picture file the camera hands out (a big-endian TIFF with the sensor
// data in the camera's packed 12-bit layout) and the camera's own area
// measurement of a stored picture.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/model.h"
#include "sim/simulator.h"

namespace sim {

inline constexpr int kThumbWidth = 80;
inline constexpr int kThumbHeight = 60;
inline constexpr int kPackedGroupBytes = 16;  // five 3-byte cells of two samples, one spare byte
inline constexpr int kGroupsPerRow = kPackedRowBytes / kPackedGroupBytes;

// Where everything sits in the file; the same for every picture.
PictureFileLayout PictureLayout();
// The whole file.
std::vector<std::uint8_t> RenderPictureFile(const Picture& picture);
// One row of packed sensor data (kPackedRowBytes bytes at `out`).
void PackRow(const Picture& picture, int y, std::uint8_t* out);

// DXC_CCD_ADJUST_DATA_IN over the rectangle (x, y, width, height), which
// must lie inside the sensor and not be empty (else nullopt):
//   m0..m3  Gr, R, Gb, B means, tenths of an LSB, rounded
//   m4..m7  Gr, R, Gb, B standard deviations, tenths of an LSB, rounded
//   m8..m11 Gr, R, Gb, B minimum, LSB
//   m12..m15 Gr, R, Gb, B maximum, LSB
std::optional<std::array<std::uint16_t, 16>> MeasureArea(const Picture& picture, int x, int y, int width,
                                                         int height);

}  // namespace sim
