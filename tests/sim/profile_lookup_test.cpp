// Unit profiles: the built-in set, profile files, and the factory memories.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <unistd.h>

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
