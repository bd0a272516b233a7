// The Qt host with real widgets: what a template becomes, clicks and keys
// reaching the dialog, data exchange through the widgets, message boxes,
// the status pictures and screenshots.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include "tests/ui/test_dialogs.h"
#include "ui/qt/qt_host.h"

namespace {

using namespace ui_test;
using ui::IDCANCEL;
using ui::IDOK;
using ui::qt::QtHost;

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "ui_qt_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Answers the next message box that opens with `key`.
void AnswerNextBoxWith(Qt::Key key, QString* seenText = nullptr, QString* seenTitle = nullptr) {
    QTimer::singleShot(0, [key, seenText, seenTitle] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            ADD_FAILURE() << "no message box open";
            return;
        }
        if (seenText) *seenText = box->text();
        if (seenTitle) *seenTitle = box->windowTitle();
        QTest::keyClick(box, key);
    });
}

TEST(QtHost, RendersEveryControlKindAtItsScale) {
    QtHost host;
    Form f(host);
    ASSERT_TRUE(f.Create());
    QWidget* w = host.WidgetOf(f);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), QString::fromUtf8("フォーム"));
    EXPECT_EQ(w->size(), QSize(525, 330));
    EXPECT_TRUE(w->isVisible());

    QWidget* picture = host.ControlWidget(f, 50);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->geometry(), QRect(0, 0, 364, 224));  // the size of the status pictures
    EXPECT_EQ(host.ControlWidget(f, 10)->geometry(), QRect(368, 0, 140, 18));
    EXPECT_NE(qobject_cast<QLabel*>(picture), nullptr);
    EXPECT_NE(qobject_cast<QLineEdit*>(host.ControlWidget(f, 10)), nullptr);
    auto* log = qobject_cast<QPlainTextEdit*>(host.ControlWidget(f, 16));
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->isReadOnly());
    EXPECT_EQ(log->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(qobject_cast<QLineEdit*>(host.ControlWidget(f, 17))->isReadOnly());
    EXPECT_NE(qobject_cast<QCheckBox*>(host.ControlWidget(f, 20)), nullptr);
    EXPECT_NE(qobject_cast<QRadioButton*>(host.ControlWidget(f, 21)), nullptr);
    EXPECT_NE(qobject_cast<QGroupBox*>(host.ControlWidget(f, -1)), nullptr);
    EXPECT_NE(qobject_cast<QProgressBar*>(host.ControlWidget(f, 40)), nullptr);
    auto* ok = qobject_cast<QPushButton*>(host.ControlWidget(f, IDOK));
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->text(), "OK");
}

// A log box without a horizontal scroll bar of its own (the item windows')
// breaks lines only where its text does: a line wider than the box scrolls,
// and no value is parted from its unit.
TEST(QtHost, ALogBoxBreaksLinesOnlyWhereItsTextDoes) {
    QtHost host;
    ui::DialogTemplate t;
    t.id = 9001;
    t.title = "log";
    t.width = 120;
    t.height = 80;
    t.controls.push_back({1028, ui::ControlKind::Edit, "", {4, 4, 112, 60},
                          ui::kMultiLine | ui::kReadOnly | ui::kVScroll | ui::kBorder});
    ui::Dialog d(host, t);
    ASSERT_TRUE(d.Create());
    auto* log = qobject_cast<QPlainTextEdit*>(host.ControlWidget(d, 1028));
    ASSERT_NE(log, nullptr);
    d.SetDlgItemText(1028, " GLevel=  1649[LSB] ( MIN: 3523- MAX: 3741 ) : ADJ= 870[LSB]\r\nOK\r\n");
    QApplication::processEvents();
    EXPECT_EQ(log->document()->blockCount(), 3);
    for (QTextBlock b = log->document()->begin(); b.isValid(); b = b.next())
        EXPECT_EQ(b.layout()->lineCount(), 1) << b.text().toStdString();
    EXPECT_GT(log->horizontalScrollBar()->maximum(), 0);  // the long line scrolls
}

