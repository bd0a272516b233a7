#include "standards/std_file.h"

#include <gtest/gtest.h>

#include <string>

#include "standards/standard_data.h"
#include "standards/std_text_scanner.h"

namespace {

// A record with a distinct value in every field, each exact in the precision
// the file prints it with.
StandardData Sample() {
    StandardData d;
    d.bcAdjustVoltage = 7.2;
    d.bcCheckVoltage = 6.85;
    d.bcAdMin = 100;
    d.bcAdMax = 200;
    d.current72OffMin = 1.5;
    d.current72OffMax = 2.5;
    d.current77OffMin = 1.25;
    d.current77OffMax = 3.75;
    d.current72OnMin = 10;
    d.current72OnMax = 20;
    d.current77OnMin = 30.5;
    d.current77OnMax = 40.75;
    d.lineRedLimit = 0.5;
    d.lineRedX = 10;
    d.lineRedWidth = 20;
    d.lineRedY = 30;
    d.lineRedHeight = 40;
    d.lineBlueLimit = 1.25;
    d.lineBlueX = 50;
    d.lineBlueWidth = 60;
    d.lineBlueY = 70;
    d.lineBlueHeight = 80;
    d.sensLevelMin = 50;
    d.sensLevelMax = 3000;
    d.sensBaseline = 1234;
    d.sensAdjustTolerance = 2.5;
    d.sensCheckTolerance = 5;
    d.sensInitial = {"0100", "0101", "0102", "0103", "0104", "0105", "0106", "0107", "0108", "0109",
                     "0110", "0111", "0112", "0113", "0114", "0115", "0116", "0117", "0118"};
    d.ratioSampleCount = 3;
    d.ratioGrBaseline = 1.5;
    d.ratioGbBaseline = 2.25;
    d.ratioGrMin = 1;
    d.ratioGrMax = 2;
    d.ratioGbMin = 1.5;
    d.ratioGbMax = 3;
    d.ratioGrTolerance = 5;
    d.ratioGbTolerance = 6;
    d.ratioGrInitial = 1.125;
    d.ratioGbInitial = 2.0625;
    for (int i = 0; i < 20; ++i) d.pgain[static_cast<std::size_t>(i)] = i * 0.25;
    d.pgainF14Tolerance = 3;
    d.sbPreInitial = 10;
    d.sbMainInitial = 20;
    d.sbPreTarget = 300;
    d.sbMainTarget = 400;
    d.sbPreTolerance = 0.25;
    d.sbMainTolerance = 0.5;
    d.sbChargeVoltage = 330;
    d.defectLevel = 40;
    d.defectMaxWrites = 390;
    return d;
}

const char* const kSampleText =
    "BC 7.20  6.85 100  200 1.50  2.50 1.25  3.75 10.00  20.00 30.50  40.75\r\n"
    "LINE 0.50000  10  20  30  40 1.25000  50  60  70  80\r\n"
    "SENS_STD   50  3000 1234  2.50 5.00 0100 0101 0102 0103 0104 0105 0106 0107 0108 0109 0110 0111 0112 0113 "
    "0114 0115 0116 0117 0118\r\n"
    "SENS_RATIO_STD 3  1.50000 2.25000 1.00000 2.00000 1.50000 3.00000 5.00000 6.00000 1.12500 2.06250 \r\n"
    "PGAIN 0.00000 0.25000 0.50000 0.75000 1.00000 1.25000 1.50000 1.75000 2.00000 2.25000 2.50000 2.75000 "
    "3.00000 3.25000 3.50000 3.75000 4.00000 4.25000 4.50000 4.75000 3.00000\r\n"
    "INSIDE_SB 10 20 300 400 0.250 0.500 330.0 \r\n"
    "CCD_DEFECT 40 390\r\n";

StandardData Parsed(const std::string& text, StandardData start = {}) {
    ParseStandards(text, start);
    return start;
}

TEST(StdFileFormat, SevenLinesWithTheFileFormats) {
    EXPECT_EQ(FormatStandards(Sample()), kSampleText);
    EXPECT_EQ(Parsed(kSampleText), Sample());
}

TEST(StdFileFormat, RoundTripOfExtremeValues) {
    StandardData d = Sample();
    d.bcAdMin = 4000000000u;  // printed negative with %d, read back to the same bits
    d.bcAdMax = 0xFFFFFFFFu;
    d.sensInitial[0] = "0A1F";
    d.sensInitial[18] = "FFFF";
    d.ratioSampleCount = 255;
    d.sbMainInitial = 255;
    d.lineRedLimit = -12.5;
    d.pgain[19] = 99.99999;
    d.defectMaxWrites = 2147483647u;
    EXPECT_EQ(Parsed(FormatStandards(d)), d);

    EXPECT_EQ(Parsed(FormatStandards(StandardData{})), StandardData{});
}

TEST(StdFileFormat, RealsKeepThePrintedPrecision) {
    StandardData d;
    d.bcAdjustVoltage = 7.456;
    const std::string text = FormatStandards(d);
    EXPECT_EQ(text.substr(0, 8), "BC 7.46 ");
    EXPECT_DOUBLE_EQ(Parsed(text).bcAdjustVoltage, 7.46);
}

TEST(StdFileParse, ShortLineKeepsTheRestAndLaterLinesAreRead) {
    StandardData start;
    start.bcAdMin = 77;
    start.current77OnMax = 9.5;
    const StandardData d = Parsed("BC 7.20  6.85\r\nLINE 0.5 1 2 3 4 1.5 5 6 7 8\r\nCCD_DEFECT 40 390\r\n", start);
    EXPECT_DOUBLE_EQ(d.bcAdjustVoltage, 7.2);
    EXPECT_DOUBLE_EQ(d.bcCheckVoltage, 6.85);
    EXPECT_EQ(d.bcAdMin, 77u);
    EXPECT_DOUBLE_EQ(d.current77OnMax, 9.5);
    EXPECT_DOUBLE_EQ(d.lineRedLimit, 0.5);
    EXPECT_EQ(d.lineBlueHeight, 8u);
    EXPECT_EQ(d.defectLevel, 40u);
    EXPECT_EQ(d.defectMaxWrites, 390u);
}

TEST(StdFileParse, LineBeforeAnEarlierKeywordIsNotFound) {
    const StandardData d = Parsed("CCD_DEFECT 40 390\r\nBC 7.20  6.85 1 2 3 4 5 6 7 8 9 10\r\nPGAIN 1.5 ");
    EXPECT_DOUBLE_EQ(d.bcAdjustVoltage, 7.2);
    EXPECT_DOUBLE_EQ(d.current77OnMax, 10);
    EXPECT_EQ(d.defectLevel, 0u);
    EXPECT_EQ(d.defectMaxWrites, 0u);
    // Later keywords are still searched after the line that was found.
    EXPECT_DOUBLE_EQ(d.pgain[0], 1.5);
}

TEST(StdFileParse, InitialValueTexts) {
    std::string line = "SENS_STD 1 2 3 4 5 0A1F 12a4 0100 12345 ";
    for (int i = 0; i < 15; ++i) line += "0001 ";
    line += "\r\n";
    const StandardData d = Parsed(line);
    EXPECT_EQ(d.sensInitial[0], "0A1F");
    // A lower-case letter ends a text; what follows it is the next one.
    EXPECT_EQ(d.sensInitial[1], "12");
    EXPECT_EQ(d.sensInitial[2], "4");
    EXPECT_EQ(d.sensInitial[3], "0100");
    // The record holds four characters at most.
    EXPECT_EQ(d.sensInitial[4], "1234");
    EXPECT_EQ(d.sensInitial[18], "0001");
    EXPECT_EQ(d.sensBaseline, 3u);
}

TEST(StdFileParse, NumbersAndBytes) {
    const StandardData d = Parsed("SENS_RATIO_STD 300  1.5 \r\nINSIDE_SB -1 256 -5 7 \r\n");
    EXPECT_EQ(d.ratioSampleCount, 44);  // low 8 bits of 300
    EXPECT_DOUBLE_EQ(d.ratioGrBaseline, 1.5);
    EXPECT_DOUBLE_EQ(d.ratioGbBaseline, 0);  // the line ended: left as it was
    EXPECT_EQ(d.sbPreInitial, 255);
    EXPECT_EQ(d.sbMainInitial, 0);
    EXPECT_EQ(d.sbPreTarget, 0xFFFFFFFBu);
    EXPECT_EQ(d.sbMainTarget, 7u);
}

TEST(StdFileParse, ARealBeyondTheRangeOfADoubleIsNoValue) {
    StandardData start;
    start.bcAdjustVoltage = 7.2;
    const StandardData d = Parsed("BC " + std::string(320, '9') + "  6.85 \r\n", start);
    EXPECT_DOUBLE_EQ(d.bcAdjustVoltage, 7.2);
    EXPECT_DOUBLE_EQ(d.bcCheckVoltage, 6.85);
    // What is written reads back as the same record.
    EXPECT_EQ(Parsed(FormatStandards(d)), d);
}

TEST(StdFileParse, TheLastNumberNeedsALineEnd) {
    EXPECT_EQ(Parsed("CCD_DEFECT 40 390").defectMaxWrites, 0u);
    EXPECT_EQ(Parsed("CCD_DEFECT 40 390").defectLevel, 40u);
    EXPECT_EQ(Parsed("CCD_DEFECT 40 390\r\n").defectMaxWrites, 390u);
    // A keyword that ends the text is not found at all.
    EXPECT_EQ(Parsed("BC 7.2 6 CCD_DEFECT ").defectLevel, 0u);
    EXPECT_EQ(Parsed(""), StandardData{});
}

TEST(StdTextScanner, StopsAndPositions) {
    StdTextScanner s("BC  x7.5;-3 Z 9\r\n");
    ASSERT_TRUE(s.FindKeyword("BC "));
    EXPECT_EQ(s.Position(), 3u);
    EXPECT_EQ(s.ScanNumber(), "7.5");  // lower-case letters are skipped before a token
    EXPECT_EQ(s.Position(), 9u);       // past the ';' that ended it
    EXPECT_EQ(s.ScanNumber(), "-3");
    EXPECT_EQ(s.ScanNumber(), std::nullopt);  // the Z stops it
    EXPECT_EQ(s.Position(), 12u);
    EXPECT_FALSE(s.FindKeyword("BC "));
    EXPECT_EQ(s.Position(), 12u);

    StdTextScanner hex("  AF0 G1\n");
    EXPECT_EQ(hex.ScanText(), "AF0");
    EXPECT_EQ(hex.ScanText(), std::nullopt);

    // Running into the end puts the position past it: nothing more is found.
    StdTextScanner end("1 2");
    EXPECT_EQ(end.ScanNumber(), "1");
    EXPECT_EQ(end.ScanNumber(), std::nullopt);
    EXPECT_EQ(end.Position(), 4u);
    EXPECT_EQ(end.ScanNumber(), std::nullopt);

    // Texts longer than any standards file are not searched.
    EXPECT_FALSE(StdTextScanner(std::string(2001, ' ') + "BC 1\r\n").FindKeyword("BC "));
    EXPECT_TRUE(StdTextScanner(std::string(1990, ' ') + "BC 1\r\n").FindKeyword("BC "));
}

TEST(SensInitialConversion, AsAtoiAndBackWithFourDigits) {
    std::array<std::string, 19> texts{};
    texts[0] = "0123";
    texts[1] = "0A1F";
    texts[2] = "";
    texts[3] = "-1";
    texts[4] = "99999";
    const auto values = SensInitialToIntegers(texts);
    EXPECT_EQ(values[0], 123);
    EXPECT_EQ(values[1], 0);
    EXPECT_EQ(values[2], 0);
    EXPECT_EQ(values[3], 65535);
    EXPECT_EQ(values[4], 34463);  // 99999 kept to 16 bits

    std::array<std::uint16_t, 19> back{};
    back[0] = 5;
    back[1] = 1600;
    back[2] = 65535;
    const auto t = SensInitialToTexts(back);
    EXPECT_EQ(t[0], "0005");
    EXPECT_EQ(t[1], "1600");
    EXPECT_EQ(t[2], "65535");
    EXPECT_EQ(t[18], "0000");
}

}  // namespace
