// The headless line run: its command line, the counted identifications, and
// whole runs of the main window against the simulated driver library (and
// against libraries without the simulated bench, in real time), in a working
// directory of their own; the program itself once for its exit status and help.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

#include "app/line_run.h"
#include "camera/usb_camera.h"
#include "platform/clock.h"
#include "platform/format.h"
#include "platform/library.h"
#include "platform/sjis.h"
#include "tests/app/lvx_camera_driver.h"
#include "sim/bench_api.h"
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

    // --opt=value as --opt value; blanks after the commas of a list. A
    // value is never taken for an option, even one written as --opt=value.
    o = Parse({"--items=ccd-flashup, 0x1300,\t battery", "--unit=--station=x", "--cameras=2", "--station", "--st",
               "--history=h.db"},
              &error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->items, (std::vector<std::string>{"ccd-flashup", "0x1300", "battery"}));
    EXPECT_EQ(o->units, (std::vector<std::string>{"--station=x"}));
    EXPECT_EQ(o->cameras, 2);
    EXPECT_EQ(o->station, "--st");
    EXPECT_EQ(o->history, "h.db");
    o = Parse({"--version"}, &error);  // nor does the version
    ASSERT_TRUE(o && o->version) << error;
}

TEST(LineOptions, RefusesBadInputWithAMessage) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--items", "ccd-flashup,bogus"}, "unknown item \"bogus\""},
        {{"--items", "ccd-flashup,"}, "unknown item \"\""},
        // Words that would run no item, or bits no item tests, and malformed ones.
        {{"--items", "0"}, "selection word \"0\""},
        {{"--items", "0x0001"}, "selection word \"0x0001\""},
        {{"--items", "0x10000"}, "selection word"},
        {{"--items", "0x12z"}, "\"0x12z\" is not a selection word"},
        {{"--items", "ccd-flashup", "--cameras", "0"}, "--cameras takes a number from 1 to 1000"},
        {{"--items", "ccd-flashup", "--cameras", "1001"}, "--cameras takes"},
        {{"--items", "ccd-flashup", "--cameras", "3x"}, "--cameras takes"},
        {{"--items", "ccd-flashup", "--cameras", ""}, "--cameras takes"},
        {{"--save"}, "--items is required"},
        {{"--items"}, "--items needs a value"},
        {{"--items", "ccd-flashup", "--unit"}, "--unit needs a value"},
        {{"--items", "ccd-flashup", "--bogus"}, "unknown option \"--bogus\""},
        {{"--items", "ccd-flashup", "--save=yes"}, "unknown option \"--save=yes\""},
        {{"--items", "ccd-flashup ,battery"}, "unknown item \"ccd-flashup \""},  // a blank before a comma
        {{"--items", "ccd-flashup", "--station="}, "--station needs a folder"},
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

