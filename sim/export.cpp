// The two exports of the simulated driver library: the driver entry and the
// bench API. Everything else stays hidden.

#include <cstdint>

#include "sim/simulator.h"

#define SIM_EXPORT extern "C" __attribute__((visibility("default")))

SIM_EXPORT std::uint32_t LvDriverEntry(std::uint32_t selector, void* block, std::uint32_t driverHandle) {
    return sim::GuardedLvDriverEntry(selector, block, driverHandle);
}

SIM_EXPORT const SimBenchApi* SimGetBenchApi(std::uint32_t version) {
    return version >= 1 && version <= SIM_BENCH_API_VERSION ? &sim::BenchApi() : nullptr;
}
