// The headless line run: its command line, the counted identifications, and
// whole runs of the main window against the simulated driver library (and
// against a library without the simulated bench), in a working directory of
// their own; the program itself once for its exit status and help.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>

#include "app/line_run.h"
#include "camera/usb_camera.h"
#include "platform/clock.h"
#include "platform/format.h"
#include "platform/sjis.h"
#include "tests/support/driver_library_fixture.h"
#include "tests/support/work_dir.h"

namespace {

namespace fs = std::filesystem;

using test_support::BinDir;
using test_support::ReadFile;

std::optional<line::Options> Parse(std::vector<std::string> args, std::string* error) {
    return line::ParseOptions(args, error);
}

TEST(LineOptions, ReadsItemsByNameAndAsWordInOrder) {
    std::string error;
    auto o = Parse({"--items", "ccd-flashup,0x1300,4", "--save", "--unit", "nominal", "--unit", "af-auto",
                    "--cameras", "1000"},
                   &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->items, (std::vector<std::string>{"ccd-flashup", "0x1300", "4"}));
    EXPECT_TRUE(o->save);
    EXPECT_EQ(o->units, (std::vector<std::string>{"nominal", "af-auto"}));
    EXPECT_EQ(o->cameras, 1000);
    EXPECT_FALSE(o->help);

    o = Parse({"--help"}, &error);  // help needs no items
    ASSERT_TRUE(o) << error;
    EXPECT_TRUE(o->help);
}

TEST(LineOptions, RefusesBadInputWithAMessage) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--items", "ccd-flashup,bogus"}, "unknown item \"bogus\""},
        {{"--items", "ccd-flashup,"}, "unknown item \"\""},
        // Words that would run no item, or bits no item tests, and malformed ones.
        {{"--items", "0"}, "selection word \"0\""},
        {{"--items", "0x0001"}, "selection word \"0x0001\""},
        {{"--items", "0x10000"}, "selection word"},
        {{"--items", "0x12z"}, "selection word"},
        {{"--items", "ccd-flashup", "--cameras", "0"}, "--cameras takes a number from 1 to 1000"},
        {{"--items", "ccd-flashup", "--cameras", "1001"}, "--cameras takes"},
        {{"--items", "ccd-flashup", "--cameras", "3x"}, "--cameras takes"},
        {{"--items", "ccd-flashup", "--cameras", ""}, "--cameras takes"},
        {{"--save"}, "--items is required"},
        {{"--items"}, "--items needs a value"},
        {{"--items", "ccd-flashup", "--unit"}, "--unit needs a value"},
        {{"--items", "ccd-flashup", "--bogus"}, "unknown option \"--bogus\""},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(args.back());
        std::string error;
        EXPECT_FALSE(Parse(args, &error));
        EXPECT_NE(error.find(message), std::string::npos) << error;
    }
}

TEST(LineOptions, UsageNamesEveryItem) {
    std::ostringstream usage;
    line::PrintUsage(usage);
    for (const char* name : {"ccd-flashup", "tft-flashup", "sensitivity", "line-crawl", "ratio", "aperture", "battery",
                             "flash", "tft-position", "defect"}) {
        EXPECT_NE(usage.str().find(name), std::string::npos) << name;
        std::string error;
        EXPECT_TRUE(Parse({"--items", name}, &error)) << name << ": " << error;
    }
}

TEST(LineOptions, CountedIdentificationCarries) {
    EXPECT_EQ(line::CountedIdentification("W73N000000001", 0), "W73N000000001");
    EXPECT_EQ(line::CountedIdentification("W73N000000001", 1), "W73N000000002");
    EXPECT_EQ(line::CountedIdentification("W73M000000009", 1), "W73M000000010");
    EXPECT_EQ(line::CountedIdentification("W73M000000099", 2), "W73M000000101");
    EXPECT_EQ(line::CountedIdentification("W73N000000001", 999), "W73N000001000");
    EXPECT_EQ(line::CountedIdentification("W73N", 3), "W73N");  // nothing to count
}

// Whole runs, each in a fresh working directory holding only STD.DAT.
class LineRunTest : public test_support::DriverLibraryTest {
protected:
    struct Outcome {
        int status = -1;
        std::string out, err;
    };

