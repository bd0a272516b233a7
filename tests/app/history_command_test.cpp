// imageadjust-history as a line engineer uses it: query a station history
// and export it as CSV or JSON.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>

#include <sqlite3.h>

#include "history/history_store.h"
#include "tests/support/work_dir.h"

namespace {

struct Output {
    int status = -1;
    std::string text;
};

Output Command(const std::string& args) {
    const std::string command = (test_support::BinDir() / "imageadjust-history").string() + " " + args + " 2>&1";
    Output o;
    FILE* p = popen(command.c_str(), "r");
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) o.text.append(buf, n);
    const int status = pclose(p);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

TEST(HistoryCommandTest, QueriesAndExports) {
    test_support::WorkDir dir("history_command_test");
    std::string error;
    {
        auto store = history::OpenSqliteStore("HISTORY.DB", &error);
        ASSERT_TRUE(store) << error;
        // Three days of one camera and another, the second run a failure with a comma in its message.
        std::tm noon{};  // 2026-11-29, noon local time
        noon.tm_year = 126;
        noon.tm_mon = 10;
        noon.tm_mday = 29;
        noon.tm_hour = 12;
        noon.tm_isdst = -1;
        const std::int64_t day = 86'400'000, t0 = std::mktime(&noon) * std::int64_t{1000};
        for (int n = 0; n < 3; ++n) {
            history::RunDocument d;
            d.runId = "r" + std::to_string(n);
            d.station = n == 2 ? "=1+2" : "ST1";  // what a spreadsheet would run
            d.identification = n == 2 ? "W73N000000002" : "W73N000000001";
            d.startedAtMs = t0 + n * day;
            d.endedAtMs = d.startedAtMs + 1000;
            d.result = n == 1 ? 36 : 1;
            d.errorMessage = n == 1 ? "感度調整(ISO200）エラー, \"retry\"" : "";
            d.items = {{"sensitivity", d.result, 0, 900}};
            ASSERT_TRUE(store->Write(d, &error)) << error;
        }
    }
    std::ofstream("notes.txt") << "not a database\n";

    struct Case {
        std::string args;
        int status;
        int rows;  // data rows (CSV) or documents (JSON); -1: an error text
        std::string shown;
    };
    const Case cases[] = {
        {"", 0, 3, "run_id,station,identification,started_at"},
        {"--id W73N000000001", 0, 2, "r0,ST1,W73N000000001"},
        {"--failures", 0, 1, "\"感度調整(ISO200）エラー, \"\"retry\"\"\""},
        {"--from 2026-11-30 --to 2026-11-30", 0, 1, "\nr1,ST1"},
        {"--format json --id W73N000000002", 0, 1, "\"identification\": \"W73N000000002\""},
        {"--id W73N000000002", 0, 1, ",'=1+2,W73N000000002,"},
        {"--from 2026-13-01", 2, -1, "--from takes a day that exists, as YYYY-MM-DD"},
        {"--to 2026-02-31", 2, -1, "--to takes a day that exists"},
        {"--from 2026-12-02 --to 2026-12-01", 2, -1, "--from is after --to"},
        {"--db HISTORY.DB --pg dbname=x", 2, -1, "--station, --db and --pg each name a history"},
        {"--station . --db HISTORY.DB", 2, -1, "--station, --db and --pg each name a history"},
        {"--id a --id b", 2, -1, "--id is given twice"},
        {"--queue --failures", 2, -1, "--failures selects runs of the history, not of the queue"},
        {"--format xml", 2, -1, "--format is csv or json"},
        {"--db nowhere.db", 1, -1, "nowhere.db: no such history"},
        {"--db notes.txt", 1, -1, "notes.txt: the file is not a station history"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const Output o = Command(c.args);
        EXPECT_EQ(o.status, c.status) << o.text;
        EXPECT_NE(("," + o.text).find(c.shown), std::string::npos) << o.text;
        if (c.rows < 0) continue;
        if (c.args.find("json") != std::string::npos) {
            EXPECT_EQ(nlohmann::json::parse(o.text).size(), static_cast<std::size_t>(c.rows));
        } else {
            std::size_t lines = 0;
            for (std::size_t at = 0; (at = o.text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
            EXPECT_EQ(lines, static_cast<std::size_t>(c.rows) + 1);  // the header line first
        }
    }
    EXPECT_EQ(test_support::ReadFile("notes.txt"), "not a database\n");

    // Queries never create, migrate or write: an empty file stays empty, an
    // older history stays at its schema.
    std::ofstream("empty.db").close();
    EXPECT_EQ(Command("--db empty.db").status, 1);
    EXPECT_EQ(std::filesystem::file_size("empty.db"), 0u);
    std::filesystem::copy_file("HISTORY.DB", "old.db");
    auto sqlite = [](const char* sql) {
        sqlite3* db = nullptr;
        sqlite3_open("old.db", &db);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
        const int v = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
        sqlite3_finalize(s);
        sqlite3_close(db);
        return v;
    };
    sqlite("PRAGMA user_version = 1");
    EXPECT_EQ(Command("--db old.db").status, 0);
    EXPECT_EQ(sqlite("PRAGMA user_version"), 1);

    // The history and queue HISTORY.INI names; the queue listed, then brought in.
    std::filesystem::rename("HISTORY.DB", "line.db");
    std::ofstream("HISTORY.INI") << "sqlite_file = line.db\nqueue = waiting\n";
    std::filesystem::create_directory("waiting");
    history::RunDocument queued;
    queued.runId = "q1";
    queued.identification = "W73N000000009";
    std::ofstream("waiting/000000000000001-q1.json") << history::ToJson(queued);
    std::ofstream("waiting/000000000000002-x.json") << "half a run";
    Output o = Command("--queue");
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.text.find("waiting/000000000000001-q1.json\tq1\tW73N000000009\t"), std::string::npos) << o.text;
    EXPECT_NE(o.text.find("000000000000002-x.json\tUNREADABLE\t"), std::string::npos) << o.text;
    o = Command("--flush");
    EXPECT_EQ(o.status, 1) << o.text;  // the unreadable one stays
    EXPECT_NE(o.text.find("1 run(s) stored, 1 left in waiting"), std::string::npos) << o.text;
    EXPECT_NE(Command("--id W73N000000009").text.find("\nq1,"), std::string::npos);

    // From another folder: the station folder named, never one made up.
    const std::filesystem::path station = std::filesystem::current_path();
    std::filesystem::create_directory("elsewhere");
    std::filesystem::current_path("elsewhere");
    o = Command("--station " + station.string() + " --id W73N000000009");
    EXPECT_NE(o.text.find("\nq1,"), std::string::npos) << o.text;
    o = Command("--station=" + (station / "none").string());
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.text.find("no station folder"), std::string::npos) << o.text;
    EXPECT_FALSE(std::filesystem::exists(station / "none"));
    std::filesystem::current_path(station);
}

}  // namespace
