#include "adjust/raw_picture.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "platform/big_endian.h"

namespace raw {

namespace {

constexpr std::size_t kFirstDirectory = 8;
constexpr std::size_t kEntrySize = 12;
constexpr std::uint16_t kTagSubIfds = 330;
constexpr std::uint16_t kTagWidth = 256;
constexpr std::uint16_t kTagHeight = 257;

constexpr int kGroupBytes = 16;  // five 3-byte cells of two samples, one spare byte
constexpr int kFullGroups = 303;  // columns 0 to 3029; the last group holds 3030 to 3033
constexpr int kCentreRow = 1012;
constexpr int kCentreColumn = 1400;
constexpr int kCentreSamples = 100;

// A directory: its entry count and where its first entry is, if the whole
// of it lies inside the file.
struct Directory {
    const std::uint8_t* entries = nullptr;
    std::size_t count = 0;
};

std::optional<Directory> DirectoryAt(const std::uint8_t* file, std::size_t size, std::size_t at) {
    if (at > size || size - at < 2) return std::nullopt;
    const std::size_t count = platform::GetBe16(file + at);
    if ((size - at - 2) / kEntrySize < count) return std::nullopt;
    return Directory{file + at + 2, count};
}

std::uint64_t TypeSize(std::uint16_t type) {
    switch (type) {
        case 3: return 2;
        case 4:
        case 9: return 4;
        case 5:
        case 10: return 8;
        default: return 1;
    }
}

std::uint64_t Be64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_bswap64(v);
}

// A group's fifteen bytes are one big-endian stream of ten 12-bit samples.
void UnpackRowPortable(const std::uint8_t* in, std::uint16_t* summed, std::uint16_t* copy, std::uint16_t* rowMax) {
    std::uint16_t greatest = 0;
    for (int g = 0; g <= kFullGroups; ++g, in += kGroupBytes) {
        const std::uint64_t hi = Be64(in), lo = Be64(in + 8);
        const std::uint16_t v[10] = {
            static_cast<std::uint16_t>(hi >> 52),          static_cast<std::uint16_t>((hi >> 40) & 0xFFF),
            static_cast<std::uint16_t>((hi >> 28) & 0xFFF), static_cast<std::uint16_t>((hi >> 16) & 0xFFF),
            static_cast<std::uint16_t>((hi >> 4) & 0xFFF),  static_cast<std::uint16_t>(((hi & 0xF) << 8) | (lo >> 56)),
            static_cast<std::uint16_t>((lo >> 44) & 0xFFF), static_cast<std::uint16_t>((lo >> 32) & 0xFFF),
            static_cast<std::uint16_t>((lo >> 20) & 0xFFF), static_cast<std::uint16_t>((lo >> 8) & 0xFFF)};
        const int n = g < kFullGroups ? 10 : kWidth - 10 * kFullGroups;
        for (int i = 0; i < n; ++i) {
            summed[i] = static_cast<std::uint16_t>(summed[i] + v[i]);
            copy[i] = v[i];
            greatest = std::max(greatest, summed[i]);
        }
        summed += 10;
        copy += 10;
    }
    *rowMax = greatest;
}

#if defined(__x86_64__) || defined(__i386__)
// Four groups (64 bytes, 40 samples) at a time, eight samples per vector:
// each vector's samples lie within one 16-byte load, whose bytes a shuffle
// puts into eight big-endian pairs; even samples then sit in the top 12
// bits of their pair, odd ones in the bottom 12.
constexpr int kBlockGroups = 4;
constexpr int kBlocks = (kFullGroups + 1) / kBlockGroups;  // 76; the last holds the row's end
constexpr int kLoadBase[5] = {0, 12, 25, 38, 48};

__attribute__((target("sse4.1"))) __m128i ShuffleFor(int vector) {
    alignas(16) std::int8_t idx[16];
    for (int i = 0; i < 8; ++i) {
        const int n = 8 * vector + i;
        const int at = kGroupBytes * (n / 10) + 3 * (n % 10) / 2 - kLoadBase[vector];
        idx[2 * i] = static_cast<std::int8_t>(at + 1);
        idx[2 * i + 1] = static_cast<std::int8_t>(at);
    }
    return _mm_load_si128(reinterpret_cast<const __m128i*>(idx));
}

__attribute__((target("sse4.1"))) void UnpackRowsVector(const std::uint8_t* packed, std::uint16_t* summed,
                                                        std::uint16_t* copy, std::uint16_t* rowMax) {
    const __m128i shuffle[5] = {ShuffleFor(0), ShuffleFor(1), ShuffleFor(2), ShuffleFor(3), ShuffleFor(4)};
    const __m128i evenLanes = _mm_set1_epi32(0x0000FFFF);
    const __m128i oddLanes = _mm_set1_epi32(0x0FFF0000);
    for (int r = 0; r < kHeight; ++r) {
        const std::uint8_t* in = packed + kRowBytes * static_cast<std::size_t>(r);
        std::uint16_t* s = summed + std::size_t{kWidth} * static_cast<std::size_t>(r);
        std::uint16_t* c = copy + std::size_t{kWidth} * static_cast<std::size_t>(r);
        __m128i greatest = _mm_setzero_si128();
        for (int b = 0; b < kBlocks; ++b) {
            // The last block's fifth vector would reach past the row's 3034
            // samples: its two samples follow on their own.
            const int vectors = b + 1 < kBlocks ? 5 : 4;
            for (int k = 0; k < vectors; ++k) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + kLoadBase[k]));
                const __m128i pairs = _mm_shuffle_epi8(bytes, shuffle[k]);
                const __m128i v = _mm_or_si128(_mm_and_si128(_mm_srli_epi16(pairs, 4), evenLanes),
                                               _mm_and_si128(pairs, oddLanes));
                auto* sk = reinterpret_cast<__m128i*>(s + 8 * k);
                const __m128i sum = _mm_add_epi16(_mm_loadu_si128(sk), v);
                _mm_storeu_si128(sk, sum);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(c + 8 * k), v);
                greatest = _mm_max_epu16(greatest, sum);
            }
            if (b + 1 < kBlocks) {
                in += kBlockGroups * kGroupBytes;
                s += 10 * kBlockGroups;
                c += 10 * kBlockGroups;
            }
        }
        // Columns 3032 and 3033: the second cell of the last group.
        const std::uint8_t* cell = in + kGroupBytes * (kBlockGroups - 1) + 3;
        const std::uint16_t a = static_cast<std::uint16_t>((cell[0] << 4) | (cell[1] >> 4));
        const std::uint16_t z = static_cast<std::uint16_t>(((cell[1] & 0x0F) << 8) | cell[2]);
        s[32] = static_cast<std::uint16_t>(s[32] + a);
        s[33] = static_cast<std::uint16_t>(s[33] + z);
        c[32] = a;
        c[33] = z;
        alignas(16) std::uint16_t lanes[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), greatest);
        rowMax[r] = std::max({s[32], s[33], *std::max_element(lanes, lanes + 8)});
    }
}
#endif

}  // namespace

