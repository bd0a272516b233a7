#pragma once
// Where a station keeps its history: HISTORY.INI beside STD.DAT, a few
// "key = value" lines; without the file, an SQLite file HISTORY.DB there.
//
//   store = sqlite | postgresql
//   sqlite_file = HISTORY.DB
//   postgresql = host=10.0.3.1 dbname=line3 user=station   (a libpq connection string)
//   station = LINE3-ST2                                    (default: the host name)
//   queue = history-queue                                  (runs waiting for the database)
//   postgresql_timeout = 3          (seconds the server may take to connect, to answer, or for a lock)
//   diagnostics = DIAGNOSTICS.LOG   (where the trace goes: a file, stderr or off)

#include <optional>
#include <string>

#include "history/history_writer.h"

namespace history {

inline constexpr const char* kSettingsFile = "HISTORY.INI";

struct HistorySettings {
    enum class Store { Sqlite, Postgres } store = Store::Sqlite;
    std::string sqliteFile = "HISTORY.DB";
    std::string postgres;
    std::string station;
    std::string queue = "history-queue";
    int postgresTimeoutS = 3;
    std::string diagnostics = "DIAGNOSTICS.LOG";
};

// nullopt with `path:line: reason` for a malformed file; the defaults when
// there is none.
std::optional<HistorySettings> LoadHistorySettings(const std::string& path, std::string* error);
// The same, but a file that cannot be used gives the defaults (an SQLite file
// HISTORY.DB here), never no history; `error` then says why, else is empty.
HistorySettings LoadHistorySettingsOrDefaults(const std::string& path, std::string* error);

// Opens the store the settings name. PostgreSQL gets the station's own
// connect, statement and lock timeouts whatever the connection string says:
// a server that is down or hangs must not hold up a camera. `readOnly`: for
// looking only, never creating, migrating or writing.
HistoryWriter::Connect Connector(const HistorySettings& settings, bool readOnly = false);
// The writer for the settings, its queue brought in within the timeout.
std::unique_ptr<HistoryWriter> MakeWriter(const HistorySettings& settings);

// Sends the trace lines where the settings say, or the environment variable
// IMAGEADJUST_DIAGNOSTICS, which takes precedence: a file name (in the working
// folder unless a path), "stderr", or "off".
void InstallDiagnostics(const HistorySettings& settings);

// The station's name: the setting, or the host name.
std::string StationName(const HistorySettings& settings);

}  // namespace history
