#pragma once
// The record of one run: each item that ran with its result and time, and
// every measurement an item judged, with the limits it was judged against
// and the verdict. The sequencer owns it beside the run log; the log stays
// the operator's text, the record is what the line's history is built from.
//
// Header only: the item windows (adjust/) write into it, the sequencer
// (shell/) that owns it is built on top of them, and the history reads it;
// here it lies below all three.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One judged value.
struct RunMeasurement {
    std::string item;       // key of the item that judged it; filled by RunRecord::Add
    int pass = 0;           // the pass of the item's loop it belongs to, from 1; 0 outside a loop
    std::string name;       // what was measured, the same text on every run ("ISO200 GLevel")
    double value = 0;
    std::optional<double> low, high;  // the window, as the item applies it (either may be open)
    std::string unit;       // "LSB", "%", "EV", "A", or empty
    bool passed = false;    // the item's own verdict, bounds' inclusiveness included

    bool operator==(const RunMeasurement&) const = default;
};

// One item that ran.
struct RunItemResult {
    std::string item;
    int result = 0;  // 1 or the item's error number
    std::int64_t startMs = 0, endMs = 0;  // the station's clock

    bool operator==(const RunItemResult&) const = default;
};

class RunRecord {
public:
    // A new run: the record forgets the last one.
    void Begin(std::uint16_t selection, std::int64_t nowMs) {
        *this = RunRecord{};
        m_selection = selection;
        m_startMs = m_endMs = nowMs;
        m_open = true;
    }
    void BeginItem(std::string_view item, std::int64_t nowMs) {
        m_items.push_back({std::string(item), 0, nowMs, nowMs});
        m_inItem = true;
    }
    void EndItem(int result, std::int64_t nowMs) {
        if (!m_inItem) return;
        m_items.back().result = result;
        m_items.back().endMs = nowMs;
        m_inItem = false;
    }
    // Belongs to the item running now (or the run itself, item "").
    void Add(RunMeasurement m) {
        m.item = m_inItem ? m_items.back().item : std::string();
        m_measurements.push_back(std::move(m));
    }
    void SetIdentification(std::string identification) { m_identification = std::move(identification); }
    void End(int result, std::int64_t nowMs) {
        if (m_inItem) EndItem(result, nowMs);
        m_result = result;
        m_endMs = nowMs;
        m_open = false;
    }

    bool Open() const { return m_open; }
    std::uint16_t Selection() const { return m_selection; }
    int Result() const { return m_result; }
    std::int64_t StartMs() const { return m_startMs; }
    std::int64_t EndMs() const { return m_endMs; }
    // Bytes 1 to 13 of the camera's identification when the run read it (SAVE), else empty.
    const std::string& Identification() const { return m_identification; }
    const std::vector<RunItemResult>& Items() const { return m_items; }
    const std::vector<RunMeasurement>& Measurements() const { return m_measurements; }

private:
    std::uint16_t m_selection = 0;
    int m_result = 0;
    std::int64_t m_startMs = 0, m_endMs = 0;
    bool m_open = false, m_inItem = false;
    std::string m_identification;
    std::vector<RunItemResult> m_items;
    std::vector<RunMeasurement> m_measurements;
};
