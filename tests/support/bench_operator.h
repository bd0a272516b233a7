// The simulator's diligent operator at the bench of a test that links the
// simulator: it reads every message box of the host as it appears and sets
// the bench, and it types the ammeter reading into the current input window
// and confirms it, as a person at the bench does.

#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/operator.h"
#include "sim/simulator.h"
#include "ui/scripted/scripted_host.h"

namespace test_support {

// The bench API over the simulator linked into the test.
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

class BenchOperator {
public:
    static constexpr int kCurrentInputDlg = 154;
    static constexpr int kCurrentPrompt = 1135;
    static constexpr int kCurrentEdit = 1028;

    explicit BenchOperator(ui::scripted::ScriptedHost& host) : host_(host), hands_(LinkedBenchApi()) {
        host_.SetPromptWatcher([this](const std::string& caption, const std::string& text) {
            hands_.Follow(caption, text);
        });
        host_.SetDefaultScript([this](ui::Dialog& d, ui::scripted::Script& s) {
            if (d.Id() != kCurrentInputDlg) {
                if (others_) others_(d, s);
                return;
            }
            s.Do([this](ui::Dialog& input) {
                 typed_.push_back(
                     hands_.Answer(input.GetWindowText(), input.GetDlgItemText(kCurrentPrompt)).value_or(""));
                 host_.Type(input, kCurrentEdit, typed_.back());
             }).Click(ui::IDOK);
        });
    }
    ~BenchOperator() {
        host_.SetPromptWatcher({});
        host_.SetDefaultScript({});
    }
    BenchOperator(const BenchOperator&) = delete;
    BenchOperator& operator=(const BenchOperator&) = delete;

    // How the other windows that want hands are operated (a prompt to
    // answer, the TFT position window), when they show without a script.
    void SetOtherWindows(std::function<void(ui::Dialog&, ui::scripted::Script&)> script) {
        others_ = std::move(script);
    }

    // What was typed into each current input, in order.
    const std::vector<std::string>& Typed() const { return typed_; }

private:
    ui::scripted::ScriptedHost& host_;
    sim::DiligentOperator hands_;
    std::vector<std::string> typed_;
    std::function<void(ui::Dialog&, ui::scripted::Script&)> others_;
};

}  // namespace test_support