TEST(QtHost, ClicksAndKeysReachTheDialog) {
    QtHost host;
    Form f(host);
    std::vector<std::string> seen;
    f.OnCommand(30, [&] { seen.push_back("button"); });
    f.OnCommand(20, [&] { seen.push_back(f.IsDlgButtonChecked(20) ? "ticked" : "unticked"); });
    f.OnCommand(21, [&] { seen.push_back(f.IsDlgButtonChecked(21) ? "radio on" : "radio off"); });
    ASSERT_TRUE(f.Create());
    qobject_cast<QPushButton*>(host.ControlWidget(f, 30))->click();
    qobject_cast<QCheckBox*>(host.ControlWidget(f, 20))->click();
    qobject_cast<QRadioButton*>(host.ControlWidget(f, 21))->click();
    qobject_cast<QRadioButton*>(host.ControlWidget(f, 21))->click();  // stays on
    // A click in the box's rectangle past its text counts, as on the operator's system.
    QWidget* box = host.ControlWidget(f, 20);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 2, box->height() / 2));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 2, box->height() / 2));
    f.CheckDlgButton(20, false);  // set by the program: no handler runs
    EXPECT_EQ(seen, (std::vector<std::string>{"button", "ticked", "radio on", "radio on", "unticked", "ticked"}));
    EXPECT_FALSE(f.IsDlgButtonChecked(20));

    QTest::keyClick(host.WidgetOf(f), Qt::Key_Escape);
    EXPECT_TRUE(f.Ended());
    EXPECT_EQ(f.EndCode(), IDCANCEL);
}

TEST(QtHost, DataExchangeRoundTripsThroughTheWidgets) {
    QtHost host;
    Form f(host);
    f.log = "感度調整\r\nOK\r\n";
    f.real = 0.1;
    f.check = 1;
    ASSERT_TRUE(f.Create());
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(host.ControlWidget(f, 16))->toPlainText(),
              QString::fromUtf8("感度調整\nOK\n"));
    EXPECT_EQ(qobject_cast<QLineEdit*>(host.ControlWidget(f, 11))->text(), "0.1");
    EXPECT_TRUE(qobject_cast<QCheckBox*>(host.ControlWidget(f, 20))->isChecked());

    // The operator types.
    auto* name = qobject_cast<QLineEdit*>(host.ControlWidget(f, 10));
    name->clear();
    QTest::keyClicks(name, "ab");
    qobject_cast<QLineEdit*>(host.ControlWidget(f, 15))->setText("299");
    ASSERT_TRUE(f.UpdateData(true));
    EXPECT_EQ(f.name, "ab");
    EXPECT_EQ(f.integer, 299);
    EXPECT_EQ(f.log, "感度調整\r\nOK\r\n");
    EXPECT_DOUBLE_EQ(f.real, 0.1);

    // A refused value: the application's box, then the focus on the field.
    qobject_cast<QLineEdit*>(host.ControlWidget(f, 14))->setText("300");
    QString text, title;
    AnswerNextBoxWith(Qt::Key_Return, &text, &title);
    EXPECT_FALSE(f.UpdateData(true));
    EXPECT_EQ(text, QString::fromUtf8("0 から 255 までの整数を入力してください。"));
    EXPECT_EQ(title, "W73ImageAdjust");
    EXPECT_EQ(f.GetWindow()->Focus(), 14);
}

TEST(QtHost, MessageBoxesAnswerOkOrCancel) {
    QtHost host;
    Recorder d(host);
    ASSERT_TRUE(d.Create());
    QString text, title;
    AnswerNextBoxWith(Qt::Key_Escape, &text, &title);
    EXPECT_EQ(d.MessageBox("ケーブルを\r\n差し込んでください", "MESSAGE", ui::MbButtons::OkCancel), IDCANCEL);
    EXPECT_EQ(text, QString::fromUtf8("ケーブルを\n差し込んでください"));
    EXPECT_EQ(title, "MESSAGE");
    AnswerNextBoxWith(Qt::Key_Return);
    EXPECT_EQ(d.MessageBox("質問", "MESSAGE", ui::MbButtons::OkCancel), IDOK);
    AnswerNextBoxWith(Qt::Key_Escape);
    EXPECT_EQ(d.MessageBox("通知", "MESSAGE"), IDOK);  // OK only: Escape is OK
}

