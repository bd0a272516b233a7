#pragma once
// The history window: the line's yield per day and per item, a Pareto of the
// error numbers, and one measurement's values run after run against its
// limits, over a chosen time range. It reads the history store and changes
// nothing in it.

#include <QDialog>

#include <functional>
#include <optional>
#include <vector>

#include "history/history_store.h"

class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QTabWidget;

class HistoryWindow : public QDialog {
public:
    // `query` fetches the runs of a time range (it opens the store anew, so
    // the window sees what other stations wrote meanwhile).
    using Query = std::function<std::optional<std::vector<history::RunDocument>>(const history::RunQuery&,
                                                                                  std::string* error)>;
    HistoryWindow(Query query, QWidget* parent = nullptr);

    // Shows the runs from `from` to `to` (local days, both included).
    void ShowRange(const QDate& from, const QDate& to);
    int RunsShown() const { return static_cast<int>(runs_.size()); }
    QTabWidget* Tabs() const { return tabs_; }

private:
    void Refresh();
    void FillMeasurementChoices();
    void DrawYield();
    void DrawPareto();
    void DrawSeries();

    Query query_;
    std::vector<history::RunDocument> runs_;
    QDateEdit* from_ = nullptr;
    QDateEdit* to_ = nullptr;
    QComboBox* item_ = nullptr;
    QComboBox* measurement_ = nullptr;
    QLabel* summary_ = nullptr;
    QLabel* paretoMessages_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QChartView* yieldDays_ = nullptr;
    QChartView* yieldItems_ = nullptr;
    QChartView* pareto_ = nullptr;
    QChartView* series_ = nullptr;
};
