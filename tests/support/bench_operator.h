// The simulator's diligent operator at the bench of the simulator linked into
// the test (no library by name): it reads every message box the host shows
// and sets the bench as the prompt asks.

#pragma once

#include "sim/operator.h"
#include "sim/simulator.h"
#include "ui/host.h"

namespace test_support {

inline const SimBenchApi& LinkedBenchApi() {
    static const SimBenchApi api = [] {
        SimBenchApi a{};
        a.version = SIM_BENCH_API_VERSION;
        a.GetBench = [](SimBench* out) { *out = sim::Sim().Bench(); };
        a.SetBench = [](const SimBench* in) { sim::Sim().SetBench(*in); };
        a.ReadAmmeter = [] { return sim::Sim().ReadAmmeter(); };
        return a;
    }();
    return api;
}

// Follows the prompts of `host` for its lifetime.
class BenchOperator {
public:
    explicit BenchOperator(ui::Host& host) : host_(host) {
        host_.SetPromptWatcher([this](const std::string& caption, const std::string& text) { op_.Follow(caption, text); });
    }
    ~BenchOperator() { host_.SetPromptWatcher({}); }
    BenchOperator(const BenchOperator&) = delete;
    BenchOperator& operator=(const BenchOperator&) = delete;

    sim::DiligentOperator& Operator() { return op_; }

private:
    ui::Host& host_;
    sim::DiligentOperator op_{LinkedBenchApi()};
};

}  // namespace test_support
