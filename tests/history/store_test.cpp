// The history stores, SQLite and PostgreSQL alike: runs go in whole and come
// back as they went in, the queries select what they say, what is not ours
// is refused and left untouched, and a crash inside a write loses only that run.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <libpq-fe.h>

#include "history/history_settings.h"
#include "history/history_store.h"
#include "history/statistics.h"
#include "tests/history/postgres_server.h"
#include "tests/support/work_dir.h"

namespace {

using history::RunDocument;

RunDocument MakeRun(int n, const std::string& identification, int result, std::int64_t startedAtMs) {
    RunDocument d;
    d.runId = "run-" + std::to_string(n);
    d.station = "ST1";
    d.identification = identification;
    d.startedAtMs = startedAtMs;
    d.endedAtMs = startedAtMs + 4321;
    d.selection = 0x0080;
    d.selectedItems = {"sensitivity", "ccd-flashup"};
    d.result = result;
    d.errorMessage = result == 1 ? "" : "感度調整(ISO200）エラー";
    d.programVersion = "1.02";
    d.standardsHash = std::string(64, 'a');
    d.items = {{"sensitivity", result, 300, 2800}};
    if (result == 1) d.items.push_back({"ccd-flashup", 1, 2800, 4300});
    d.measurements = {{"sensitivity", 1, "ISO200 GLevel", 440.0 + n, 441.0, 467.0, "LSB", true},
                      {"sensitivity", 2, "ISO200 GLevel", 0.1 + n, std::nullopt, 467.25, "LSB", false}};
    return d;
}

enum class Kind { Sqlite, Postgres };

class StoreTest : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        if (GetParam() == Kind::Sqlite) {
            dir_.emplace("history_store_test");
            open_ = [](std::string* e) { return history::OpenSqliteStore("HISTORY.DB", e); };
        } else {
            std::string why;
            const std::string conninfo = test_support::FreshPostgresDatabase(&why);
            if (conninfo.empty()) GTEST_SKIP() << "no PostgreSQL server: " << why;
            open_ = [conninfo](std::string* e) { return history::OpenPostgresStore(conninfo, e); };
        }
        store_ = open_(&error_);
        ASSERT_TRUE(store_) << error_;
    }

    std::optional<test_support::WorkDir> dir_;
    std::function<std::unique_ptr<history::HistoryStore>(std::string*)> open_;
    std::unique_ptr<history::HistoryStore> store_;
    std::string error_;
};

TEST_P(StoreTest, RunsComeBackAsWrittenAndQueriesSelect) {
    const std::vector<RunDocument> runs = {MakeRun(1, "W73N000000001", 1, 1'000'000), MakeRun(2, "W73N000000002", 36, 2'000'000),
                                           MakeRun(3, "W73N000000001", 44, 3'000'000), MakeRun(4, "", 1, 4'000'000)};
    for (const RunDocument& r : runs) ASSERT_TRUE(store_->Write(r, &error_)) << error_;

    // Reopened: everything is there, field for field, in time order.
    store_ = open_(&error_);
    ASSERT_TRUE(store_) << error_;
    auto all = store_->Query({}, &error_);
    ASSERT_TRUE(all) << error_;
    EXPECT_EQ(*all, runs);

    struct Case {
        history::RunQuery query;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        {{"W73N000000001", {}, {}, false}, {"run-1", "run-3"}},
        {{"", 2'000'000, 4'000'000, false}, {"run-2", "run-3"}},  // to is exclusive
        {{"", {}, {}, true}, {"run-2", "run-3"}},
        {{"W73N000000001", {}, {}, true}, {"run-3"}},
        {{"nobody", {}, {}, false}, {}},
    };
    for (const Case& c : cases) {
        auto got = store_->Query(c.query, &error_);
        ASSERT_TRUE(got) << error_;
        std::vector<std::string> ids;
        for (const auto& r : *got) {
            ids.push_back(r.runId);
            EXPECT_EQ(r.measurements.size(), 2u);  // each run with its own measurements only
        }
        EXPECT_EQ(ids, c.ids);
    }
    EXPECT_EQ(store_->Contains("run-3", &error_), true);
    EXPECT_EQ(store_->Contains("run-9", &error_), false);

    // The same run id twice is refused as a whole: nothing of it goes in again.
    EXPECT_FALSE(store_->Write(runs[0], &error_));
    EXPECT_EQ(store_->Query({}, &error_)->size(), runs.size());

    // Yield and Pareto follow the results.
    const auto pareto = history::ErrorPareto(*all);
    ASSERT_EQ(pareto.size(), 2u);
    EXPECT_EQ(pareto[0].number, 36);
    EXPECT_EQ(history::YieldByItem(*all)["sensitivity"].passed, 2);
    EXPECT_EQ(history::MeasurementSeries(*all, "sensitivity", "ISO200 GLevel").size(), 4u);
}

