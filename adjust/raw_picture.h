#pragma once
// The sensor data inside a picture file from the camera (a big-endian TIFF
// whose sub-directory describes the RAW image, followed by the packed 12-bit
// rows), and the planes the defect correction unpacks it into.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "adjust/defect_table.h"
#include "camera/shooting.h"

namespace raw {

inline constexpr int kWidth = kSensorColumns;  // samples per row of a plane
inline constexpr int kHeight = kSensorRows;    // rows
inline constexpr std::size_t kRowBytes = 4864;
inline constexpr std::size_t kPlaneSamples = std::size_t{kWidth} * kHeight;
inline constexpr std::size_t kPackedBytes = kRowBytes * kHeight;
// A width from this on is the wider layout: 2028 rows of 5760 bytes.
inline constexpr int kWideWidth = 3600;
inline constexpr int kWideRows = 2028;
inline constexpr std::size_t kWideRowBytes = 5760;

struct RawLayout {
    std::size_t offset = 0;  // of the first packed row
    int width = 0, height = 0;  // as the sub-directory gives them
    int rows = kHeight;
    std::size_t rowBytes = kRowBytes;
    bool Wide() const { return rowBytes != kRowBytes; }
};

// Where the packed rows sit in the `size` bytes of `file`, or nullopt when
// the file has no usable structure: a directory or value that runs past the
// bytes received, no sub-directory, a width, height or data offset of 0, or
// rows that do not fit in the file.
std::optional<RawLayout> LocateRawData(const std::uint8_t* file, std::size_t size);

// Unpacks kHeight rows of kRowBytes at `packed` into the planes `summed` and
// `copy` (kWidth x kHeight each), in one pass over each row. The summed
// plane sums the one frame of a capture from a clear plane, so its clear and
// its add are one store: both planes receive every sample, whatever they
// held. `rowMax` (kHeight values) receives the greatest value of each row,
// so that a scan can pass over the rows with nothing to find.
void UnpackRawRows(const std::uint8_t* packed, std::uint16_t* summed, std::uint16_t* copy, std::uint16_t* rowMax);

// The cells of `plane` over `level` in scan order: rows from 0, columns
// from 1 (column 0 is not scanned). At most `limit` + 1 are returned: one
// more than `limit` tells that there are too many.
// `rowMax` as UnpackRawRows left it.
std::vector<DetectedPixel> FindOverLevel(const std::uint16_t* plane, const std::uint16_t* rowMax, std::uint16_t level,
                                         std::size_t limit);

// The mean of the 100 samples of row 1012, columns 1400 to 1499 (integer division).
int CentreMean(const std::uint16_t* plane);

}  // namespace raw
