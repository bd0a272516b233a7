// The picture file from the camera, as the defect correction takes it:
// locating the sensor data, unpacking it into the planes, the centre mean
// and the scan for pixels over the level.
//
// Input: the total size the camera reports (4 bytes, big-endian), the
// judgement level (2 bytes), then the first bytes of the file. The rest of
// the station's zero-filled image buffer stays 0, as after a transfer of
// that size. Every unpacked sample of the rows the input reaches is checked
// against the packing read byte by byte, and the scan against the plane.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "adjust/raw_picture.h"
#include "platform/big_endian.h"

namespace {

// As the defect correction allocates them.
constexpr std::size_t kImageFileBytes = 10'000'000;
constexpr std::size_t kMaxDetections = 391;

struct Buffers {
    std::vector<std::uint8_t> file = std::vector<std::uint8_t>(kImageFileBytes);
    std::vector<std::uint16_t> summed = std::vector<std::uint16_t>(raw::kPlaneSamples);
    std::vector<std::uint16_t> copy = std::vector<std::uint16_t>(raw::kPlaneSamples);
    std::vector<std::uint16_t> rowMax = std::vector<std::uint16_t>(raw::kHeight);
    std::size_t dirty = 0;  // bytes of `file` the last input wrote
};

[[noreturn]] void Fail(const char* what, long a, long b) {
    std::fprintf(stderr, "%s (%ld, %ld)\n", what, a, b);
    std::abort();
}

// Sample `x` of a packed row: ten 12-bit samples in the first fifteen bytes
// of each 16-byte group, two to a 3-byte cell.
std::uint16_t PackedSample(const std::uint8_t* row, int x) {
    const std::uint8_t* cell = row + 16 * (x / 10) + 3 * ((x % 10) / 2);
    return x % 2 == 0 ? static_cast<std::uint16_t>((cell[0] << 4) | (cell[1] >> 4))
                      : static_cast<std::uint16_t>(((cell[1] & 0x0F) << 8) | cell[2]);
}

void CheckRow(const Buffers& b, const std::uint8_t* packed, int y) {
    const std::uint8_t* row = packed + raw::kRowBytes * static_cast<std::size_t>(y);
    const std::size_t at = std::size_t{raw::kWidth} * static_cast<std::size_t>(y);
    std::uint16_t greatest = 0;
    for (int x = 0; x < raw::kWidth; ++x) {
        const std::uint16_t v = PackedSample(row, x);
        // The summed plane was cleared before this one picture.
        if (b.copy[at + x] != v || b.summed[at + x] != v) Fail("unpacked sample differs", x, y);
        greatest = std::max(greatest, v);
    }
    if (b.rowMax[y] != greatest) Fail("row maximum differs", y, b.rowMax[y]);
}

// `rows`: the rows the input reaches; every other row was packed from zero
// bytes.
void CheckScan(const Buffers& b, std::uint16_t level, const std::set<int>& rows) {
    const std::vector<DetectedPixel> found =
        raw::FindOverLevel(b.summed.data(), b.rowMax.data(), level, kMaxDetections);
    if (found.size() > kMaxDetections + 1) Fail("scan returned too many", static_cast<long>(found.size()), 0);
    for (std::size_t i = 0; i < found.size(); ++i) {
        const DetectedPixel& p = found[i];
        if (p.x < 1 || p.x >= raw::kWidth || p.y < 0 || p.y >= raw::kHeight) Fail("pixel outside the scan", p.x, p.y);
        const std::uint16_t v = b.summed[std::size_t{raw::kWidth} * static_cast<std::size_t>(p.y) + p.x];
        if (v != p.level || v <= level) Fail("pixel not over the level", p.x, p.y);
        if (i > 0 && std::pair(found[i - 1].y, found[i - 1].x) >= std::pair(p.y, p.x)) Fail("not in scan order", p.x, p.y);
    }
    static const std::vector<std::uint16_t> zeroRow(raw::kWidth);
    std::size_t over = 0;
    for (int y = 0; y < raw::kHeight; ++y) {
        const std::uint16_t* row = b.summed.data() + std::size_t{raw::kWidth} * static_cast<std::size_t>(y);
        if (!rows.count(y)) {
            if (std::memcmp(row, zeroRow.data(), sizeof(std::uint16_t) * raw::kWidth) != 0 || b.rowMax[y] != 0)
                Fail("a row of zero bytes unpacked to samples", y, b.rowMax[y]);
            continue;
        }
        for (int x = 1; x < raw::kWidth; ++x) over += row[x] > level;
    }
    if (found.size() <= kMaxDetections && over != found.size())
        Fail("scan missed pixels over the level", static_cast<long>(over), static_cast<long>(found.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Buffers b;
    if (size < 6) return 0;
    const std::uint32_t total = platform::GetBe32(data);
    const std::uint16_t level = platform::GetBe16(data + 4);
    // A picture larger than the buffer is refused before its transfer.
    if (total > kImageFileBytes) return 0;
    const std::size_t bytes = std::min<std::size_t>(size - 6, total);
    std::fill_n(b.file.begin(), b.dirty, std::uint8_t{0});
    std::memcpy(b.file.data(), data + 6, bytes);
    b.dirty = bytes;

    const auto layout = raw::LocateRawData(b.file.data(), total);
    if (!layout) return 0;
    if (layout->offset + layout->rowBytes * static_cast<std::size_t>(layout->rows) > total)
        Fail("rows run past the file", static_cast<long>(layout->offset), static_cast<long>(total));
    if (layout->width == 0 || layout->height == 0) Fail("empty layout accepted", layout->width, layout->height);
    // The station unpacks only the layout its planes have.
    if (layout->Wide()) return 0;

    std::fill(b.summed.begin(), b.summed.end(), std::uint16_t{0});
    const std::uint8_t* packed = b.file.data() + layout->offset;
    raw::UnpackRawRows(packed, b.summed.data(), b.copy.data(), b.rowMax.data());

    // The rows the input reaches, the first and last, and the centre row.
    std::set<int> rows = {0, raw::kHeight / 2, raw::kHeight - 1};
    if (bytes > layout->offset) {
        const std::size_t last = std::min<std::size_t>((bytes - layout->offset - 1) / raw::kRowBytes, raw::kHeight - 1);
        for (std::size_t y = 0; y <= last; ++y) rows.insert(static_cast<int>(y));
    }
    for (int y : rows) CheckRow(b, packed, y);

    int sum = 0;
    for (int x = 1400; x < 1500; ++x) sum += PackedSample(packed + raw::kRowBytes * 1012, x);
    if (raw::CentreMean(b.copy.data()) != sum / 100 || raw::CentreMean(b.summed.data()) != sum / 100)
        Fail("centre mean differs", raw::CentreMean(b.copy.data()), sum / 100);
    CheckScan(b, level, rows);
    return 0;
}
