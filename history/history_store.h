#pragma once
// The line's history: every camera run with its items and measurements, in
// an embedded SQLite file beside STD.DAT or, for a line of stations, in one
// PostgreSQL database. Each run is written in one transaction: a crash or a
// full disk loses nothing committed and never leaves half a run.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/run_document.h"

namespace history {

// The schema this program writes; a store of a newer one is refused.
inline constexpr int kSchemaVersion = 2;

struct RunQuery {
    std::string identification;              // empty: every camera
    std::optional<std::int64_t> fromMs, toMs;  // started within [from, to), Unix ms
    bool failuresOnly = false;
};

class HistoryStore {
public:
    virtual ~HistoryStore() = default;
    // One run, all or nothing. False with a reason when it could not be written.
    virtual bool Write(const RunDocument& run, std::string* error) = 0;
    // The runs that match, oldest first; nullopt with a reason on failure.
    virtual std::optional<std::vector<RunDocument>> Query(const RunQuery& query, std::string* error) = 0;
    // Whether a run with this id is stored (a queued run is never written twice).
    virtual std::optional<bool> Contains(const std::string& runId, std::string* error) = 0;
};

// Opens (creating, or migrating to kSchemaVersion) the SQLite history at
// `path`. A file that is not such a history, one of a newer schema, or one
// that fails its quick integrity check is refused with a reason and left
// untouched. `readOnly`: an existing history, opened for queries only.
std::unique_ptr<HistoryStore> OpenSqliteStore(const std::string& path, std::string* error, bool readOnly = false);

struct PostgresOptions {
    // Connecting, each statement and each lock wait end after this long,
    // whatever the connection string says; a server that stops answering
    // altogether is given up on after it too.
    int timeoutS = 3;
    bool readOnly = false;  // never creates, migrates or writes
};
// The same on a PostgreSQL server (libpq connection string).
std::unique_ptr<HistoryStore> OpenPostgresStore(const std::string& conninfo, std::string* error,
                                                PostgresOptions options = {});

// For tests: a hook called between the statements of a run's write
// (`step` names the statement just done); it may end the process.
void SetWriteHookForTests(std::function<void(const char* step)> hook);

}  // namespace history
