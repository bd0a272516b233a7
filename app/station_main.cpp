// The station program: the main window with real windows.

#include <QApplication>

#include "app/bench_operator_hook.h"
#include "app/bench_window.h"
#include "app/history_window.h"
#include "shell/image_adjust_app.h"
#include "ui/qt/qt_host.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Diagnostics as HISTORY.INI says; the window says what is wrong with it.
    history::InstallDiagnostics(history::LoadHistorySettingsOrDefaults(history::kSettingsFile, nullptr));
    ui::qt::QtHost host;
    // On a demo bench the driver library is the simulator, whose operator
    // then sets the bench as the prompts ask; the bench and its ammeter
    // show in a window beside the station.
    app::BenchOperatorHook bench(host);
    app::BenchWindowKeeper benchWindow(bench);
    // The history window reads the store anew at every refresh, so it shows
    // what the line's other stations wrote meanwhile.
    auto showHistory = [](const history::HistorySettings& settings) {
        HistoryWindow window([connect = history::Connector(settings, true)](const history::RunQuery& q, std::string* error)
                                 -> std::optional<std::vector<history::RunDocument>> {
            auto store = connect(error);
            if (!store) return std::nullopt;
            return store->Query(q, error);
        });
        window.exec();
    };
    CImageAdjustApp theApp;
    return theApp.Run(host, &bench, showHistory);
}
