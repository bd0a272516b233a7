#include "app/bench_operator_hook.h"

#include "platform/library.h"
#include "sim/operator.h"
#include "ui/host.h"

namespace app {

BenchOperatorHook::BenchOperatorHook(ui::Host& host) : m_host(host) {}

BenchOperatorHook::~BenchOperatorHook() { StopWatching(); }

void BenchOperatorHook::DriverLibraryLoaded(platform::SharedLibrary& library) {
    StopWatching();
    auto get = library.Function<SimGetBenchApiFn>(SIM_BENCH_API_ENTRY);
    m_bench = get ? get(SIM_BENCH_API_VERSION) : nullptr;
    if (!m_bench) return;
    m_operator = std::make_unique<sim::DiligentOperator>(*m_bench);
    m_host.SetPromptWatcher([hands = m_operator.get()](const std::string& caption, const std::string& text) {
        hands->Follow(caption, text);
    });
    if (m_listener) m_listener(m_bench);
}

void BenchOperatorHook::DriverLibraryFreeing(platform::SharedLibrary&) { StopWatching(); }

void BenchOperatorHook::StopWatching() {
    if (m_bench && m_listener) m_listener(nullptr);
    if (m_operator) m_host.SetPromptWatcher({});
    m_operator.reset();
    m_bench = nullptr;
}

}  // namespace app
