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
constexpr int kScanStretch = 32;

// The greatest of kScanStretch samples; of a fixed count, so that the
// compiler makes it a few vector steps.
std::uint16_t StretchMax(const std::uint16_t* p) {
    std::uint16_t greatest = 0;
    for (int i = 0; i < kScanStretch; ++i) greatest = std::max(greatest, p[i]);
    return greatest;
}

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

// Bytes of one value of a field, by its type; the types not named here are
// counted a byte a value.
std::uint64_t TypeSize(std::uint16_t type) {
    enum : std::uint16_t { kShort = 3, kLong = 4, kRational = 5, kSignedLong = 9, kSignedRational = 10 };
    switch (type) {
        case kShort: return sizeof(std::uint16_t);
        case kLong:
        case kSignedLong: return sizeof(std::uint32_t);
        case kRational:
        case kSignedRational: return 2 * sizeof(std::uint32_t);
        default: return sizeof(std::uint8_t);
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
            summed[i] = v[i];
            copy[i] = v[i];
            greatest = std::max(greatest, v[i]);
        }
        summed += 10;
        copy += 10;
    }
    *rowMax = greatest;
}

#if defined(__x86_64__) || defined(__i386__)
// Eight groups (128 bytes, 80 samples) at a time, sixteen samples per
// vector: each half of a vector takes its eight samples from a 16-byte load
// of its own, whose bytes a shuffle puts into eight big-endian pairs; even
// samples then sit in the top 12 bits of their pair, odd ones in the
// bottom 12.
constexpr int kBlockGroups = 8;
constexpr int kBlockBytes = kGroupBytes * kBlockGroups;
constexpr int kBlockSamples = 10 * kBlockGroups;
constexpr int kBlocks = (kFullGroups + 1) / kBlockGroups;  // 38; the last holds the row's end
constexpr int kVectors = kBlockSamples / 16;
// Where the load of each eight samples of a block starts: within their own
// groups, so that no load reaches past the row.
constexpr int kLoadBase[2 * kVectors] = {0, 12, 25, 38, 48, 64, 76, 89, 102, 112};
constexpr int kChunkSamples = 8;  // 16 bytes of a plane

__attribute__((target("avx2"))) __m128i ShuffleFor(int half) {
    alignas(16) std::int8_t idx[16];
    for (int i = 0; i < 8; ++i) {
        const int n = 8 * half + i;
        const int at = kGroupBytes * (n / 10) + 3 * (n % 10) / 2 - kLoadBase[half];
        idx[2 * i] = static_cast<std::int8_t>(at + 1);
        idx[2 * i + 1] = static_cast<std::int8_t>(at);
    }
    return _mm_load_si128(reinterpret_cast<const __m128i*>(idx));
}

// Sixteen samples of a block, the j-th sixteen.
__attribute__((target("avx2"))) inline __m256i UnpackVector(const std::uint8_t* block, int j, __m256i shuffle) {
    const __m256i bytes = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(block + kLoadBase[2 * j + 1]),
                                              reinterpret_cast<const __m128i*>(block + kLoadBase[2 * j]));
    const __m256i pairs = _mm256_shuffle_epi8(bytes, shuffle);
    return _mm256_blend_epi16(_mm256_srli_epi16(pairs, 4), _mm256_and_si256(pairs, _mm256_set1_epi16(0x0FFF)), 0xAA);
}

// The planes are far larger than the caches and hardly read again (the
// scan reads only rows whose greatest value is over the level), so they are
// written with streaming stores, which need 16-byte aligned places. A row
// is unpacked into `staged` behind the samples of the rows before it that
// do not fill 16 bytes of the planes yet; whole 16 bytes go out to both
// planes, and what is left waits for the next row.
__attribute__((target("avx2"))) void UnpackRowsStreaming(const std::uint8_t* packed, std::uint16_t* summed,
                                                         std::uint16_t* copy, std::uint16_t* rowMax) {
    __m256i shuffle[kVectors];
    for (int j = 0; j < kVectors; ++j) shuffle[j] = _mm256_setr_m128i(ShuffleFor(2 * j), ShuffleFor(2 * j + 1));
    // The last vector of a row holds its last ten samples, then the empty
    // cells of its last group.
    const __m256i rowEnd = _mm256_setr_epi16(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 0, 0, 0, 0, 0);
    static_assert(kBlocks * kBlockSamples - kWidth == 6);
    alignas(16) std::uint16_t staged[kChunkSamples + kBlocks * kBlockSamples];
    std::size_t held = 0;
    for (int r = 0; r < kHeight; ++r) {
        const std::uint8_t* in = packed + kRowBytes * static_cast<std::size_t>(r);
        std::uint16_t* s = staged + held;
        __m256i greatest = _mm256_setzero_si256();
        for (int b = 0; b < kBlocks; ++b, in += kBlockBytes, s += kBlockSamples) {
            for (int j = 0; j < kVectors; ++j) {
                __m256i v = UnpackVector(in, j, shuffle[j]);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(s + 16 * j), v);
                if (b + 1 == kBlocks && j + 1 == kVectors) v = _mm256_and_si256(v, rowEnd);
                greatest = _mm256_max_epu16(greatest, v);
            }
        }
        alignas(32) std::uint16_t lanes[16];
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), greatest);
        rowMax[r] = *std::max_element(lanes, lanes + 16);

        const std::size_t ready = held + kWidth;
        const std::size_t whole = ready - ready % kChunkSamples;
        for (std::size_t i = 0; i < whole; i += kChunkSamples) {
            const __m128i chunk = _mm_load_si128(reinterpret_cast<const __m128i*>(staged + i));
            _mm_stream_si128(reinterpret_cast<__m128i*>(summed + i), chunk);
            _mm_stream_si128(reinterpret_cast<__m128i*>(copy + i), chunk);
        }
        summed += whole;
        copy += whole;
        held = ready - whole;
        std::copy_n(staged + whole, held, staged);
    }
    std::copy_n(staged, held, summed);
    std::copy_n(staged, held, copy);
    _mm_sfence();  // the streamed stores are seen before anything after them
}

bool Aligned16(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 16 == 0; }
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
    if (__builtin_cpu_supports("avx2") && Aligned16(summed) && Aligned16(copy)) {
        UnpackRowsStreaming(packed, summed, copy, rowMax);
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
        // Nor nearly every stretch of such a row.
        const std::uint16_t* row = plane + std::size_t{kWidth} * static_cast<std::size_t>(y);
        for (int from = 1; from < kWidth && found.size() <= limit; from += kScanStretch) {
            const int to = std::min(from + kScanStretch, kWidth);
            if (to - from == kScanStretch && StretchMax(row + from) <= level) continue;
            for (int x = from; x < to && found.size() <= limit; ++x)
                if (row[x] > level) found.push_back({x, y, row[x]});
        }
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
