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
    int RunsShown() const { return static_cast<int>(m_runs.size()); }
    QTabWidget* Tabs() const { return m_tabs; }

private:
    void Refresh();
    void FillMeasurementChoices();
    void DrawYield();
    void DrawPareto();
    void DrawSeries();

    Query m_query;
    std::vector<history::RunDocument> m_runs;
    QDateEdit* m_from = nullptr;
    QDateEdit* m_to = nullptr;
    QComboBox* m_item = nullptr;
    QComboBox* m_measurement = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_paretoMessages = nullptr;
    QTabWidget* m_tabs = nullptr;
    QChartView* m_yieldDays = nullptr;
    QChartView* m_yieldItems = nullptr;
    QChartView* m_pareto = nullptr;
    QChartView* m_series = nullptr;
};
