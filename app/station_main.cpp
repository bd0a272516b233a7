// The station program: the main window with real windows.

#include <QApplication>

#include "app/bench_operator_hook.h"
#include "app/bench_window.h"
#include "shell/image_adjust_app.h"
#include "ui/qt/qt_host.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ui::qt::QtHost host;
    // On a demo bench the driver library is the simulator, whose operator
    // then sets the bench as the prompts ask; the bench and its ammeter
    // show in a window beside the station.
    app::BenchOperatorHook bench(host);
    app::BenchWindowKeeper benchWindow(bench);
    CImageAdjustApp theApp;
    return theApp.Run(host, &bench);
}
