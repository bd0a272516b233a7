// The texts of the main window, the version window and the string table,
// against the station's texts written out here independently.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "res/adjust_templates.h"
#include "res/strings.h"
#include "res/templates.h"
#include "shell/image_adjust_dlg.h"

namespace {

using K = ui::ControlKind;

TEST(Templates, MainWindowLabelsAndLayout) {
    const ui::DialogTemplate& t = res::MainDialogTemplate();
    EXPECT_EQ(t.id, 102);
    EXPECT_EQ(t.title, "W73ImageAdjust");
    EXPECT_EQ(t.width, 383);
    EXPECT_EQ(t.height, 355);
    const std::map<int, std::pair<K, std::string>> expected = {
        {1072, {K::Picture, ""}}, {1000, {K::Edit, ""}}, {1001, {K::Edit, ""}},
        {1009, {K::Button, "START"}}, {1008, {K::Button, "STANDARD"}},
        {1112, {K::CheckBox, "CCDEEPROM\u3000FLASH\u3000UP"}}, {1140, {K::CheckBox, "TFTEEPROM\u3000FLASH\u3000UP"}},
        {1117, {K::CheckBox, "感度調整"}}, {1118, {K::CheckBox, "ラインクロール調整"}},
        {1136, {K::CheckBox, "感度比調整"}}, {1143, {K::CheckBox, "絞り依存性調整"}},
        {1138, {K::CheckBox, "バッテリーチェック調整"}}, {1137, {K::CheckBox, "内蔵SB調整"}},
        {1139, {K::CheckBox, "\uFF34\uFF26\uFF34表示位置調整"}}, {1144, {K::CheckBox, "CCDキズ補正"}},
        {1146, {K::CheckBox, "SAVE"}}, {1024, {K::Button, "感度基準取得"}},
        {1025, {K::Button, "感度比基準取得"}}, {1114, {K::Button, "CCD画素欠陥情報の変更"}},
    };
    for (const auto& [id, kindText] : expected) {
        const ui::ControlTemplate* c = t.Find(id);
        ASSERT_NE(c, nullptr) << id;
        EXPECT_EQ(c->kind, kindText.first) << id;
        EXPECT_EQ(c->text, kindText.second) << id;
        EXPECT_LE(c->rect.x + c->rect.width, t.width) << id;
        EXPECT_LE(c->rect.y + c->rect.height, t.height) << id;
    }
    const ui::Rect picture = t.Find(1072)->rect, log = t.Find(1000)->rect;
    EXPECT_EQ(std::vector<int>({picture.x, picture.y, picture.width, picture.height}), std::vector<int>({0, 0, 208, 149}));
    EXPECT_EQ(std::vector<int>({log.x, log.y, log.width, log.height}), std::vector<int>({0, 155, 210, 195}));

    std::multimap<K, std::string> labels;
    for (const auto& c : t.controls)
        if (c.id <= 0) labels.emplace(c.kind, c.text);
    EXPECT_EQ(labels, (std::multimap<K, std::string>{
                          {K::GroupBox, "Contents"},
                          {K::Static, "バッテリーチェック調整を行う場合には\r\n電源ラインに電圧計/電流計を接続して\r\n下さい。"},
                          {K::Static, "COMMENT"}}));
    ASSERT_EQ(t.menu.size(), 2u);
    EXPECT_EQ(t.menu[0].command, 16);
    EXPECT_EQ(t.menu[0].text, "W73ImageAdjust のﾊﾞｰｼﾞｮﾝ情報(&A)...");
    EXPECT_EQ(t.menu[1].command, CImageAdjustDlg::IDM_HISTORY);
}

TEST(Templates, VersionWindow) {
    const ui::DialogTemplate& t = res::AboutDlgTemplate();
    EXPECT_EQ(t.id, 100);
    EXPECT_EQ(t.title, "W73ImageAdjustのﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_EQ(t.width, 235);
    EXPECT_EQ(t.height, 49);
    ASSERT_NE(t.Find(1113), nullptr);
    EXPECT_EQ(t.Find(1113)->text, "W73ImageAdjust Version 1.02");
    ASSERT_NE(t.Find(ui::IDOK), nullptr);
    EXPECT_EQ(t.Find(ui::IDOK)->text, "OK");
}

TEST(Templates, EveryWindowHasItsOwnIdAndEachControlOne) {
    std::set<int> windows;
    for (const ui::DialogTemplate* t :
         {&res::MainDialogTemplate(), &res::AboutDlgTemplate(), &res::StandardDlgTemplate(),
          &res::ApertureSpecDlgTemplate(), &res::MessageBoxDlgTemplate(), &res::SensitivityTemplate(),
          &res::SensRatioTemplate(), &res::LineCrawlTemplate(), &res::InsideSbTemplate(), &res::BcAdjustTemplate(),
          &res::ApertureTemplate(), &res::DefectCorrectTemplate(), &res::FlashUpTemplate(),
          &res::TftPositionTemplate(), &res::CurrentInputTemplate(), &res::PixelDefectTemplate()}) {
        EXPECT_TRUE(windows.insert(t->id).second) << t->id;
        std::set<int> controls;
        for (const ui::ControlTemplate& c : t->controls)
            if (c.id > 0) {
                EXPECT_TRUE(controls.insert(c.id).second) << t->id << " control " << c.id;
            }
    }
    EXPECT_EQ(windows, (std::set<int>{100, 102, 132, 134, 136, 139, 140, 146, 149, 153, 154, 157, 160, 161, 162, 163}));
}

TEST(Templates, StringTable) {
    const std::map<int, std::string> expected = {
        {101, "W73ImageAdjust のﾊﾞｰｼﾞｮﾝ情報(&A)..."}, {102, "消費電流起動ﾀｲﾏｰ"},
        {103, "Ver点検起動タイマ"}, {104, "フラッシュアップ起動タイマ"}, {105, "EEPROM点検起動タイマ"},
        {106, "BC調整起動タイマ"}, {107, "VSUBレベル点検起動タイマ"}, {108, "感度比調整起動タイマ"},
        {109, "ラインクロール調整起動タイマ"}, {110, "感度調整起動タイマ"}, {111, "工程情報処理起動タイマ"},
        {112, "内蔵\uFF33\uFF22調整起動タイマ"}, {113, "ﾌｯﾄｽｲｯﾁ確認ﾀｲﾏ"}, {114, "\uFF2F\uFF22レベル点検起動タイマ"},
        {115, "グレースケール点検起動ﾀｲﾏ"}, {116, "TFTフラッシュアップタイマ"}, {117, "絞り依存性起動タイマ"},
        {118, "CCDキズ補正起動タイマ"}, {100, ""}, {119, ""},
    };
    for (const auto& [id, text] : expected) EXPECT_EQ(res::LoadString(id), text) << id;
}

}  // namespace
