// imageadjust-line: the headless line run.

#include <iostream>

#include "app/command_line.h"
#include "app/line_run.h"
#include "history/history_settings.h"
#include "app/station_folder.h"
#include "platform/memory.h"

int main(int argc, char** argv) {
    platform::KeepLargeBlocks();
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    auto options = line::ParseOptions(args, &error);
    if (!options) {
        std::cerr << "imageadjust-line: " << error << "\n\n";
        line::PrintUsage(std::cerr);
        return 2;
    }
    if (options->help) {
        line::PrintUsage(std::cout);
        return 0;
    }
    if (options->version) {
        std::cout << cli::VersionText("imageadjust-line");
        return 0;
    }
    // Nothing has run yet: a folder that cannot be had refuses the run as a
    // command line does.
    if (!station::EnterForProgram("imageadjust-line", options->station)) return 2;
    // Diagnostics as HISTORY.INI says; the window says what is wrong with it.
    history::InstallDiagnostics(history::LoadHistorySettingsOrDefaults(history::kSettingsFile, nullptr));
    return line::Run(*options, std::cout, std::cerr);
}
