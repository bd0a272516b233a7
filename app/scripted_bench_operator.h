// The simulator's diligent operator at the bench of a scripted host: it reads
// every message box of the host as it appears and sets the bench through the
// bench API, and it types the ammeter reading into the current input window
// and confirms it, as a person at the bench does. For a program that drives
// the main window headless over the simulator (the tests, the benchmark).

#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/bench_api.h"
#include "sim/operator.h"
#include "ui/scripted/scripted_host.h"

namespace app {

class ScriptedBenchOperator {
public:
    static constexpr int kCurrentInputDlg = 154;
    static constexpr int kCurrentPrompt = 1135;
    static constexpr int kCurrentEdit = 1028;

    ScriptedBenchOperator(ui::scripted::ScriptedHost& host, const SimBenchApi& bench)
        : m_host(host), m_hands(bench) {
        m_host.SetPromptWatcher([this](const std::string& caption, const std::string& text) {
            m_hands.Follow(caption, text);
        });
        m_host.SetDefaultScript([this](ui::Dialog& d, ui::scripted::Script& s) {
            if (d.Id() != kCurrentInputDlg) {
                if (m_others) m_others(d, s);
                return;
            }
            s.Do([this](ui::Dialog& input) {
                 m_typed.push_back(
                     m_hands.Answer(input.GetWindowText(), input.GetDlgItemText(kCurrentPrompt)).value_or(""));
                 m_host.Type(input, kCurrentEdit, m_typed.back());
             }).Click(ui::IDOK);
        });
    }
    ~ScriptedBenchOperator() {
        m_host.SetPromptWatcher({});
        m_host.SetDefaultScript({});
    }
    ScriptedBenchOperator(const ScriptedBenchOperator&) = delete;
    ScriptedBenchOperator& operator=(const ScriptedBenchOperator&) = delete;

    // How the other windows that want hands are operated (a prompt to
    // answer, the TFT position window), when they show without a script.
    void SetOtherWindows(std::function<void(ui::Dialog&, ui::scripted::Script&)> script) {
        m_others = std::move(script);
    }

    // What was typed into each current input, in order.
    const std::vector<std::string>& Typed() const { return m_typed; }

private:
    ui::scripted::ScriptedHost& m_host;
    sim::DiligentOperator m_hands;
    std::vector<std::string> m_typed;
    std::function<void(ui::Dialog&, ui::scripted::Script&)> m_others;
};

}  // namespace app
