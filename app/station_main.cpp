// The station program: the main window with real windows.

#include <QApplication>

#include "shell/image_adjust_app.h"
#include "ui/qt/qt_host.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ui::qt::QtHost host;
    CImageAdjustApp theApp;
    return theApp.Run(host);
}
