// The benchmark program: Google Benchmark's own table, then each figure
// beside what it is held against, from the same run. Times are CPU times
// unless named wall; with --benchmark_repetitions the medians are used.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/memory.h"

namespace {

struct Figure {
    double wallS = 0, cpuS = 0;
    std::map<std::string, double> counters;
};

// The console table as usual, and every benchmark's figures kept: the
// median where there are repetitions, else the one run.
class KeepingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Aggregate && !median) continue;
            const std::string name = run.run_name.str();
            if (!median && m_medians.count(name)) continue;
            if (median) m_medians.insert(name);
            const double unit = benchmark::GetTimeUnitMultiplier(run.time_unit);
            Figure& f = m_figures[name];
            f.wallS = run.GetAdjustedRealTime() / unit;
            f.cpuS = run.GetAdjustedCPUTime() / unit;
            for (const auto& [key, counter] : run.counters) f.counters[key] = counter.value;
        }
    }
    const Figure* Find(const std::string& name) const {
        auto it = m_figures.find(name);
        return it == m_figures.end() ? nullptr : &it->second;
    }

private:
    std::map<std::string, Figure> m_figures;
    std::set<std::string> m_medians;
};

void PrintStationRun(const KeepingReporter& r, const char* name, const char* what) {
    const Figure* f = r.Find(name);
    if (!f) return;
    std::printf("%s, one nominal camera:\n"
                "  wall %.1f ms (at most 200 ms); CPU: station %.1f ms, simulator %.1f ms;"
                " waits in virtual time %.1f s\n",
                what, f->wallS * 1e3, f->counters.at("station_ms"), f->counters.at("simulator_ms"),
                f->counters.at("virtual_s"));
}

void PrintBeside(const KeepingReporter& r, const char* name, const char* what, const char* reference,
                 const char* referenceWhat, std::optional<double> atMost) {
    const Figure *f = r.Find(name), *ref = r.Find(reference);
    if (!f || !ref) return;
    std::printf("%s: %.2f ms = %.2f x %s (%.2f ms)", what, f->cpuS * 1e3, f->cpuS / ref->cpuS, referenceWhat,
                ref->cpuS * 1e3);
    if (atMost) std::printf(" (at most %.0f x)", *atMost);
    std::printf("\n");
}

void PrintSummary(const KeepingReporter& r) {
    std::printf("\nFigures beside their references\n");
    PrintStationRun(r, "BM_StationRun/ccd", "CCD items (0x1B80)");
    PrintStationRun(r, "BM_StationRun/all", "every item (0xFB90)");
    if (const Figure* f = r.Find("BM_LineRun100/iterations:1"))
        std::printf("line run of every item over 100 cameras: wall %.1f s (under 30 s), CPU %.1f s\n", f->wallS,
                    f->cpuS);
    if (const Figure* f = r.Find("BM_RawPictureTransfer")) {
        std::printf("raw picture transfer: CPU: station %.2f ms, simulator %.2f ms\n", f->counters.at("station_ms"),
                    f->counters.at("simulator_ms"));
        if (const Figure* copy = r.Find("BM_CopyPictureFile"))
            std::printf("  the station's share = %.2f x a plain copy of the file's bytes (%.2f ms)\n",
                        f->counters.at("station_ms") / 1e3 / copy->cpuS, copy->cpuS * 1e3);
    }
    PrintBeside(r, "BM_UnpackAndScanFrame", "unpack, centre checks and scan of one frame", "BM_CopyFrameBytes",
                "a plain copy of its packed bytes", 2.0);
    if (const Figure* f = r.Find("BM_HistoryWriteRun/real_time"))
        std::printf("a run's record into the history: wall %.2f ms (under 5 ms), CPU %.2f ms\n", f->wallS * 1e3,
                    f->cpuS * 1e3);
    PrintBeside(r, "BM_StreamPlanes", "  writing the two planes alone, nothing computed", "BM_CopyFrameBytes",
                "that copy", std::nullopt);
}

}  // namespace

int main(int argc, char** argv) {
    // As the station's programs run.
    platform::KeepLargeBlocks();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    KeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintSummary(reporter);
    return 0;
}
