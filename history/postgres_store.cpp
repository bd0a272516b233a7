// The history on a PostgreSQL server, for a line whose stations write to one
// database. A table of its own says the database is ours and at which
// schema version.

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "history/history_store.h"
#include "history/store_schema.h"

namespace history {
namespace {

constexpr Dialect kSql = Dialect::Postgres;
constexpr const char* kApplication = "imageadjust-history";
// Held by the migrating station, so that two stations never migrate at once.
constexpr const char* kMigrationLock = "SELECT pg_advisory_xact_lock(4966154312)";

// Text parameters of one statement; an empty optional is SQL NULL.
class Params {
public:
    Params& Add(const std::string& s) {
        values_.push_back(s);
        null_.push_back(false);
        return *this;
    }
    Params& Add(std::int64_t v) { return Add(std::to_string(v)); }
    Params& Add(double v) {
        if (std::isnan(v)) return Add(std::string("NaN"));
        if (std::isinf(v)) return Add(std::string(v > 0 ? "Infinity" : "-Infinity"));
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", v);
        return Add(std::string(buf));
    }
    template <class T>
    Params& Add(const std::optional<T>& v) {
        if (v) return Add(*v);
        values_.emplace_back();
        null_.push_back(true);
        return *this;
    }
    int Count() const { return static_cast<int>(values_.size()); }
    std::vector<const char*> Pointers() const {
        std::vector<const char*> p;
        for (std::size_t i = 0; i < values_.size(); ++i) p.push_back(null_[i] ? nullptr : values_[i].c_str());
        return p;
    }

private:
    std::vector<std::string> values_;
    std::vector<bool> null_;
};

// A result, cleared with its owner.
class Result {
public:
    explicit Result(PGresult* r) : r_(r) {}
    ~Result() { PQclear(r_); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    bool Ok() const {
        const ExecStatusType s = PQresultStatus(r_);
        return r_ && (s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK);
    }
    int Rows() const { return PQntuples(r_); }
    std::string Text(int row, int col) const { return PQgetvalue(r_, row, col); }
    bool Null(int row, int col) const { return PQgetisnull(r_, row, col) != 0; }
    std::int64_t Int(int row, int col) const { return std::stoll(Text(row, col)); }
    double Real(int row, int col) const { return std::stod(Text(row, col)); }
    std::optional<double> OptReal(int row, int col) const {
        if (Null(row, col)) return std::nullopt;
        return Real(row, col);
    }

private:
    PGresult* r_;
};

using Deadline = std::chrono::steady_clock::time_point;

// Waits for the connection's socket until the deadline; false when it passed.
bool WaitSocket(PGconn* conn, short events, Deadline deadline) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{PQsocket(conn), events, 0};
        const int n = ::poll(&p, 1, static_cast<int>(left.count()));
        if (n > 0) return true;
        if (n < 0 && errno != EINTR) return true;  // let libpq find the fault
    }
}

class PostgresStore : public HistoryStore {
public:
    PostgresStore(PGconn* conn, PostgresOptions options, Deadline deadline)
        : conn_(conn), options_(options), deadline_(deadline) {}
    ~PostgresStore() override {
        if (conn_) PQfinish(conn_);
    }

    // The server's own limits for a statement and a lock wait, a little
    // inside the station's, so that its message comes first where it can
    // (a lock's before a statement's, which says less).
    bool Init(std::string* error) {
        const int ms = std::max(1000, options_.timeoutS * 1000 - 250);
        const std::string limits = "SET statement_timeout = " + std::to_string(ms) + "; SET lock_timeout = " +
                                   std::to_string(ms - 250) +
                                   (options_.readOnly ? "; SET default_transaction_read_only = on" : "");
        if (!Exec(limits.c_str(), error)) return false;
        if (!Exec("BEGIN", error)) return false;
        if ((!options_.readOnly && !Exec(kMigrationLock, error)) || !Migrate(error)) {
            Exec("ROLLBACK", nullptr);
            return false;
        }
        return Exec("COMMIT", error);
    }

    bool Write(const RunDocument& run, std::string* error) override {
        if (!Begin(error)) return false;
        if (options_.readOnly) return Fail(error, "the history is open for reading only");
        if (!Exec("BEGIN", error)) return false;
        std::string why;
        if (!WriteRows(run, &why) || !Exec("COMMIT", &why)) {
            Exec("ROLLBACK", nullptr);
            if (error) *error = why;
            return false;
        }
        return true;
    }

