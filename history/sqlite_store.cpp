// The history in an embedded SQLite file. The file says it is ours by its
// application id; its schema version is SQLite's user version.

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <fstream>
#include <map>

#include "history/history_store.h"
#include "history/store_schema.h"

namespace history {
namespace {

constexpr int kApplicationId = 0x49414A48;  // "IAJH"
constexpr Dialect kSql = Dialect::Sqlite;
constexpr const char* kNaN = "nan";

// One statement, finalised with its owner.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }
    Statement& Bind(int i, const std::string& s) {
        sqlite3_bind_text(stmt_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Bind(int i, std::int64_t v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    // SQLite keeps infinities but turns NaN into NULL, which is an open
    // bound or no value at all: NaN goes in as the text nan.
    Statement& Bind(int i, double v) {
        if (std::isnan(v))
            sqlite3_bind_text(stmt_, i, kNaN, -1, SQLITE_STATIC);
        else
            sqlite3_bind_double(stmt_, i, v);
        return *this;
    }
    Statement& Bind(int i, const std::optional<double>& v) {
        if (v) return Bind(i, *v);
        sqlite3_bind_null(stmt_, i);
        return *this;
    }
    Statement& Bind(int i, const std::optional<std::int64_t>& v) {
        if (v)
            sqlite3_bind_int64(stmt_, i, *v);
        else
            sqlite3_bind_null(stmt_, i);
        return *this;
    }
    int Step() { return sqlite3_step(stmt_); }
    // Runs a statement that returns no rows and makes it ready for the next use.
    bool Run() {
        const int rc = sqlite3_step(stmt_);
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        return rc == SQLITE_DONE;
    }
    std::string Text(int col) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))) : std::string();
    }
    std::int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
    double Real(int col) const {
        if (sqlite3_column_type(stmt_, col) == SQLITE_TEXT && Text(col) == kNaN)
            return std::numeric_limits<double>::quiet_NaN();
        return sqlite3_column_double(stmt_, col);
    }
    std::optional<double> OptReal(int col) const {
        if (sqlite3_column_type(stmt_, col) == SQLITE_NULL) return std::nullopt;
        return Real(col);
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// Whether a file exists with content that is not an SQLite database.
bool ForeignFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    char head[16] = {};
    in.read(head, sizeof head);
    if (in.gcount() == 0) return false;  // empty: a new history
    return in.gcount() < 16 || std::memcmp(head, "SQLite format 3", 16) != 0;
}

class SqliteStore : public HistoryStore {
public:
    explicit SqliteStore(sqlite3* db) : db_(db) {}
    ~SqliteStore() override {
        insertRun_.reset();
        insertItem_.reset();
        insertMeasurement_.reset();
        sqlite3_close(db_);
    }

    bool Init(bool readOnly, std::string* error) {
        // Several stations may open one file at once: each waits for the
        // other's lock before it reads anything.
        sqlite3_busy_timeout(db_, 5000);
        if (!Exec("PRAGMA foreign_keys = ON", error)) return false;
        // A damaged file is not written to: it is left as it is for a person.
        {
            Statement check(db_, "PRAGMA quick_check(1)");
            const int rc = check.Ok() ? check.Step() : SQLITE_ERROR;
            if (rc != SQLITE_ROW || check.Text(0) != "ok")
                return Fail(error, "the file fails its integrity check (" +
                                       (rc == SQLITE_ROW ? check.Text(0) : std::string(sqlite3_errmsg(db_))) + ")");
        }
        std::optional<std::int64_t> version;
        if (!Recognise(&version, error)) return false;
        readOnly_ = readOnly;
        if (readOnly) {
            // An older history answers queries as it is; only a writer migrates it.
            if (*version == 0) return Fail(error, "the file holds no station history");
            return true;
        }
        // Write-ahead log, synced at checkpoints: a committed run survives the
        // program's crash; a crash of the machine itself may lose the last
        // runs, never half of one. Syncing every commit costs a camera about
        // 13 ms on the line's disks instead of 3.
        if (!WriteAheadLog(error) || !Exec("PRAGMA synchronous = NORMAL", error)) return false;
        if (*version < kSchemaVersion) {
            // Created or migrated under the write lock, the file read again
            // there: another station may have done it meanwhile.
            if (!Exec("BEGIN IMMEDIATE", error)) return false;
            std::string step;
            if (!Recognise(&version, error)) {
                Exec("ROLLBACK", nullptr);
                return false;
            }
            for (int v = static_cast<int>(*version); v < kSchemaVersion; ++v)
                step += SqliteMigration(v + 1) + ";PRAGMA application_id = " + std::to_string(kApplicationId) +
                        ";PRAGMA user_version = " + std::to_string(v + 1) + ";";
            if (!Exec((step + "COMMIT").c_str(), error)) {
                Exec("ROLLBACK", nullptr);
                return false;
            }
        }
        insertRun_ = std::make_unique<Statement>(db_, InsertRun(kSql).c_str());
        insertItem_ = std::make_unique<Statement>(db_, InsertItem(kSql).c_str());
        insertMeasurement_ = std::make_unique<Statement>(db_, InsertMeasurement(kSql).c_str());
        if (!insertRun_->Ok() || !insertItem_->Ok() || !insertMeasurement_->Ok()) return Fail(error, sqlite3_errmsg(db_));
        return true;
    }

