// What keeping the line's history costs per camera: one run of every CCD
// item (about a hundred judged measurements) written into an SQLite history
// in one durable transaction.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "history/history_store.h"

namespace {

history::RunDocument WholeRun(int n) {
    history::RunDocument d;
    d.runId = "bench-" + std::to_string(n);
    d.station = "bench";
    d.identification = "W73N000000001";
    d.startedAtMs = 1765200000000 + 60000LL * n;
    d.endedAtMs = d.startedAtMs + 95000;
    d.selection = 0x1b80;
    d.selectedItems = {"sensitivity", "line-crawl", "ratio", "aperture", "defect", "ccd-flashup"};
    d.result = 1;
    d.programVersion = "1.02";
    d.standardsHash = std::string(64, 'f');
    for (const auto& key : d.selectedItems) d.items.push_back({key, 1, 0, 1000});
    for (int m = 0; m < 100; ++m)
        d.measurements.push_back({d.selectedItems[static_cast<std::size_t>(m % 6)], m % 5 + 1,
                                  "quantity " + std::to_string(m % 17), 400.0 + m, 390.0, 520.0, "LSB", true});
    return d;
}

void BM_HistoryWriteRun(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / ("imageadjust_history_bench_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::string error;
    auto store = history::OpenSqliteStore((dir / "HISTORY.DB").string(), &error);
    if (!store) {
        state.SkipWithError(error.c_str());
        return;
    }
    int n = 0;
    for (auto _ : state) {
        if (!store->Write(WholeRun(++n), &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    store.reset();
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_HistoryWriteRun)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