    LineRunTest() : DriverLibraryTest("line_run_test") {}

    Outcome RunLine(const std::vector<std::string>& args) {
        std::string error;
        auto options = line::ParseOptions(args, &error);
        EXPECT_TRUE(options) << error;
        Outcome o;
        if (!options) return o;
        std::ostringstream out, err;
        o.status = line::Run(*options, out, err);
        o.out = out.str();
        o.err = err.str();
        // Every run leaves as the station does: the library freed.
        EXPECT_EQ(CUsbCamera::LinkFlags() & 1, 0);
        EXPECT_EQ(CUsbCamera::DriverLibrary(), nullptr);
        return o;
    }
    static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
    static std::string DateLine() {
        const platform::LocalDate d = platform::RealClock().Today();
        return platform::Format("%d年%d月%d日\r\n", d.year, d.month, d.day);
    }
    std::vector<std::string> ResultFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(work_->Root()))
            if (e.path().extension() == ".dat") names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(LineRunTest, CcdFlashUpWithSaveWritesTheLogAndDateLine) {
    ASSERT_FALSE(fs::exists("libLvxStor.so"));  // found through the test program's run path
    Outcome o = RunLine({"--items", "ccd-flashup", "--save"});
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_EQ(o.err, "");
    const std::string heading = "=== camera 1 of 1: unit nominal, identification W73N000000001\n";
    ASSERT_EQ(o.out.rfind(heading, 0), 0u) << o.out;
    const std::size_t status = o.out.find("status: ");
    ASSERT_NE(status, std::string::npos);
    const std::string log = o.out.substr(heading.size(), status - heading.size());
    EXPECT_EQ(log.rfind("OK\r\n", 0), 0u) << log;
    EXPECT_TRUE(log.ends_with(DateLine())) << log;
    EXPECT_TRUE(Has(o.out, "status: 終了！　☆☆　ＯＫ　☆☆\n"));
    EXPECT_TRUE(Has(o.out, "CCD EEPROM flash-up")) << o.out;

    ASSERT_EQ(ResultFiles(), std::vector<std::string>{"W73N000000001.dat"});
    EXPECT_EQ(ReadFile("W73N000000001.dat"), platform::ToShiftJis(log));
}

TEST_F(LineRunTest, StandAloneTftItemsPass) {
    // The TFT position box replaces the selection; its log does not join the
    // run log, so the result file holds only the date line.
    Outcome o = RunLine({"--items", "ccd-flashup,tft-position", "--save"});
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_TRUE(Has(o.out, "TFT display position")) << o.out;
    EXPECT_FALSE(Has(o.out, "CCD EEPROM flash-up")) << o.out;
    ASSERT_EQ(ResultFiles(), std::vector<std::string>{"W73N000000001.dat"});
    EXPECT_EQ(ReadFile("W73N000000001.dat"), platform::ToShiftJis(DateLine()));

    fs::remove("W73N000000001.dat");
    o = RunLine({"--items", "tft-flashup"});
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_TRUE(Has(o.out, "TFT EEPROM flash-up")) << o.out;
    EXPECT_TRUE(ResultFiles().empty());  // no SAVE
}

TEST_F(LineRunTest, AfAutoUnitFailsThePreCheckWith13) {
    Outcome o = RunLine({"--items", "ccd-flashup", "--unit", "af-auto", "--save"});
    EXPECT_EQ(o.status, 13);
    EXPECT_TRUE(Has(o.out, "status: ERROR NO=13 ")) << o.out;
    EXPECT_FALSE(Has(o.out, "flash-up")) << o.out;  // no item ran
    EXPECT_TRUE(ResultFiles().empty());             // nor was there a result file step
}

TEST_F(LineRunTest, CamerasOverUnitsCountTheirIdentificationsUp) {
    Outcome o = RunLine({"--items", "ccd-flashup", "--unit", "nominal", "--unit", "af-auto", "--cameras", "3", "--save"});
    EXPECT_EQ(o.status, 13);  // the first failing camera's number
    EXPECT_TRUE(Has(o.out, "=== camera 1 of 3: unit nominal, identification W73N000000001\n"));
    EXPECT_TRUE(Has(o.out, "=== camera 2 of 3: unit af-auto, identification W73M000000010\n"));
    EXPECT_TRUE(Has(o.out, "=== camera 3 of 3: unit nominal, identification W73N000000002\n"));
    // The identification reached the camera: the station named the file by it.
    EXPECT_EQ(ResultFiles(), (std::vector<std::string>{"W73N000000001.dat", "W73N000000002.dat"}));
}

