// The programs as a Linux user runs them: the station folder chosen and
// seeded, --version, --help without a display, the manual pages.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#include "app/command_line.h"
#include "app/station_folder.h"
#include "tests/support/work_dir.h"

namespace {

namespace fs = std::filesystem;
using test_support::BinDir;
using test_support::ReadFile;

struct Output {
    int status = -1;
    std::string text;
};

// Runs a shell command line in the working folder; stdout and stderr together.
Output Shell(const std::string& command) {
    Output o;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) o.text.append(buf, n);
    const int status = pclose(p);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

TEST(StationFolder, ChosenByOptionThenVariableThenStdDatHereThenPerUser) {
    test_support::WorkDir dir("station_choice");
    const fs::path here = fs::current_path();
    fs::create_directories("with_std");
    std::ofstream("with_std/STD.DAT") << "CCD_DEFECT 150 200\r\n";
    const fs::path withStd = here / "with_std";
    struct Case {
        const char *option, *station, *xdg, *home;
        fs::path working, expected;
    } cases[] = {
        {"opt", "/env", "/xdg", "/home/op", withStd, here / "opt"},
        {"", "/env", "/xdg", "/home/op", withStd, "/env"},
        {"", "", "/xdg", "/home/op", withStd, withStd},
        {"", nullptr, "/xdg", "/home/op", here, "/xdg/imageadjust"},
        {"", nullptr, "relative", "/home/op", here, "/home/op/.local/share/imageadjust"},
        {"", nullptr, nullptr, nullptr, here, "/.local/share/imageadjust"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(station::ChooseFolder(c.option, c.station, c.xdg, c.home, c.working), c.expected) << c.expected;
}

TEST(StationFolder, ANewOrEmptyFolderGetsTheSamplesAndNoOtherDoes) {
    test_support::WorkDir dir("station_seed");
    const fs::path root = fs::current_path();
    fs::create_directories("samples");
    std::ofstream("samples/STD.DAT") << "sample std";
    std::ofstream("samples/HISTORY.INI") << "store = sqlite\n";
    fs::create_directories("empty");
    fs::create_directories("used");
    std::ofstream("used/W73N000000001.dat") << "a camera's log";
    std::string error;

    for (const char* name : {"new/station", "empty"}) {
        std::vector<std::string> notes;
        ASSERT_TRUE(station::Enter(root / name, root / "samples", &error, &notes)) << error;
        EXPECT_EQ(fs::current_path(), root / name);
        EXPECT_EQ(ReadFile("STD.DAT"), "sample std");
        EXPECT_EQ(ReadFile("HISTORY.INI"), "store = sqlite\n");
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_NE(notes[0].find("with the sample STD.DAT and HISTORY.INI"), std::string::npos) << notes[0];
        // The next start finds the files and leaves them as they are.
        std::ofstream("STD.DAT") << "the line's own";
        notes.clear();
        ASSERT_TRUE(station::Enter(root / name, root / "samples", &error, &notes)) << error;
        EXPECT_TRUE(notes.empty());
        EXPECT_EQ(ReadFile("STD.DAT"), "the line's own");
    }

    // A folder with a camera's files but no STD.DAT: said, not seeded.
    std::vector<std::string> notes;
    ASSERT_TRUE(station::Enter(root / "used", root / "samples", &error, &notes)) << error;
    EXPECT_FALSE(fs::exists("STD.DAT"));
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("holds no STD.DAT"), std::string::npos) << notes[0];

    // Not a folder, or one that cannot be made.
    std::ofstream(root / "file") << "x";
    EXPECT_FALSE(station::Enter(root / "file", root / "samples", &error, &notes));
    EXPECT_NE(error.find("is not a folder"), std::string::npos) << error;
    EXPECT_FALSE(station::Enter(root / "file/below", root / "samples", &error, &notes));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

TEST(Programs, VersionHelpAndNoDisplay) {
    test_support::WorkDir dir("programs_cli");
    const std::string bin = BinDir().string() + "/";
    for (const char* program : {"imageadjust", "imageadjust-line", "imageadjust-history"}) {
        SCOPED_TRACE(program);
        const Output v = Shell(bin + program + " --version");
        EXPECT_EQ(v.status, 0);
        EXPECT_EQ(v.text.rfind(std::string(program) + " 1.02\nrevision ", 0), 0u) << v.text;
        EXPECT_NE(v.text.find("\ndriver library " + bin + "libLvxStor.so\n"), std::string::npos) << v.text;
        const Output h = Shell("env -u DISPLAY " + bin + program + " --help");
        EXPECT_EQ(h.status, 0);
        EXPECT_EQ(h.text.rfind(std::string("Usage: ") + program, 0), 0u) << h.text;
    }
    // The window without a display: how to run headless, and no window.
    const Output none = Shell("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + bin + "imageadjust");
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.text.find("imageadjust-line --items"), std::string::npos) << none.text;
    const Output gone = Shell("env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:919 " + bin + "imageadjust");
    EXPECT_EQ(gone.status, 1);
    EXPECT_NE(gone.text.find("xvfb-run -a imageadjust"), std::string::npos) << gone.text;
    EXPECT_EQ(Shell(bin + "imageadjust --bogus").status, 2);
    EXPECT_EQ(Shell(bin + "imageadjust-history --format=json --db=none.db").status, 1);  // no such history
    EXPECT_TRUE(fs::is_empty(fs::current_path()));  // none of it made a station folder here
}

// The manual page shows every option that --help shows.
TEST(Programs, ManualPagesShowTheOptionsOfTheirHelp) {
    const fs::path man = BinDir().parent_path() / "man";
    if (!fs::exists(man)) GTEST_SKIP() << "the manual pages are not built (IMAGEADJUST_MANPAGES)";
    for (const char* program : {"imageadjust", "imageadjust-line", "imageadjust-history"}) {
        SCOPED_TRACE(program);
        const Output page = Shell("LC_ALL=C MANWIDTH=200 man -l " + (man / (std::string(program) + ".1")).string());
        ASSERT_EQ(page.status, 0) << page.text;
        const std::string help = Shell(BinDir().string() + "/" + program + " --help").text;
        std::size_t options = 0;
        for (std::size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
            const std::size_t end = help.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
            const std::string option = help.substr(at, end - at);
            ++options;
            EXPECT_NE(page.text.find(option), std::string::npos) << option;
        }
        EXPECT_GE(options, 3u);
    }
}

}  // namespace
