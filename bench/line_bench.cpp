// What the station costs in CPU when time is virtual: a whole line run of the
// CCD EEPROM flash-up on a nominal unit, the simulator's picture render with
// the camera's 300 x 300 area measurement, and a full raw picture transfer
// through the camera link with the simulator bound directly.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "app/line_run.h"
#include "camera/usb_camera.h"
#include "platform/clock.h"
#include "sim/model.h"
#include "sim/picture_file.h"
#include "sim/simulator.h"
#include "sim/unit_profile.h"

namespace {

namespace fs = std::filesystem;

fs::path BinDir() { return fs::read_symlink("/proc/self/exe").parent_path(); }

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

void BM_LineRunCcdFlashUp(benchmark::State& state) {
    // A working directory of its own, with the standards beside the program.
    const fs::path dir = fs::temp_directory_path() / ("imageadjust_bench_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::copy_file(BinDir() / "STD.DAT", dir / "STD.DAT", fs::copy_options::overwrite_existing);
    const fs::path old = fs::current_path();
    fs::current_path(dir);
    CUsbCamera::SetDriverLibraryName(LVX_DRIVER_LIBRARY_NAME);

    line::Options options;
    options.items = {"ccd-flashup"};
    options.units = {"nominal"};
    int status = 0;
    for (auto _ : state) {
        std::ostringstream out, err;
        status = line::Run(options, out, err);
        benchmark::DoNotOptimize(out.str().size());
    }
    fs::current_path(old);
    fs::remove_all(dir);
    if (status != 0) state.SkipWithError("the line run did not pass");
}
BENCHMARK(BM_LineRunCcdFlashUp)->Unit(benchmark::kMillisecond);

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
    CUsbCamera::BindDriverEntry(&SimLvDriverEntry);
    if (camera.ConnectCamera() != 1 || camera.ResumeSession() != 1) {
        state.SkipWithError("no simulated camera");
        return;
    }
    std::vector<std::uint8_t> buffer(sim::PictureLayout().totalSize);
    ImageFileInfo info;
    int result = 1;
    for (auto _ : state) {
        result = camera.CaptureRawImage(buffer.data(), static_cast<std::uint32_t>(buffer.size()), &info);
        sim::Sim().ClearCommands();  // the record keeps every block's data
        if (result != 1) break;
    }
    camera.DisconnectCamera();
    CUsbCamera::BindDriverEntry(nullptr);
    if (result != 1) {
        state.SkipWithError("the transfer failed");
        return;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * info.totalSize);
}
BENCHMARK(BM_RawPictureTransfer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