TEST(QtHost, ModalRunEndedByItsOwnTimerAndPostedOk) {
    QtHost host;
    Recorder d(host, 146);
    int fired = 0;
    d.onInit = [&] {
        d.SetTimer(110, 1);
        return true;
    };
    d.onTimer = [&](int id) {
        if (id != 110) return;
        d.KillTimer(110);
        ++fired;
        d.PostCommand(30);
        d.PostCommand(IDOK);
    };
    d.OnCommand(30, [&] { d.events.push_back("A"); });
    EXPECT_EQ(d.DoModal(), IDOK);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(d.events, (std::vector<std::string>{"timer 110", "A", "ok"}));
    EXPECT_FALSE(d.IsOpen());

    // The window's close button goes to OnClose.
    Recorder c(host);
    c.onInit = [&] {
        c.SetSingleShotTimer(1, 0);
        return true;
    };
    c.onTimer = [&](int) { host.WidgetOf(c)->close(); };
    EXPECT_EQ(c.DoModal(), IDCANCEL);
    EXPECT_EQ(c.events, (std::vector<std::string>{"timer 1", "close", "cancel"}));
}

TEST(QtHost, ContextMenuCarriesTheTemplateMenu) {
    QtHost host;
    Form f(host);
    ASSERT_TRUE(f.Create());
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            ADD_FAILURE() << "no menu open";
            return;
        }
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(400, 300), host.WidgetOf(f)->mapToGlobal(QPoint(400, 300)));
    QApplication::sendEvent(host.WidgetOf(f), &e);
    EXPECT_EQ(f.sysCommands, (std::vector<int>{16}));
}

// A key as the window system hands it over: to the window, for its focus.
void Key(QWidget* w, QEvent::Type type, int key, bool autoRepeat, const QString& text = {}) {
    qt_handleKeyEvent(w->window()->windowHandle(), type, key, Qt::NoModifier, text, autoRepeat);
}
void Repeat(QWidget* w, int key, int repeats, const QString& text = {}) {
    for (int i = 0; i < repeats; ++i) Key(w, QEvent::KeyPress, key, true, text);
}
void Press(QWidget* w, int key, const QString& text = {}) {
    Key(w, QEvent::KeyPress, key, false, text);
    Key(w, QEvent::KeyRelease, key, false, text);
}

