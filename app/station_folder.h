#pragma once
// The station folder: where STD.DAT, HISTORY.INI, the history and the result
// files are, and the working folder of the station and the line run. The
// first start creates it and puts the samples in it.

#include <filesystem>
#include <string>
#include <vector>

namespace station {

// The folder of a station started with `option` (--station, empty if not
// given): that folder; else $IMAGEADJUST_STATION (`envStation`); else the
// working folder when it holds STD.DAT; else the per-user default,
// $XDG_DATA_HOME/imageadjust, ~/.local/share/imageadjust without it.
// Null or empty variables count as not set.
std::filesystem::path ChooseFolder(const std::string& option, const char* envStation, const char* envXdgDataHome,
                                   const char* envHome, const std::filesystem::path& workingFolder);

// The samples of an installed station (STD.DAT, HISTORY.INI), found from
// the program's own folder.
std::filesystem::path SamplesFolder();

// Makes `folder` the working folder. One that does not exist yet, or is
// empty, is created and gets a copy of each sample in `samples`; a folder
// that holds other files is never seeded, as its STD.DAT may be a line's own
// that went astray. False with `error` when the folder cannot be made or
// entered; `notes` gets what was done and what is missing.
bool Enter(const std::filesystem::path& folder, const std::filesystem::path& samples, std::string* error,
           std::vector<std::string>* notes);

// The programs' start: chooses and enters the station folder, printing the
// notes to stderr with `program` in front. False when it cannot be entered.
bool EnterForProgram(const std::string& program, const std::string& option);

}  // namespace station
