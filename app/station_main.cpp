// The station program: the main window with real windows.

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "app/bench_operator_hook.h"
#include "app/bench_window.h"
#include "app/command_line.h"
#include "app/history_window.h"
#include "app/station_folder.h"
#include "platform/memory.h"
#include "shell/image_adjust_app.h"
#include "ui/qt/qt_host.h"

namespace {

void Usage(std::ostream& out) {
    out << "Usage: imageadjust [--station DIR] [QT-OPTION]...\n"
           "\n"
           "Opens the W73 adjustment and inspection station's window. STD.DAT is read\n"
           "from the station folder and the result files are written there. Without a\n"
           "display, run the station headless with imageadjust-line, or start this\n"
           "window under a virtual X server: xvfb-run -a imageadjust.\n"
           "Options take their value as the next word or after =: --station=/srv/st2.\n"
           "\n"
           "  --station DIR  the station folder (default: $IMAGEADJUST_STATION, else the\n"
           "                 working folder when it holds STD.DAT, else\n"
           "                 ~/.local/share/imageadjust); a new or empty one gets the\n"
           "                 sample STD.DAT and HISTORY.INI\n"
           "  --version      the version, the build's revision and the driver library\n"
           "  --help         this text\n"
           "  QT-OPTION      Qt's own, such as -platform offscreen\n"
           "\n"
           "Exit status: 0 when the window was closed, 1 when it could not open, 2 for\n"
           "a wrong command line.\n";
}

constexpr const char* kHeadless =
    "imageadjust: no display to open the station window on.\n"
    "Run the station headless with the line run, for example\n"
    "  imageadjust-line --items ccd-flashup --save\n"
    "or open the window on a virtual X server: xvfb-run -a imageadjust\n";

// Qt ends the program when its platform cannot start (no X server there);
// while the application starts, that is told as the want of a display.
bool g_starting = true;
QtMessageHandler g_qtHandler = nullptr;

void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg && g_starting) {
        std::fprintf(stderr, "%s\n%s", message.toLocal8Bit().constData(), kHeadless);
        std::_Exit(1);
    }
    if (g_qtHandler) g_qtHandler(type, context, message);
}

bool HaveDisplay(const std::vector<std::string>& qtArgs) {
    for (const char* v : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        if (const char* s = std::getenv(v); s && *s) return true;
    for (const std::string& a : qtArgs)
        if (a == "-platform" || a == "-display") return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    platform::KeepLargeBlocks();
    // Our options before Qt's: --help and --version need no display.
    const std::vector<std::string> args =
        cli::SplitValueOptions(std::vector<std::string>(argv + 1, argv + argc), {"--station"});
    std::string station;
    std::vector<std::string> qtArgs;  // single-dash words are Qt's own (-platform offscreen)
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            Usage(std::cout);
            return 0;
        } else if (a == "--version") {
            std::cout << cli::VersionText("imageadjust");
            return 0;
        } else if (a == "--station") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                std::cerr << "imageadjust: --station needs a folder\n\n";
                Usage(std::cerr);
                return 2;
            }
            station = args[++i];
        } else if (a.rfind("--", 0) == 0 || a.rfind("-", 0) != 0) {
            std::cerr << "imageadjust: unknown option \"" << a << "\"\n\n";
            Usage(std::cerr);
            return 2;
        } else {
            qtArgs.push_back(a);
        }
    }
    if (!HaveDisplay(qtArgs)) {
        std::cerr << kHeadless;
        return 1;
    }
    if (!station::EnterForProgram("imageadjust", station)) return 1;

    std::vector<char*> qtArgv{argv[0]};
    for (std::string& a : qtArgs) qtArgv.push_back(a.data());
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(qtArgv.size()) - 1;
    g_qtHandler = qInstallMessageHandler(OnQtMessage);
    QApplication app(qtArgc, qtArgv.data());
    g_starting = false;
    // Diagnostics as HISTORY.INI (of the station folder) says; the window
    // says what is wrong with it.
    history::InstallDiagnostics(history::LoadHistorySettingsOrDefaults(history::kSettingsFile, nullptr));
    // Qt takes the options it knows; any other is a mistake.
    if (app.arguments().size() > 1) {
        std::cerr << "imageadjust: unknown option \"" << app.arguments().at(1).toStdString() << "\"\n\n";
        Usage(std::cerr);
        return 2;
    }

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
