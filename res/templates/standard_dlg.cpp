// Dialog 132: the standards window. One group box per adjustment area, each
// edit with its label beside it; OK and Cancel in the "データ設定" group.
// Inside a group the rows start below its caption and end above its frame.

#include <algorithm>

#include "res/resource.h"
#include "res/templates.h"

namespace res {

namespace {

using ui::ControlKind;
using Ids = StandardIds;

constexpr int kRowHeight = 14;    // a row of edits
constexpr int kHeadingRow = 12;   // a row of labels only (a heading over edits)
constexpr int kEditHeight = 12;
constexpr int kLabelHeight = 10;  // a line of text with its descenders
constexpr int kCaption = 14;      // from a group's top to its first row
constexpr int kBottom = 4;        // from the last row's bottom to the frame

struct Builder {
    std::vector<ui::ControlTemplate> controls;

    void Group(const char* text, int x, int y, int w, int h) {
        controls.push_back({-1, ControlKind::GroupBox, text, {x, y, w, h}, ui::kNone});
    }
    void Label(const char* text, int x, int y, int w) {
        controls.push_back({-1, ControlKind::Static, text, {x, y + 1, w, kLabelHeight}, ui::kNone});
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

// The height of a group whose last row of edits starts at `lastRow` below its top.
constexpr int GroupHeight(int lastRow) { return lastRow + kEditHeight + kBottom; }

const char* const kIsoLabels[19] = {"ISO200", "ISO220", "ISO250",  "ISO280",  "ISO320",  "ISO360", "ISO400",
                                    "ISO440", "ISO500", "ISO560",  "ISO640",  "ISO720",  "ISO800", "ISO880",
                                    "ISO1000", "ISO1100", "ISO1250", "ISO1400", "ISO1600"};

int Sensitivity(Builder& b, int x, int y) {
    int row = y + kCaption;
    b.Field("基準値", Ids::IDC_SENS_BASELINE, x + 7, row, 48, 40);
    b.Field("ＭＩＮ", Ids::IDC_SENS_LEVEL_MIN, x + 7, row += kRowHeight, 48, 40);
    b.Field("ＭＡＸ", Ids::IDC_SENS_LEVEL_MAX, x + 7, row += kRowHeight, 48, 40);
    b.Field("調整規格値(%)", Ids::IDC_SENS_ADJUST_TOLERANCE, x + 7, row += kRowHeight, 60, 40);
    b.Field("点検規格(%)", Ids::IDC_SENS_CHECK_TOLERANCE, x + 7, row += kRowHeight, 60, 40);
    b.Label("初期値", x + 7, row += kRowHeight, 40);
    const int top = row + kHeadingRow;
    for (int i = 0; i < 19; ++i) {
        const int column = i / 10, line = i % 10;
        b.Field(kIsoLabels[i], Ids::IDC_SENS_INITIAL + i, x + 7 + column * 80, top + line * kRowHeight, 36, 34);
    }
    const int height = GroupHeight(top + 9 * kRowHeight - y);
    b.Group("感度調整", x, y, 170, height);
    return y + height;
}

int SensitivityRatio(Builder& b, int x, int y) {
    const int a = x + 7, c = x + 95;  // the two columns of label and edit
    int row = y + kCaption;
    b.Field("基準値ＧＲ", Ids::IDC_RATIO_GR_BASELINE, a, row, 44, 40);
    b.Field("基準値GB", Ids::IDC_RATIO_GB_BASELINE, c, row, 44, 40);
    b.Field("GR MIN", Ids::IDC_RATIO_GR_MIN, a, row += kRowHeight, 44, 40);
    b.Field("GR MAX", Ids::IDC_RATIO_GR_MAX, c, row, 44, 40);
    b.Field("GB MIN", Ids::IDC_RATIO_GB_MIN, a, row += kRowHeight, 44, 40);
    b.Field("GB MAX", Ids::IDC_RATIO_GB_MAX, c, row, 44, 40);
    b.Label("規格（%)", a, row += kRowHeight, 60);
    b.Field("GR", Ids::IDC_RATIO_GR_TOLERANCE, a, row += kHeadingRow, 44, 40);
    b.Field("GB", Ids::IDC_RATIO_GB_TOLERANCE, c, row, 44, 40);
    b.Label("初期値", a, row += kRowHeight, 60);
    b.Field("GR", Ids::IDC_RATIO_GR_INITIAL, a, row += kHeadingRow, 44, 40);
    b.Field("GB", Ids::IDC_RATIO_GB_INITIAL, c, row, 44, 40);
    b.Field("ｻﾝﾌﾟﾘﾝｸﾞ[1-5]", Ids::IDC_RATIO_SAMPLE_COUNT, a, row += kRowHeight, 60, 24);
    b.controls.push_back(
        {Ids::IDC_APERTURE_SPEC, ControlKind::Button, "絞り依存性", {c, row - 1, 84, 14}, ui::kNone});
    const int height = GroupHeight(row + 1 - y);
    b.Group("感度比調整", x, y, 185, height);
    return y + height;
}

int LineCrawl(Builder& b, int x, int y) {
    const int a = x + 7, c = x + 95;
    int row = y + kCaption;
    struct Area {
        const char* label;
        int limit, x, width, y, height;
    };
    const Area areas[2] = {
        {"Red area", Ids::IDC_LINE_RED_LIMIT, Ids::IDC_LINE_RED_X, Ids::IDC_LINE_RED_WIDTH, Ids::IDC_LINE_RED_Y,
         Ids::IDC_LINE_RED_HEIGHT},
        {"Blue area", Ids::IDC_LINE_BLUE_LIMIT, Ids::IDC_LINE_BLUE_X, Ids::IDC_LINE_BLUE_WIDTH, Ids::IDC_LINE_BLUE_Y,
         Ids::IDC_LINE_BLUE_HEIGHT},
    };
    for (const Area& area : areas) {
        if (&area == &areas[1]) row += kRowHeight + 4;
        b.Label(area.label, a, row, 60);
        b.Field("規格Gr-Gb", area.limit, a, row += kHeadingRow, 44, 40);
        b.Field("X 座標", area.x, a, row += kRowHeight, 44, 40);
        b.Field("X 幅", area.width, c, row, 44, 40);
        b.Field("Y 座標", area.y, a, row += kRowHeight, 44, 40);
        b.Field("Y 幅", area.height, c, row, 44, 40);
    }
    const int height = GroupHeight(row - y);
    b.Group("ラインクロール調整", x, y, 185, height);
    return y + height;
}

int BatteryCheck(Builder& b, int x, int y) {
    int row = y + kCaption;
    b.Field("調整電圧[V]", Ids::IDC_BC_ADJUST_VOLTAGE, x + 7, row, 56, 40);
    b.Field("点検規格[V]", Ids::IDC_BC_CHECK_VOLTAGE, x + 7, row += kRowHeight, 56, 40);
    b.Label("調整１規格", x + 7, row += kRowHeight, 50);
    b.Field("ＭＩＮ", Ids::IDC_BC_AD_MIN, x + 7, row += kHeadingRow, 22, 36);
    b.Field("MAX", Ids::IDC_BC_AD_MAX, x + 75, row, 22, 36);
    row += kRowHeight;
    b.Label("規格2", x + 7, row, 24);
    b.Label("CCD-OFF", x + 33, row, 56);
    b.Label("CCD-ON", x + 91, row, 56);
    row += kHeadingRow;
    struct Supply {
        const char* label;
        int offMin, offMax, onMin, onMax;
    };
    const Supply supplies[2] = {
        {"7200", Ids::IDC_CURRENT72_OFF_MIN, Ids::IDC_CURRENT72_OFF_MAX, Ids::IDC_CURRENT72_ON_MIN,
         Ids::IDC_CURRENT72_ON_MAX},
        {"7700", Ids::IDC_CURRENT77_OFF_MIN, Ids::IDC_CURRENT77_OFF_MAX, Ids::IDC_CURRENT77_ON_MIN,
         Ids::IDC_CURRENT77_ON_MAX},
    };
    for (const Supply& s : supplies) {
        b.Label(s.label, x + 7, row, 24);
        b.Edit(s.offMin, x + 33, row, 27);
        b.Edit(s.offMax, x + 62, row, 27);
        b.Edit(s.onMin, x + 91, row, 27);
        b.Edit(s.onMax, x + 120, row, 27);
        row += kRowHeight;
    }
    const int height = GroupHeight(row - kRowHeight - y);
    b.Group("BC調整", x, y, 150, height);
    return y + height;
}

int InsideSb(Builder& b, int x, int y) {
    int row = y + kCaption;
    b.Label("PRE ADJ", x + 67, row, 36);
    b.Label("HON ADJ", x + 107, row, 36);
    row += kHeadingRow;
    const int rows[3][2] = {{Ids::IDC_SB_PRE_INITIAL, Ids::IDC_SB_MAIN_INITIAL},
                            {Ids::IDC_SB_PRE_TARGET, Ids::IDC_SB_MAIN_TARGET},
                            {Ids::IDC_SB_PRE_TOLERANCE, Ids::IDC_SB_MAIN_TOLERANCE}};
    const char* labels[3] = {"INIT", "TARGET", "STANDARD[EV]"};
    for (int r = 0; r < 3; ++r, row += kRowHeight) {
        b.Label(labels[r], x + 7, row, 58);
        b.Edit(rows[r][0], x + 67, row, 36);
        b.Edit(rows[r][1], x + 107, row, 36);
    }
    b.Field("CAHRGE VOLTS", Ids::IDC_SB_CHARGE_VOLTAGE, x + 7, row, 58, 36);
    const int height = GroupHeight(row - y);
    b.Group("内蔵ＳＢ調整", x, y, 150, height);
    return y + height;
}

int DefectCorrection(Builder& b, int x, int y) {
    const int row = y + kCaption;
    b.Field("判定レベル", Ids::IDC_DEFECT_LEVEL, x + 7, row, 92, 40);
    b.Field("最大書き込み数(1～390)", Ids::IDC_DEFECT_MAX_WRITES, x + 7, row + kRowHeight, 92, 40);
    const int height = GroupHeight(kCaption + kRowHeight);
    b.Group("CCDキズ補正", x, y, 150, height);
    return y + height;
}

int DataButtons(Builder& b, int x, int y) {
    constexpr int kButtonHeight = 16;
    b.controls.push_back({ui::IDOK, ControlKind::Button, "OK", {x + 10, y + kCaption, 60, kButtonHeight}, ui::kDefault});
    b.controls.push_back(
        {ui::IDCANCEL, ControlKind::Button, "ｷｬﾝｾﾙ", {x + 80, y + kCaption, 60, kButtonHeight}, ui::kNone});
    const int height = kCaption + kButtonHeight + kBottom;
    b.Group("データ設定", x, y, 150, height);
    return y + height;
}

ui::DialogTemplate Build() {
    constexpr int kMargin = 5, kGap = 4;
    Builder b;
    const int left = Sensitivity(b, kMargin, kMargin);
    const int middle = LineCrawl(b, 180, SensitivityRatio(b, 180, kMargin) + kGap);
    int right = BatteryCheck(b, 370, kMargin);
    right = InsideSb(b, 370, right + kGap);
    right = DefectCorrection(b, 370, right + kGap);
    right = DataButtons(b, 370, right + kGap);

    ui::DialogTemplate t;
    t.id = Ids::IDD;
    t.title = "規格設定";
    t.width = 525;
    t.height = std::max({left, middle, right}) + kMargin;
    t.controls = std::move(b.controls);
    return t;
}

}  // namespace

const ui::DialogTemplate& StandardDlgTemplate() {
    static const ui::DialogTemplate t = Build();
    return t;
}

}  // namespace res
