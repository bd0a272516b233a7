#include "platform/format.h"

#include <gtest/gtest.h>

#include "platform/big_endian.h"

namespace {

TEST(Format, BuildsTheStationsFormats) {
    EXPECT_EQ(platform::Format("W0073 ImageAdjust software Ver%02.3f", 1.02), "W0073 ImageAdjust software Ver1.020");
    EXPECT_EQ(platform::Format("%2.2f", 7.456), "7.46");
    EXPECT_EQ(platform::Format("%d年%d月%d日\r\n", 2002, 7, 5), "2002年7月5日\r\n");
    std::string longText(5000, 'x');
    EXPECT_EQ(platform::Format("%s", longText.c_str()).size(), 5000u);
}

TEST(BigEndian, PutsAndGetsFields) {
    std::uint8_t b[4] = {};
    platform::PutBe32(b, 0x12345678);
    EXPECT_EQ(b[0], 0x12);
    EXPECT_EQ(b[3], 0x78);
    EXPECT_EQ(platform::GetBe32(b), 0x12345678u);
    platform::PutBe16(b, 0xABCD);
    EXPECT_EQ(platform::GetBe16(b), 0xABCD);
}

}  // namespace