// Infinities and NaN (a flash pass with no light) go in and come back as
// they went; the documents are compared as text, where NaN equals NaN.
TEST_P(StoreTest, NonFiniteValuesComeBackAsTheyWent) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    RunDocument r = MakeRun(1, "W73N000000001", 53, 1000);
    r.measurements = {{"flash", 1, "GLevel", inf, -inf, nan, "LSB", false},
                      {"flash", 2, "GLevel", nan, std::nullopt, inf, "", false}};
    ASSERT_TRUE(store_->Write(r, &error_)) << error_;
    const auto back = store_->Query({}, &error_);
    ASSERT_TRUE(back && back->size() == 1u) << error_;
    EXPECT_EQ(history::ToJson(back->front()), history::ToJson(r));
}

INSTANTIATE_TEST_SUITE_P(Stores, StoreTest, ::testing::Values(Kind::Sqlite, Kind::Postgres),
                         [](const auto& info) { return info.param == Kind::Sqlite ? "Sqlite" : "Postgres"; });

class SqliteFileTest : public ::testing::Test {
protected:
    test_support::WorkDir dir_{"history_sqlite_test"};
    std::string error_;
};

// A file that is not ours, or of a schema newer than ours, is refused with
// a reason and keeps every byte.
TEST_F(SqliteFileTest, ForeignOrNewerFilesAreRefusedUntouched) {
    auto sqlite = [](const char* path, const char* sql) {
        sqlite3* db = nullptr;
        sqlite3_open(path, &db);
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    };
    std::ofstream("notes.txt") << "this is not a database\n";
    sqlite("other.db", "CREATE TABLE runs (x)");
    sqlite("newer.db", "PRAGMA application_id = 1229015624; PRAGMA user_version = 99; CREATE TABLE t (x)");
    for (const char* file : {"notes.txt", "other.db", "newer.db"}) {
        SCOPED_TRACE(file);
        const std::string before = test_support::ReadFile(file);
        EXPECT_FALSE(history::OpenSqliteStore(file, &error_));
        EXPECT_NE(error_.find(file), std::string::npos) << error_;
        EXPECT_EQ(test_support::ReadFile(file), before);
    }
    EXPECT_NE(error_.find("newer"), std::string::npos) << error_;
}

