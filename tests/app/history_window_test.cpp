// The history window over a history of a few days: it shows every run of
// the range, offers each judged quantity, and reads well (a screenshot per
// tab goes to the build's artefacts for a person to look at).

#include <gtest/gtest.h>

#include <QApplication>
#include <QBarCategoryAxis>
#include <QChartView>
#include <QValueAxis>
#include <QComboBox>
#include <QDate>
#include <QDateTime>
#include <QTabWidget>
#include <cmath>
#include <filesystem>

#include "app/history_window.h"
#include "history/history_store.h"
#include "tests/support/work_dir.h"

namespace {

history::RunDocument MakeRun(int n, std::int64_t at) {
    history::RunDocument d;
    d.runId = "w-" + std::to_string(n);
    d.identification = "W73N" + std::to_string(100000000 + n);
    d.startedAtMs = at;
    d.endedAtMs = at + 90000;
    d.result = n % 7 == 0 ? 36 : n % 11 == 0 ? 44 : 1;
    d.errorMessage = d.result == 36 ? "感度調整(ISO200）エラー" : d.result == 44 ? "感度比調整出来ずエラー" : "";
    d.items = {{"sensitivity", d.result == 36 ? 36 : 1, 0, 40000}};
    if (d.result != 36) d.items.push_back({"ratio", d.result == 44 ? 44 : 1, 40000, 80000});
    d.measurements = {{"sensitivity", 0, "ISO200 GLevel", 450.0 + (n % 9) - (d.result == 36 ? 30 : 0), 441.0, 467.0,
                       "LSB", d.result != 36}};
    return d;
}

TEST(HistoryWindowTest, ShowsTheRangeAndItsQuantities) {
    test_support::WorkDir dir("history_window_test");
    std::string error;
    auto store = history::OpenSqliteStore("HISTORY.DB", &error);
    ASSERT_TRUE(store) << error;
    const QDate first(2026, 12, 1);
    for (int n = 0; n < 60; ++n)
        ASSERT_TRUE(store->Write(MakeRun(n, first.addDays(n / 12).startOfDay().addSecs(3600 * 8 + 300 * n)
                                                .toMSecsSinceEpoch()),
                                 &error))
            << error;

    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    HistoryWindow window([&](const history::RunQuery& q, std::string* e) { return store->Query(q, e); });
    window.ShowRange(first, first.addDays(4));
    EXPECT_EQ(window.RunsShown(), 60);
    window.ShowRange(first.addDays(1), first.addDays(1));
    EXPECT_EQ(window.RunsShown(), 12);
    window.ShowRange(first, first.addDays(4));
    auto* measurement = window.findChildren<QComboBox*>().back();
    EXPECT_EQ(measurement->count(), 1);
    EXPECT_EQ(measurement->itemText(0).toStdString(), "感度調整：ISO200 G出力レベル");
    // Counts and the order of measurements tick on whole numbers; the items
    // stand down the left of their yield chart, where a long name has room.
    int countAxes = 0;
    for (QChartView* view : window.findChildren<QChartView*>())
        for (QAbstractAxis* axis : view->chart()->axes()) {
            auto* values = qobject_cast<QValueAxis*>(axis);
            if (axis->alignment() == Qt::AlignLeft && view->chart()->title() == "項目別の歩留まり") {
                EXPECT_TRUE(qobject_cast<QBarCategoryAxis*>(axis));
            }
            if (!values || values->labelFormat() != "%d") continue;
            ++countAxes;
            EXPECT_EQ(values->tickType(), QValueAxis::TicksDynamic) << view->chart()->title().toStdString();
            EXPECT_EQ(values->tickInterval(), std::floor(values->tickInterval()));
            EXPECT_GE(values->tickInterval(), 1);
        }
    EXPECT_EQ(countAxes, 4);  // two yields, the Pareto's and the measurement order

    window.show();
    const auto artefacts = std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "artefacts";
    std::filesystem::create_directories(artefacts);
    const char* tabs[] = {"history_yield.png", "history_pareto.png", "history_series.png"};
    for (int t = 0; t < 3; ++t) {
        window.Tabs()->setCurrentIndex(t);
        QApplication::processEvents();
        EXPECT_TRUE(window.grab().save(QString::fromStdString((artefacts / tabs[t]).string())));
    }
}

}  // namespace
