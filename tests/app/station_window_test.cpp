// The station window with real Qt windows on an X server, as the operator
// sees it: the title, and the ready picture in the status picture control.
// The screenshot is kept in the build folder for a person to look at.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>

#include "camera/usb_camera.h"
#include "shell/image_adjust_dlg.h"
#include "ui/qt/qt_host.h"

namespace {

namespace fs = std::filesystem;

bool HasDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

// The status picture's colour at a point away from its lettering.
bool IsYellow(QRgb c) { return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 80; }

TEST(StationWindow, OpensWithTitleAndReadyPicture) {
    if (!HasDisplay()) GTEST_SKIP() << "no X display";
    if (!fs::exists(fs::read_symlink("/proc/self/exe").parent_path() / "libLvxStor.so"))
        GTEST_SKIP() << "libLvxStor.so is not built beside the tests";

    const fs::path bin = fs::current_path();
    // One file per platform: the offscreen run and the X server's may run at once.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string suffix = platform && std::string(platform) == "offscreen" ? "-offscreen" : "";
    const fs::path shot = bin / ("station_window" + suffix + ".png");
    fs::remove(shot);

    // A working directory of its own with the sample standards, so that no
    // message box stands in front of the window.
    const fs::path dir = fs::temp_directory_path() / ("station_window_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::copy_file(fs::read_symlink("/proc/self/exe").parent_path() / "STD.DAT", dir / "STD.DAT",
                  fs::copy_options::overwrite_existing);
    fs::current_path(dir);

    int argc = 1;
    char name[] = "app_tests";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    ui::qt::QtHost host;
    CUsbCamera::SetDriverLibraryName("libLvxStor.so");

    CImageAdjustDlg dlg(host);
    bool saved = false;
    QString qtTitle;
    std::string title;
    QTimer::singleShot(800, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) qtTitle = w->windowTitle();
        title = dlg.GetWindowText();
        saved = host.SaveScreenshot(dlg, shot.string());
        dlg.PostClose();
    });
    // Whatever stands in the way (an unexpected box), the test ends.
    QTimer::singleShot(15000, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        dlg.PostClose();
    });
    dlg.DoModal();
    fs::current_path(bin);
    fs::remove_all(dir);

    EXPECT_EQ(title, "W0073 ImageAdjust software Ver1.020");
    EXPECT_EQ(qtTitle.toStdString(), "W0073 ImageAdjust software Ver1.020");
    EXPECT_EQ(CUsbCamera::LinkFlags() & 1, 0);  // freed on close
    ASSERT_TRUE(saved);

    QImage image(QString::fromStdString(shot.string()));
    ASSERT_FALSE(image.isNull());
    // The picture control sits at the window's top left, 364 x 224 pixels.
    ASSERT_GE(image.width(), 364);
    ASSERT_GE(image.height(), 224);
    for (QPoint p : {QPoint(12, 12), QPoint(350, 12), QPoint(12, 210), QPoint(350, 210)})
        EXPECT_TRUE(IsYellow(image.pixel(p))) << p.x() << "," << p.y() << " is " << std::hex << image.pixel(p);
    // and nothing yellow beyond it, in the log window below.
    EXPECT_FALSE(IsYellow(image.pixel(100, 300)));
}

}  // namespace