TEST_F(LineRunTest, BatteryAndFlashItemsEndWithTheirUnitsNumbers) {
    struct Case {
        const char* item;
        const char* unit;
        int status;
        const char* shown;
    };
    for (const Case& c : {
             // The currents the operator read off the ammeter (sim/README.md).
             Case{"battery", "nominal", 0, "7200mV-OFF = 33  ON = 52  7700mV-OFF = 31  ON = 49[LSB]\r\n"},
             Case{"battery", "battery-ad", 23, "status: ERROR NO=23 "},
             Case{"flash", "nominal", 0, "プリ調整値：00  本調整値：00\r\n"},
             Case{"flash", "flash-offset", 0, "プリ調整値：07  本調整値：FC\r\n"},
             Case{"flash", "weak-flash", 52, "status: ERROR NO=52 "},
         }) {
        SCOPED_TRACE(std::string(c.item) + " " + c.unit);
        Outcome o = RunLine({"--items", c.item, "--unit", c.unit});
        EXPECT_EQ(o.status, c.status) << o.out << o.err;
        EXPECT_TRUE(Has(o.out, c.shown)) << o.out;
    }
}

TEST_F(LineRunTest, UnknownProfileIsRefused) {
    Outcome o = RunLine({"--items", "ccd-flashup", "--unit", "nominal", "--unit", "no-such-unit", "--cameras", "2"});
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(Has(o.err, "no-such-unit")) << o.err;
    EXPECT_FALSE(Has(o.out, "camera 2 of 2")) << o.out;  // no half-written heading
}

TEST_F(LineRunTest, LibraryWithoutBenchRefusesUnitsAndRunsTheRest) {
    ASSERT_TRUE(fs::exists(BinDir() / "libLvxPlain.so"));
    CUsbCamera::SetDriverLibraryName("libLvxPlain.so");
    for (const auto& args : std::vector<std::vector<std::string>>{{"--items", "ccd-flashup", "--unit", "nominal"},
                                                                  {"--items", "ccd-flashup", "--cameras", "2"}}) {
        Outcome o = RunLine(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(Has(o.err, "--unit and --cameras choose simulated units, but the driver library has no "
                               "simulated bench"))
            << o.err;
        EXPECT_EQ(o.out, "");
    }
    Outcome o = RunLine({"--items", "ccd-flashup", "--save"});
    EXPECT_EQ(o.status, 4) << o.out << o.err;
    EXPECT_EQ(o.out.rfind("=== camera 1 of 1\n", 0), 0u) << o.out;
    EXPECT_TRUE(Has(o.out, "status: ERROR NO=4 ")) << o.out;
    EXPECT_TRUE(ResultFiles().empty());
}

TEST_F(LineRunTest, ProgramExitsWithTheErrorNumberAndPrintsHelp) {
    const std::string program = (BinDir() / "imageadjust-line").string();
    ASSERT_TRUE(fs::exists(program));
    auto run = [&](const std::string& args) {
        const int raw = std::system((program + " " + args + " >out.txt 2>err.txt").c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(run("--items ccd-flashup --unit af-auto"), 13);
    EXPECT_TRUE(Has(ReadFile("out.txt"), "status: ERROR NO=13 "));
    EXPECT_EQ(run("--items ccd-flashup"), 0);
    EXPECT_EQ(run("--items flash"), 0);
    EXPECT_EQ(run("--items battery"), 0);
    EXPECT_EQ(run("--help"), 0);
    EXPECT_EQ(ReadFile("out.txt").rfind("usage: imageadjust-line --items LIST", 0), 0u);
    EXPECT_EQ(run("--cameras 2"), 2);
    EXPECT_TRUE(Has(ReadFile("err.txt"), "--items is required"));
}

}  // namespace
