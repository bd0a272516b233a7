#include "history/store_schema.h"

#include <functional>

#include "history/history_store.h"

namespace history {
namespace {

// $n for PostgreSQL, ?n for SQLite.
std::string P(Dialect d, int n) { return (d == Dialect::Postgres ? "$" : "?") + std::to_string(n); }

std::string Placeholders(Dialect d, int count) {
    std::string s;
    for (int n = 1; n <= count; ++n) s += (n > 1 ? ", " : "") + P(d, n);
    return s;
}

std::string Filter(Dialect d) {
    const bool pg = d == Dialect::Postgres;
    const std::string big = pg ? "::bigint" : "";
    return " WHERE (" + P(d, 1) + " = '' OR r.identification = " + P(d, 1) + ") AND (" + P(d, 2) + big +
           " IS NULL OR r.started_at_ms >= " + P(d, 2) + big + ") AND (" + P(d, 3) + big +
           " IS NULL OR r.started_at_ms < " + P(d, 3) + big + ") AND (" + P(d, 4) + (pg ? "::int" : "") +
           " = 0 OR r.result <> 1)";
}

std::function<void(const char*)>& Hook() {
    static std::function<void(const char*)> hook;
    return hook;
}

}  // namespace

void SetWriteHookForTests(std::function<void(const char* step)> hook) { Hook() = std::move(hook); }

void WriteHook(const char* step) {
    if (Hook()) Hook()(step);
}

std::string Migration(Dialect d, int version) {
    const bool pg = d == Dialect::Postgres;
    const std::string key = pg ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY";
    const std::string big = pg ? "BIGINT" : "INTEGER";
    const std::string real = pg ? "DOUBLE PRECISION" : "REAL";
    switch (version) {
        case 1:
            return "CREATE TABLE runs (id " + key +
                   ", run_id TEXT NOT NULL UNIQUE, station TEXT NOT NULL, identification TEXT NOT NULL, "
                   "started_at_ms " + big + " NOT NULL, ended_at_ms " + big +
                   " NOT NULL, selection INTEGER NOT NULL, selected_items TEXT NOT NULL, result INTEGER NOT NULL, "
                   "error_message TEXT NOT NULL, program_version TEXT NOT NULL, standards_hash TEXT NOT NULL);"
                   "CREATE TABLE items (run " + big +
                   " NOT NULL REFERENCES runs(id) ON DELETE CASCADE, seq INTEGER NOT NULL, item TEXT NOT NULL, "
                   "result INTEGER NOT NULL, start_offset_ms " + big + " NOT NULL, duration_ms " + big +
                   " NOT NULL, PRIMARY KEY (run, seq));"
                   "CREATE TABLE measurements (run " + big +
                   " NOT NULL REFERENCES runs(id) ON DELETE CASCADE, seq INTEGER NOT NULL, item TEXT NOT NULL, "
                   "pass INTEGER NOT NULL, name TEXT NOT NULL, value " + real + " NOT NULL, low " + real +
                   ", high " + real + ", unit TEXT NOT NULL, passed INTEGER NOT NULL, PRIMARY KEY (run, seq))";
        case 2:
            // The questions a line engineer asks: one camera's runs, a time
            // range, one quantity's drift.
            return "CREATE INDEX runs_by_identification ON runs (identification, started_at_ms);"
                   "CREATE INDEX runs_by_time ON runs (started_at_ms);"
                   "CREATE INDEX measurements_by_name ON measurements (item, name)";
        default: return {};
    }
}

std::string InsertRun(Dialect d) {
    return "INSERT INTO runs (run_id, station, identification, started_at_ms, ended_at_ms, selection, "
           "selected_items, result, error_message, program_version, standards_hash) VALUES (" +
           Placeholders(d, 11) + ")" + (d == Dialect::Postgres ? " RETURNING id" : "");
}

std::string InsertItem(Dialect d) {
    return "INSERT INTO items (run, seq, item, result, start_offset_ms, duration_ms) VALUES (" + Placeholders(d, 6) +
           ")";
}

std::string InsertMeasurement(Dialect d) {
    return "INSERT INTO measurements (run, seq, item, pass, name, value, low, high, unit, passed) VALUES (" +
           Placeholders(d, 10) + ")";
}

std::string SelectRuns(Dialect d) {
    return "SELECT r.id, r.run_id, r.station, r.identification, r.started_at_ms, r.ended_at_ms, r.selection, "
           "r.selected_items, r.result, r.error_message, r.program_version, r.standards_hash FROM runs r" +
           Filter(d) + " ORDER BY r.started_at_ms, r.id";
}

std::string SelectItems(Dialect d) {
    return "SELECT i.run, i.item, i.result, i.start_offset_ms, i.duration_ms FROM items i JOIN runs r ON r.id = i.run" +
           Filter(d) + " ORDER BY i.run, i.seq";
}

std::string SelectMeasurements(Dialect d) {
    return "SELECT m.run, m.item, m.pass, m.name, m.value, m.low, m.high, m.unit, m.passed FROM measurements m "
           "JOIN runs r ON r.id = m.run" +
           Filter(d) + " ORDER BY m.run, m.seq";
}

std::string JoinKeys(const std::vector<std::string>& keys) {
    std::string s;
    for (const std::string& k : keys) s += (s.empty() ? "" : ",") + k;
    return s;
}

std::vector<std::string> SplitKeys(const std::string& joined) {
    std::vector<std::string> keys;
    std::size_t start = 0;
    while (start < joined.size()) {
        std::size_t comma = joined.find(',', start);
        if (comma == std::string::npos) comma = joined.size();
        keys.push_back(joined.substr(start, comma - start));
        start = comma + 1;
    }
    return keys;
}

}  // namespace history
