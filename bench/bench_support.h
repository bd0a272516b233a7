// What the benchmarks share: a working directory with the sample standards,
// the thread's CPU time, and the simulated driver entry bound directly with
// the CPU time spent inside it counted, so that a figure can tell the
// station's own cost from the simulator's.

#pragma once

#include <time.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "sim/simulator.h"

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

// A working directory of its own under the temporary directory, with the
// sample standards from beside the program, which the main window reads as
// it opens; the previous one again, and the folder gone, afterwards.
class StationDir {
public:
    explicit StationDir(std::string_view name)
        : m_root(std::filesystem::temp_directory_path() / (std::string(name) + "_" + std::to_string(::getpid()))),
          m_previous(std::filesystem::current_path()) {
        const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe");
        std::filesystem::remove_all(m_root);
        std::filesystem::create_directories(m_root);
        std::filesystem::current_path(m_root);
        std::filesystem::copy_file(program.parent_path() / "STD.DAT", "STD.DAT");
    }
    ~StationDir() {
        std::error_code ignored;  // a destructor must not throw
        std::filesystem::current_path(m_previous, ignored);
        std::filesystem::remove_all(m_root, ignored);
    }
    StationDir(const StationDir&) = delete;
    StationDir& operator=(const StationDir&) = delete;

private:
    std::filesystem::path m_root, m_previous;
};

}  // namespace bench
