// The history stores, SQLite and PostgreSQL alike: runs go in whole and come
// back as they went in, the queries select what they say, what is not ours
// is refused and left untouched, and a crash inside a write loses only that run.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

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

}  // namespace
