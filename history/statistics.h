#pragma once
// What a line engineer reads off the history at a glance: yield per day and
// per item, the error numbers that cost most, and one quantity's values over
// time against its limits.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "history/run_document.h"

namespace history {

struct Yield {
    int runs = 0;
    int passed = 0;
    double Percent() const { return runs ? 100.0 * passed / runs : 0.0; }
};

// Runs per local day ("2026-12-08"), oldest first.
std::map<std::string, Yield> YieldByDay(const std::vector<RunDocument>& runs);
// Per item key: how often it ran and passed.
std::map<std::string, Yield> YieldByItem(const std::vector<RunDocument>& runs);

struct ErrorCount {
    int number = 0;
    std::string message;
    int count = 0;
};
// The failing runs' numbers, most frequent first (ties: the lower number).
std::vector<ErrorCount> ErrorPareto(const std::vector<RunDocument>& runs);

struct SeriesPoint {
    std::int64_t atMs = 0;  // the run's start
    std::string identification;
    double value = 0;
    std::optional<double> low, high;
    bool passed = false;
};
// Every value of measurement `name` of item `item`, in run order (the last
// pass of a run where the item measured it several times).
std::vector<SeriesPoint> MeasurementSeries(const std::vector<RunDocument>& runs, const std::string& item,
                                           const std::string& name);
// The item and measurement names that occur, for choosing a series.
std::map<std::string, std::vector<std::string>> MeasurementNames(const std::vector<RunDocument>& runs);

std::string LocalDay(std::int64_t unixMs);

}  // namespace history
