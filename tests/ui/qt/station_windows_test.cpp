// The station's windows in the Qt host: which button of the main window the
// Enter key presses and which wears the default frame, the status line that
// must show every message whole, and an adjustment window that no key ends
// before its routine has returned.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "adjust/adjust_dlg.h"
#include "res/adjust_templates.h"
#include "res/templates.h"
#include "shell/error_messages.h"
#include "ui/qt/qt_host.h"

namespace {

using ui::qt::QtHost;

constexpr int kStart = 1009, kStandard = 1008, kComment = 1001, kSensitivity = 1117;

// The main window's controls with handlers that only write down what reached them.
class MainTemplateDlg : public ui::Dialog {
public:
    explicit MainTemplateDlg(ui::Host& host) : ui::Dialog(host, res::MainDialogTemplate()) {
        for (int id : {kStart, kStandard}) OnCommand(id, [this, id] { commands.push_back(id); });
        OnCommand(ui::IDOK, [this] { commands.push_back(ui::IDOK); });
    }
    std::vector<int> commands;
};

QPushButton* Button(QtHost& host, const ui::Dialog& d, int id) {
    return qobject_cast<QPushButton*>(host.ControlWidget(d, id));
}

TEST(QtMainTemplate, EnterPressesTheFocusedButtonElseStart) {
    QtHost host;
    MainTemplateDlg d(host);
    ASSERT_TRUE(d.Create());
    QWidget* w = host.WidgetOf(d);
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    d.GotoDlgCtrl(kStart);
    QPushButton* start = Button(host, d, kStart);
    QPushButton* standard = Button(host, d, kStandard);
    EXPECT_TRUE(start->isDefault());
    EXPECT_FALSE(standard->isDefault());

    // On a button Enter presses it, which wears the frame meanwhile.
    d.GotoDlgCtrl(kStandard);
    EXPECT_TRUE(standard->isDefault());
    QTest::keyClick(standard, Qt::Key_Return);
    // On a check box, START; the frame has gone back to it.
    d.GotoDlgCtrl(kSensitivity);
    EXPECT_TRUE(start->isDefault());
    EXPECT_FALSE(standard->isDefault());
    QTest::keyClick(host.ControlWidget(d, kSensitivity), Qt::Key_Enter);
    QTest::keyClick(start, Qt::Key_Return);
    EXPECT_EQ(d.commands, (std::vector<int>{kStandard, kStart, kStart}));

    // A disabled default button takes nothing, and IDOK never comes.
    d.EnableDlgItem(kStart, false);
    QTest::keyClick(host.ControlWidget(d, kSensitivity), Qt::Key_Return);
    EXPECT_EQ(d.commands.size(), 3u);
}

// The width that a line edit gives its text: inside the frame, the text
// margins and the edit's fixed horizontal margin of 2 px on either side.
int InnerWidth(const QLineEdit& edit) {
    QStyleOptionFrame opt;
    opt.initFrom(&edit);
    opt.rect = edit.rect();
    opt.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, &edit) : 0;
    opt.midLineWidth = 0;
    opt.state |= QStyle::State_Sunken | QStyle::State_ReadOnly;
    const QRect contents = edit.style()->subElementRect(QStyle::SE_LineEditContents, &opt, &edit);
    const QMargins margins = edit.textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * 2;
}

TEST(QtMainTemplate, EveryStatusTextFitsTheStatusLine) {
    QtHost host;
    ui::Dialog d(host, res::MainDialogTemplate());
    ASSERT_TRUE(d.Create());
    auto* status = qobject_cast<QLineEdit*>(host.ControlWidget(d, kComment));
    ASSERT_NE(status, nullptr);
    const QFontMetrics fm = status->fontMetrics();
    const int inner = InnerWidth(*status);
    std::vector<std::string> texts = {kStatusOk, kStatusRunning};
    for (int n = kFirstErrorNumber; n <= kLastErrorNumber; ++n) texts.push_back(StatusLineForResult(n));
    for (const std::string& text : texts) {
        const QString q = QString::fromStdString(text);
        EXPECT_LE(fm.horizontalAdvance(q), inner) << text << " (" << fm.horizontalAdvance(q) << " px of " << inner << ")";
    }
}

// A routine that has the operator's keys arrive while it runs.
class KeyedRoutineDlg : public CAdjustDlg {
public:
    static constexpr int kTimer = 104;
    explicit KeyedRoutineDlg(ui::Host& host) : CAdjustDlg(host, res::FlashUpTemplate(), {kTimer, 60'000}) {}
    std::function<void()> whileRunning;
    int runs = 0;

protected:
    int RunAdjustment() override {
        ++runs;
        whileRunning();
        return 1;
    }
};

// STEP, Enter, Escape and the close button, as the operator gives them.
void PressEverything(QtHost& host, ui::Dialog& d) {
    QWidget* w = host.WidgetOf(d);
    QTest::mouseClick(host.ControlWidget(d, ui::IDOK), Qt::LeftButton);
    QTest::keyClick(w->focusWidget() ? w->focusWidget() : w, Qt::Key_Return);
    QTest::keyClick(w, Qt::Key_Enter);
    QTest::keyClick(w, Qt::Key_Escape);
    w->close();
}

TEST(QtAdjustFrame, NothingEndsTheWindowBeforeItsRoutineHasReturned) {
    QtHost host;
    KeyedRoutineDlg d(host);
    bool endedBeforeRoutine = true, endedInRoutine = true, stepEnabled = true;
    d.whileRunning = [&] {
        PressEverything(host, d);
        QCoreApplication::processEvents();
        endedInRoutine = d.Ended();
    };
    QTimer::singleShot(0, [&] {
        stepEnabled = host.ControlWidget(d, ui::IDOK)->isEnabled();
        PressEverything(host, d);
        QCoreApplication::processEvents();
        endedBeforeRoutine = d.Ended();
        d.OnTimer(KeyedRoutineDlg::kTimer);  // the kick-off, without waiting for it
    });
    EXPECT_EQ(d.DoModal(), ui::IDOK);  // ended by the frame's own OK
    EXPECT_FALSE(stepEnabled);
    EXPECT_FALSE(endedBeforeRoutine);
    EXPECT_FALSE(endedInRoutine);
    EXPECT_EQ(d.runs, 1);
    EXPECT_EQ(d.m_result, 1);
}

}  // namespace
