// A line of simulated cameras into the history: every run goes in whole, the
// history's yield and Pareto say what the line run said, and the history
// window shows it (a screenshot for a person to look at).

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QTabWidget>
#include <map>
#include <regex>
#include <sstream>

#include "app/history_window.h"
#include "app/line_run.h"
#include "history/history_store.h"
#include "history/statistics.h"
#include "tests/support/driver_library_fixture.h"

namespace {

class LineHistoryTest : public test_support::DriverLibraryTest {
protected:
    LineHistoryTest() : DriverLibraryTest("line_history_test") {}
};

TEST_F(LineHistoryTest, HundredCamerasOverTheUnitsGoIntoTheHistory) {
    std::vector<std::string> args = {"--items", "sensitivity", "--save", "--history", "line.db", "--cameras", "100"};
    for (const char* unit : {"nominal", "insensitive", "gain-bow", "sensitive", "af-auto"})
        args.insert(args.end(), {"--unit", unit});
    std::string error;
    const auto options = line::ParseOptions(args, &error);
    ASSERT_TRUE(options) << error;
    std::ostringstream out, err;
    line::Run(*options, out, err);

    // What the line run printed, camera by camera.
    std::map<int, int> printed;  // error number (1 for OK) -> cameras
    const std::string text = out.str();
    const std::regex status("status: (?:ERROR NO=([0-9]+) |終了)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), status); it != std::sregex_iterator(); ++it)
        ++printed[(*it)[1].matched ? std::stoi((*it)[1]) : 1];
    ASSERT_EQ(printed[1] + printed[13] + printed[39] + printed[41], 100) << text;

    auto store = history::OpenSqliteStore("line.db", &error);
    ASSERT_TRUE(store) << error;
    const auto runs = store->Query({}, &error);
    ASSERT_TRUE(runs) << error;
    ASSERT_EQ(runs->size(), 100u);
    int passed = 0;
    for (const auto& [day, y] : history::YieldByDay(*runs)) passed += y.passed;
    EXPECT_EQ(passed, printed[1]);
    for (const auto& e : history::ErrorPareto(*runs)) EXPECT_EQ(e.count, printed[e.number]) << e.number;
    // Each camera under its own identification, read by the run for its
    // result file (not where the pre-check stopped the run before that).
    EXPECT_EQ(runs->front().identification, "W73N000000001");
    for (const auto& r : *runs) EXPECT_EQ(r.identification.size(), r.result == 13 ? 0u : 13u) << r.runId;
    EXPECT_FALSE(runs->front().measurements.empty());

    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    HistoryWindow window([&](const history::RunQuery& q, std::string* e) { return store->Query(q, e); });
    const QDate day = QDateTime::fromMSecsSinceEpoch(runs->front().startedAtMs).date();
    window.ShowRange(day, day.addDays(1));
    EXPECT_EQ(window.RunsShown(), 100);
    window.show();
    const auto artefacts = test_support::BinDir().parent_path() / "artefacts";
    std::filesystem::create_directories(artefacts);
    for (int tab = 0; tab < 2; ++tab) {
        window.Tabs()->setCurrentIndex(tab);
        QApplication::processEvents();
        const auto file = artefacts / (tab == 0 ? "history_line_yield.png" : "history_line_pareto.png");
        EXPECT_TRUE(window.grab().save(QString::fromStdString(file.string())));
    }
}

}  // namespace