    bool Write(const RunDocument& run, std::string* error) override {
        if (readOnly_) return Fail(error, "the history is open for reading only");
        if (!Exec("BEGIN IMMEDIATE", error)) return false;
        if (!WriteRows(run)) {
            const std::string why = sqlite3_errmsg(db_);
            Exec("ROLLBACK", nullptr);
            return Fail(error, why);
        }
        if (Exec("COMMIT", error)) return true;
        Exec("ROLLBACK", nullptr);
        return false;
    }

    std::optional<std::vector<RunDocument>> Query(const RunQuery& q, std::string* error) override {
        std::vector<RunDocument> runs;
        std::map<std::int64_t, std::size_t> byKey;
        {
            Statement s(db_, SelectRuns(kSql).c_str());
            if (!BindFilter(s, q)) return FailQuery(error);
            int rc;
            while ((rc = s.Step()) == SQLITE_ROW) {
                RunDocument d;
                d.runId = s.Text(1);
                d.station = s.Text(2);
                d.identification = s.Text(3);
                d.startedAtMs = s.Int(4);
                d.endedAtMs = s.Int(5);
                d.selection = static_cast<std::uint16_t>(s.Int(6));
                d.selectedItems = SplitKeys(s.Text(7));
                d.result = static_cast<int>(s.Int(8));
                d.errorMessage = s.Text(9);
                d.programVersion = s.Text(10);
                d.standardsHash = s.Text(11);
                byKey[s.Int(0)] = runs.size();
                runs.push_back(std::move(d));
            }
            if (rc != SQLITE_DONE) return FailQuery(error);
        }
        {
            Statement s(db_, SelectItems(kSql).c_str());
            if (!BindFilter(s, q)) return FailQuery(error);
            int rc;
            while ((rc = s.Step()) == SQLITE_ROW) {
                auto it = byKey.find(s.Int(0));
                if (it == byKey.end()) continue;
                runs[it->second].items.push_back(
                    {s.Text(1), static_cast<int>(s.Int(2)), s.Int(3), s.Int(3) + s.Int(4)});
            }
            if (rc != SQLITE_DONE) return FailQuery(error);
        }
        {
            Statement s(db_, SelectMeasurements(kSql).c_str());
            if (!BindFilter(s, q)) return FailQuery(error);
            int rc;
            while ((rc = s.Step()) == SQLITE_ROW) {
                auto it = byKey.find(s.Int(0));
                if (it == byKey.end()) continue;
                RunMeasurement m;
                m.item = s.Text(1);
                m.pass = static_cast<int>(s.Int(2));
                m.name = s.Text(3);
                m.value = s.Real(4);
                m.low = s.OptReal(5);
                m.high = s.OptReal(6);
                m.unit = s.Text(7);
                m.passed = s.Int(8) != 0;
                runs[it->second].measurements.push_back(std::move(m));
            }
            if (rc != SQLITE_DONE) return FailQuery(error);
        }
        return runs;
    }

    std::optional<bool> Contains(const std::string& runId, std::string* error) override {
        Statement s(db_, "SELECT 1 FROM runs WHERE run_id = ?1");
        if (!s.Ok()) {
            Fail(error, sqlite3_errmsg(db_));
            return std::nullopt;
        }
        s.Bind(1, runId);
        const int rc = s.Step();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            Fail(error, sqlite3_errmsg(db_));
            return std::nullopt;
        }
        return rc == SQLITE_ROW;
    }

private:
    // The file's journal mode is the write-ahead log, set once for good.
    // Setting it needs the file to itself, which SQLite does not wait for
    // (another station may be creating the file): asked again meanwhile.
    bool WriteAheadLog(std::string* error) {
        for (int attempt = 0;; ++attempt) {
            {
                Statement mode(db_, "PRAGMA journal_mode");
                if (mode.Ok() && mode.Step() == SQLITE_ROW && mode.Text(0) == "wal") return true;
            }
            std::string why;
            if (Exec("PRAGMA journal_mode = WAL", &why)) return true;
            if (sqlite3_errcode(db_) != SQLITE_BUSY || attempt == 100) return Fail(error, why);
            sqlite3_sleep(50);
        }
    }

