#include "history/run_document.h"

#include <cctype>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <ctime>
#include <nlohmann/json.hpp>
#include <random>

#include "platform/format.h"

namespace history {

using nlohmann::json;

namespace {

// JSON has no infinities or NaN: a pass that saw no light measures +inf, and
// the record keeps it, as one of these strings.
json Number(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    return v;
}

double NumberFrom(const json& j) {
    if (j.is_string()) {
        const std::string s = j.get<std::string>();
        if (s == "inf") return std::numeric_limits<double>::infinity();
        if (s == "-inf") return -std::numeric_limits<double>::infinity();
        if (s == "nan") return std::numeric_limits<double>::quiet_NaN();
        throw std::invalid_argument("\"" + s + "\" is not a number");
    }
    return j.get<double>();
}

json Bound(const std::optional<double>& b) { return b ? Number(*b) : json(nullptr); }

std::optional<double> BoundFrom(const json& j) {
    if (j.is_null()) return std::nullopt;
    return NumberFrom(j);
}

json Value(const RunDocument& d) {
    json items = json::array();
    for (const RunItemResult& i : d.items)
        items.push_back({{"item", i.item},
                         {"result", i.result},
                         {"startOffsetMs", i.startMs},
                         {"durationMs", i.endMs - i.startMs}});
    json measurements = json::array();
    for (const RunMeasurement& m : d.measurements)
        measurements.push_back({{"item", m.item},
                                {"pass", m.pass},
                                {"name", m.name},
                                {"value", Number(m.value)},
                                {"low", Bound(m.low)},
                                {"high", Bound(m.high)},
                                {"unit", m.unit},
                                {"passed", m.passed}});
    return {
        {"schema", kDocumentSchema},
        {"runId", d.runId},
        {"station", d.station},
        {"identification", d.identification},
        {"startedAt", IsoUtc(d.startedAtMs)},
        {"endedAt", IsoUtc(d.endedAtMs)},
        {"startedAtMs", d.startedAtMs},
        {"endedAtMs", d.endedAtMs},
        {"selection", d.selection},
        {"selectedItems", d.selectedItems},
        {"result", d.result},
        {"errorMessage", d.errorMessage},
        {"programVersion", d.programVersion},
        {"standardsHash", d.standardsHash},
        {"items", items},
        {"measurements", measurements},
    };
}

// Invalid UTF-8 (a camera's stray byte) is replaced, never a throw.
std::string Dump(const json& j) { return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n"; }

}  // namespace

std::string ToJson(const RunDocument& d) { return Dump(Value(d)); }

std::string ToJsonArray(const std::vector<RunDocument>& runs) {
    json all = json::array();
    for (const RunDocument& d : runs) all.push_back(Value(d));
    return Dump(all);
}

std::optional<RunDocument> FromJson(const std::string& text, std::string* error) {
    try {
        const json j = json::parse(text);
        if (j.value("schema", "") != kDocumentSchema) {
            if (error) *error = "not a run document of schema " + std::string(kDocumentSchema);
            return std::nullopt;
        }
        RunDocument d;
        d.runId = j.at("runId").get<std::string>();
        d.station = j.at("station").get<std::string>();
        d.identification = j.at("identification").get<std::string>();
        d.startedAtMs = j.at("startedAtMs").get<std::int64_t>();
        d.endedAtMs = j.at("endedAtMs").get<std::int64_t>();
        d.selection = j.at("selection").get<std::uint16_t>();
        d.selectedItems = j.at("selectedItems").get<std::vector<std::string>>();
        d.result = j.at("result").get<int>();
        d.errorMessage = j.at("errorMessage").get<std::string>();
        d.programVersion = j.at("programVersion").get<std::string>();
        d.standardsHash = j.at("standardsHash").get<std::string>();
        for (const json& i : j.at("items")) {
            const std::int64_t start = i.at("startOffsetMs").get<std::int64_t>();
            d.items.push_back({i.at("item").get<std::string>(), i.at("result").get<int>(), start,
                               start + i.at("durationMs").get<std::int64_t>()});
        }
        for (const json& m : j.at("measurements")) {
            RunMeasurement r;
            r.item = m.at("item").get<std::string>();
            r.pass = m.at("pass").get<int>();
            r.name = m.at("name").get<std::string>();
            r.value = NumberFrom(m.at("value"));
            r.low = BoundFrom(m.at("low"));
            r.high = BoundFrom(m.at("high"));
            r.unit = m.at("unit").get<std::string>();
            r.passed = m.at("passed").get<bool>();
            d.measurements.push_back(std::move(r));
        }
        return d;
    } catch (const std::exception& e) {  // nlohmann's, or a number that is none
        if (error) *error = e.what();
        return std::nullopt;
    }
}

std::string NewRunId(const std::string& station, std::int64_t startedAtMs) {
    static std::mt19937_64 random{std::random_device{}()};
    std::string clean;
    for (char c : station) clean += (std::isalnum(static_cast<unsigned char>(c)) || c == '-') ? c : '_';
    return platform::Format("%lld-%s-%016llx", static_cast<long long>(startedAtMs), clean.c_str(),
                            static_cast<unsigned long long>(random()));
}

std::string IsoUtc(std::int64_t unixMs) {
    const std::time_t seconds = static_cast<std::time_t>(unixMs / 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    return platform::Format("%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                            tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(unixMs % 1000));
}

}  // namespace history
