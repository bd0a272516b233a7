// The history writer: a store that cannot be reached queues the runs, and
// the next run that reaches it brings them in first, in order, once each.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "history/history_writer.h"
#include "tests/support/work_dir.h"

namespace {

history::RunDocument MakeRun(int n) {
    history::RunDocument d;
    d.runId = "run-" + std::to_string(n);
    d.startedAtMs = 1000 * n;
    d.endedAtMs = 1000 * n + 10;
    d.result = n % 2 ? 1 : 36;
    d.measurements = {{"sensitivity", 1, "ISO200 GLevel", 454.0 + n, 441.0, 467.0, "LSB", true}};
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
    EXPECT_EQ(o.pending, 0u);
    EXPECT_TRUE(std::filesystem::exists("queue/000000000002500-x.rejected"));

    std::string error;
    auto store = history::OpenSqliteStore("HISTORY.DB", &error);
    auto runs = store->Query({}, &error);
    ASSERT_TRUE(runs) << error;
    std::vector<std::string> ids;
    for (const auto& r : *runs) ids.push_back(r.runId);
    EXPECT_EQ(ids, (std::vector<std::string>{"run-1", "run-2", "run-3", "run-4"}));
    EXPECT_EQ(runs->front(), MakeRun(1));

    // A queued run that went in before its file was removed goes in once.
    std::ofstream("queue/000000000000001-run-1.json") << history::ToJson(MakeRun(1));
    EXPECT_TRUE(writer.Record(MakeRun(5)).written);
    EXPECT_EQ(store->Query({}, &error)->size(), 5u);
    EXPECT_EQ(writer.Pending(), 0u);
}

}  // namespace