std::optional<RawLayout> LocateRawData(const std::uint8_t* file, std::size_t size) {
    if (!file) return std::nullopt;
    const auto main = DirectoryAt(file, size, kFirstDirectory);
    if (!main) return std::nullopt;
    std::optional<std::uint32_t> subOffset;
    for (std::size_t i = 0; i < main->count && !subOffset; ++i) {
        const std::uint8_t* e = main->entries + kEntrySize * i;
        if (platform::GetBe16(e) == kTagSubIfds) subOffset = platform::GetBe32(e + 8);
    }
    if (!subOffset) return std::nullopt;
    const auto sub = DirectoryAt(file, size, *subOffset);
    if (!sub) return std::nullopt;

    RawLayout layout;
    std::uint64_t dataEnd = 0;  // the end of the furthest out-of-line value
    for (std::size_t i = 0; i < sub->count; ++i) {
        const std::uint8_t* e = sub->entries + kEntrySize * i;
        const std::uint16_t tag = platform::GetBe16(e);
        const std::uint32_t value = platform::GetBe32(e + 8);
        if (tag == kTagWidth) layout.width = static_cast<int>(value & 0xFFFF);
        if (tag == kTagHeight) layout.height = static_cast<int>(value & 0xFFFF);
        const std::uint64_t bytes = platform::GetBe32(e + 4) * TypeSize(platform::GetBe16(e + 2));
        if (bytes > 4) dataEnd = std::max(dataEnd, value + bytes);
    }
    if (layout.width == 0 || layout.height == 0 || dataEnd == 0) return std::nullopt;
    if (layout.width >= kWideWidth) {
        layout.rows = kWideRows;
        layout.rowBytes = kWideRowBytes;
    }
    const std::uint64_t rowsBytes = std::uint64_t{layout.rowBytes} * static_cast<std::uint64_t>(layout.rows);
    if (dataEnd > size || rowsBytes > size - dataEnd) return std::nullopt;
    layout.offset = static_cast<std::size_t>(dataEnd);
    return layout;
}

void UnpackRawRows(const std::uint8_t* packed, std::uint16_t* summed, std::uint16_t* copy, std::uint16_t* rowMax) {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("sse4.1")) {
        UnpackRowsVector(packed, summed, copy, rowMax);
        return;
    }
#endif
    for (int r = 0; r < kHeight; ++r) {
        const std::size_t at = std::size_t{kWidth} * static_cast<std::size_t>(r);
        UnpackRowPortable(packed + kRowBytes * static_cast<std::size_t>(r), summed + at, copy + at, rowMax + r);
    }
}

std::vector<DetectedPixel> FindOverLevel(const std::uint16_t* plane, const std::uint16_t* rowMax, std::uint16_t level,
                                         std::size_t limit) {
    std::vector<DetectedPixel> found;
    for (int y = 0; y < kHeight && found.size() <= limit; ++y) {
        // Nearly every row of a dark frame has nothing over the level.
        if (rowMax[y] <= level) continue;
        const std::uint16_t* row = plane + std::size_t{kWidth} * static_cast<std::size_t>(y);
        for (int x = 1; x < kWidth && found.size() <= limit; ++x)
            if (row[x] > level) found.push_back({x, y, row[x]});
    }
    return found;
}

int CentreMean(const std::uint16_t* plane) {
    const std::uint16_t* p = plane + std::size_t{kWidth} * kCentreRow + kCentreColumn;
    int sum = 0;
    for (int i = 0; i < kCentreSamples; ++i) sum += p[i];
    return sum / kCentreSamples;
}

}  // namespace raw
