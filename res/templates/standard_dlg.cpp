// Dialog 132: the standards window. One group box per adjustment area, each
// edit with its label beside it; OK and Cancel in the "データ設定" group.

#include "res/templates.h"

namespace res {

namespace {

using ui::ControlKind;

constexpr int kRowHeight = 14;
constexpr int kEditHeight = 12;
constexpr int kLabelHeight = 8;

struct Builder {
    std::vector<ui::ControlTemplate> controls;

    void Group(const char* text, int x, int y, int w, int h) {
        controls.push_back({-1, ControlKind::GroupBox, text, {x, y, w, h}, ui::kNone});
    }
    void Label(const char* text, int x, int y, int w) {
        controls.push_back({-1, ControlKind::Static, text, {x, y + 2, w, kLabelHeight}, ui::kNone});
    }
    void Edit(int id, int x, int y, int w) {
        controls.push_back({id, ControlKind::Edit, "", {x, y, w, kEditHeight}, ui::kBorder});
    }
    // A label and its edit.
    void Field(const char* text, int id, int x, int y, int labelWidth, int editWidth) {
        Label(text, x, y, labelWidth);
        Edit(id, x + labelWidth + 2, y, editWidth);
    }
};

const char* const kIsoLabels[19] = {"ISO200", "ISO220", "ISO250",  "ISO280",  "ISO320",  "ISO360", "ISO400",
                                    "ISO440", "ISO500", "ISO560",  "ISO640",  "ISO720",  "ISO800", "ISO880",
                                    "ISO1000", "ISO1100", "ISO1250", "ISO1400", "ISO1600"};

void Sensitivity(Builder& b) {
    const int x = 5, y = 5;
    b.Group("感度調整", x, y, 170, 238);
    b.Field("基準値", 1065, x + 7, y + 12, 48, 40);
    b.Field("ＭＩＮ", 1064, x + 7, y + 12 + kRowHeight, 48, 40);
    b.Field("ＭＡＸ", 1063, x + 7, y + 12 + 2 * kRowHeight, 48, 40);
    b.Field("調整規格値(%)", 1094, x + 7, y + 12 + 3 * kRowHeight, 60, 40);
    b.Field("点検規格(%)", 1095, x + 7, y + 12 + 4 * kRowHeight, 60, 40);
    b.Label("初期値", x + 7, y + 12 + 5 * kRowHeight, 40);
    const int top = y + 12 + 6 * kRowHeight;
    for (int i = 0; i < 19; ++i) {
        const int column = i / 10, row = i % 10;
        b.Field(kIsoLabels[i], 1075 + i, x + 7 + column * 80, top + row * kRowHeight, 36, 34);
    }
}

void SensitivityRatio(Builder& b) {
    const int x = 180, y = 5;
    const int a = x + 7, c = x + 95;  // the two columns of label and edit
    b.Group("感度比調整", x, y, 185, 142);
    b.Field("基準値ＧＲ", 1066, a, y + 12, 44, 40);
    b.Field("基準値GB", 1067, c, y + 12, 44, 40);
    b.Field("GR MIN", 1108, a, y + 12 + kRowHeight, 44, 40);
    b.Field("GR MAX", 1110, c, y + 12 + kRowHeight, 44, 40);
    b.Field("GB MIN", 1109, a, y + 12 + 2 * kRowHeight, 44, 40);
    b.Field("GB MAX", 1111, c, y + 12 + 2 * kRowHeight, 44, 40);
    b.Label("規格（%)", a, y + 12 + 3 * kRowHeight, 60);
    b.Field("GR", 1068, a, y + 12 + 4 * kRowHeight, 44, 40);
    b.Field("GB", 1070, c, y + 12 + 4 * kRowHeight, 44, 40);
    b.Label("初期値", a, y + 12 + 5 * kRowHeight, 60);
    b.Field("GR", 1061, a, y + 12 + 6 * kRowHeight, 44, 40);
    b.Field("GB", 1062, c, y + 12 + 6 * kRowHeight, 44, 40);
    b.Field("ｻﾝﾌﾟﾘﾝｸﾞ[1-5]", 1046, a, y + 12 + 7 * kRowHeight, 60, 24);
    b.controls.push_back({1008, ControlKind::Button, "絞り依存性", {c, y + 12 + 7 * kRowHeight, 84, 14}, ui::kNone});
}

void LineCrawl(Builder& b) {
    const int x = 180, y = 151;
    const int a = x + 7, c = x + 95;
    b.Group("ラインクロール調整", x, y, 185, 134);
    int row = y + 12;
    for (int area = 0; area < 2; ++area) {
        const int base = area == 0 ? 1051 : 1056;
        b.Label(area == 0 ? "Red area" : "Blue area", a, row, 60);
        row += 10;
        b.Field("規格Gr-Gb", base, a, row, 44, 40);
        row += kRowHeight;
        b.Field("X 座標", base + 1, a, row, 44, 40);
        b.Field("X 幅", base + 2, c, row, 44, 40);
        row += kRowHeight;
        b.Field("Y 座標", base + 3, a, row, 44, 40);
        b.Field("Y 幅", base + 4, c, row, 44, 40);
        row += kRowHeight + 4;
    }
}

void BatteryCheck(Builder& b) {
    const int x = 370, y = 5;
    b.Group("BC調整", x, y, 150, 108);
    b.Field("調整電圧[V]", 1096, x + 7, y + 12, 56, 40);
    b.Field("点検規格[V]", 1097, x + 7, y + 12 + kRowHeight, 56, 40);
    b.Label("調整１規格", x + 7, y + 12 + 2 * kRowHeight, 50);
    b.Field("ＭＩＮ", 1098, x + 7, y + 12 + 3 * kRowHeight - 4, 22, 36);
    b.Field("MAX", 1099, x + 75, y + 12 + 3 * kRowHeight - 4, 22, 36);
    const int head = y + 12 + 4 * kRowHeight - 2;
    b.Label("規格2", x + 7, head, 24);
    b.Label("CCD-OFF", x + 33, head, 56);
    b.Label("CCD-ON", x + 91, head, 56);
    for (int r = 0; r < 2; ++r) {
        const int row = head + 10 + r * kRowHeight;
        const int off = r == 0 ? 1100 : 1102;
        const int on = r == 0 ? 1104 : 1106;
        b.Label(r == 0 ? "7200" : "7700", x + 7, row, 24);
        b.Edit(off, x + 33, row, 27);
        b.Edit(off + 1, x + 62, row, 27);
        b.Edit(on, x + 91, row, 27);
        b.Edit(on + 1, x + 120, row, 27);
    }
}

void InsideSb(Builder& b) {
    const int x = 370, y = 117;
    b.Group("内蔵ＳＢ調整", x, y, 150, 82);
    b.Label("PRE ADJ", x + 67, y + 10, 36);
    b.Label("HON ADJ", x + 107, y + 10, 36);
    const int rows[3][2] = {{1001, 1002}, {1003, 1005}, {1004, 1036}};
    const char* labels[3] = {"INIT", "TARGET", "STANDARD[EV]"};
    for (int r = 0; r < 3; ++r) {
        const int row = y + 20 + r * kRowHeight;
        b.Label(labels[r], x + 7, row, 58);
        b.Edit(rows[r][0], x + 67, row, 36);
        b.Edit(rows[r][1], x + 107, row, 36);
    }
    b.Field("CAHRGE VOLTS", 1028, x + 7, y + 20 + 3 * kRowHeight, 58, 36);
}

void DefectCorrection(Builder& b) {
    const int x = 370, y = 203;
    b.Group("CCDキズ補正", x, y, 150, 40);
    b.Field("判定レベル", 1037, x + 7, y + 10, 92, 40);
    b.Field("最大書き込み数(1～390)", 1032, x + 7, y + 10 + kRowHeight, 92, 40);
}

ui::DialogTemplate Build() {
    Builder b;
    Sensitivity(b);
    SensitivityRatio(b);
    LineCrawl(b);
    BatteryCheck(b);
    InsideSb(b);
    DefectCorrection(b);
    b.Group("データ設定", 370, 247, 150, 38);
    b.controls.push_back({ui::IDOK, ControlKind::Button, "OK", {380, 261, 60, 16}, ui::kDefault});
    b.controls.push_back({ui::IDCANCEL, ControlKind::Button, "ｷｬﾝｾﾙ", {450, 261, 60, 16}, ui::kNone});

    ui::DialogTemplate t;
    t.id = 132;
    t.title = "規格設定";
    t.width = 525;
    t.height = 290;
    t.controls = std::move(b.controls);
    return t;
}

}  // namespace

const ui::DialogTemplate& StandardDlgTemplate() {
    static const ui::DialogTemplate t = Build();
    return t;
}

}  // namespace res
