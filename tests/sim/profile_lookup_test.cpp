// Unit profiles: the built-in set, profile files, and the factory memories.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>

#include "sim/unit_profile.h"

namespace sim {
namespace {

std::string WriteTemp(const std::string& name, const std::string& text) {
    const std::string path = "/tmp/" + name + "_" + std::to_string(getpid()) + ".profile";
    std::ofstream(path) << text;
    return path;
}

TEST(ProfileLookup, BuiltInsHaveDistinctValidIdentities) {
    const auto names = ProfileNames();
    for (const char* expected : {"nominal", "insensitive", "colour-imbalance", "line-crawl", "weak-flash",
                                 "many-defects", "defect-cluster", "battery-ad", "aperture-falloff", "af-auto",
                                 "flash-offset"})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
    std::set<std::string> ids;
    std::set<std::uint64_t> seeds;
    for (const auto& n : names) {
        auto u = FindProfile(n);
        ASSERT_TRUE(u) << n;
        EXPECT_EQ(u->name, n);
        ASSERT_EQ(u->identification.size(), 13u) << n;
        for (char c : u->identification) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c))) << n;
        ids.insert(u->identification);
        seeds.insert(u->seed);
    }
    EXPECT_EQ(ids.size(), names.size());
    EXPECT_EQ(seeds.size(), names.size());

    std::string error;
    EXPECT_FALSE(FindProfile("no-such-unit", &error));
    EXPECT_NE(error.find("no-such-unit"), std::string::npos);
    EXPECT_NE(error.find("nominal"), std::string::npos);  // the message lists what exists
}

TEST(ProfileFile, KeysOverrideNominalOrAChosenBase) {
    const std::string path = WriteTemp("bench_unit",
                                       "# a unit a line engineer wants to try\n"
                                       "base = weak-flash\n"
                                       "identification = W73X000000042\n"
                                       "green_response = 250.5   # a little insensitive\n"
                                       "  af_stuck_auto = true\r\n"
                                       "hot_pixel = 10 20 500\n"
                                       "\n"
                                       "seed = 99\n");
    std::string error;
    auto u = FindProfile(path, &error);
    ASSERT_TRUE(u) << error;
    EXPECT_EQ(u->name.rfind("bench_unit", 0), 0u);  // named after the file
    EXPECT_EQ(u->identification, "W73X000000042");
    EXPECT_DOUBLE_EQ(u->greenResponse, 250.5);
    EXPECT_TRUE(u->afStuckAuto);
    EXPECT_EQ(u->seed, 99u);
    EXPECT_DOUBLE_EQ(u->preGuideNumber, FindProfile("weak-flash")->preGuideNumber);
    EXPECT_EQ(u->hotPixels.back().x, 10);
    EXPECT_DOUBLE_EQ(u->redResponse, FindProfile("nominal")->redResponse);
    std::remove(path.c_str());
}

TEST(ProfileFile, MalformedFilesAreRefusedWithTheLine) {
    struct Case {
        const char* text;
        const char* expect;
    };
    const Case cases[] = {
        {"seed = 1\ncrosstalk 0.2\n", ":2: expected 'key = value'"},
        {"colour = red\n", ":1: unknown key 'colour'"},
        {"\n\ngreen_response = lots\n", ":3: 'lots' is not a number"},
        {"identification = W73SHORT\n", "exactly 13 letters or digits"},
        {"identification = W73-00000001X\n", "exactly 13 letters or digits"},
        {"hot_pixel = 5000 1 300\n", "outside the 3034 x 2024 sensor"},
        {"hot_pixel = 5 1\n", "three numbers"},
        {"seed = 1\nbase = nominal\n", "'base' must come before"},
        {"base = imaginary\n", "no built-in profile named 'imaginary'"},
        {"battery_state = 300\n", "battery_state must lie in 0..255"},
        {"red_response = -1\n", "responses must be positive"},
    };
    for (const auto& c : cases) {
        const std::string path = WriteTemp("bad", c.text);
        std::string error;
        EXPECT_FALSE(FindProfile(path, &error)) << c.text;
        EXPECT_NE(error.find(c.expect), std::string::npos) << c.text << " gave: " << error;
        EXPECT_EQ(error.rfind(path, 0), 0u) << "the message names the file";
        std::remove(path.c_str());
    }
}

