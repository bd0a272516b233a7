#include "app/station_folder.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <iostream>

#include "platform/file_write.h"

namespace station {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSamples[] = {"STD.DAT", "HISTORY.INI"};

bool Set(const char* v) { return v && *v; }

fs::path ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? fs::path(std::string(path, static_cast<std::size_t>(n))).parent_path() : fs::path();
}

}  // namespace

fs::path ChooseFolder(const std::string& option, const char* envStation, const char* envXdgDataHome,
                      const char* envHome, const fs::path& workingFolder) {
    if (!option.empty()) return fs::absolute(option);
    if (Set(envStation)) return fs::absolute(envStation);
    std::error_code ec;
    if (fs::is_regular_file(workingFolder / "STD.DAT", ec)) return workingFolder;
    // The XDG rule: a relative $XDG_DATA_HOME is to be ignored.
    if (Set(envXdgDataHome) && envXdgDataHome[0] == '/') return fs::path(envXdgDataHome) / "imageadjust";
    return fs::path(Set(envHome) ? envHome : "/") / ".local/share/imageadjust";
}

fs::path SamplesFolder() {
#ifdef IMAGEADJUST_DATA_FROM_BIN
    return (ProgramFolder() / IMAGEADJUST_DATA_FROM_BIN).lexically_normal();
#else
    return ProgramFolder();
#endif
}

bool Enter(const fs::path& folder, const fs::path& samples, std::string* error, std::vector<std::string>* notes) {
    std::error_code ec;
    const bool existed = fs::exists(folder, ec);
    if (!existed && !fs::create_directories(folder, ec) && ec) {
        *error = "cannot create the station folder " + folder.string() + ": " + ec.message();
        return false;
    }
    if (!fs::is_directory(folder, ec)) {
        *error = "the station folder " + folder.string() + " is not a folder";
        return false;
    }
    const bool empty = fs::is_empty(folder, ec) && !ec;
    if (empty) {
        std::string seeded;
        for (const char* name : kSamples) {
            const auto bytes = platform::ReadWholeFile((samples / name).string());
            if (!bytes) {
                notes->push_back("no sample " + (samples / name).string() + " to put in the station folder");
                continue;
            }
            // Complete or not at all, should the disk be full.
            if (platform::WriteFileReplacing((folder / name).string(), *bytes) != platform::WriteError::None) {
                *error = "cannot write " + (folder / name).string();
                return false;
            }
            seeded += seeded.empty() ? name : std::string(" and ") + name;
        }
        notes->push_back(std::string(existed ? "station folder " : "new station folder ") + folder.string() +
                         (seeded.empty() ? "" : ", with the sample " + seeded));
    }
    if (!fs::is_regular_file(folder / "STD.DAT", ec))
        notes->push_back("the station folder " + folder.string() + " holds no STD.DAT: put the line's standards file there");
    if (::chdir(folder.c_str()) != 0) {
        *error = "cannot enter the station folder " + folder.string();
        return false;
    }
    return true;
}

bool EnterForProgram(const std::string& program, const std::string& option) {
    std::error_code ec;
    const fs::path working = fs::current_path(ec);
    const fs::path folder = ChooseFolder(option, std::getenv("IMAGEADJUST_STATION"), std::getenv("XDG_DATA_HOME"),
                                         std::getenv("HOME"), working);
    std::string error;
    std::vector<std::string> notes;
    const bool entered = Enter(folder, SamplesFolder(), &error, &notes);
    for (const std::string& note : notes) std::cerr << program << ": " << note << "\n";
    if (!entered) std::cerr << program << ": " << error << "\n";
    return entered;
}

}  // namespace station
