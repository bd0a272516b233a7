// Whole runs of the station in virtual time: one nominal camera through the
// main window with the simulator bound directly, its CPU time split between
// the station and the simulator and shown beside the virtual time the run
// waited; and the headless line run over 100 cameras, with the simulated
// driver library loaded by name as the line program loads it.

#include <benchmark/benchmark.h>

#include <sstream>

#include "app/line_run.h"
#include "app/scripted_bench_operator.h"
#include "bench/bench_support.h"
#include "camera/usb_camera.h"
#include "platform/clock.h"
#include "shell/image_adjust_dlg.h"
#include "ui/scripted/scripted_host.h"

namespace {

constexpr int kTftPositionDlg = 157;
constexpr int kTftNtsc = 1141;
constexpr int kTftPositionOk = 1008;
constexpr int kConfirmationDlg = 162;

void BM_StationRun(benchmark::State& state, std::uint16_t selection) {
    bench::StationDir dir("imageadjust_bench_station");
    sim::Sim().Reset();
    platform::VirtualClock clock;
    ui::scripted::ScriptedHost host(clock);
    // No library by name: the window opens, then the simulator is bound.
    CUsbCamera::SetDriverLibraryName("libNoSuchDriver.so");
    CImageAdjustDlg dlg(host);
    dlg.Create();
    CUsbCamera::BindDriverEntry(&bench::TimedSimulatorEntry);
    app::ScriptedBenchOperator hands(host, sim::BenchApi());
    dlg.SetSelection(selection);

    std::int64_t cpuNs = 0, simulatorNs = 0, virtualMs = 0;
    int result = 1;
    for (auto _ : state) {
        // A fresh unit on the bench as it was left, as on the line.
        sim::Sim().ClearDevices();
        sim::Sim().AddCamera("nominal");
        sim::Sim().ClearCommands();
        host.ClearRecords();
        // The operator's hands at the windows that want them.
        if (host.PendingScripts(kTftPositionDlg) == 0)
            host.OnShow(kTftPositionDlg).Click(kTftNtsc).Wait(500).Click(kTftPositionOk);
        if (host.PendingScripts(kConfirmationDlg) == 0) host.OnShow(kConfirmationDlg).Click(ui::IDOK);

        const std::int64_t cpu = bench::ThreadCpuNs(), simulator = bench::SimulatorCpuNs(), now = clock.NowMs();
        host.Click(dlg, CImageAdjustDlg::IDC_START);
        cpuNs += bench::ThreadCpuNs() - cpu;
        simulatorNs += bench::SimulatorCpuNs() - simulator;
        virtualMs += clock.NowMs() - now;
        result = dlg.LastResult();
        if (result != 1) break;
    }
    if (dlg.m_pCamera) dlg.m_pCamera->DisconnectCamera();
    CUsbCamera::BindDriverEntry(nullptr);
    if (result != 1) {
        state.SkipWithError(("the run ended with ERROR NO=" + std::to_string(result)).c_str());
        return;
    }
    using benchmark::Counter;
    state.counters["station_ms"] = Counter(double(cpuNs - simulatorNs) / 1e6, Counter::kAvgIterations);
    state.counters["simulator_ms"] = Counter(double(simulatorNs) / 1e6, Counter::kAvgIterations);
    state.counters["virtual_s"] = Counter(double(virtualMs) / 1e3, Counter::kAvgIterations);
}
// The CCD items (sensitivity, line crawl, ratio, aperture, defect, then the
// CCD EEPROM flash-up), and every item.
BENCHMARK_CAPTURE(BM_StationRun, ccd, std::uint16_t{0x1B80})->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_StationRun, all, std::uint16_t{0xFB90})->Unit(benchmark::kMillisecond);

void BM_LineRun100(benchmark::State& state) {
    bench::StationDir dir("imageadjust_bench_line");
    CUsbCamera::BindDriverEntry(nullptr);
    CUsbCamera::SetDriverLibraryName(LVX_DRIVER_LIBRARY_NAME);
    line::Options options;
    options.items = {"0xFB90"};
    options.cameras = 100;
    int status = 0;
    for (auto _ : state) {
        std::ostringstream out, err;
        status = line::Run(options, out, err);
        if (status != 0) break;
    }
    if (status != 0) state.SkipWithError(("the line run exited with " + std::to_string(status)).c_str());
}
BENCHMARK(BM_LineRun100)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
