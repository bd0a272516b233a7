#include "res/strings.h"

#include <map>

namespace res {

namespace {

const std::map<int, std::string>& Table() {
    static const std::map<int, std::string> table = {
        {IDS_ABOUTBOX, "W73ImageAdjust のﾊﾞｰｼﾞｮﾝ情報(&A)..."},
        {IDT_CURRENT, "消費電流起動ﾀｲﾏｰ"},
        {IDT_VERSION_CHECK, "Ver点検起動タイマ"},
        {IDT_FLASH_UP, "フラッシュアップ起動タイマ"},
        {IDT_EEPROM_CHECK, "EEPROM点検起動タイマ"},
        {IDT_BC_ADJUST, "BC調整起動タイマ"},
        {IDT_VSUB_CHECK, "VSUBレベル点検起動タイマ"},
        {IDT_SENS_RATIO, "感度比調整起動タイマ"},
        {IDT_LINE_CRAWL, "ラインクロール調整起動タイマ"},
        {IDT_SENSITIVITY, "感度調整起動タイマ"},
        {IDT_PROCESS_INFO, "工程情報処理起動タイマ"},
        {IDT_INSIDE_SB, "内蔵ＳＢ調整起動タイマ"},
        {IDT_FOOT_SWITCH, "ﾌｯﾄｽｲｯﾁ確認ﾀｲﾏ"},
        {IDT_OB_CHECK, "ＯＢレベル点検起動タイマ"},
        {IDT_GRAY_SCALE, "グレースケール点検起動ﾀｲﾏ"},
        {IDT_TFT_FLASH_UP, "TFTフラッシュアップタイマ"},
        {IDT_APERTURE, "絞り依存性起動タイマ"},
        {IDT_DEFECT_CORRECT, "CCDキズ補正起動タイマ"},
    };
    return table;
}

}  // namespace

std::string LoadString(int id) {
    const auto& table = Table();
    auto it = table.find(id);
    return it == table.end() ? std::string() : it->second;
}

}  // namespace res
