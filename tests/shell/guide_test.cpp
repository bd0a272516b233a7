// The station's guide (docs/GUIDE.md) names every error number the status
// line can show, each with the message the station shows for it.

#include <gtest/gtest.h>

#include <filesystem>

#include "shell/error_messages.h"
#include "tests/support/work_dir.h"

namespace {

TEST(Guide, NamesEveryErrorNumberWithItsMessage) {
    const std::string guide =
        test_support::ReadFile(std::filesystem::path(IMAGEADJUST_SOURCE_DIR) / "docs" / "GUIDE.md");
    ASSERT_FALSE(guide.empty());
    for (int n = kFirstErrorNumber; n <= kLastErrorNumber; ++n)
        EXPECT_NE(guide.find("\n| " + std::to_string(n) + " | " + ErrorMessage(n) + " | "), std::string::npos) << n;
    // The driver library's own number, which has no message.
    EXPECT_NE(guide.find("\n| 2 | (none) | "), std::string::npos);
}

}  // namespace