    std::optional<std::vector<RunDocument>> Query(const RunQuery& q, std::string* error) override {
        if (!Begin(error)) return std::nullopt;
        Params filter;
        filter.Add(q.identification).Add(q.fromMs).Add(q.toMs).Add(std::int64_t{q.failuresOnly ? 1 : 0});
        // One snapshot for the three selections: a run committed meanwhile is either wholly in or out.
        if (!Exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY", error)) return std::nullopt;
        std::vector<RunDocument> runs;
        std::map<std::int64_t, std::size_t> byKey;
        Result r = Run(SelectRuns(kSql), filter);
        Result i = Run(SelectItems(kSql), filter);
        Result m = Run(SelectMeasurements(kSql), filter);
        Exec("COMMIT", nullptr);
        if (!r.Ok() || !i.Ok() || !m.Ok()) {
            Fail(error, Why());
            return std::nullopt;
        }
        for (int row = 0; row < r.Rows(); ++row) {
            RunDocument d;
            d.runId = r.Text(row, 1);
            d.station = r.Text(row, 2);
            d.identification = r.Text(row, 3);
            d.startedAtMs = r.Int(row, 4);
            d.endedAtMs = r.Int(row, 5);
            d.selection = static_cast<std::uint16_t>(r.Int(row, 6));
            d.selectedItems = SplitKeys(r.Text(row, 7));
            d.result = static_cast<int>(r.Int(row, 8));
            d.errorMessage = r.Text(row, 9);
            d.programVersion = r.Text(row, 10);
            d.standardsHash = r.Text(row, 11);
            byKey[r.Int(row, 0)] = runs.size();
            runs.push_back(std::move(d));
        }
        for (int row = 0; row < i.Rows(); ++row) {
            auto it = byKey.find(i.Int(row, 0));
            if (it == byKey.end()) continue;
            const std::int64_t start = i.Int(row, 3);
            runs[it->second].items.push_back(
                {i.Text(row, 1), static_cast<int>(i.Int(row, 2)), start, start + i.Int(row, 4)});
        }
        for (int row = 0; row < m.Rows(); ++row) {
            auto it = byKey.find(m.Int(row, 0));
            if (it == byKey.end()) continue;
            RunMeasurement x;
            x.item = m.Text(row, 1);
            x.pass = static_cast<int>(m.Int(row, 2));
            x.name = m.Text(row, 3);
            x.value = m.Real(row, 4);
            x.low = m.OptReal(row, 5);
            x.high = m.OptReal(row, 6);
            x.unit = m.Text(row, 7);
            x.passed = m.Int(row, 8) != 0;
            runs[it->second].measurements.push_back(std::move(x));
        }
        return runs;
    }

    std::optional<bool> Contains(const std::string& runId, std::string* error) override {
        if (!Begin(error)) return std::nullopt;
        Params p;
        p.Add(runId);
        Result r = Run("SELECT 1 FROM runs WHERE run_id = $1", p);
        if (!r.Ok()) {
            Fail(error, Why());
            return std::nullopt;
        }
        return r.Rows() > 0;
    }

private:
    bool Migrate(std::string* error) {
        Result meta = Run("SELECT to_regclass('imageadjust_history') IS NOT NULL, to_regclass('runs') IS NOT NULL",
                          Params());
        if (!meta.Ok()) return Fail(error, Why());
        int version = 0;
        if (meta.Text(0, 0) == "t") {
            Result v = Run("SELECT key, value FROM imageadjust_history", Params());
            if (!v.Ok()) return Fail(error, Why());
            std::string application;
            for (int row = 0; row < v.Rows(); ++row) {
                if (v.Text(row, 0) == "application") application = v.Text(row, 1);
                if (v.Text(row, 0) == "schema_version") version = std::stoi(v.Text(row, 1));
            }
            if (application != kApplication) return Fail(error, "the database is not a station history");
        } else if (meta.Text(0, 1) == "t") {
            return Fail(error, "the database holds another program's tables");
        } else if (options_.readOnly) {
            return Fail(error, "the database holds no station history");
        } else if (!Exec("CREATE TABLE imageadjust_history (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
                         "INSERT INTO imageadjust_history VALUES ('application', 'imageadjust-history'), "
                         "('schema_version', '0')",
                         error)) {
            return false;
        }
        if (version > kSchemaVersion)
            return Fail(error, "the history has schema version " + std::to_string(version) +
                                   ", newer than this station's " + std::to_string(kSchemaVersion));
        // An older history answers queries as it is; only a writer migrates it.
        if (options_.readOnly) return true;
        for (int v = version; v < kSchemaVersion; ++v) {
            if (!Exec(Migration(kSql, v + 1).c_str(), error)) return false;
            if (!Exec(("UPDATE imageadjust_history SET value = '" + std::to_string(v + 1) +
                       "' WHERE key = 'schema_version'")
                          .c_str(),
                      error))
                return false;
        }
        return true;
    }

    bool WriteRows(const RunDocument& run, std::string* error) {
        Params p;
        p.Add(run.runId).Add(run.station).Add(run.identification).Add(run.startedAtMs).Add(run.endedAtMs);
        p.Add(std::int64_t{run.selection}).Add(JoinKeys(run.selectedItems)).Add(std::int64_t{run.result});
        p.Add(run.errorMessage).Add(run.programVersion).Add(run.standardsHash);
        Result r = Run(InsertRun(kSql), p);
        if (!r.Ok() || r.Rows() != 1) return Fail(error, Why());
        WriteHook("run");
        const std::int64_t key = r.Int(0, 0);
        std::int64_t seq = 0;
        for (const RunItemResult& i : run.items) {
            Params q;
            q.Add(key).Add(seq++).Add(i.item).Add(std::int64_t{i.result}).Add(i.startMs).Add(i.endMs - i.startMs);
            if (!Run(InsertItem(kSql), q).Ok()) return Fail(error, Why());
        }
        WriteHook("items");
        seq = 0;
        for (const RunMeasurement& m : run.measurements) {
            Params q;
            q.Add(key).Add(seq++).Add(m.item).Add(std::int64_t{m.pass}).Add(m.name).Add(m.value).Add(m.low);
            q.Add(m.high).Add(m.unit).Add(std::int64_t{m.passed ? 1 : 0});
            if (!Run(InsertMeasurement(kSql), q).Ok()) return Fail(error, Why());
        }
        WriteHook("measurements");
        return true;
    }

    // Each call to the store has the timeout from its start: however many
    // statements it takes, the camera waits no longer.
    bool Begin(std::string* error) {
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(options_.timeoutS);
        if (conn_ && PQstatus(conn_) == CONNECTION_OK) return true;
        // A connection that broke (server restarted) is not mended here: the
        // writer opens a new one, within its own time.
        return Fail(error, conn_ ? PQerrorMessage(conn_) : timedOut_);
    }

    // The server's message, or why it gave none.
    std::string Why() const {
        if (!conn_) return timedOut_;
        const std::string m = PQerrorMessage(conn_);
        return m.empty() ? "the server's answer was not understood" : m;
    }

    // Sends a statement and waits for its results, no longer than the
    // deadline; the first failing result, else the last. A server that does
    // not answer in time is left: the connection is closed.
    PGresult* Await(bool sent) {
        if (!sent) return nullptr;
        PGresult* kept = nullptr;
        for (;;) {
            while (PQisBusy(conn_)) {
                if (!WaitSocket(conn_, POLLIN, deadline_)) {
                    PQclear(kept);
                    Abandon();
                    return nullptr;
                }
                if (!PQconsumeInput(conn_)) {
                    PQclear(kept);
                    return nullptr;
                }
            }
            PGresult* r = PQgetResult(conn_);
            if (!r) return kept;
            const bool keptFailed = kept && PQresultStatus(kept) != PGRES_COMMAND_OK &&
                                    PQresultStatus(kept) != PGRES_TUPLES_OK;
            if (keptFailed) {
                PQclear(r);
            } else {
                PQclear(kept);
                kept = r;
            }
        }
    }

    void Abandon() {
        PQfinish(conn_);
        conn_ = nullptr;
        timedOut_ = "the history server did not answer within " + std::to_string(options_.timeoutS) + " s";
    }

    Result Run(const std::string& sql, const Params& p) {
        if (!conn_) return Result(nullptr);
        const std::vector<const char*> values = p.Pointers();
        return Result(Await(PQsendQueryParams(conn_, sql.c_str(), p.Count(), nullptr, values.data(), nullptr,
                                              nullptr, 0) == 1));
    }

    bool Exec(const char* sql, std::string* error) {
        if (!conn_) return Fail(error, timedOut_);
        Result r(Await(PQsendQuery(conn_, sql) == 1));
        return r.Ok() || Fail(error, Why());
    }

    static bool Fail(std::string* error, const std::string& why) {
        if (error) *error = why;
        return false;
    }

    PGconn* conn_;
    PostgresOptions options_;
    Deadline deadline_;
    std::string timedOut_ = "the connection to the history server is closed";
};

}  // namespace

std::unique_ptr<HistoryStore> OpenPostgresStore(const std::string& conninfo, std::string* error,
                                                PostgresOptions options) {
    // The connection string may say what it likes about timeouts: the
    // station's come after it and win. Connecting is driven here, step by
    // step, so that it too ends at the station's time.
    const std::string timeout = std::to_string(options.timeoutS);
    const char* const keys[] = {"dbname", "connect_timeout", nullptr};
    const char* const values[] = {conninfo.c_str(), timeout.c_str(), nullptr};
    const Deadline deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutS);
    PGconn* conn = PQconnectStartParams(keys, values, 1);
    auto fail = [&](const std::string& why) -> std::unique_ptr<HistoryStore> {
        if (error) *error = why;
        PQfinish(conn);
        return nullptr;
    };
    if (!conn) return fail("out of memory");
    PostgresPollingStatusType step = PGRES_POLLING_WRITING;
    while (PQstatus(conn) != CONNECTION_BAD && step != PGRES_POLLING_OK && step != PGRES_POLLING_FAILED) {
        if (!WaitSocket(conn, step == PGRES_POLLING_READING ? POLLIN : POLLOUT, deadline))
            return fail("the history server did not answer within " + timeout + " s");
        step = PQconnectPoll(conn);
    }
    if (PQstatus(conn) != CONNECTION_OK) return fail(PQerrorMessage(conn));
    // The server's notices (an index that exists already...) are not the station's to print.
    PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
    auto store = std::make_unique<PostgresStore>(conn, options, deadline);
    if (!store->Init(error)) return nullptr;
    return store;
}

}  // namespace history
