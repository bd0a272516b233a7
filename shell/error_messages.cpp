#include "shell/error_messages.h"

#include <cstring>

#include "platform/format.h"
#include "platform/sjis.h"

namespace {

// Index n - 3 holds the message of number n.
const char* const kMessages[kErrorMessageCount] = {
    "USB通信エラー",  // 3
    "USB：デバイス無しエラー",  // 4
    "USB：オープンセッションコマンドエラー",  // 5
    "USB：通信モード変更コマンドエラー",  // 6
    "USB：レリーズエラー",  // 7
    "USB：レリーズ条件設定エラー",  // 8
    "USB：CCDEEPROM書き込みエラー",  // 9
    "USB：RAM－CONFIG書き込みエラー",  // 10
    "USB：メインRAM書き込みエラー",  // 11
    "USB：メインEEPROM書き込みエラー",  // 12
    "USB：AFモード設定エラー",  // 13
    "USB：露出モード設定エラー",  // 14
    "USB：CCDEEPROM書き込みエラー",  // 15
    "ショートエラー",  // 16
    "消費電流エラー",  // 17
    "RISCマイコンVerエラー",  // 18
    "CCDEEPROM-FALSHデータ相関エラー",  // 19
    "CCDEEPROM固定値エラー",  // 20
    "CCDEEPROM固定値エラー",  // 21
    "バッテリーチェック調整出来ずエラー",  // 22
    "Ａ／Ｄ値異常値エラー",  // 23
    "バッテリーチェック１(CCD-OFF時)エラー",  // 24
    "バッテリーチェック２(CCD-OFF時)エラー",  // 25
    "バッテリーチェック１(CCD-ON時)エラー",  // 26
    "バッテリーチェック２(CCD-ON時)エラー",  // 27
    "OB出力異常（ISO200)エラー",  // 28
    "OB出力異常（ISO400)エラー",  // 29
    "OB出力異常（ISO800)エラー",  // 30
    "OB出力異常（ISO1600)エラー",  // 31
    "Ｇ飽和出力レベルエラー",  // 32
    "Ｒ飽和出力レベルエラー",  // 33
    "Ｂ飽和出力レベルエラー",  // 34
    "感度1600時ＤＢ値エラー",  // 35
    "感度調整(ISO200）エラー",  // 36
    "感度調整(ISO400）エラー",  // 37
    "感度調整(ISO800）エラー",  // 38
    "感度調整(ISO1600）エラー",  // 39
    "感度（ISO200)出力エラー",  // 40
    "感度（ISO400)出力エラー",  // 41
    "感度（ISO800)出力エラー",  // 42
    "感度（ISO1600)出力エラー",  // 43
    "感度比調整出来ずエラー",  // 44
    "感度比G出力レベルエラー",  // 45
    "感度比R出力レベルエラー",  // 46
    "感度比B出力レベルエラー",  // 47
    "ﾗｲﾝｸﾛｰﾙ調整値算出ﾊﾟﾗﾒｰﾀ",  // 48
    "ﾗｲﾝｸﾛｰﾙ調整値エラー",  // 49
    "ﾗｲﾝｸﾛｰﾙ点検エラー",  // 50
    "ラインクロールG出力レベルエラー",  // 51
    "プリ調整データエラー",  // 52
    "本調整データエラー",  // 53
    "プリ調整出来ずエラー",  // 54
    "本調整出来ずエラー",  // 55
    "内蔵ＳＢポップアップエラー",  // 56
    "レンズ無しエラー",  // 57
    "AV5_G出力比エラー",  // 58
    "AV1_G出力比エラー",  // 59
    "AV5_R出力比エラー",  // 60
    "AV1_R出力比エラー",  // 61
    "AV5_B出力比エラー",  // 62
    "AV1_B出力比エラー",  // 63
    "AV6_G出力レベルエラー",  // 64
    "AV1-G出力レベルエラー",  // 65
    "TFT位置調整値範囲外エラー",  // 66
    "画像用メモリ確保できずエラー",  // 67
    "出力レベルオーバーエラー",  // 68
    "キズ検出数オーバーエラー",  // 69
    "キズ検出座標異常エラー",  // 70
    "画素欠陥書き込み値異常エラー",  // 71
    "横４連画素欠陥ありエラー",  // 72
    "縦４連画素欠陥ありエラー",  // 73
    "ファイルオープンエラー",  // 74
};

std::array<ErrorMessageSlot, kErrorMessageCount> BuildSlots() {
    std::array<ErrorMessageSlot, kErrorMessageCount> slots{};
    for (std::size_t i = 0; i < kErrorMessageCount; ++i) {
        const std::string sjis = platform::ToShiftJis(kMessages[i]);
        // Every message fits its slot (a test holds it to that); cut rather
        // than overrun should one ever be made too long.
        const std::size_t n = sjis.size() < kErrorMessageSlotBytes ? sjis.size() : kErrorMessageSlotBytes - 1;
        std::memcpy(slots[i].data(), sjis.data(), n);
        slots[i][n] = '\0';
    }
    return slots;
}

bool HasMessage(int number) { return number >= kFirstErrorNumber && number <= kLastErrorNumber; }

}  // namespace

std::string ErrorMessage(int number) {
    if (!HasMessage(number)) return {};
    return kMessages[number - kFirstErrorNumber];
}

const std::array<ErrorMessageSlot, kErrorMessageCount>& ErrorMessageSlots() {
    static const std::array<ErrorMessageSlot, kErrorMessageCount> slots = BuildSlots();
    return slots;
}

std::string StatusLineForResult(int result) {
    if (result == 1) return kStatusOk;
    return platform::Format(kStatusErrorFormat, result) + ErrorMessage(result);
}
