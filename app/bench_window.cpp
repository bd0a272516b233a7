#include "app/bench_window.h"

#include <QApplication>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "app/bench_operator_hook.h"

namespace app {

namespace {

constexpr int kGap = 8;  // pixels between the station and this window

QString OnOff(bool on) { return on ? QStringLiteral("ＯＮ") : QStringLiteral("ＯＦＦ"); }
QString Present(bool yes) { return yes ? QStringLiteral("有り") : QStringLiteral("無し"); }
QString Mode(int mode) { return mode == SIM_MODE_MANUAL ? QStringLiteral("Ｍ") : QStringLiteral("オート"); }

QString Lens(int lens) {
    switch (lens) {
    case SIM_LENS_TOOL_F8:
        return QStringLiteral("工具レンズ Ｆ８");
    case SIM_LENS_50MM_F14:
        return QStringLiteral("50mm F1.4K");
    case SIM_LENS_CAPPED:
        return QStringLiteral("キャップ付きレンズ");
    default:
        return QStringLiteral("無し");
    }
}

QString Light(const SimBench& b) {
    switch (b.light) {
    case SIM_LIGHT_VIEWER:
        return QStringLiteral("カラービュアー LV%1").arg(b.lightLevel);
    case SIM_LIGHT_BOX:
        return QStringLiteral("輝度箱 LV%1").arg(b.lightLevel);
    case SIM_LIGHT_REFLECTOR:
        return QStringLiteral("標準反射紙");
    default:
        return QStringLiteral("消灯");
    }
}

QString Chart(int chart) {
    switch (chart) {
    case SIM_CHART_RED:
        return QStringLiteral("有り（赤）");
    case SIM_CHART_BLUE:
        return QStringLiteral("有り（青）");
    default:
        return QStringLiteral("無し");
    }
}

QString CcdPower(int power) {
    if (power < 0) return QStringLiteral("カメラ無し");
    return OnOff(power == 1);
}

// As the meter shows it: to the milliampere.
QString Amperes(double amps) {
    if (!std::isfinite(amps)) return QStringLiteral("－－－");
    return QString::asprintf("%.3f A", amps);
}

}  // namespace

const char* BenchWindow::ObjectName(Field field) {
    switch (field) {
    case Field::Power: return "power";
    case Field::SupplyVolts: return "supplyVolts";
    case Field::Usb: return "usb";
    case Field::MainSwitch: return "mainSwitch";
    case Field::ExposureMode: return "exposureMode";
    case Field::AfMode: return "afMode";
    case Field::CcdPower: return "ccdPower";
    case Field::Lens: return "lens";
    case Field::NdFilter: return "ndFilter";
    case Field::Light: return "light";
    case Field::Closest: return "closest";
    case Field::Chart: return "chart";
    case Field::FlashPoppedUp: return "flashPoppedUp";
    case Field::SubjectDistance: return "subjectDistance";
    case Field::Ammeter: return "ammeter";
    }
    return "";
}

BenchWindow::BenchWindow(const SimBenchApi& bench) : m_bench(bench) {
    setObjectName(QStringLiteral("BenchWindow"));
    setWindowTitle(QStringLiteral("模擬ベンチ"));
    // Read only: the keys a person types belong to the station's windows.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);

    // The unit on the bench, and another put there between runs: to
    // rehearse a failure or train an operator on one.
    auto* unit = new QGroupBox(QStringLiteral("ユニット"));
    auto* unitRow = new QHBoxLayout(unit);
    m_unitLabel = new QLabel(m_unit);
    m_unitLabel->setObjectName(QStringLiteral("unit"));
    m_unitLabel->setTextFormat(Qt::PlainText);
    m_change = new QPushButton(QStringLiteral("交換…"));
    m_change->setObjectName(QStringLiteral("changeUnit"));
    m_change->setFocusPolicy(Qt::NoFocus);
    connect(m_change, &QPushButton::clicked, this, &BenchWindow::ChooseUnit);
    unitRow->addWidget(m_unitLabel, 1);
    unitRow->addWidget(m_change);

    auto* camera = new QGroupBox(QStringLiteral("電源・カメラ"));
    auto* cameraForm = new QFormLayout(camera);
    AddRow(cameraForm, "電源", Field::Power);
    AddRow(cameraForm, "電源電圧", Field::SupplyVolts);
    AddRow(cameraForm, "ＵＳＢケーブル", Field::Usb);
    AddRow(cameraForm, "メインスイッチ", Field::MainSwitch);
    AddRow(cameraForm, "露出モード", Field::ExposureMode);
    AddRow(cameraForm, "ＡＦモード", Field::AfMode);
    AddRow(cameraForm, "CCD電源", Field::CcdPower);

    auto* optics = new QGroupBox(QStringLiteral("光学系・被写体"));
    auto* opticsForm = new QFormLayout(optics);
    AddRow(opticsForm, "レンズ", Field::Lens);
    AddRow(opticsForm, "ＮＤフィルター", Field::NdFilter);
    AddRow(opticsForm, "光源", Field::Light);
    AddRow(opticsForm, "光源との距離", Field::Closest);
    AddRow(opticsForm, "カラーバーチャート", Field::Chart);
    AddRow(opticsForm, "内蔵SBポップアップ", Field::FlashPoppedUp);
    AddRow(opticsForm, "被写体距離", Field::SubjectDistance);

    auto* meter = new QGroupBox(QStringLiteral("電流計"));
    auto* meterLayout = new QVBoxLayout(meter);
    auto* ammeter = new QLabel;
    ammeter->setObjectName(QString::fromLatin1(ObjectName(Field::Ammeter)));
    ammeter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ammeter->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ammeter->setMargin(4);
    ammeter->setAutoFillBackground(true);
    QPalette face = ammeter->palette();
    face.setColor(QPalette::Window, Qt::white);
    face.setColor(QPalette::WindowText, Qt::black);
    ammeter->setPalette(face);
    QFont digits = ammeter->font();
    digits.setPixelSize(28);
    digits.setBold(true);
    ammeter->setFont(digits);
    meterLayout->addWidget(ammeter);
    m_values[Field::Ammeter] = ammeter;

    // Room for the longest value from the start, so that the window keeps
    // its width as the bench changes.
    int valueWidth = 0;
    for (const char* longest : {"電池工具（抵抗無し）", "カラービュアー LV13", "キャップ付きレンズ", "defect-count-over"})
        valueWidth = std::max(valueWidth, fontMetrics().horizontalAdvance(QString::fromUtf8(longest)));
    for (auto& [field, label] : m_values)
        if (field != Field::Ammeter) label->setMinimumWidth(valueWidth);
    m_unitLabel->setMinimumWidth(valueWidth);

    // One column of captions through both groups.
    int captionWidth = 0;
    for (QLabel* caption : m_captions) captionWidth = std::max(captionWidth, caption->sizeHint().width());
    for (QLabel* caption : m_captions) caption->setFixedWidth(captionWidth);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(unit);
    layout->addWidget(camera);
    layout->addWidget(optics);
    layout->addWidget(meter);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Refresh();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &BenchWindow::Refresh);
    timer->start(kRefreshMs);
}

