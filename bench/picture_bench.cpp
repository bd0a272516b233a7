// The simulator's picture work and the camera link's picture path: a
// picture rendered and measured over the 300 x 300 area, and a full raw
// picture transfer through the link with the simulator bound directly, its
// CPU time split between the station and the simulator, beside a plain
// copy of as many bytes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/bench_support.h"
#include "camera/usb_camera.h"
#include "platform/clock.h"
#include "sim/model.h"
#include "sim/picture_file.h"
#include "sim/unit_profile.h"

namespace {

// The sensitivity bench: tool lens, ND3, colour viewer at LV13, closest.
SimBench LitBench() {
    SimBench b = sim::Simulator::DefaultBench();
    b.lens = SIM_LENS_TOOL_F8;
    b.ndFilter = 3;
    b.light = SIM_LIGHT_VIEWER;
    b.lightLevel = 13;
    b.closest = 1;
    return b;
}

void BM_RenderAndMeasure300(benchmark::State& state) {
    auto unit = sim::FindProfile("nominal");
    sim::Sim().Reset();
    const sim::CameraMemories mem = sim::Sim().FirstCamera().ModelMemories();
    const SimBench bench = LitBench();
    sim::Exposure exposure;
    exposure.conditions = {24, 0, 72, 0};  // the sensitivity baseline's shutter, ISO code 72
    double grSum = 0;
    for (auto _ : state) {
        ++exposure.seed;  // a fresh picture every time: nothing is cached
        auto picture = sim::TakePicture(*unit, bench, mem, exposure);
        auto m = sim::MeasureArea(*picture, 1360, 862, 300, 300);
        if (!m) {
            state.SkipWithError("the area lies outside the sensor");
            return;
        }
        // Kept alive whole: handed a small scalar instead, the library's
        // in-out asm let GCC read it back from a stack slot never written,
        // and the counter showed garbage in optimised builds.
        benchmark::DoNotOptimize(*m);
        grSum += (*m)[0];
    }
    // The mean over every picture, so that it does not depend on how many
    // iterations the build's speed allows.
    state.counters["Gr"] = benchmark::Counter(grSum / 10.0, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_RenderAndMeasure300)->Unit(benchmark::kMillisecond);

void BM_RawPictureTransfer(benchmark::State& state) {
    sim::Sim().Reset();
    sim::Sim().SetBench(LitBench());
    platform::VirtualClock clock;
    CUsbCamera camera(clock);
    CUsbCamera::SetLinkFlags(0);
    CUsbCamera::BindDriverEntry(&bench::TimedSimulatorEntry);
    if (camera.ConnectCamera() != 1 || camera.ResumeSession() != 1) {
        CUsbCamera::BindDriverEntry(nullptr);
        state.SkipWithError("no simulated camera");
        return;
    }
    std::vector<std::uint8_t> buffer(sim::PictureLayout().totalSize);
    ImageFileInfo info;
    int result = 1;
    std::int64_t cpuNs = 0, simulatorNs = 0;
    for (auto _ : state) {
        const std::int64_t cpu = bench::ThreadCpuNs(), simulator = bench::SimulatorCpuNs();
        result = camera.CaptureRawImage(buffer.data(), static_cast<std::uint32_t>(buffer.size()), &info);
        cpuNs += bench::ThreadCpuNs() - cpu;
        simulatorNs += bench::SimulatorCpuNs() - simulator;
        sim::Sim().ClearCommands();  // the record keeps every block's data
        if (result != 1) break;
    }
    camera.DisconnectCamera();
    CUsbCamera::BindDriverEntry(nullptr);
    if (result != 1) {
        state.SkipWithError("the transfer failed");
        return;
    }
    using benchmark::Counter;
    state.counters["station_ms"] = Counter(double(cpuNs - simulatorNs) / 1e6, Counter::kAvgIterations);
    state.counters["simulator_ms"] = Counter(double(simulatorNs) / 1e6, Counter::kAvgIterations);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * info.totalSize);
}
BENCHMARK(BM_RawPictureTransfer)->Unit(benchmark::kMillisecond);

void BM_CopyPictureFile(benchmark::State& state) {
    const std::vector<std::uint8_t> file(sim::PictureLayout().totalSize, 0x5A);
    std::vector<std::uint8_t> out(file.size());
    for (auto _ : state) {
        std::memcpy(out.data(), file.data(), file.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
}
BENCHMARK(BM_CopyPictureFile)->Unit(benchmark::kMillisecond);

}  // namespace
