// Dialog 153: the aperture dependence standards. The twenty gain standards
// as a table, one row per gain and one column per aperture, and the F1.4
// tolerance in its group; OK and Cancel below.

#include "res/resource.h"
#include "res/templates.h"

namespace res {

namespace {

using ui::ControlKind;
using Ids = ApertureSpecIds;

const char* const kApertures[5] = {"F1.4", "F2", "F2.8", "F4", "F5.6"};
const char* const kGains[4] = {"PGAIN_R", "PGAIN_Gr", "PGAIN_Gb", "PGAIN_B"};

ui::DialogTemplate Build() {
    constexpr int kLeft = 7, kLabelWidth = 44, kColumn = 40, kEditWidth = 36, kRow = 15;
    constexpr int kTop = 8, kGridTop = kTop + 12;
    ui::DialogTemplate t;
    t.id = Ids::IDD;
    t.title = "絞り依存性規格";
    t.width = kLeft + kLabelWidth + 5 * kColumn + kLeft - (kColumn - kEditWidth);
    t.height = 140;

    const int firstColumn = kLeft + kLabelWidth;
    for (int a = 0; a < 5; ++a)
        t.controls.push_back({-1, ControlKind::Static, kApertures[a], {firstColumn + a * kColumn, kTop, kEditWidth, 10},
                              ui::kCentered});
    for (int g = 0; g < 4; ++g) {
        const int y = kGridTop + g * kRow;
        t.controls.push_back({-1, ControlKind::Static, kGains[g], {kLeft, y + 1, kLabelWidth - 4, 10}, ui::kNone});
        for (int a = 0; a < 5; ++a)
            t.controls.push_back({ApertureSpecGainId(a, g), ControlKind::Edit, "",
                                  {firstColumn + a * kColumn, y, kEditWidth, 12}, ui::kBorder});
    }

    const int groupTop = kGridTop + 4 * kRow + 6;
    t.controls.push_back({-1, ControlKind::GroupBox, "絞り依存性調整規格", {kLeft, groupTop, 120, 40}, ui::kNone});
    t.controls.push_back({-1, ControlKind::Static, "F1.4(%)", {kLeft + 10, groupTop + 19, 40, 10}, ui::kNone});
    t.controls.push_back(
        {Ids::IDC_F14_TOLERANCE, ControlKind::Edit, "", {kLeft + 54, groupTop + 18, 50, 12}, ui::kBorder});

    const int buttonsX = t.width - kLeft - 2 * 50 - 6;
    t.controls.push_back({ui::IDOK, ControlKind::Button, "OK", {buttonsX, groupTop + 17, 50, 16}, ui::kDefault});
    t.controls.push_back({ui::IDCANCEL, ControlKind::Button, "ｷｬﾝｾﾙ", {buttonsX + 56, groupTop + 17, 50, 16},
                          ui::kNone});
    return t;
}

}  // namespace

int ApertureSpecGainId(int aperture, int gain) { return Ids::IDC_GAIN[aperture][gain]; }

const ui::DialogTemplate& ApertureSpecDlgTemplate() {
    static const ui::DialogTemplate t = Build();
    return t;
}

}  // namespace res
