#include "history/statistics.h"

#include <algorithm>
#include <ctime>
#include <set>

#include "platform/format.h"

namespace history {

std::string LocalDay(std::int64_t unixMs) {
    const std::time_t t = static_cast<std::time_t>(unixMs / 1000);
    std::tm tm{};
    localtime_r(&t, &tm);
    return platform::Format("%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

std::map<std::string, Yield> YieldByDay(const std::vector<RunDocument>& runs) {
    std::map<std::string, Yield> days;
    for (const RunDocument& r : runs) {
        Yield& y = days[LocalDay(r.startedAtMs)];
        ++y.runs;
        y.passed += r.result == 1;
    }
    return days;
}

std::map<std::string, Yield> YieldByItem(const std::vector<RunDocument>& runs) {
    std::map<std::string, Yield> items;
    for (const RunDocument& r : runs)
        for (const RunItemResult& i : r.items) {
            Yield& y = items[i.item];
            ++y.runs;
            y.passed += i.result == 1;
        }
    return items;
}

std::vector<ErrorCount> ErrorPareto(const std::vector<RunDocument>& runs) {
    std::map<int, ErrorCount> byNumber;
    for (const RunDocument& r : runs) {
        if (r.result == 1) continue;
        ErrorCount& e = byNumber[r.result];
        e.number = r.result;
        e.message = r.errorMessage;
        ++e.count;
    }
    std::vector<ErrorCount> out;
    for (auto& [number, e] : byNumber) out.push_back(e);
    std::stable_sort(out.begin(), out.end(), [](const ErrorCount& a, const ErrorCount& b) { return a.count > b.count; });
    return out;
}

std::vector<SeriesPoint> MeasurementSeries(const std::vector<RunDocument>& runs, const std::string& item,
                                           const std::string& name) {
    std::vector<SeriesPoint> series;
    for (const RunDocument& r : runs) {
        const RunMeasurement* last = nullptr;
        for (const RunMeasurement& m : r.measurements)
            if (m.item == item && m.name == name) last = &m;
        if (last)
            series.push_back({r.startedAtMs, r.identification, last->value, last->low, last->high, last->passed});
    }
    return series;
}

std::map<std::string, std::vector<std::string>> MeasurementNames(const std::vector<RunDocument>& runs) {
    std::map<std::string, std::set<std::string>> seen;
    for (const RunDocument& r : runs)
        for (const RunMeasurement& m : r.measurements) seen[m.item].insert(m.name);
    std::map<std::string, std::vector<std::string>> names;
    for (auto& [item, set] : seen) names[item].assign(set.begin(), set.end());
    return names;
}

}  // namespace history
