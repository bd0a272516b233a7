// The run document as JSON: it round-trips, it validates against the
// committed JSON Schema, and what is not such a document is refused.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>

#include "history/run_document.h"
#include "tests/support/work_dir.h"

namespace {

history::RunDocument Sample() {
    history::RunDocument d;
    d.runId = history::NewRunId("ST 1/a", 1765201344123);
    d.station = "ST 1/a";
    d.identification = "W73N000000001";
    d.startedAtMs = 1765201344123;
    d.endedAtMs = 1765201349000;
    d.selection = 0x1300;
    d.selectedItems = {"line-crawl", "ratio", "aperture", "ccd-flashup"};
    d.result = 44;
    d.errorMessage = "感度比調整出来ずエラー";
    d.programVersion = "1.02";
    d.standardsHash = std::string(64, '0');
    d.items = {{"line-crawl", 1, 500, 9000}, {"ratio", 44, 9000, 15000}};
    // A flash pass with no light measures +inf: JSON has no such number.
    const double inf = std::numeric_limits<double>::infinity();
    d.measurements = {{"line-crawl", 0, "K", 0.006, -5.0, 255.0 / 4096, "", true},
                      {"ratio", 4, "GR deviation", 2.5, std::nullopt, 2.0, "%", false},
                      {"flash", 1, "GLevel", inf, -inf, std::nullopt, "LSB", false}};
    return d;
}

TEST(RunDocumentTest, RoundTripsAndValidatesAgainstTheSchema) {
    const history::RunDocument d = Sample();
    const std::string json = history::ToJson(d);
    EXPECT_EQ(history::FromJson(json), d);
    EXPECT_NE(json.find("\"startedAt\": \"2025-12-08T13:42:24.123Z\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"value\": \"inf\""), std::string::npos) << json;
    EXPECT_EQ(d.runId.find(' '), std::string::npos);  // the station's name is made safe in the id

    const std::filesystem::path schema = std::filesystem::path(IMAGEADJUST_SOURCE_DIR) / "history/run_document.schema.json";
    if (std::system("/usr/bin/python3 -c 'import jsonschema' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-jsonschema is not installed";
    test_support::WorkDir dir("run_document_test");
    std::ofstream("run.json") << json;
    std::ofstream("bad.json") << json.substr(0, json.find("\"result\"")) << "\"result\": \"44\"}";
    const std::string check = "/usr/bin/python3 -m jsonschema -i ";
    EXPECT_EQ(std::system((check + "run.json " + schema.string()).c_str()), 0);
    EXPECT_NE(std::system((check + "bad.json " + schema.string() + " >/dev/null 2>&1").c_str()), 0);
}

TEST(RunDocumentTest, WhatIsNotARunDocumentIsRefused) {
    std::string json = history::ToJson(Sample());
    const std::string cases[] = {
        "",
        "not json",
        "[]",
        json.substr(0, json.size() / 2),
        std::string(json).replace(json.find("imageadjust-run/1"), 17, "imageadjust-run/9"),
        std::string(json).replace(json.find("\"pass\": 0"), 9, "\"pass\": \"x\""),
    };
    for (const std::string& text : cases) {
        std::string error;
        EXPECT_FALSE(history::FromJson(text, &error)) << text;
        EXPECT_FALSE(error.empty());
    }
    // A stray byte from the camera becomes a replacement character, not a throw.
    history::RunDocument d = Sample();
    d.identification = "W73\xFF";
    EXPECT_TRUE(history::FromJson(history::ToJson(d)));
}

}  // namespace