    // Whether the file is ours (or new) and of a schema this program knows;
    // its schema version in `version` (0: new).
    bool Recognise(std::optional<std::int64_t>* version, std::string* error) {
        // One statement, one snapshot: another station may be creating the
        // tables meanwhile.
        Statement s(db_, "SELECT (SELECT application_id FROM pragma_application_id), "
                         "(SELECT user_version FROM pragma_user_version), (SELECT count(*) FROM sqlite_master)");
        if (!s.Ok() || s.Step() != SQLITE_ROW)
            return Fail(error, std::string("cannot read the file's header: ") + sqlite3_errmsg(db_));
        const std::optional<std::int64_t> app = s.Int(0), tables = s.Int(2);
        *version = s.Int(1);
        if (*app != kApplicationId && (*app != 0 || *tables != 0))
            return Fail(error, "the file is not a station history (another program's database)");
        if (**version > kSchemaVersion)
            return Fail(error, "the history has schema version " + std::to_string(**version) +
                                   ", newer than this station's " + std::to_string(kSchemaVersion));
        return true;
    }

    bool WriteRows(const RunDocument& run) {
        Statement& r = *insertRun_;
        r.Bind(1, run.runId).Bind(2, run.station).Bind(3, run.identification).Bind(4, run.startedAtMs);
        r.Bind(5, run.endedAtMs).Bind(6, std::int64_t{run.selection}).Bind(7, JoinKeys(run.selectedItems));
        r.Bind(8, std::int64_t{run.result}).Bind(9, run.errorMessage).Bind(10, run.programVersion);
        r.Bind(11, run.standardsHash);
        if (!r.Run()) return false;
        WriteHook("run");
        const std::int64_t key = sqlite3_last_insert_rowid(db_);
        std::int64_t seq = 0;
        for (const RunItemResult& i : run.items) {
            Statement& s = *insertItem_;
            s.Bind(1, key).Bind(2, seq++).Bind(3, i.item).Bind(4, std::int64_t{i.result}).Bind(5, i.startMs);
            s.Bind(6, i.endMs - i.startMs);
            if (!s.Run()) return false;
        }
        WriteHook("items");
        seq = 0;
        for (const RunMeasurement& m : run.measurements) {
            Statement& s = *insertMeasurement_;
            s.Bind(1, key).Bind(2, seq++).Bind(3, m.item).Bind(4, std::int64_t{m.pass}).Bind(5, m.name);
            s.Bind(6, m.value).Bind(7, m.low).Bind(8, m.high).Bind(9, m.unit).Bind(10, std::int64_t{m.passed ? 1 : 0});
            if (!s.Run()) return false;
        }
        WriteHook("measurements");
        return true;
    }

    bool BindFilter(Statement& s, const RunQuery& q) {
        if (!s.Ok()) return false;
        s.Bind(1, q.identification).Bind(2, q.fromMs).Bind(3, q.toMs).Bind(4, std::int64_t{q.failuresOnly ? 1 : 0});
        return true;
    }

    bool Exec(const char* sql, std::string* error) {
        char* msg = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
        if (error) *error = msg ? msg : sqlite3_errmsg(db_);
        sqlite3_free(msg);
        return false;
    }

    std::optional<std::int64_t> Scalar(const char* sql) {
        Statement s(db_, sql);
        if (!s.Ok() || s.Step() != SQLITE_ROW) return std::nullopt;
        return s.Int(0);
    }

    static bool Fail(std::string* error, const std::string& why) {
        if (error) *error = why;
        return false;
    }
    std::optional<std::vector<RunDocument>> FailQuery(std::string* error) {
        Fail(error, sqlite3_errmsg(db_));
        return std::nullopt;
    }

    sqlite3* db_;
    bool readOnly_ = false;
    std::unique_ptr<Statement> insertRun_, insertItem_, insertMeasurement_;
};

}  // namespace

std::unique_ptr<HistoryStore> OpenSqliteStore(const std::string& path, std::string* error, bool readOnly) {
    if (ForeignFile(path)) {
        if (error) *error = path + ": the file is not a station history";
        return nullptr;
    }
    sqlite3* db = nullptr;
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        if (error) *error = path + ": " + (db ? sqlite3_errmsg(db) : "cannot open");
        sqlite3_close(db);
        return nullptr;
    }
    auto store = std::make_unique<SqliteStore>(db);
    std::string why;
    if (!store->Init(readOnly, &why)) {
        if (error) *error = path + ": " + why;
        return nullptr;
    }
    return store;
}

}  // namespace history