void BenchWindow::AddRow(QFormLayout* form, const char* label, Field field) {
    auto* value = new QLabel;
    value->setObjectName(QString::fromLatin1(ObjectName(field)));
    value->setTextFormat(Qt::PlainText);
    auto* caption = new QLabel(QString::fromUtf8(label) + QStringLiteral("："));
    form->addRow(caption, value);
    m_captions.push_back(caption);
    m_values[field] = value;
}

void BenchWindow::Refresh() {
    SimBench b{};
    m_bench.GetBench(&b);
    const bool batteryTool = b.power == SIM_POWER_BATTERY_TOOL;
    const std::map<Field, QString> shown = {
        {Field::Power, batteryTool ? QStringLiteral("電池工具（抵抗無し）") : QStringLiteral("ＡＣアダプター")},
        {Field::SupplyVolts, QString::asprintf("%.2f V", b.supplyVolts)},
        {Field::Usb, b.usbPlugged ? QStringLiteral("接続") : QStringLiteral("未接続")},
        {Field::MainSwitch, OnOff(b.mainSwitchOn != 0)},
        {Field::ExposureMode, Mode(b.exposureMode)},
        {Field::AfMode, Mode(b.afMode)},
        {Field::CcdPower, CcdPower(m_bench.CameraCcdPower())},
        {Field::Lens, Lens(b.lens)},
        {Field::NdFilter, b.ndFilter ? QStringLiteral("ND%1").arg(b.ndFilter) : QStringLiteral("無し")},
        {Field::Light, Light(b)},
        {Field::Closest, b.closest ? QStringLiteral("最至近") : QStringLiteral("離れている")},
        {Field::Chart, Chart(b.chart)},
        {Field::FlashPoppedUp, Present(b.flashPoppedUp != 0)},
        {Field::SubjectDistance, QString::asprintf("%.3f m", b.subjectDistanceM)},
        {Field::Ammeter, Amperes(m_bench.ReadAmmeter())},
    };
    for (const auto& [field, text] : shown) m_values.at(field)->setText(text);
    m_change->setEnabled(BetweenRuns());
}

