#include "platform/sjis.h"

#include <gtest/gtest.h>

namespace {

TEST(ShiftJis, EncodesFullAndHalfWidthText) {
    // "終了" and half-width katakana "ｱ" as code page 932 bytes.
    EXPECT_EQ(platform::ToShiftJis("終了"), "\x8F\x49\x97\xB9");
    EXPECT_EQ(platform::ToShiftJis("ｱｯﾌﾟ"), "\xB1\xAF\xCC\xDF");
    EXPECT_EQ(platform::ToShiftJis("OK\r\n"), "OK\r\n");
    // Ideographic space and the full-width tilde of the code page.
    EXPECT_EQ(platform::ToShiftJis("　"), "\x81\x40");
    EXPECT_EQ(platform::ToShiftJis("～"), "\x81\x60");
}

TEST(ShiftJis, RoundTrips) {
    const std::string text = "2002年7月5日\r\nFLASHｱｯﾌﾟｺﾏﾝﾄﾞ実行中 ・・・・完了";
    bool lossless = false;
    std::string sjis = platform::ToShiftJis(text, &lossless);
    EXPECT_TRUE(lossless);
    EXPECT_EQ(platform::FromShiftJis(sjis), text);
}

TEST(ShiftJis, UnmappableCharacterBecomesQuestionMarkAndKeepsTheRest) {
    bool lossless = true;
    std::string sjis = platform::ToShiftJis("a\xF0\x9F\x98\x80z", &lossless);  // an emoji
    EXPECT_FALSE(lossless);
    EXPECT_EQ(sjis, "a?z");
}

}  // namespace
