// What the benchmarks share: a working directory with the sample standards,
// the thread's CPU time, and the simulated driver entry bound directly with
// the CPU time spent inside it counted, so that a figure can tell the
// station's own cost from the simulator's.

#pragma once

#include <time.h>

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "sim/simulator.h"
#include "tests/support/work_dir.h"

namespace bench {

inline std::int64_t ThreadCpuNs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

// CPU time spent inside TimedSimulatorEntry so far.
inline std::int64_t& SimulatorCpuNs() {
    static std::int64_t ns = 0;
    return ns;
}

// The simulator's entry, for CUsbCamera::BindDriverEntry.
inline std::uint32_t TimedSimulatorEntry(std::uint32_t selector, void* block, std::uint32_t driverHandle) {
    const std::int64_t start = ThreadCpuNs();
    const std::uint32_t result = SimLvDriverEntry(selector, block, driverHandle);
    SimulatorCpuNs() += ThreadCpuNs() - start;
    return result;
}

// A working directory of its own, with the sample standards from beside
// the program, which the main window reads as it opens.
class StationDir {
public:
    explicit StationDir(std::string_view name) : m_dir(name) {
        std::filesystem::copy_file(test_support::BinDir() / "STD.DAT", "STD.DAT");
    }

private:
    test_support::WorkDir m_dir;
};

}  // namespace bench
