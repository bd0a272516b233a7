#include "shell/error_messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/sjis.h"

namespace {

// The message table, written out independently of the station code.
const std::vector<std::pair<int, std::string>>& Expected() {
    static const std::vector<std::pair<int, std::string>> table = {
        {3, "USB通信エラー"},
        {4, "USB：デバイス無しエラー"},
        {5, "USB：オープンセッションコマンドエラー"},
        {6, "USB：通信モード変更コマンドエラー"},
        {7, "USB：レリーズエラー"},
        {8, "USB：レリーズ条件設定エラー"},
        {9, "USB：CCDEEPROM書き込みエラー"},
        {10, "USB：RAM－CONFIG書き込みエラー"},
        {11, "USB：メインRAM書き込みエラー"},
        {12, "USB：メインEEPROM書き込みエラー"},
        {13, "USB：AFモード設定エラー"},
        {14, "USB：露出モード設定エラー"},
        {15, "USB：CCDEEPROM書き込みエラー"},
        {16, "ショートエラー"},
        {17, "消費電流エラー"},
        {18, "RISCマイコンVerエラー"},
        {19, "CCDEEPROM-FALSHデータ相関エラー"},
        {20, "CCDEEPROM固定値エラー"},
        {21, "CCDEEPROM固定値エラー"},
        {22, "バッテリーチェック調整出来ずエラー"},
        {23, "Ａ／Ｄ値異常値エラー"},
        {24, "バッテリーチェック１(CCD-OFF時)エラー"},
        {25, "バッテリーチェック２(CCD-OFF時)エラー"},
        {26, "バッテリーチェック１(CCD-ON時)エラー"},
        {27, "バッテリーチェック２(CCD-ON時)エラー"},
        {28, "OB出力異常（ISO200)エラー"},
        {29, "OB出力異常（ISO400)エラー"},
        {30, "OB出力異常（ISO800)エラー"},
        {31, "OB出力異常（ISO1600)エラー"},
        {32, "Ｇ飽和出力レベルエラー"},
        {33, "Ｒ飽和出力レベルエラー"},
        {34, "Ｂ飽和出力レベルエラー"},
        {35, "感度1600時ＤＢ値エラー"},
        {36, "感度調整(ISO200）エラー"},
        {37, "感度調整(ISO400）エラー"},
        {38, "感度調整(ISO800）エラー"},
        {39, "感度調整(ISO1600）エラー"},
        {40, "感度（ISO200)出力エラー"},
        {41, "感度（ISO400)出力エラー"},
        {42, "感度（ISO800)出力エラー"},
        {43, "感度（ISO1600)出力エラー"},
        {44, "感度比調整出来ずエラー"},
        {45, "感度比G出力レベルエラー"},
        {46, "感度比R出力レベルエラー"},
        {47, "感度比B出力レベルエラー"},
        {48, "ﾗｲﾝｸﾛｰﾙ調整値算出ﾊﾟﾗﾒｰﾀ"},
        {49, "ﾗｲﾝｸﾛｰﾙ調整値エラー"},
        {50, "ﾗｲﾝｸﾛｰﾙ点検エラー"},
        {51, "ラインクロールG出力レベルエラー"},
        {52, "プリ調整データエラー"},
        {53, "本調整データエラー"},
        {54, "プリ調整出来ずエラー"},
        {55, "本調整出来ずエラー"},
        {56, "内蔵ＳＢポップアップエラー"},
        {57, "レンズ無しエラー"},
        {58, "AV5_G出力比エラー"},
        {59, "AV1_G出力比エラー"},
        {60, "AV5_R出力比エラー"},
        {61, "AV1_R出力比エラー"},
        {62, "AV5_B出力比エラー"},
        {63, "AV1_B出力比エラー"},
        {64, "AV6_G出力レベルエラー"},
        {65, "AV1-G出力レベルエラー"},
        {66, "TFT位置調整値範囲外エラー"},
        {67, "画像用メモリ確保できずエラー"},
        {68, "出力レベルオーバーエラー"},
        {69, "キズ検出数オーバーエラー"},
        {70, "キズ検出座標異常エラー"},
        {71, "画素欠陥書き込み値異常エラー"},
        {72, "横４連画素欠陥ありエラー"},
        {73, "縦４連画素欠陥ありエラー"},
        {74, "ファイルオープンエラー"},
    };
    return table;
}

std::string SlotText(int number) {
    const ErrorMessageSlot& slot = ErrorMessageSlots()[static_cast<std::size_t>(number - kFirstErrorNumber)];
    return std::string(slot.data(), strnlen(slot.data(), slot.size()));
}

TEST(ErrorMessages, EveryMessageExactly) {
    ASSERT_EQ(Expected().size(), 72u);
    for (const auto& [number, text] : Expected()) EXPECT_EQ(ErrorMessage(number), text) << "number " << number;
    for (int number : {-1, 0, 1, 2, 75, 1000}) EXPECT_EQ(ErrorMessage(number), "") << "number " << number;
}

TEST(ErrorMessages, ShiftJisSlotsHoldEveryMessageWhole) {
    for (const auto& [number, text] : Expected()) {
        bool lossless = false;
        const std::string sjis = platform::ToShiftJis(text, &lossless);
        EXPECT_TRUE(lossless) << "number " << number;
        EXPECT_LE(sjis.size(), 49u) << "number " << number;
        EXPECT_EQ(SlotText(number), sjis) << "number " << number;
    }
    // Two written out byte by byte: a full-width hyphen and half-width kana.
    EXPECT_EQ(SlotText(10),
              "\x55\x53\x42\x81\x46\x52\x41\x4D\x81\x7C\x43\x4F\x4E\x46\x49\x47\x8F\x91\x82\xAB\x8D\x9E\x82\xDD\x83"
              "\x47\x83\x89\x81\x5B");
    EXPECT_EQ(SlotText(49), "\xD7\xB2\xDD\xB8\xDB\xB0\xD9\x92\xB2\x90\xAE\x92\x6C\x83\x47\x83\x89\x81\x5B");
}

// Each named number shows the message its name stands for, and every number
// of the table has one name.
TEST(ErrorMessages, EachNamedNumberHasItsMessage) {
    const std::vector<std::pair<int, std::string>> named = {
        {kErrUsbCommunication, "USB通信エラー"}, {kErrUsbNoDevice, "USB：デバイス無しエラー"},
        {kErrUsbOpenSession, "USB：オープンセッションコマンドエラー"},
        {kErrUsbModeChange, "USB：通信モード変更コマンドエラー"}, {kErrUsbRelease, "USB：レリーズエラー"},
        {kErrUsbReleaseConditions, "USB：レリーズ条件設定エラー"},
        {kErrUsbCcdEepromWrite, "USB：CCDEEPROM書き込みエラー"},
        {kErrUsbRamConfigWrite, "USB：RAM－CONFIG書き込みエラー"},
        {kErrUsbMainRamWrite, "USB：メインRAM書き込みエラー"},
        {kErrUsbMainEepromWrite, "USB：メインEEPROM書き込みエラー"}, {kErrUsbAfMode, "USB：AFモード設定エラー"},
        {kErrUsbExposureMode, "USB：露出モード設定エラー"}, {kErrUsbCcdEepromFlash, "USB：CCDEEPROM書き込みエラー"},
        {kErrShortCircuit, "ショートエラー"}, {kErrConsumptionCurrent, "消費電流エラー"},
        {kErrRiscVersion, "RISCマイコンVerエラー"}, {kErrCcdEepromFlashData, "CCDEEPROM-FALSHデータ相関エラー"},
        {kErrCcdEepromFixedValue, "CCDEEPROM固定値エラー"}, {kErrCcdEepromFixedValue2, "CCDEEPROM固定値エラー"},
        {kErrBatteryCheckAdjust, "バッテリーチェック調整出来ずエラー"}, {kErrAdValue, "Ａ／Ｄ値異常値エラー"},
        {kErrBatteryCheck1CcdOff, "バッテリーチェック１(CCD-OFF時)エラー"},
        {kErrBatteryCheck2CcdOff, "バッテリーチェック２(CCD-OFF時)エラー"},
        {kErrBatteryCheck1CcdOn, "バッテリーチェック１(CCD-ON時)エラー"},
        {kErrBatteryCheck2CcdOn, "バッテリーチェック２(CCD-ON時)エラー"},
        {kErrObIso200, "OB出力異常（ISO200)エラー"}, {kErrObIso400, "OB出力異常（ISO400)エラー"},
        {kErrObIso800, "OB出力異常（ISO800)エラー"}, {kErrObIso1600, "OB出力異常（ISO1600)エラー"},
        {kErrGSaturation, "Ｇ飽和出力レベルエラー"}, {kErrRSaturation, "Ｒ飽和出力レベルエラー"},
        {kErrBSaturation, "Ｂ飽和出力レベルエラー"}, {kErrIso1600Db, "感度1600時ＤＢ値エラー"},
        {kErrSensAdjustIso200, "感度調整(ISO200）エラー"}, {kErrSensAdjustIso400, "感度調整(ISO400）エラー"},
        {kErrSensAdjustIso800, "感度調整(ISO800）エラー"}, {kErrSensAdjustIso1600, "感度調整(ISO1600）エラー"},
        {kErrSensOutputIso200, "感度（ISO200)出力エラー"}, {kErrSensOutputIso400, "感度（ISO400)出力エラー"},
        {kErrSensOutputIso800, "感度（ISO800)出力エラー"}, {kErrSensOutputIso1600, "感度（ISO1600)出力エラー"},
        {kErrSensRatioAdjust, "感度比調整出来ずエラー"}, {kErrSensRatioGLevel, "感度比G出力レベルエラー"},
        {kErrSensRatioRLevel, "感度比R出力レベルエラー"}, {kErrSensRatioBLevel, "感度比B出力レベルエラー"},
        {kErrLineCrawlParameter, "ﾗｲﾝｸﾛｰﾙ調整値算出ﾊﾟﾗﾒｰﾀ"}, {kErrLineCrawlValue, "ﾗｲﾝｸﾛｰﾙ調整値エラー"},
        {kErrLineCrawlCheck, "ﾗｲﾝｸﾛｰﾙ点検エラー"}, {kErrLineCrawlGLevel, "ラインクロールG出力レベルエラー"},
        {kErrPreFlashData, "プリ調整データエラー"}, {kErrMainFlashData, "本調整データエラー"},
        {kErrPreFlashAdjust, "プリ調整出来ずエラー"}, {kErrMainFlashAdjust, "本調整出来ずエラー"},
        {kErrFlashPopUp, "内蔵ＳＢポップアップエラー"}, {kErrNoLens, "レンズ無しエラー"},
        {kErrAv5GRatio, "AV5_G出力比エラー"}, {kErrAv1GRatio, "AV1_G出力比エラー"},
        {kErrAv5RRatio, "AV5_R出力比エラー"}, {kErrAv1RRatio, "AV1_R出力比エラー"},
        {kErrAv5BRatio, "AV5_B出力比エラー"}, {kErrAv1BRatio, "AV1_B出力比エラー"},
        {kErrAv6GLevel, "AV6_G出力レベルエラー"}, {kErrAv1GLevel, "AV1-G出力レベルエラー"},
        {kErrTftPositionRange, "TFT位置調整値範囲外エラー"}, {kErrImageMemory, "画像用メモリ確保できずエラー"},
        {kErrOutputLevelOver, "出力レベルオーバーエラー"}, {kErrDefectCountOver, "キズ検出数オーバーエラー"},
        {kErrDefectCoordinate, "キズ検出座標異常エラー"}, {kErrDefectWriteValue, "画素欠陥書き込み値異常エラー"},
        {kErrDefectRunAcross, "横４連画素欠陥ありエラー"}, {kErrDefectRunDown, "縦４連画素欠陥ありエラー"},
        {kErrFileOpen, "ファイルオープンエラー"},
    };
    std::set<int> numbers;
    for (const auto& [number, text] : named) {
        EXPECT_EQ(ErrorMessage(number), text) << "number " << number;
        numbers.insert(number);
    }
    EXPECT_EQ(numbers.size(), Expected().size());
    // The link's own numbers show the table's message of that number, but
    // for the one below the table.
    for (int number : {kLinkEntryMissing, kLinkNoDevice, kLinkNoCamera, kLinkBadArgument, kLinkValueNotTaken,
                       kLinkBadPropertyReply, kLinkNoPicture, kLinkMcuRefused, kLinkDriverNotOpened,
                       kLinkDeviceNotOpened, kLinkTransferFailed})
        EXPECT_NE(ErrorMessage(number), "") << "number " << number;
    EXPECT_EQ(StatusLineForResult(kLinkNotLoaded), "ERROR NO=2 ");
}

TEST(ErrorMessages, SharedTextsStayDistinctNumbers) {
    EXPECT_EQ(ErrorMessage(9), ErrorMessage(15));
    EXPECT_EQ(ErrorMessage(20), ErrorMessage(21));
    EXPECT_NE(StatusLineForResult(9), StatusLineForResult(15));
    EXPECT_EQ(StatusLineForResult(15), "ERROR NO=15 USB：CCDEEPROM書き込みエラー");
}

TEST(ErrorMessages, StatusLinesAndReportTexts) {
    EXPECT_EQ(StatusLineForResult(1), "終了！　☆☆　ＯＫ　☆☆");
    EXPECT_EQ(platform::ToShiftJis(StatusLineForResult(1)),
              "\x8F\x49\x97\xB9\x81\x49\x81\x40\x81\x99\x81\x99\x81\x40\x82\x6E\x82\x6A\x81\x40\x81\x99\x81\x99");
    EXPECT_EQ(StatusLineForResult(3), "ERROR NO=3 USB通信エラー");
    EXPECT_EQ(StatusLineForResult(74), "ERROR NO=74 ファイルオープンエラー");
    EXPECT_EQ(StatusLineForResult(2), "ERROR NO=2 ");
    EXPECT_EQ(StatusLineForResult(0), "ERROR NO=0 ");
    EXPECT_STREQ(kStatusRunning, "調整点検中！！");
    EXPECT_STREQ(kLogDateFormat, "%d年%d月%d日\r\n");
}

}  // namespace
