// The defect correction's own CPU cost: unpacking one full frame of packed
// 12-bit rows into the summed and copy planes, their centre checks and the
// scan for pixels over the level, as the station does them, beside a plain
// copy of the same packed bytes and beside the least that writing the two
// planes costs on this machine.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "adjust/raw_picture.h"

namespace {

// A dark frame: low levels with a few hot pixels, packed as the camera packs.
std::vector<std::uint8_t> PackedDarkFrame() {
    std::vector<std::uint8_t> packed(raw::kPackedBytes);
    std::uint32_t seed = 12345;
    for (std::size_t r = 0; r < static_cast<std::size_t>(raw::kHeight); ++r) {
        std::uint8_t* row = packed.data() + r * raw::kRowBytes;
        for (std::size_t cell = 0; cell + 3 <= raw::kRowBytes; cell += cell % 16 == 12 ? 4 : 3) {
            seed = seed * 1103515245u + 12345u;
            const unsigned a = (seed >> 16) & 7, b = (seed >> 20) & 7;
            const unsigned hot = (seed >> 8) % 40000 == 0 ? 600 : 0;
            const unsigned s0 = a + hot, s1 = b;
            row[cell] = static_cast<std::uint8_t>(s0 >> 4);
            row[cell + 1] = static_cast<std::uint8_t>(((s0 & 15) << 4) | (s1 >> 8));
            row[cell + 2] = static_cast<std::uint8_t>(s1);
        }
    }
    return packed;
}

// A plane as the station allocates it.
std::unique_ptr<std::uint16_t[]> Plane() { return std::unique_ptr<std::uint16_t[]>(new std::uint16_t[raw::kPlaneSamples]()); }

void BM_UnpackAndScanFrame(benchmark::State& state) {
    const std::vector<std::uint8_t> packed = PackedDarkFrame();
    const auto summed = Plane(), copy = Plane();
    std::vector<std::uint16_t> rowMax(raw::kHeight);
    std::size_t found = 0;
    for (auto _ : state) {
        raw::UnpackRawRows(packed.data(), summed.get(), copy.get(), rowMax.data());
        benchmark::DoNotOptimize(raw::CentreMean(copy.get()) + raw::CentreMean(summed.get()));
        found = raw::FindOverLevel(summed.get(), rowMax.data(), 150, 391).size();
        benchmark::DoNotOptimize(found);
        benchmark::ClobberMemory();
    }
    state.counters["found"] = static_cast<double>(found);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw::kPackedBytes));
}
BENCHMARK(BM_UnpackAndScanFrame)->Unit(benchmark::kMillisecond);

void BM_CopyFrameBytes(benchmark::State& state) {
    const std::vector<std::uint8_t> packed = PackedDarkFrame();
    std::vector<std::uint8_t> out(raw::kPackedBytes);
    for (auto _ : state) {
        std::memcpy(out.data(), packed.data(), packed.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * raw::kPackedBytes));
}
BENCHMARK(BM_CopyFrameBytes)->Unit(benchmark::kMillisecond);

#if defined(__SSE2__)
// Both planes written with streaming stores and nothing computed: the
// memory's own cost of what the unpack must write.
void BM_StreamPlanes(benchmark::State& state) {
    const auto summed = Plane(), copy = Plane();
    const __m128i fill = _mm_set1_epi16(1);
    for (auto _ : state) {
        for (std::size_t i = 0; i + 8 <= raw::kPlaneSamples; i += 8) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(summed.get() + i), fill);
            _mm_stream_si128(reinterpret_cast<__m128i*>(copy.get() + i), fill);
        }
        _mm_sfence();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_StreamPlanes)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
