// The standards window and the aperture standards window with real Qt
// windows on an X server, opened as the operator opens them (STANDARD in the
// main window, then 絞り依存性): every label and edit readable, clear of the
// group frames and of each other. Screenshots of both go to the build's
// artefacts folder for a person to look at.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "camera/usb_camera.h"
#include "shell/image_adjust_dlg.h"
#include "tests/support/work_dir.h"
#include "ui/qt/qt_host.h"

namespace {

namespace fs = std::filesystem;

bool HasDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

QWidget* VisibleWindow(const QString& title) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowTitle() == title) return w;
    return nullptr;
}

QPushButton* Button(QWidget* window, const QString& text) {
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

std::string Name(const QWidget* w) {
    if (auto* l = qobject_cast<const QLabel*>(w)) return "label \"" + l->text().toStdString() + "\"";
    if (auto* b = qobject_cast<const QPushButton*>(w)) return "button \"" + b->text().toStdString() + "\"";
    if (auto* g = qobject_cast<const QGroupBox*>(w)) return "group \"" + g->title().toStdString() + "\"";
    return "edit";
}

// What a person could not read: a control that reaches into a group's frame
// or caption, controls on top of each other, a text cut off by its control.
std::vector<std::string> LayoutProblems(QWidget* window) {
    std::vector<std::string> problems;
    std::vector<QWidget*> controls;
    for (QWidget* c : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (qobject_cast<QLabel*>(c) || qobject_cast<QLineEdit*>(c) || qobject_cast<QPushButton*>(c))
            controls.push_back(c);

    for (QGroupBox* g : window->findChildren<QGroupBox*>()) {
        const QRect inside = g->contentsRect().translated(g->pos());
        if (g->fontMetrics().horizontalAdvance(g->title()) + 16 > g->width()) problems.push_back(Name(g) + " is cut off");
        for (QWidget* c : controls)
            if (c->geometry().intersects(g->geometry()) && !inside.contains(c->geometry()))
                problems.push_back(Name(c) + " touches the frame or caption of " + Name(g));
    }
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j)
            if (controls[i]->geometry().intersects(controls[j]->geometry()))
                problems.push_back(Name(controls[i]) + " overlaps " + Name(controls[j]));
    for (QWidget* c : controls) {
        const QFontMetrics fm = c->fontMetrics();
        if (auto* l = qobject_cast<QLabel*>(c)) {
            const QRect text = fm.boundingRect(QRect(0, 0, l->width(), 1000), Qt::TextWordWrap, l->text());
            if (text.height() > l->height() || fm.horizontalAdvance(l->text()) > l->width())
                problems.push_back(Name(c) + " is cut off");
        } else if (auto* b = qobject_cast<QPushButton*>(c)) {
            if (fm.horizontalAdvance(b->text()) + 8 > b->width()) problems.push_back(Name(c) + " is cut off");
        } else if (c->height() < fm.height() + 4) {
            problems.push_back(Name(c) + " is too low for its text");
        }
    }
    return problems;
}

struct Shot {
    bool opened = false;
    bool saved = false;
    std::vector<std::string> problems;
};

Shot Take(const QString& title, const fs::path& file) {
    Shot s;
    QWidget* w = VisibleWindow(title);
    if (!w) return s;
    s.opened = true;
    s.problems = LayoutProblems(w);
    s.saved = w->grab().save(QString::fromStdString(file.string()), "PNG");
    return s;
}

TEST(StationWindow, StandardsWindowsAreLaidOutReadably) {
    if (!HasDisplay()) GTEST_SKIP() << "no X display";
    const fs::path bin = test_support::BinDir();
    if (!fs::exists(bin / "libLvxStor.so")) GTEST_SKIP() << "libLvxStor.so is not built beside the tests";

    // The sample standards, so that every edit shows a value.
    test_support::WorkDir work("standards_window_test");
    fs::copy_file(bin / "STD.DAT", "STD.DAT");

    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    // bin/ lies in the build folder; the screenshots go beside it, named
    // after the platform unless it is the X server's.
    const fs::path artefacts = bin.parent_path() / "artefacts";
    fs::create_directories(artefacts);
    const std::string platform = QGuiApplication::platformName().toStdString();
    const std::string suffix = platform == "xcb" ? "" : "-" + platform;
    const fs::path standardsShot = artefacts / ("standards_window" + suffix + ".png");
    const fs::path apertureShot = artefacts / ("aperture_standards_window" + suffix + ".png");
    fs::remove(standardsShot);
    fs::remove(apertureShot);
    ui::qt::QtHost host;
    CUsbCamera::SetDriverLibraryName("libLvxStor.so");
    CImageAdjustDlg dlg(host);

    const QString standardsTitle = QString::fromUtf8("規格設定");
    const QString apertureTitle = QString::fromUtf8("絞り依存性規格");
    const QString cancel = QString::fromUtf8("ｷｬﾝｾﾙ");
    Shot standards, aperture;
    auto click = [](QWidget* window, const QString& text) {
        if (QPushButton* b = window ? Button(window, text) : nullptr)
            QMetaObject::invokeMethod(b, &QPushButton::click, Qt::QueuedConnection);
    };
    // The operator, step by step as each window appears: STANDARD, 絞り依存性,
    // then Cancel in each, then close. Clicks are queued, so that a window's
    // modal loop runs outside this timer.
    int step = 0;
    QTimer operatorTimer;
    QObject::connect(&operatorTimer, &QTimer::timeout, [&] {
        QWidget* standardsWindow = VisibleWindow(standardsTitle);
        QWidget* apertureWindow = VisibleWindow(apertureTitle);
        if (step == 0 && dlg.GetWindow()) {
            dlg.PostCommand(CImageAdjustDlg::IDC_STANDARD);
            ++step;
        } else if (step == 1 && standardsWindow) {
            standards = Take(standardsTitle, standardsShot);
            click(standardsWindow, QString::fromUtf8("絞り依存性"));
            ++step;
        } else if (step == 2 && apertureWindow) {
            aperture = Take(apertureTitle, apertureShot);
            click(apertureWindow, cancel);
            ++step;
        } else if (step == 3 && !apertureWindow && standardsWindow) {
            click(standardsWindow, cancel);
            ++step;
        } else if (step == 4 && !standardsWindow) {
            dlg.PostClose();
            ++step;
        }
    });
    operatorTimer.start(200);
    // Whatever stands in the way, the test ends.
    QTimer::singleShot(30000, [&] {
        while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        dlg.PostClose();
    });
    dlg.DoModal();
    operatorTimer.stop();

    EXPECT_EQ(step, 5);
    ASSERT_TRUE(standards.opened);
    ASSERT_TRUE(aperture.opened);
    EXPECT_TRUE(standards.saved) << standardsShot;
    EXPECT_TRUE(aperture.saved) << apertureShot;
    for (const std::string& p : standards.problems) ADD_FAILURE() << "standards window: " << p;
    for (const std::string& p : aperture.problems) ADD_FAILURE() << "aperture standards window: " << p;
}

}  // namespace