// A history of the first schema is taken up to the current one and keeps its runs.
TEST_F(SqliteFileTest, OlderSchemaIsMigrated) {
    {
        auto store = history::OpenSqliteStore("HISTORY.DB", &error_);
        ASSERT_TRUE(store->Write(MakeRun(1, "W73N000000001", 1, 1000), &error_)) << error_;
    }
    sqlite3* db = nullptr;
    sqlite3_open("HISTORY.DB", &db);
    ASSERT_EQ(sqlite3_exec(db,
                           "DROP INDEX runs_by_identification; DROP INDEX runs_by_time; "
                           "DROP INDEX measurements_by_name; PRAGMA user_version = 1",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    auto store = history::OpenSqliteStore("HISTORY.DB", &error_);
    ASSERT_TRUE(store) << error_;
    EXPECT_EQ(store->Query({}, &error_)->size(), 1u);
    sqlite3_open("HISTORY.DB", &db);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT (SELECT user_version FROM pragma_user_version), count(*) FROM sqlite_master "
                           "WHERE type = 'index' AND name = 'runs_by_time'", -1, &s, nullptr);
    ASSERT_EQ(sqlite3_step(s), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(s, 0), history::kSchemaVersion);
    EXPECT_EQ(sqlite3_column_int(s, 1), 1);
    sqlite3_finalize(s);
    sqlite3_close(db);
}

// Four stations start together on a new file: every one opens it and writes.
TEST_F(SqliteFileTest, StationsStartingTogetherOnANewFileAllSucceed) {
    for (int round = 0; round < 6; ++round) {
        for (const char* f : {"HISTORY.DB", "HISTORY.DB-wal", "HISTORY.DB-shm"}) std::filesystem::remove(f);
        int go[2];
        ASSERT_EQ(pipe(go), 0);
        std::vector<pid_t> stations;
        for (int k = 0; k < 4; ++k) {
            const pid_t child = fork();
            if (child == 0) {
                close(go[1]);
                char c;
                [[maybe_unused]] ssize_t n = read(go[0], &c, 1);  // returns when the parent lets go
                std::string e;
                auto store = history::OpenSqliteStore("HISTORY.DB", &e);
                if (store && store->Write(MakeRun(k, "W73", 1, 1000 + k), &e)) _exit(0);
                std::fprintf(stderr, "station %d: %s\n", k, e.c_str());
                _exit(1);
            }
            stations.push_back(child);
        }
        close(go[0]);
        close(go[1]);
        int failed = 0;
        for (pid_t child : stations) {
            int status = 0;
            waitpid(child, &status, 0);
            failed += !WIFEXITED(status) || WEXITSTATUS(status) != 0;
        }
        EXPECT_EQ(failed, 0) << "round " << round;
        auto store = history::OpenSqliteStore("HISTORY.DB", &error_);
        ASSERT_TRUE(store) << error_;
        EXPECT_EQ(store->Query({}, &error_)->size(), 4u - failed);
    }
}

// A file that fails its integrity check is not appended to: refused, kept
// byte for byte; and a history is opened for queries without being created,
// migrated or written.
TEST_F(SqliteFileTest, DamagedFilesAreRefusedAndQueriesNeverWrite) {
    {
        auto store = history::OpenSqliteStore("HISTORY.DB", &error_);
        for (int n = 1; n <= 300; ++n) ASSERT_TRUE(store->Write(MakeRun(n, "W73", 1, n * 1000), &error_)) << error_;
    }
    std::filesystem::copy_file("HISTORY.DB", "damaged.db");
    {
        std::fstream f("damaged.db", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(3 * 4096 + 8);
        f << std::string(64, '\x5A');
    }
    const std::string before = test_support::ReadFile("damaged.db");
    EXPECT_FALSE(history::OpenSqliteStore("damaged.db", &error_));
    EXPECT_NE(error_.find("integrity"), std::string::npos) << error_;
    EXPECT_EQ(test_support::ReadFile("damaged.db"), before);

    std::ofstream("empty.db").close();
    EXPECT_FALSE(history::OpenSqliteStore("empty.db", &error_, true));
    EXPECT_FALSE(history::OpenSqliteStore("missing.db", &error_, true));
    EXPECT_EQ(std::filesystem::file_size("empty.db"), 0u);
    EXPECT_FALSE(std::filesystem::exists("missing.db"));
    auto reader = history::OpenSqliteStore("HISTORY.DB", &error_, true);
    ASSERT_TRUE(reader) << error_;
    EXPECT_EQ(reader->Query({}, &error_)->size(), 300u);
    EXPECT_FALSE(reader->Write(MakeRun(301, "W73", 1, 0), &error_));
}

// The program dies inside a run's write: that run is absent, every earlier
// one present, and the history still opens and takes runs.
TEST_F(SqliteFileTest, CrashInsideAWriteLosesOnlyThatRun) {
    for (const char* step : {"run", "items", "measurements"}) {
        SCOPED_TRACE(step);
        std::filesystem::remove("HISTORY.DB");
        std::filesystem::remove("HISTORY.DB-wal");
        std::filesystem::remove("HISTORY.DB-shm");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::string e;
            auto store = history::OpenSqliteStore("HISTORY.DB", &e);
            for (int n = 1; n <= 3; ++n)
                if (!store || !store->Write(MakeRun(n, "W73", 1, n * 1000), &e)) _exit(3);
            const std::string dieAt = step;
            history::SetWriteHookForTests([dieAt](const char* s) {
                if (dieAt == s) std::abort();
            });
            store->Write(MakeRun(4, "W73", 1, 4000), &e);
            _exit(4);  // the hook did not fire
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "child exit " << WEXITSTATUS(status);

        auto store = history::OpenSqliteStore("HISTORY.DB", &error_);
        ASSERT_TRUE(store) << error_;
        auto runs = store->Query({}, &error_);
        ASSERT_TRUE(runs) << error_;
        ASSERT_EQ(runs->size(), 3u);
        EXPECT_EQ(runs->back().runId, "run-3");
        EXPECT_EQ(runs->back().measurements.size(), 2u);
        EXPECT_TRUE(store->Write(MakeRun(4, "W73", 1, 4000), &error_)) << error_;
    }
}

// A server that refuses, holds a lock, hangs or stops: the camera waits no
// longer than the station's timeout, whatever the connection string says,
// the run waits in the queue, and every run goes in once when the server is
// back. The waits are printed.
TEST(PostgresStallTest, TheLineNeverWaitsLongerThanTheTimeout) {
    std::string why;
    const std::string conninfo = test_support::FreshPostgresDatabase(&why);
    if (conninfo.empty()) GTEST_SKIP() << "no PostgreSQL server: " << why;
    test_support::FailAfter(180);
    test_support::WorkDir dir("history_pg_stall_test");
    std::string error;
    EXPECT_FALSE(history::OpenPostgresStore(conninfo + " dbname=nosuchdb", &error));
    EXPECT_NE(error.find("\"nosuchdb\" does not exist"), std::string::npos) << error;
    EXPECT_FALSE(history::OpenPostgresStore(conninfo, &error, {2, true}));  // queries create nothing
    EXPECT_NE(error.find("no station history"), std::string::npos) << error;

    history::HistorySettings s;
    s.store = history::HistorySettings::Store::Postgres;
    s.postgres = conninfo + " application_name=connect_timeout connect_timeout=0";
    s.postgresTimeoutS = 2;
    s.queue = "queue";
    auto writer = history::MakeWriter(s);
    int n = 0;
    auto record = [&](const char* what) {
        const auto t0 = std::chrono::steady_clock::now();
        ++n;
        const auto o = writer->Record(MakeRun(n, "W73N000000001", 1, 1000 * n));
        const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        std::cout << "[ history  ] server " << what << ": the camera waited " << waited << " s\n";
        EXPECT_LT(waited, 2.6) << what;
        EXPECT_EQ(o.written, std::string(what) == "reachable" || std::string(what) == "back") << what << ": " << o.error;
        EXPECT_FALSE(o.lost);
        return o;
    };
    record("reachable");
    PGconn* locker = PQconnectdb(conninfo.c_str());
    PQclear(PQexec(locker, "BEGIN; LOCK TABLE runs IN ACCESS EXCLUSIVE MODE"));
    const std::string locked = record("locked").error;
    EXPECT_NE(locked.find("lock timeout"), std::string::npos) << locked;
    PQclear(PQexec(locker, "ROLLBACK"));
    PQfinish(locker);
    EXPECT_EQ(record("reachable").pending, 0u);
    {
        ASSERT_TRUE(test_support::ControlPostgres("hang"));
        struct Resume {
            ~Resume() { test_support::ControlPostgres("resume"); }
        } resume;
        record("hung (the connection open)");
        record("hung (a new connection)");
    }
    ASSERT_TRUE(test_support::ControlPostgres("stop"));
    EXPECT_EQ(record("stopped").pending, 3u);
    ASSERT_TRUE(test_support::ControlPostgres("start"));
    EXPECT_EQ(record("back").pending, 0u);
    alarm(0);

    auto store = history::OpenPostgresStore(conninfo, &error);
    ASSERT_TRUE(store) << error;
    const auto runs = store->Query({}, &error);
    ASSERT_TRUE(runs) << error;
    std::vector<std::string> ids;
    for (const auto& r : *runs) ids.push_back(r.runId);
    EXPECT_EQ(ids, (std::vector<std::string>{"run-1", "run-2", "run-3", "run-4", "run-5", "run-6", "run-7"}));
}

}  // namespace
