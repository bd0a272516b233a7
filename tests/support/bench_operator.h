// The simulator's diligent operator at the bench of a test that links the
// simulator (app/scripted_bench_operator.h).

#pragma once

#include "app/scripted_bench_operator.h"
#include "sim/simulator.h"

namespace test_support {

class BenchOperator : public app::ScriptedBenchOperator {
public:
    explicit BenchOperator(ui::scripted::ScriptedHost& host) : ScriptedBenchOperator(host, sim::BenchApi()) {}
};

}  // namespace test_support
