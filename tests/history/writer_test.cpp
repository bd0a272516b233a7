// The history writer: a store that cannot be reached queues the runs, and
// the next run that reaches it brings them in first, in order, once each;
// a run neither stored nor queued is said to be lost. And the settings that
// choose the store.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>

#include "history/history_settings.h"
#include "history/history_writer.h"
#include "platform/trace.h"
#include "tests/support/work_dir.h"

namespace {

history::RunDocument MakeRun(int n) {
    history::RunDocument d;
    d.runId = "run-" + std::to_string(n);
    d.startedAtMs = 1000 * n;
    d.endedAtMs = 1000 * n + 10;
    d.result = n % 2 ? 1 : 36;
    d.measurements = {{"sensitivity", 1, "ISO200 GLevel", 454.0 + n, 441.0, 467.0, "LSB", true}};
    // A flash pass that saw no light: queued, it is still a run to replay.
    if (n == 2) d.measurements.push_back({"flash", 1, "GLevel", std::numeric_limits<double>::infinity(), 0.0,
                                          std::numeric_limits<double>::quiet_NaN(), "LSB", false});
    return d;
}

TEST(HistoryWriterTest, QueuesWhileTheStoreIsAwayAndCatchesUp) {
    test_support::WorkDir dir("history_writer_test");
    bool reachable = false;
    int connects = 0;
    history::HistoryWriter writer(
        [&](std::string* error) -> std::unique_ptr<history::HistoryStore> {
            ++connects;
            if (reachable) return history::OpenSqliteStore("HISTORY.DB", error);
            *error = "could not connect to server";
            return nullptr;
        },
        "queue");

    for (int n = 1; n <= 3; ++n) {
        const auto o = writer.Record(MakeRun(n));
        EXPECT_FALSE(o.written);
        EXPECT_EQ(o.pending, static_cast<std::size_t>(n));
        EXPECT_NE(o.error.find("could not connect"), std::string::npos);
    }
    // A queue file that is not a run is put aside, not lost and not in the way.
    std::ofstream("queue/000000000002500-x.json") << "garbage";

    reachable = true;
    const auto o = writer.Record(MakeRun(4));
    EXPECT_TRUE(o.written) << o.error;
    EXPECT_EQ(o.pending, 1u);  // what cannot be read is still counted
    EXPECT_TRUE(std::filesystem::exists("queue/000000000002500-x.rejected"));
    const auto queue = writer.Queue();
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_FALSE(queue[0].run);
    EXPECT_NE(queue[0].error.find("parse"), std::string::npos) << queue[0].error;

    std::string error;
    auto store = history::OpenSqliteStore("HISTORY.DB", &error);
    auto runs = store->Query({}, &error);
    ASSERT_TRUE(runs) << error;
    std::vector<std::string> ids;
    for (const auto& r : *runs) ids.push_back(r.runId);
    EXPECT_EQ(ids, (std::vector<std::string>{"run-1", "run-2", "run-3", "run-4"}));
    EXPECT_EQ(runs->front(), MakeRun(1));
    EXPECT_EQ(history::ToJson((*runs)[1]), history::ToJson(MakeRun(2)));

    // A queued run that went in before its file was removed goes in once.
    std::ofstream("queue/000000000000001-run-1.json") << history::ToJson(MakeRun(1));
    EXPECT_TRUE(writer.Record(MakeRun(5)).written);
    EXPECT_EQ(store->Query({}, &error)->size(), 5u);
    EXPECT_EQ(writer.Pending(), 1u);
}

// Without a queue (a full disk, a folder that cannot be made) a run goes
// straight into a store that takes it; into neither, it is lost, and says so.
TEST(HistoryWriterTest, ARunNeitherStoredNorQueuedIsLost) {
    test_support::WorkDir dir("history_writer_lost_test");
    std::ofstream("STD.DAT") << "a file where the queue folder would be\n";
    for (bool reachable : {true, false}) {
        SCOPED_TRACE(reachable);
        history::HistoryWriter writer(
            [&](std::string* error) -> std::unique_ptr<history::HistoryStore> {
                if (reachable) return history::OpenSqliteStore("HISTORY.DB", error);
                *error = "disk full";
                return nullptr;
            },
            "STD.DAT/queue");
        std::string error;
        EXPECT_FALSE(writer.Journal(MakeRun(1), &error));
        const auto o = writer.Record(MakeRun(reachable ? 1 : 2));
        EXPECT_EQ(o.written, reachable) << o.error;
        EXPECT_EQ(o.lost, !reachable);
        EXPECT_EQ(o.pending, 0u);
        EXPECT_EQ(o.error.find("could not be queued") != std::string::npos, !reachable) << o.error;
    }
}

// HISTORY.INI that cannot be used is said by line and reason, and the
// defaults stand in for it whole: the runs go to HISTORY.DB, never nowhere.
TEST(HistorySettingsTest, AFileThatCannotBeUsedGivesTheDefaultsAndSaysWhy) {
    test_support::WorkDir dir("history_settings_test");
    const std::pair<std::string, std::string> cases[] = {
        {"store = postgres\n", "HISTORY.INI:1: store is sqlite or postgresql"},
        {"sqlite_file = line.db\ncolour = red\n", "HISTORY.INI:2: unknown key 'colour'"},
        {"queue =\n", "HISTORY.INI:1: 'queue' has no value"},
        {"store = postgresql\n", "HISTORY.INI:1: store = postgresql needs a postgresql connection string"},
        {"postgresql_timeout = 0\n", "HISTORY.INI:1: postgresql_timeout is a number of seconds from 2 to 60"},
        {"# all set\nsqlite_file = line.db\npostgresql_timeout = 5\ndiagnostics = stderr\n", ""},
    };
    for (const auto& [text, said] : cases) {
        SCOPED_TRACE(text);
        std::ofstream("HISTORY.INI") << text;
        std::string error;
        const history::HistorySettings s = history::LoadHistorySettingsOrDefaults("HISTORY.INI", &error);
        EXPECT_EQ(error.substr(0, said.size()), said);
        EXPECT_EQ(s.sqliteFile, said.empty() ? "line.db" : "HISTORY.DB");
        EXPECT_EQ(s.store, history::HistorySettings::Store::Sqlite);
        EXPECT_EQ(s.postgresTimeoutS, said.empty() ? 5 : 3);
    }
}

// The trace reaches a file, or stderr as the environment asks, or nobody.
TEST(HistorySettingsTest, DiagnosticsGoWhereTheSettingsOrTheEnvironmentSay) {
    test_support::WorkDir dir("history_diagnostics_test");
    history::HistorySettings s;
    s.diagnostics = "trace.log";
    for (const char* env : {"", "stderr", "off"}) {
        SCOPED_TRACE(env);
        setenv("IMAGEADJUST_DIAGNOSTICS", env, 1);
        testing::internal::CaptureStderr();
        history::InstallDiagnostics(s);
        platform::Trace("HISTORY: %s\r\n", env);
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string file = test_support::ReadFile("trace.log");
        EXPECT_EQ(file.find(std::string("HISTORY: ") + env + "\r\n") != std::string::npos, *env == 0) << file;
        EXPECT_EQ(err.find("HISTORY: stderr") != std::string::npos, std::string(env) == "stderr") << err;
    }
    unsetenv("IMAGEADJUST_DIAGNOSTICS");
    platform::SetTraceSink({});
}

}  // namespace