bool BenchWindow::DefaultGate() const {
    const QWidget* top = QApplication::activeModalWidget();
    return !top || top == parentWidget();
}

bool BenchWindow::PutUnit(const std::string& profile, QString* error) {
    if (!BetweenRuns()) {
        *error = QStringLiteral("調整点検中はユニットを交換できません。");
        return false;
    }
    // Resolved before the camera leaves the bus, so that a wrong name or
    // file leaves the bench as it was.
    if (!m_bench.ProfileIdentification(profile.c_str())) {
        *error = QString::fromStdString(m_bench.LastError());
        return false;
    }
    m_bench.ClearDevices();
    if (m_bench.AddCamera(profile.c_str(), nullptr) != 0) {
        *error = QString::fromStdString(m_bench.LastError());
        m_bench.AddCamera(m_unit.toStdString().c_str(), nullptr);
        return false;
    }
    m_unit = QString::fromStdString(profile);
    // A profile file by its name; its folder is the person's own business.
    m_unitLabel->setText(m_unit.section('/', -1));
    Refresh();
    return true;
}

void BenchWindow::ChooseUnit() {
    QMenu menu(this);
    const QStringList names = QString::fromUtf8(m_bench.ProfileNames()).split('\n', Qt::SkipEmptyParts);
    for (const QString& name : names) menu.addAction(name)->setData(name);
    menu.addSeparator();
    QAction* file = menu.addAction(QStringLiteral("プロファイルファイル…"));
    QAction* chosen = menu.exec(m_change->mapToGlobal(QPoint(0, m_change->height())));
    if (!chosen) return;
    QString profile = chosen->data().toString();
    if (chosen == file) {
        profile = QFileDialog::getOpenFileName(this, QStringLiteral("ユニットのプロファイル"));
        if (profile.isEmpty()) return;
    }
    QString error;
    if (!PutUnit(profile.toStdString(), &error)) QMessageBox::warning(this, windowTitle(), error);
}

QString BenchWindow::Shown(Field field) const { return m_values.at(field)->text(); }

void BenchWindow::ShowBeside(QWidget* station) {
    // A window of the station's: modal prompts and item windows keep its
    // button from the person as they do the station's own.
    if (station) setParent(station, windowFlags());
    QScreen* screen = station ? station->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    const QSize size = sizeHint();
    QPoint at(room.right() - size.width(), room.top());
    if (station) {
        const QRect s = station->frameGeometry();
        at = QPoint(s.right() + 1 + kGap, s.top());
        if (at.x() + size.width() > room.right() + 1) at.setX(std::max(room.left(), s.left() - kGap - size.width()));
    }
    move(at);
    show();
}

BenchWindowKeeper::BenchWindowKeeper(BenchOperatorHook& hook) : m_hook(hook) {
    m_hook.SetBenchListener([this](const SimBenchApi* bench) { Attach(bench); });
}

BenchWindowKeeper::~BenchWindowKeeper() {
    m_hook.SetBenchListener({});
    delete m_window;
}

void BenchWindowKeeper::Attach(const SimBenchApi* bench) {
    // At once, not later: the window reads the bench until it is gone.
    delete m_window;
    if (!bench) return;
    m_window = new BenchWindow(*bench);
    // Once the station's window is on the screen, beside it.
    QTimer::singleShot(0, m_window, [window = m_window] {
        if (window) window->ShowBeside(QApplication::activeModalWidget());
    });
}

}  // namespace app
