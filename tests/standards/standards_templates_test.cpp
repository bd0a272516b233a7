// The templates of the standards window and the aperture standards window:
// every group with its labels and edits inside its frame, the buttons, the
// titles; the texts written out here from the windows' tables.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/templates.h"

namespace {

using K = ui::ControlKind;

struct Group {
    std::string caption;
    std::vector<int> ids;  // edits and buttons
    std::vector<std::string> labels;
};

bool Inside(const ui::Rect& r, const ui::Rect& frame) {
    return r.x > frame.x && r.y > frame.y && r.x + r.width < frame.x + frame.width &&
           r.y + r.height < frame.y + frame.height;
}

void ExpectGroups(const ui::DialogTemplate& t, const std::vector<Group>& groups) {
    for (const Group& g : groups) {
        SCOPED_TRACE(g.caption);
        const ui::ControlTemplate* frame = nullptr;
        for (const auto& c : t.controls)
            if (c.kind == K::GroupBox && c.text == g.caption) frame = &c;
        ASSERT_NE(frame, nullptr);
        for (int id : g.ids) {
            const ui::ControlTemplate* c = t.Find(id);
            ASSERT_NE(c, nullptr) << id;
            EXPECT_TRUE(Inside(c->rect, frame->rect)) << id;
        }
        for (const std::string& text : g.labels) {
            bool found = false;
            for (const auto& c : t.controls)
                found = found || (c.kind == K::Static && c.text == text && Inside(c.rect, frame->rect));
            EXPECT_TRUE(found) << text;
        }
    }
    for (const auto& c : t.controls) {
        EXPECT_LE(c.rect.x + c.rect.width, t.width) << c.text;
        EXPECT_LE(c.rect.y + c.rect.height, t.height) << c.text;
    }
}

std::vector<int> Range(int first, int last) {
    std::vector<int> ids;
    for (int id = first; id <= last; ++id) ids.push_back(id);
    return ids;
}

TEST(StandardsTemplates, StandardsWindowGroups) {
    const ui::DialogTemplate& t = res::StandardDlgTemplate();
    EXPECT_EQ(t.id, 132);
    EXPECT_EQ(t.title, "規格設定");
    std::vector<int> sensitivity = {1065, 1064, 1063, 1094, 1095};
    for (int id : Range(1075, 1093)) sensitivity.push_back(id);
    ExpectGroups(t, {
        {"感度調整", sensitivity,
         {"基準値", "ＭＩＮ", "ＭＡＸ", "調整規格値(%)", "点検規格(%)", "初期値", "ISO200", "ISO220", "ISO250",
          "ISO280", "ISO320", "ISO360", "ISO400", "ISO440", "ISO500", "ISO560", "ISO640", "ISO720", "ISO800",
          "ISO880", "ISO1000", "ISO1100", "ISO1250", "ISO1400", "ISO1600"}},
        {"感度比調整", {1066, 1067, 1108, 1110, 1109, 1111, 1068, 1070, 1061, 1062, 1046, 1008},
         {"基準値ＧＲ", "基準値GB", "GR MIN", "GR MAX", "GB MIN", "GB MAX", "規格（%)", "初期値", "GR", "GB",
          "ｻﾝﾌﾟﾘﾝｸﾞ[1-5]"}},
        {"ラインクロール調整", Range(1051, 1060), {"Red area", "Blue area", "規格Gr-Gb", "X 座標", "X 幅", "Y 座標", "Y 幅"}},
        {"BC調整", Range(1096, 1107),
         {"調整電圧[V]", "点検規格[V]", "調整１規格", "ＭＩＮ", "MAX", "規格2", "7200", "7700", "CCD-OFF", "CCD-ON"}},
        {"内蔵ＳＢ調整", {1001, 1003, 1004, 1002, 1005, 1036, 1028},
         {"PRE ADJ", "HON ADJ", "INIT", "TARGET", "STANDARD[EV]", "CAHRGE VOLTS"}},
        {"CCDキズ補正", {1037, 1032}, {"判定レベル", "最大書き込み数(1～390)"}},
        {"データ設定", {ui::IDOK, ui::IDCANCEL}, {}},
    });
    EXPECT_EQ(t.Find(1008)->text, "絞り依存性");
    EXPECT_EQ(t.Find(ui::IDOK)->text, "OK");
    EXPECT_EQ(t.Find(ui::IDCANCEL)->text, "ｷｬﾝｾﾙ");
}

TEST(StandardsTemplates, ApertureStandardsWindow) {
    const ui::DialogTemplate& t = res::ApertureSpecDlgTemplate();
    EXPECT_EQ(t.id, 153);
    EXPECT_EQ(t.title, "絞り依存性規格");
    // Rows R, Gr, Gb, B; columns F1.4, F2, F2.8, F4, F5.6.
    const int grid[4][5] = {{1028, 1004, 1032, 1038, 1042},
                            {1001, 1005, 1033, 1039, 1043},
                            {1002, 1036, 1034, 1040, 1051},
                            {1003, 1037, 1035, 1041, 1046}};
    for (int g = 0; g < 4; ++g)
        for (int a = 0; a < 5; ++a) {
            const ui::ControlTemplate* c = t.Find(grid[g][a]);
            ASSERT_NE(c, nullptr) << grid[g][a];
            EXPECT_EQ(c->kind, K::Edit);
            EXPECT_EQ(res::ApertureSpecGainId(a, g), grid[g][a]);
            // Laid out as the table: a row per gain, a column per aperture.
            EXPECT_EQ(c->rect.y, t.Find(grid[g][0])->rect.y);
            EXPECT_EQ(c->rect.x, t.Find(grid[0][a])->rect.x);
        }
    std::vector<std::string> labels;
    for (const auto& c : t.controls)
        if (c.kind == K::Static) labels.push_back(c.text);
    EXPECT_EQ(labels, (std::vector<std::string>{"F1.4", "F2", "F2.8", "F4", "F5.6", "PGAIN_R", "PGAIN_Gr",
                                                "PGAIN_Gb", "PGAIN_B", "F1.4(%)"}));
    ExpectGroups(t, {{"絞り依存性調整規格", {1094}, {"F1.4(%)"}}});
    EXPECT_EQ(t.Find(ui::IDOK)->text, "OK");
    EXPECT_EQ(t.Find(ui::IDCANCEL)->text, "ｷｬﾝｾﾙ");
}

}  // namespace