TEST(LineOptions, CountedIdentificationCarriesAndNeverRepeats) {
    EXPECT_EQ(line::CountedIdentification("W73N000000001", 0), "W73N000000001");
    EXPECT_EQ(line::CountedIdentification("W73N000000001", 1), "W73N000000002");
    EXPECT_EQ(line::CountedIdentification("W73M000000009", 1), "W73M000000010");
    EXPECT_EQ(line::CountedIdentification("W73M000000099", 2), "W73M000000101");
    EXPECT_EQ(line::CountedIdentification("W73N000000001", 999), "W73N000001000");
    EXPECT_EQ(line::CountedIdentification("W73NABCDEFGHI", 0), "W73NABCDEFGHI");
    // Nothing to count, or a carry out of the digits that would start again.
    EXPECT_EQ(line::CountedIdentification("W73NABCDEFGHI", 1), std::nullopt);
    EXPECT_EQ(line::CountedIdentification("W73NABCDEFGH8", 1), "W73NABCDEFGH9");
    EXPECT_EQ(line::CountedIdentification("W73NABCDEFGH8", 2), std::nullopt);
    EXPECT_EQ(line::CountedIdentification("9999999999999", 1), std::nullopt);
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

TEST_F(LineRunTest, SensitivityItemGivesEachUnitsNumber) {
    // What the sensitivity item (and the flash-up after it) ends with on each
    // built-in unit, with the operator setting the bench from the prompt.
    const std::map<std::string, int> expected = {
        {"nominal", 1},          {"insensitive", 39},    {"colour-imbalance", 1}, {"line-crawl", 1},
        {"weak-flash", 1},       {"many-defects", 1},    {"defect-cluster", 1},   {"battery-ad", 1},
        {"aperture-falloff", 1}, {"af-auto", 13},        {"sensitive", 1},        {"gain-bow", 41},
        {"stored-defects", 1},   {"defect-table-bad", 1}, {"defect-count-over", 1}, {"colour-offset", 1},
        {"crosstalk-high", 1},   {"red-weak", 1},         {"blue-weak", 1},         {"crosstalk-skew", 1},
        {"flash-offset", 1},     {"deep-falloff", 1},
    };
    std::vector<std::string> units;
    {
        auto lib = platform::SharedLibrary::Open((BinDir() / "libLvxStor.so").string());
        ASSERT_TRUE(lib);
        const SimBenchApi* api = lib->Function<SimGetBenchApiFn>(SIM_BENCH_API_ENTRY)(SIM_BENCH_API_VERSION);
        std::istringstream names(api->ProfileNames());
        for (std::string name; std::getline(names, name);) units.push_back(name);
    }
    ASSERT_EQ(units.size(), expected.size());
    for (const std::string& unit : units) {
        SCOPED_TRACE(unit);
        ASSERT_TRUE(expected.count(unit));
        const int number = expected.at(unit);
        Outcome o = RunLine({"--items", "sensitivity", "--unit", unit});
        EXPECT_EQ(o.status, number == 1 ? 0 : number) << o.out << o.err;
        EXPECT_TRUE(Has(o.out, number == 1 ? "status: 終了！　☆☆　ＯＫ　☆☆\n"
                                           : platform::Format("status: ERROR NO=%d ", number)))
            << o.out;
        // The item ran unless the pre-check stopped the run; the flash-up only after it passed.
        EXPECT_EQ(Has(o.out, "  sensitivity "), number != 13) << o.out;
        EXPECT_EQ(Has(o.out, "CCD EEPROM flash-up"), number == 1) << o.out;
    }
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

TEST_F(LineRunTest, LineCrawlBoxRunsLineCrawlRatioApertureAndFlashUp) {
    struct Case {
        const char* unit;
        int status;
        const char* items;  // the item rows after the status line
    };
    // The box runs line crawl, the ratio and the aperture, then the flash-up.
    const Case cases[] = {
        {"nominal", 0,
         "  line crawl OK|  sensitivity ratio OK|  aperture dependence OK|  CCD EEPROM flash-up OK|"},
        {"colour-offset", 0,
         "  line crawl OK|  sensitivity ratio OK|  aperture dependence OK|  CCD EEPROM flash-up OK|"},
        {"colour-imbalance", 44, "  line crawl OK|  sensitivity ratio NG|"},
        {"line-crawl", 49, "  line crawl NG|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unit);
        Outcome o = RunLine({"--items", "line-crawl", "--unit", c.unit});
        EXPECT_EQ(o.status, c.status) << o.out;
        // The rows without their times.
        std::string rows;
        std::istringstream lines(o.out.substr(o.out.find("status: ")));
        std::string line;
        std::getline(lines, line);
        while (std::getline(lines, line)) rows += std::regex_replace(line, std::regex(" +[0-9.]+ s +"), " ") + "|";
        EXPECT_EQ(rows, c.items);
    }
}

TEST_F(LineRunTest, CommandLineIsCheckedBeforeTheFirstCamera) {
    std::ofstream("bad.profile") << "colour = red\n";
    std::ofstream("letters.profile") << "identification = W73NABCDEFGHI\n";
    std::ofstream("nine.profile") << "identification = W73NABCDEFGH9\n";
    std::ofstream("twin.profile") << "base = nominal\n";  // the nominal unit's identification
    struct Case {
        std::vector<std::string> args;
        int status;
        std::vector<std::string> shown;  // in the output or the errors
    };
    const std::string noWord = "is not a selection word: write it in decimal or as 0x hex";
    const std::string noCount = "--cameras takes a number from 1 to 1000";
    const std::vector<Case> cases = {
        // Every unit resolved before any camera runs.
        {{"--items", "ccd-flashup", "--unit", "nominal", "--unit", "no-such-unit", "--cameras", "2"}, 2,
         {"no unit profile named 'no-such-unit'"}},
        {{"--items", "ccd-flashup", "--unit", "nominal", "--unit", "bad.profile"}, 2, {"bad.profile:1: unknown key"}},
        {{"--items", "ccd-flashup", "--unit", "nominal", "--unit", "/dev/zero"}, 2, {"/dev/zero: not a profile file"}},
        // Every camera an identification of its own, so a result file of its own.
        {{"--items", "ccd-flashup", "--unit", "letters.profile", "--cameras", "2"}, 2,
         {"camera 2 cannot have an identification of its own: W73NABCDEFGHI does not end in digits"}},
        {{"--items", "ccd-flashup", "--unit", "nine.profile", "--cameras", "2"}, 2,
         {"the trailing digits of W73NABCDEFGH9 do not count that far"}},
        {{"--items", "ccd-flashup", "--unit", "nominal", "--unit", "twin.profile"}, 2,
         {"cameras 1 and 2 would both be identified as W73N000000001"}},
        // Decimal or 0x hex, nothing else.
        {{"--items", "0200"}, 2, {"\"0200\" " + noWord}},  // octal for sensitivity
        {{"--items", " 4"}, 2, {noWord}},
        {{"--items", "+4"}, 2, {noWord}},
        {{"--items", "0x"}, 2, {noWord}},
        {{"--items", "0x-4"}, 2, {noWord}},
        {{"--items", "ccd-flashup", "--cameras", "010"}, 2, {noCount}},
        {{"--items", "ccd-flashup", "--cameras", "+2"}, 2, {noCount}},
        {{"--items", "ccd-flashup", "--cameras", "99999999999999999999999"}, 2, {noCount}},
        {{"--items", "4", "--cameras", "0x2"}, 0, {"=== camera 2 of 2", "CCD EEPROM flash-up"}},
        // A word adds its items to those named before it; a stand-alone box
        // named after it replaces them.
        {{"--items", "tft-position,0x8000"}, 0, {"TFT display position", "TFT EEPROM flash-up"}},
        {{"--items", "0x8000,tft-position"}, 0, {"TFT display position"}},
    };
    for (const Case& c : cases) {
        std::string command;
        for (const auto& a : c.args) command += " " + a;
        SCOPED_TRACE(command);
        Outcome o;
        std::string error;
        if (line::ParseOptions(c.args, &error)) {
            o = RunLine(c.args);
        } else {
            o.status = 2;
            o.err = error;
        }
        EXPECT_EQ(o.status, c.status) << o.out << o.err;
        for (const std::string& text : c.shown) EXPECT_TRUE(Has(o.out + o.err, text)) << text << "\n" << o.out << o.err;
        if (c.status == 2) {
            EXPECT_EQ(o.out, "");  // no camera ran
        }
    }
    EXPECT_FALSE(Has(RunLine({"--items", "0x8000,tft-position"}).out, "TFT EEPROM flash-up"));
}

TEST_F(LineRunTest, LibraryWithoutBenchRefusesUnitsAndTypedReadings) {
    ASSERT_TRUE(fs::exists(BinDir() / "libLvxPlain.so"));
    CUsbCamera::SetDriverLibraryName("libLvxPlain.so");
    const std::string units =
        "--unit and --cameras choose simulated units, but the driver library has no simulated bench";
    const std::string readings = "the battery check needs the ammeter's readings typed in";
    for (const auto& [args, reason] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--items", "ccd-flashup", "--unit", "nominal"}, units},
             {{"--items", "ccd-flashup", "--cameras", "2"}, units},
             {{"--items", "battery"}, readings},
             {{"--items", "ccd-flashup,0x10"}, readings}}) {
        SCOPED_TRACE(args[1]);
        Outcome o = RunLine(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(Has(o.err, reason)) << o.err;
        EXPECT_EQ(o.out, "");
    }
}

TEST_F(LineRunTest, StandardsThatCannotBeUsedAreRefusedBeforeAnyCamera) {
    std::string sample = test_support::ReadFile("STD.DAT");
    sample.replace(sample.find("0.100 0.100"), 11, "100 100");
    for (const auto& [stdDat, reason] : std::vector<std::pair<std::optional<std::string>, std::string>>{
             {sample, "INSIDE_SB sbPreTolerance = 100"},
             {std::nullopt, "STD.DATファイルが開けません。確認してください"}}) {
        SCOPED_TRACE(reason);
        fs::remove("STD.DAT");
        if (stdDat) std::ofstream("STD.DAT", std::ios::binary) << *stdDat;
        Outcome o = RunLine({"--items", "flash"});
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(Has(o.err, "imageadjust-line: the standards cannot be used, so no camera is run:\n")) << o.err;
        EXPECT_TRUE(Has(o.err, reason)) << o.err;
        EXPECT_EQ(o.out, "");
    }
}

// With a camera's own driver library every wait of the station is really
// waited: the camera measures them between the commands it receives.
TEST_F(LineRunTest, AnotherDriverLibraryWaitsInRealTime) {
    ASSERT_TRUE(fs::exists(BinDir() / "libLvxCamera.so"));
    // Held open here, so that the camera's record outlives the station's
    // loading and freeing of the library.
    auto camera = platform::SharedLibrary::Open("libLvxCamera.so");
    ASSERT_NE(camera, nullptr);
    auto record = camera->Function<LvxCameraRecordFn>(LVX_CAMERA_RECORD);
    camera->Function<LvxCameraResetFn>(LVX_CAMERA_RESET)();
    CUsbCamera::SetDriverLibraryName("libLvxCamera.so");

    using Steady = std::chrono::steady_clock;
    const Steady::time_point start = Steady::now();
    Outcome o = RunLine({"--items", "ccd-flashup"});
    const double runMs = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_TRUE(Has(o.out, "status: 終了！　☆☆　ＯＫ　☆☆\n")) << o.out;

    // Each command the camera receives, and the wait the station owes it
    // before the next: the device search, the pre-check, the item window's
    // kick-off timer, the flash-up's pauses and the closing of the session.
    struct Step {
        const char* command;
        int waitMs;
    };
    const std::vector<Step> steps = {
        {"OPEN_DRIVER", 0},
        {"GET_DEVICELIST", 500},  // the camera is not on the bus yet: search again
        {"GET_DEVICELIST", 500},
        {"GET_DEVICELIST", 0},
        {"GET_DEVICELIST", 0},
        {"GET_DEVICEINFO", 0},
        {"GET_DEVICEINFO", 0},
        {"OPEN_DEVICE", 0},
        {"INQUIRY", 20},
        {"DCMD_OPEN_SESSION", 20},
        {"DCMD_CHANGE_MODE 1", 20},
        {"DCMD_GET_PROPERTY 64", 50},
        {"DCMD_GET_PROPERTY 10", 50},
        {"DCMD_GET_PROPERTY 71", 50},
        {"DXC_OPEN_CHECKER", 100 + 500},
        {"DXC_CCD_POWERON", 500},
        {"DXC_CCDEEPROM_DATAREAD", 0},  // what the flash-up must find again
        {"DXC_UPDATECOMMAND 2102", 1000},
        {"DXC_UPDATECOMMAND 2F00", 1000},
        {"DXC_CCDEEPROM_DATAREAD", 0},
        {"DXC_RAMCONFIG_DATAREAD", 0},
        {"DXC_CCD_POWEROFF", 500},
        {"DXC_OPEN_CHECKER", 200},
        {"DXC_CLOSE_CHECKER", 20},
        {"DCMD_CLOSE_SESSION", 0},
        {"CLOSE_DEVICE", 0},
        {"CLOSE_DRIVER", 0},
    };
    const LvxCameraCall* calls = nullptr;
    const std::uint32_t n = record(&calls);
    ASSERT_EQ(n, steps.size());
    int betweenMs = 0;
    for (std::size_t i = 0; i < n; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(calls[i].command, steps[i].command);
        EXPECT_FALSE(calls[i].refused);
        if (i + 1 == n) break;
        betweenMs += steps[i].waitMs;
        const double waitedMs = (calls[i + 1].steadyNs - calls[i].steadyNs) / 1e6;
        EXPECT_GE(waitedMs, steps[i].waitMs) << "after " << steps[i].command;
    }
    // Before the first command the set-up prompts' pauses; after the last
    // the OK beep and the cable prompt's pause.
    const int outsideMs = 500 + 100 + 300 + 100;
    const double busMs = (calls[n - 1].steadyNs - calls[0].steadyNs) / 1e6;
    EXPECT_GE(busMs, betweenMs);
    EXPECT_GE(runMs, betweenMs + outsideMs);
    std::printf("waits owed %d ms between the commands, %d ms in all; waited %.1f ms and %.1f ms\n", betweenMs,
                betweenMs + outsideMs, busMs, runMs);
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
    EXPECT_EQ(ReadFile("out.txt").rfind("Usage: imageadjust-line --items LIST", 0), 0u);
    EXPECT_EQ(run("--cameras 2"), 2);
    EXPECT_TRUE(Has(ReadFile("err.txt"), "--items is required"));
}

}  // namespace