TEST(QtHost, KeysActOnlyWhenPressedForWhatIsShown) {
    QtHost host;
    // A held key repeats in a text field; Enter's repeats end nothing, a press does.
    Form f(host);
    ASSERT_TRUE(f.Create());
    f.GotoDlgCtrl(10);
    auto* edit = qobject_cast<QLineEdit*>(host.ControlWidget(f, 10));
    edit->clear();
    Key(edit, QEvent::KeyPress, Qt::Key_A, false, "a");
    Repeat(edit, Qt::Key_A, 2, "a");
    EXPECT_EQ(edit->text(), "aaa");
    Repeat(edit, Qt::Key_Return, 3, "\r");
    Repeat(edit, Qt::Key_Escape, 3);
    EXPECT_FALSE(f.Ended());
    Press(edit, Qt::Key_Return, "\r");
    EXPECT_TRUE(f.Ended());

    // A focused button: neither Space nor Enter repeating presses it.
    Recorder d(host);
    d.OnCommand(30, [&] { d.events.push_back("A"); });
    ASSERT_TRUE(d.Create());
    d.GotoDlgCtrl(30);
    QWidget* a = host.ControlWidget(d, 30);
    Repeat(a, Qt::Key_Space, 3, " ");
    Key(a, QEvent::KeyRelease, Qt::Key_Space, true, " ");
    Repeat(a, Qt::Key_Return, 3, "\r");
    EXPECT_EQ(d.events, std::vector<std::string>{});
    Press(a, Qt::Key_Space, " ");
    Press(a, Qt::Key_Return, "\r");
    EXPECT_EQ(d.events, (std::vector<std::string>{"A", "A"}));

    // A key pressed while the station sleeps is dropped, not kept for later;
    // a click waits until the sleep is over, and then acts only where no
    // prompt has opened meanwhile.
    d.events.clear();
    QTimer::singleShot(0, [&] {
        Press(a, Qt::Key_Return, "\r");
        QTest::mouseClick(a, Qt::LeftButton);
    });
    d.Sleep(30);
    EXPECT_EQ(d.events, std::vector<std::string>{});
    d.Sleep(30);  // a sleep that follows holds it on
    EXPECT_EQ(d.events, std::vector<std::string>{});
    QCoreApplication::processEvents();
    EXPECT_EQ(d.events, std::vector<std::string>{"A"});
    d.events.clear();
    QTimer::singleShot(0, [&] { QTest::mouseClick(a, Qt::LeftButton); });
    d.Sleep(30);
    QTimer::singleShot(20, [] {
        if (QWidget* box = QApplication::activeModalWidget()) box->close();
    });
    d.MessageBox("質問", "MESSAGE", ui::MbButtons::Ok);
    QCoreApplication::processEvents();
    EXPECT_EQ(d.events, std::vector<std::string>{});

    // A prompt: Enter held from before it opened repeats in vain; a press answers it at once.
    bool openAfterRepeats = false, closedByPress = false;
    QTimer person;
    QObject::connect(&person, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        person.stop();
        Repeat(box, Qt::Key_Return, 3, "\r");
        openAfterRepeats = box->isVisible();
        Press(box, Qt::Key_Return, "\r");
        closedByPress = !box->isVisible();
    });
    person.start(5);
    EXPECT_EQ(d.MessageBox("質問", "MESSAGE", ui::MbButtons::OkCancel), IDOK);
    EXPECT_TRUE(openAfterRepeats);
    EXPECT_TRUE(closedByPress);
}

TEST(QtHost, StatusPicturesAndScreenshot) {
    // The four pictures as the station draws them: size, palette, colour.
    const std::pair<int, QRgb> pictures[] = {
        {141, qRgb(255, 255, 0)}, {142, qRgb(0, 192, 0)}, {143, qRgb(255, 0, 0)}, {144, qRgb(0, 128, 128)}};
    for (const auto& [id, colour] : pictures) {
        SCOPED_TRACE(id);
        QImage img(QtHost::BitmapPath(id));
        ASSERT_FALSE(img.isNull());
        EXPECT_EQ(img.size(), QSize(364, 224));
        EXPECT_EQ(img.format(), QImage::Format_Indexed8);
        EXPECT_EQ(img.pixel(3, 3), colour);
    }

    QtHost host;
    Form f(host);
    ASSERT_TRUE(f.Create());
    f.DrawBitmap(50, 143);
    auto* label = qobject_cast<QLabel*>(host.ControlWidget(f, 50));
    EXPECT_EQ(label->pixmap().toImage().pixel(10, 10), qRgb(255, 0, 0));

    QString path = QDir::current().filePath("ui_qt_tests_screenshot.png");
    QFile::remove(path);
    ASSERT_TRUE(host.SaveScreenshot(f, path.toStdString()));
    QImage shot(path);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), host.WidgetOf(f)->size() * host.WidgetOf(f)->devicePixelRatio());
    EXPECT_EQ(shot.pixel(20, 20), qRgb(255, 0, 0));  // the picture shows in the window
    QFile::remove(path);
}

TEST(QtHost, WaitCursorNestsAndDestroyedDialogsGetNothingPosted) {
    QtHost host;
    {
        ui::WaitCursor outer(host);
        ui::WaitCursor inner(host);
        EXPECT_EQ(host.WaitCursorDepth(), 2);
        EXPECT_NE(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(host.WaitCursorDepth(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    auto d = std::make_unique<Recorder>(host);
    ASSERT_TRUE(d->Create());
    d->PostCommand(IDOK);
    d->SetTimer(1, 0);
    d.reset();
    QCoreApplication::processEvents();  // must not reach the dead dialog
    SUCCEED();
}

}  // namespace
