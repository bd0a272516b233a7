#pragma once
// The diligent operator: a person at the bench who reads every prompt of the
// station and sets the bench exactly as it asks, and types what the input
// dialogs ask for. It reaches the simulator only through the bench API, as the
// station loads the simulator by name and never links it.

#include <optional>
#include <string>
#include <vector>

#include "sim/bench_api.h"

namespace sim {

class DiligentOperator {
public:
    explicit DiligentOperator(const SimBenchApi& bench);

    // A message box the station shows (caption and text, UTF-8 as shown).
    // Lines the operator does not understand change nothing.
    void Follow(const std::string& caption, const std::string& text);

    // What the operator types into an input dialog, or nullopt when the
    // dialog asks for nothing the operator knows how to give.
    std::optional<std::string> Answer(const std::string& title, const std::string& prompt);

    // What the operator did, one line per action, oldest first.
    const std::vector<std::string>& Record() const { return m_record; }
    void ClearRecord() { m_record.clear(); }

private:
    void FollowLine(const std::string& line, SimBench& bench);
    void FollowCondition(const std::string& key, const std::string& value, SimBench& bench);
    void Note(const std::string& action);

    const SimBenchApi& m_api;
    std::vector<std::string> m_record;
};

}  // namespace sim
