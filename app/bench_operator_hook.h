#pragma once
// The simulator's operator at the bench of a demo station: while the main
// window's driver library is the simulator, the operator reads every prompt
// of the host as it appears and sets the simulated bench the way it asks;
// the person still answers the box. A library without the simulator's bench
// API is a real camera's, and nothing here touches it.

#include <functional>
#include <memory>

#include "shell/image_adjust_dlg.h"
#include "sim/bench_api.h"

namespace sim {
class DiligentOperator;
}
namespace ui {
class Host;
}

namespace app {

class BenchOperatorHook : public CImageAdjustDlg::DriverLibraryObserver {
public:
    explicit BenchOperatorHook(ui::Host& host);
    ~BenchOperatorHook() override;
    BenchOperatorHook(const BenchOperatorHook&) = delete;
    BenchOperatorHook& operator=(const BenchOperatorHook&) = delete;

    void DriverLibraryLoaded(platform::SharedLibrary& library) override;
    // The operator reaches the bench through the library: it leaves first.
    void DriverLibraryFreeing(platform::SharedLibrary& library) override;

    // The bench API of the loaded library; null unless it is the simulator.
    const SimBenchApi* Bench() const { return m_bench; }
    // The operator at that bench, who also types what an input box asks.
    sim::DiligentOperator* Operator() const { return m_operator.get(); }

    // Told of the bench when a library with it has loaded, and with null
    // before that library is freed (the station program's bench window).
    using BenchListener = std::function<void(const SimBenchApi* bench)>;
    void SetBenchListener(BenchListener listener) { m_listener = std::move(listener); }

private:
    void StopWatching();

    ui::Host& m_host;
    const SimBenchApi* m_bench = nullptr;
    std::unique_ptr<sim::DiligentOperator> m_operator;
    BenchListener m_listener;
};

}  // namespace app
