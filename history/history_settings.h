#pragma once
// Where a station keeps its history: HISTORY.INI beside STD.DAT, a few
// "key = value" lines; without the file, an SQLite file HISTORY.DB there.
//
//   store = sqlite | postgresql
//   sqlite_file = HISTORY.DB
//   postgresql = host=10.0.3.1 dbname=line3 user=station   (a libpq connection string)
//   station = LINE3-ST2                                    (default: the host name)
//   queue = history-queue                                  (runs waiting for the database)

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
};

// nullopt with `path:line: reason` for a malformed file; the defaults when
// there is none.
std::optional<HistorySettings> LoadHistorySettings(const std::string& path, std::string* error);

// Opens the store the settings name (PostgreSQL with a short connect
// timeout: a server that is down must not hold up a camera).
HistoryWriter::Connect Connector(const HistorySettings& settings);

// The station's name: the setting, or the host name.
std::string StationName(const HistorySettings& settings);

}  // namespace history