TEST(ProfileFile, OnlyASmallRegularFileIsRead) {
    const std::string dir = "/tmp/profile_kinds_" + std::to_string(getpid());
    std::filesystem::create_directories(dir + "/folder.profile");
    ASSERT_EQ(::mkfifo((dir + "/fifo.profile").c_str(), 0600), 0);
    std::ofstream(dir + "/big.profile") << "seed = 7\n" << std::string(kMaxProfileFileBytes, '#');
    std::ofstream(dir + "/limit.profile") << "seed = 7\n" << std::string(kMaxProfileFileBytes - 9, '#');
    struct Case {
        std::string path;
        const char* expect;  // empty: read
    };
    const Case cases[] = {
        {dir + "/folder.profile", ": not a profile file (a directory, FIFO or device)"},
        {dir + "/fifo.profile", ": not a profile file (a directory, FIFO or device)"},
        {"/dev/zero", ": not a profile file (a directory, FIFO or device)"},
        {dir + "/big.profile", ": larger than 64 KiB, too large for a profile file"},
        {dir + "/limit.profile", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        // A lookup that waits for the FIFO's writer fails here rather than
        // hang: the writer comes after a while, and the reader sees its end.
        std::string error;
        auto lookup = std::async(std::launch::async, [&] { return FindProfile(c.path, &error); });
        if (lookup.wait_for(std::chrono::seconds(3)) == std::future_status::timeout) {
            ::close(::open(c.path.c_str(), O_WRONLY | O_NONBLOCK));
            ADD_FAILURE() << "waited for a writer";
        }
        auto unit = lookup.get();
        if (*c.expect == '\0') {
            ASSERT_TRUE(unit) << error;
            EXPECT_EQ(unit->seed, 7u);
        } else {
            EXPECT_FALSE(unit);
            EXPECT_EQ(error, c.path + c.expect);
        }
    }
    std::filesystem::remove_all(dir);
}

TEST(ProfileFile, MessagesEchoOnlyPrintableText) {
    // Control characters and bytes that are not UTF-8 become escapes; other
    // text, Japanese for one, stays as it is.
    const std::string path = WriteTemp("echo", "\x1B[2Jレンズ\xFF\xC2\x85\n");
    std::string error;
    EXPECT_FALSE(FindProfile(path, &error));
    EXPECT_EQ(error, path + ":1: expected 'key = value', found '\\x1B[2Jレンズ\\xFF\\xC2\\x85'");
    std::remove(path.c_str());
    EXPECT_EQ(Printable("a\tb\x7F\xFF\xC0\xAF\xED\xA0\x80\xC2\x85\xE3\x81\x82\xE3\x81"),
              "a\\x09b\\x7F\\xFF\\xC0\\xAF\\xED\\xA0\\x80\\xC2\\x85\xE3\x81\x82\\xE3\\x81");
    EXPECT_FALSE(FindProfile("no\nsuch\x1B", &error));
    EXPECT_EQ(error.rfind("no unit profile named 'no\\x0Asuch\\x1B'", 0), 0u) << error;
}

TEST(FactoryMemories, LayoutAsTheSensorFactoryLeavesIt) {
    const UnitProfile u = *FindProfile("line-crawl");
    const FactoryMemories f = InitialMemories(u);
    ASSERT_EQ(f.ccdEeprom.size(), kCcdEepromSize);
    EXPECT_EQ(f.ccdEeprom[16], 0);
    EXPECT_EQ(std::string(f.ccdEeprom.begin() + 17, f.ccdEeprom.begin() + 30), u.identification);
    auto word = [&](std::size_t a) { return (f.ccdEeprom[a] << 8) | f.ccdEeprom[a + 1]; };
    // ISO table: value x 8, from the factory ISO200 to the ISO1600 value.
    EXPECT_EQ(word(248), u.factoryIso200 << 3);
    EXPECT_EQ(word(284), u.factoryIso1600 << 3);
    for (std::size_t i = 1; i < 19; ++i) EXPECT_GT(word(248 + 2 * i), word(246 + 2 * i));
    // Line crawl correction off, defect table empty, aperture gains unity.
    for (std::size_t off : {2u, 3u, 6u, 7u, 10u, 11u}) EXPECT_EQ(f.ccdEeprom[160 + off], 0);
    for (std::size_t a = 370; a < 376; ++a) EXPECT_EQ(f.ccdEeprom[a], 0);
    for (std::size_t i = 0; i < 20; ++i) EXPECT_EQ(word(1936 + 2 * i), 0x0100);
    // TFT position fields in range, with other bits set around them.
    EXPECT_LE(f.tftEeprom[73] & 0x3F, 63);
    EXPECT_NE(f.tftEeprom[73] & ~0x3F, 0);
    const int palVertical = f.tftEeprom[333] & 0x1F;
    EXPECT_GE(palVertical, 2);
    EXPECT_EQ((palVertical - 2) % 6, 0);
    // Battery A/D value, low byte first.
    EXPECT_EQ(f.mcuEeprom[2] | (f.mcuEeprom[3] << 8), 738);
}

}  // namespace
}  // namespace sim
