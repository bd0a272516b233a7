#include "app/history_window.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHorizontalStackedBarSeries>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QScatterSeries>
#include <QStackedBarSeries>
#include <QTabWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "history/statistics.h"

namespace {

// The item names as the main window's boxes show them.
struct ItemName {
    const char* key;
    const char* label;
};
constexpr ItemName kItems[] = {
    {"sensitivity", "感度調整"},        {"line-crawl", "ラインクロール調整"},
    {"ratio", "感度比調整"},            {"battery", "バッテリーチェック調整"},
    {"flash", "内蔵SB調整"},            {"aperture", "絞り依存性調整"},
    {"defect", "CCDキズ補正"},          {"ccd-flashup", "CCDEEPROM FLASH UP"},
    {"tft-position", "ＴＦＴ表示位置調整"}, {"tft-flashup", "TFTEEPROM FLASH UP"},
};

QString Label(const std::string& key) {
    for (const ItemName& i : kItems)
        if (key == i.key) return QString::fromUtf8(i.label);
    return QString::fromStdString(key);
}

// A measurement's name in the run record, in the station's language: whole
// names first, then the words that the item runners put together.
QString MeasurementLabel(const std::string& name) {
    static const std::pair<const char*, const char*> kWhole[] = {
        {"AREA1 Gr", "エリア1 Gr出力レベル"}, {"AREA1", "エリア1 Gr-Gb"}, {"AREA2", "エリア2 Gr-Gb"},
        {"K", "調整係数K"}, {"GR", "GR比"}, {"GB", "GB比"},
        {"BC AD", "BC A/D値"}, {"AVE BC AD", "BC A/D値平均"},
        {"DEFECT TOTAL", "キズ書き込み数"}, {"DEFECTS DETECTED", "キズ検出数"},
        {"DARK CENTRE", "暗時中央レベル"}, {"DARK CENTRE SUM", "暗時中央レベル（加算）"},
        {"PRE DIFF", "プリ発光 目標差"}, {"PRE MAX-MIN", "プリ発光 バラツキ"},
        {"MAIN DIFF", "本発光 目標差"}, {"MAIN MAX-MIN", "本発光 バラツキ"},
    };
    for (const auto& [key, label] : kWhole)
        if (name == key) return QString::fromUtf8(label);
    static const std::pair<const char*, const char*> kWords[] = {
        {" check GLevel", " 点検 G出力レベル"}, {" GLevel average", " G出力レベル平均"}, {"GLevel", "G出力レベル"},
        {"RLevel", "R出力レベル"}, {"BLevel", "B出力レベル"}, {"7200mV ", "7.2V "}, {"7700mV ", "7.7V "},
        {"CCD-OFF", "CCD-OFF 消費電流"}, {"CCD-ON", "CCD-ON 消費電流"},
    };
    QString label = QString::fromStdString(name);
    for (const auto& [word, replacement] : kWords) label.replace(QString::fromUtf8(word), QString::fromUtf8(replacement));
    return label;
}

// An axis of counts: ticks on whole numbers only, from 0 to at least `top`.
QValueAxis* CountAxis(qreal top, qreal from = 0) {
    auto* axis = new QValueAxis;
    axis->setLabelFormat(QStringLiteral("%d"));
    const qreal span = std::max<qreal>(1, top - from);
    qreal step = 1;
    for (qreal s : {1, 2, 5, 10, 20, 25, 50, 100, 200, 250, 500, 1000, 2000, 5000, 10000})
        if (span / s <= 8) {
            step = s;
            break;
        }
    if (span / step > 8) step = std::ceil(span / 8);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(from);
    axis->setTickInterval(step);
    axis->setMinorTickCount(0);
    axis->setRange(from, from + std::ceil(span / step) * step);
    return axis;
}

const QColor kOk(0x2E, 0x9E, 0x48);
const QColor kNg(0xD0, 0x3A, 0x2F);

QChartView* NewChartView() {
    auto* view = new QChartView(new QChart);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(520, 240);
    return view;
}

// A fresh chart in `view` with a title, the old one dropped.
QChart* Reset(QChartView* view, const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
    return chart;
}

// Bars of OK and NG counts, stacked, one category each; lying, with the
// categories down the left, where their names are long.
void StackedYield(QChart* chart, QStringList categories, QList<qreal> ok, QList<qreal> ng, bool lying = false) {
    if (lying) {  // the first category on top
        std::reverse(categories.begin(), categories.end());
        std::reverse(ok.begin(), ok.end());
        std::reverse(ng.begin(), ng.end());
    }
    auto* okSet = new QBarSet(QStringLiteral("OK"));
    auto* ngSet = new QBarSet(QStringLiteral("NG"));
    okSet->setColor(kOk);
    ngSet->setColor(kNg);
    okSet->append(ok);
    ngSet->append(ng);
    QAbstractBarSeries* series = lying ? static_cast<QAbstractBarSeries*>(new QHorizontalStackedBarSeries)
                                       : static_cast<QAbstractBarSeries*>(new QStackedBarSeries);
    series->append(okSet);
    series->append(ngSet);
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(categories);
    qreal top = 1;
    for (int i = 0; i < ok.size(); ++i) top = std::max(top, ok[i] + ng[i]);
    QValueAxis* y = CountAxis(top);
    if (lying) {
        // A name a line high for each item, ten of them in the chart's
        // height: the legend is the chart's above, in the same colours.
        QFont small = x->labelsFont();
        small.setPixelSize(11);
        x->setLabelsFont(small);
        chart->legend()->hide();
        chart->setMargins(QMargins(4, 0, 4, 0));
    }
    chart->addAxis(x, lying ? Qt::AlignLeft : Qt::AlignBottom);
    chart->addAxis(y, lying ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

}  // namespace

HistoryWindow::HistoryWindow(Query query, QWidget* parent) : QDialog(parent), m_query(std::move(query)) {
    setWindowTitle(QStringLiteral("調整点検履歴"));
    auto* top = new QHBoxLayout;
    m_from = new QDateEdit;
    m_to = new QDateEdit;
    for (QDateEdit* d : {m_from, m_to}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setDate(QDate::currentDate());
    }
    m_from->setDate(QDate::currentDate().addDays(-6));
    m_item = new QComboBox;
    m_item->addItem(QStringLiteral("全項目"), QString());
    for (const ItemName& i : kItems) m_item->addItem(QString::fromUtf8(i.label), QString::fromUtf8(i.key));
    auto* refresh = new QPushButton(QStringLiteral("更新"));
    m_summary = new QLabel;
    top->addWidget(new QLabel(QStringLiteral("期間")));
    top->addWidget(m_from);
    top->addWidget(new QLabel(QStringLiteral("～")));
    top->addWidget(m_to);
    top->addSpacing(16);
    top->addWidget(new QLabel(QStringLiteral("項目")));
    top->addWidget(m_item);
    top->addWidget(refresh);
    top->addSpacing(16);
    top->addWidget(m_summary, 1);

    m_tabs = new QTabWidget;
    auto* yieldPage = new QWidget;
    auto* yieldLayout = new QVBoxLayout(yieldPage);
    m_yieldDays = NewChartView();
    m_yieldItems = NewChartView();
    yieldLayout->addWidget(m_yieldDays);
    yieldLayout->addWidget(m_yieldItems);
    m_tabs->addTab(yieldPage, QStringLiteral("歩留まり"));
    auto* paretoPage = new QWidget;
    auto* paretoLayout = new QVBoxLayout(paretoPage);
    m_pareto = NewChartView();
    m_paretoMessages = new QLabel;
    paretoLayout->addWidget(m_pareto, 1);
    paretoLayout->addWidget(m_paretoMessages);
    m_tabs->addTab(paretoPage, QStringLiteral("エラー パレート"));
    auto* seriesPage = new QWidget;
    auto* seriesLayout = new QVBoxLayout(seriesPage);
    auto* choose = new QHBoxLayout;
    m_measurement = new QComboBox;
    m_measurement->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    choose->addWidget(new QLabel(QStringLiteral("測定値")));
    choose->addWidget(m_measurement);
    choose->addStretch(1);
    m_series = NewChartView();
    seriesLayout->addLayout(choose);
    seriesLayout->addWidget(m_series, 1);
    m_tabs->addTab(seriesPage, QStringLiteral("推移"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_tabs, 1);
    resize(900, 640);

    connect(refresh, &QPushButton::clicked, this, [this] { Refresh(); });
    connect(m_item, &QComboBox::currentIndexChanged, this, [this] {
        FillMeasurementChoices();
        DrawYield();
        DrawPareto();
    });
    connect(m_measurement, &QComboBox::currentIndexChanged, this, [this] { DrawSeries(); });
    Refresh();
}

void HistoryWindow::ShowRange(const QDate& from, const QDate& to) {
    m_from->setDate(from);
    m_to->setDate(to);
    Refresh();
}

void HistoryWindow::Refresh() {
    history::RunQuery q;
    q.fromMs = m_from->date().startOfDay().toMSecsSinceEpoch();
    q.toMs = m_to->date().addDays(1).startOfDay().toMSecsSinceEpoch();
    std::string error;
    auto runs = m_query(q, &error);
    if (!runs) {
        m_runs.clear();
        QMessageBox::warning(this, windowTitle(), QString::fromStdString("履歴を読めませんでした。\n" + error));
    } else {
        m_runs = std::move(*runs);
    }
    FillMeasurementChoices();
    DrawYield();
    DrawPareto();
}

void HistoryWindow::FillMeasurementChoices() {
    const QString keep = m_measurement->currentData().toString();
    const std::string item = m_item->currentData().toString().toStdString();
    QSignalBlocker block(m_measurement);
    m_measurement->clear();
    for (const auto& [key, names] : history::MeasurementNames(m_runs)) {
        if (!item.empty() && key != item) continue;
        for (const std::string& name : names)
            m_measurement->addItem(Label(key) + QStringLiteral("：") + MeasurementLabel(name),
                                  QString::fromStdString(key + '\n' + name));
    }
    const int again = m_measurement->findData(keep);
    m_measurement->setCurrentIndex(again >= 0 ? again : 0);
    DrawSeries();
}

void HistoryWindow::DrawYield() {
    const std::string item = m_item->currentData().toString().toStdString();
    // With an item chosen, a day's yield is that item's.
    std::map<std::string, history::Yield> days;
    if (item.empty()) {
        days = history::YieldByDay(m_runs);
    } else {
        for (const auto& r : m_runs)
            for (const auto& i : r.items)
                if (i.item == item) {
                    auto& y = days[history::LocalDay(r.startedAtMs)];
                    ++y.runs;
                    y.passed += i.result == 1;
                }
    }
    QStringList categories;
    QList<qreal> ok, ng;
    int runs = 0, passed = 0;
    for (const auto& [day, y] : days) {
        categories << QString::fromStdString(day.substr(5));
        ok << y.passed;
        ng << y.runs - y.passed;
        runs += y.runs;
        passed += y.passed;
    }
    const double percent = runs ? 100.0 * passed / runs : 0.0;
    StackedYield(Reset(m_yieldDays, QStringLiteral("日別の歩留まり")), categories, ok, ng);
    m_summary->setText(QStringLiteral("%1 件　OK %2 件（%3 %）").arg(runs).arg(passed).arg(percent, 0, 'f', 1));

    categories.clear();
    ok.clear();
    ng.clear();
    const auto byItem = history::YieldByItem(m_runs);
    for (const ItemName& i : kItems) {  // in the order the items run
        const auto it = byItem.find(i.key);
        if (it == byItem.end() || (!item.empty() && item != i.key)) continue;
        categories << QString::fromUtf8(i.label);
        ok << it->second.passed;
        ng << it->second.runs - it->second.passed;
    }
    StackedYield(Reset(m_yieldItems, QStringLiteral("項目別の歩留まり")), categories, ok, ng, true);
}

void HistoryWindow::DrawPareto() {
    const std::string item = m_item->currentData().toString().toStdString();
    std::vector<history::RunDocument> failing;
    for (const auto& r : m_runs) {
        if (r.result == 1) continue;
        const bool byItem = std::any_of(r.items.begin(), r.items.end(),
                                        [&](const RunItemResult& i) { return i.item == item && i.result != 1; });
        if (item.empty() || byItem) failing.push_back(r);
    }
    const auto pareto = history::ErrorPareto(failing);
    QChart* chart = Reset(m_pareto, QStringLiteral("エラー番号のパレート図"));
    auto* counts = new QBarSet(QStringLiteral("件数"));
    counts->setColor(kNg);
    auto* cumulative = new QLineSeries;
    cumulative->setName(QStringLiteral("累積 %"));
    QStringList categories;
    int total = 0, sum = 0;
    for (const auto& e : pareto) total += e.count;
    for (std::size_t i = 0; i < pareto.size(); ++i) {
        categories << QStringLiteral("NO=%1").arg(pareto[i].number);
        *counts << pareto[i].count;
        sum += pareto[i].count;
        cumulative->append(static_cast<qreal>(i), 100.0 * sum / std::max(total, 1));
    }
    auto* bars = new QBarSeries;
    bars->append(counts);
    chart->addSeries(bars);
    chart->addSeries(cumulative);
    auto* x = new QBarCategoryAxis;
    x->append(categories);
    QValueAxis* y = CountAxis(std::max(pareto.empty() ? 1 : pareto.front().count, 1));
    auto* percent = new QValueAxis;
    percent->setRange(0, 100);
    percent->setLabelFormat(QStringLiteral("%d%%"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    chart->addAxis(percent, Qt::AlignRight);
    bars->attachAxis(x);
    bars->attachAxis(y);
    cumulative->attachAxis(x);
    cumulative->attachAxis(percent);
    // The message of each number, for the reader who does not know them by heart.
    QStringList legend;
    for (const auto& e : pareto)
        legend << QStringLiteral("NO=%1　%2（%3 件）").arg(e.number).arg(QString::fromStdString(e.message)).arg(e.count);
    m_paretoMessages->setText(legend.join('\n'));
}

void HistoryWindow::DrawSeries() {
    const QStringList choice = m_measurement->currentData().toString().split('\n');
    QChart* chart = Reset(m_series, choice.size() == 2 ? m_measurement->currentText() : QStringLiteral("測定値なし"));
    if (choice.size() != 2) return;
    const auto points = history::MeasurementSeries(m_runs, choice[0].toStdString(), choice[1].toStdString());
    auto* values = new QLineSeries;
    values->setName(QStringLiteral("測定値"));
    values->setPointsVisible(true);
    auto* failed = new QScatterSeries;
    failed->setName(QStringLiteral("NG"));
    failed->setColor(kNg);
    failed->setMarkerSize(9);
    auto* low = new QLineSeries;
    auto* high = new QLineSeries;
    low->setName(QStringLiteral("下限"));
    high->setName(QStringLiteral("上限"));
    for (QLineSeries* limit : {low, high}) {
        QPen pen(QColor(0x55, 0x55, 0x55));
        pen.setStyle(Qt::DashLine);
        limit->setPen(pen);
    }
    qreal lo = 0, hi = 0;
    bool any = false;
    auto extend = [&](qreal v) {
        lo = any ? std::min(lo, v) : v;
        hi = any ? std::max(hi, v) : v;
        any = true;
    };
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto& p = points[i];
        const qreal x = static_cast<qreal>(i + 1);
        values->append(x, p.value);
        extend(p.value);
        if (!p.passed) failed->append(x, p.value);
        if (p.low) {
            low->append(x, *p.low);
            extend(*p.low);
        }
        if (p.high) {
            high->append(x, *p.high);
            extend(*p.high);
        }
    }
    QValueAxis* xAxis = CountAxis(std::max<qreal>(2, static_cast<qreal>(points.size())), 1);
    xAxis->setTitleText(QStringLiteral("測定順"));
    auto* yAxis = new QValueAxis;
    const qreal margin = any ? std::max<qreal>((hi - lo) * 0.1, 1e-6) : 1;
    yAxis->setRange(lo - margin, hi + margin);
    yAxis->applyNiceNumbers();
    chart->addAxis(xAxis, Qt::AlignBottom);
    chart->addAxis(yAxis, Qt::AlignLeft);
    for (QXYSeries* s : std::initializer_list<QXYSeries*>{values, low, high, failed}) {
        if (s->count() == 0 && s != values) {
            delete s;
            continue;
        }
        chart->addSeries(s);
        s->attachAxis(xAxis);
        s->attachAxis(yAxis);
    }
}
