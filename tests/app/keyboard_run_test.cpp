// The station window in the Qt host, worked with the keyboard alone, by a
// person whose Enter is held down or pressed too early: START and every
// prompt act only on a deliberate press, and on that at once. Keys arrive
// as the window system delivers them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QWindow>
#include <QTimer>

#include <string>
#include <vector>

#include "app/bench_operator_hook.h"
#include "shell/image_adjust_dlg.h"
#include "tests/support/driver_library_fixture.h"
#include "ui/qt/qt_host.h"

// How the window system hands Qt a key (as Qt's own test library sends one).
Q_GUI_EXPORT void qt_handleKeyEvent(QWindow* window, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
                                    const QString& text = QString(), bool autoRepeat = false, ushort count = 1);

namespace {

using D = CImageAdjustDlg;

int g_argc = 1;
char g_name[] = "app_tests";
char* g_argv[] = {g_name, nullptr};

void Key(QWidget* w, QEvent::Type type, int key, bool autoRepeat) {
    const QString text = key == Qt::Key_Return  ? QStringLiteral("\r")
                         : key == Qt::Key_Space ? QStringLiteral(" ")
                                                : QString();
    qt_handleKeyEvent(w->window()->windowHandle(), type, key, Qt::NoModifier, text, autoRepeat);
}
void Press(QWidget* w, int key) {
    Key(w, QEvent::KeyPress, key, false);
    Key(w, QEvent::KeyRelease, key, false);
}
// Tab until `target` has the focus of its window; false if it never does.
bool TabTo(QWidget* target) {
    for (int i = 0; i < 60 && target->window()->focusWidget() != target; ++i) Press(target, Qt::Key_Tab);
    return target->window()->focusWidget() == target;
}

class KeyboardRunTest : public test_support::DriverLibraryTest {
protected:
    KeyboardRunTest() : DriverLibraryTest("keyboard_run_test") {}
};

TEST_F(KeyboardRunTest, HeldOrEarlyKeysNeverActAndTheKeyboardAloneRunsTheStation) {
    QApplication app(g_argc, g_argv);
    ui::qt::QtHost host;
    app::BenchOperatorHook hook(host);
    D dlg(host);
    dlg.SetDriverLibraryObserver(&hook);

    struct Box {
        std::string text;
        bool openWhileHeldOrRepeating = false;
        bool closedByThePress = false;
    };
    std::vector<Box> boxes;
    bool held = true;         // Enter stays down from the press on START
    int repeatsHeld = 0;
    bool pressEarly = false;  // the next key comes before anything asks for it
    QMessageBox* current = nullptr;

    // The person at the keyboard: every box answered with Enter, held down
    // over the first and repeating before each; between the first boxes,
    // while the station sleeps, Enter pressed too early.
    QTimer person;
    QObject::connect(&person, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) {
            if (pressEarly) Press(host.ControlWidget(dlg, D::IDC_START), Qt::Key_Return);
            pressEarly = false;
            return;
        }
        if (box != current) {
            current = box;
            boxes.push_back({box->text().toStdString()});
        }
        Box& b = boxes.back();
        Key(box, QEvent::KeyPress, Qt::Key_Return, true);
        b.openWhileHeldOrRepeating = box->isVisible();
        if (held) {
            if (++repeatsHeld < 10) return;
            Key(box, QEvent::KeyRelease, Qt::Key_Return, false);
            held = false;
        }
        Press(box, Qt::Key_Return);
        b.closedByThePress = !box->isVisible();
        current = nullptr;
        pressEarly = boxes.size() <= 2;  // a sleep follows the first two
    });
    person.start(10);

    int boxesAfterRun = -1;
    QTimer::singleShot(0, [&] {
        // The CCD EEPROM flash-up box ticked and START pressed, from the keyboard.
        QWidget* box = host.ControlWidget(dlg, D::IDC_CCD_FLASH_UP);
        QWidget* start = host.ControlWidget(dlg, D::IDC_START);
        if (!TabTo(box)) ADD_FAILURE() << "Tab never reaches the box";
        Press(box, Qt::Key_Space);
        if (!TabTo(start)) ADD_FAILURE() << "Tab never reaches START";
        Key(start, QEvent::KeyPress, Qt::Key_Return, false);  // returns when the run has ended
        // Enter held on START afterwards starts nothing.
        for (int i = 0; i < 3; ++i) Key(start, QEvent::KeyPress, Qt::Key_Return, true);
        QCoreApplication::processEvents();
        boxesAfterRun = static_cast<int>(boxes.size());
        dlg.PostClose();
    });
    QTimer::singleShot(60000, [&] {
        ADD_FAILURE() << "the run did not end";
        while (QWidget* modal = QApplication::activeModalWidget()) {
            if (modal == host.WidgetOf(dlg)) break;
            modal->close();
        }
        dlg.PostClose();
    });
    dlg.DoModal();
    person.stop();

    EXPECT_EQ(dlg.m_itemFlags, 0x0004);
    EXPECT_EQ(dlg.LastResult(), 1) << dlg.m_comment;
    std::vector<std::string> texts;
    for (const Box& b : boxes) {
        texts.push_back(b.text);
        EXPECT_TRUE(b.openWhileHeldOrRepeating) << b.text;
        EXPECT_TRUE(b.closedByThePress) << b.text;
    }
    // One run: the set-up question once, nothing answered before it was asked.
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "カメラの設定を以下のように設定してください。\n・メインスイッチ＝ＯＮ\n・露出モード＝Ｍ\n・ＡＦモード＝Ｍ",
                         "ＵＳＢケーブルをカメラに差し込んでください\n", "ＡＣアダプターをカメラに接続してください",
                         "カメラから各種ケーブル類を取り外してください"}));
    EXPECT_EQ(repeatsHeld, 10);
    EXPECT_EQ(boxesAfterRun, 4);
}

}  // namespace
