#pragma once
// The history's tables, the same in both stores: a run, its items in run
// order, its measurements in the order they were judged. Each migration
// step takes the schema one version up.

#include <string>
#include <vector>

namespace history {

enum class Dialect { Sqlite, Postgres };

// The statements of migration step `version` (1 = the first tables).
std::string Migration(Dialect dialect, int version);
inline std::string SqliteMigration(int version) { return Migration(Dialect::Sqlite, version); }

// Parameters: run_id, station, identification, started_at_ms, ended_at_ms,
// selection, selected_items, result, error_message, program_version,
// standards_hash; items: run, seq, item, result, start_offset_ms,
// duration_ms; measurements: run, seq, item, pass, name, value, low, high,
// unit, passed.
std::string InsertRun(Dialect dialect);
std::string InsertItem(Dialect dialect);
std::string InsertMeasurement(Dialect dialect);

// Selections over runs r (items i, measurements m joined to r) with the
// query's filter: identification (empty: all), from, to (null: open),
// failures only (0 or 1). Columns as the stores read them.
std::string SelectRuns(Dialect dialect);
std::string SelectItems(Dialect dialect);
std::string SelectMeasurements(Dialect dialect);

// The stores call it between the statements of a run's write (the tests'
// hook of history_store.h).
void WriteHook(const char* step);

std::string JoinKeys(const std::vector<std::string>& keys);
std::vector<std::string> SplitKeys(const std::string& joined);

}  // namespace history
