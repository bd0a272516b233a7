#pragma once
// The headless line run: the station's main window in the scripted host, with
// an operator who follows every prompt, over one or more cameras. It loads
// the driver library by name exactly as the station does; when that library
// is the simulator, the operator sets the simulated bench, the units on the
// bus are chosen by profile and time is virtual. With any other library every
// wait of the station is really waited.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace line {

struct Options {
    std::vector<std::string> items;  // item names or selection words, in order
    bool save = false;
    std::vector<std::string> units;  // unit profiles, one camera each
    int cameras = 0;                 // 0: one camera per unit (at least one)
    std::string history;             // an SQLite history for the runs; empty: as HISTORY.INI says
    std::string station;             // the station folder; empty: the default
    bool help = false;
    bool version = false;
};

// Parses the command line; nullopt with a message in `error` when it is wrong.
// Numbers (selection words, --cameras) are decimal or hexadecimal after 0x.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string* error);
void PrintUsage(std::ostream& out);

// Runs the line and prints each camera's log, status line and item times.
// Every unit is resolved, and every camera's identification made, before the
// first camera runs. Returns the exit status: 0 when every camera passed, 2
// when the units or cameras asked for cannot be had, the standards cannot be
// used, or an item needs typed readings that no one can give, else the first
// failing camera's error number (1 when that does not fit an exit status).
int Run(const Options& options, std::ostream& out, std::ostream& err);

// The identification of the n-th camera (0-based) of a profile: the
// profile's own, its trailing number counted up by n; nullopt when n > 0 and
// there is no trailing number, or it has too few digits to count that far.
std::optional<std::string> CountedIdentification(const std::string& base, int n);

}  // namespace line
