// The table of the standards' fields, which the file, the windows, the range
// check and the item runners walk: every row is whole and agrees with the
// file's lines, its type and the window that edits it.

#include "standards/std_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "camera/shooting.h"
#include "res/templates.h"
#include "standards/standard_dlg.h"

namespace {

// The conversion of a printf format: its one "%" and the letter ending it.
std::string Conversion(const std::string& format) {
    const std::size_t at = format.find('%');
    if (at == std::string::npos || format.find('%', at + 1) != std::string::npos) return "";
    const std::size_t end = format.find_first_of("dfs", at);
    return end == std::string::npos ? "" : format.substr(end, 1);
}

TEST(StdFields, EveryRowIsWholeAndPrintsAsItsType) {
    const std::map<StdType, std::string> conversions = {
        {StdType::Real, "f"}, {StdType::Unsigned, "d"}, {StdType::Byte, "d"}, {StdType::Text, "s"}};
    StandardData d;
    std::set<const void*> fields;
    for (const StandardField& f : StandardFields()) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(Conversion(f.format), conversions.at(f.type));
        EXPECT_TRUE(f.locate && f.value && f.low && f.high);
        // Each row is a field of its own, of its type.
        const StdFieldRef ref = f.At(d);
        EXPECT_EQ(ref.index(), static_cast<std::size_t>(f.type));
        EXPECT_TRUE(fields.insert(std::visit([](auto* p) { return static_cast<const void*>(p); }, ref)).second);
    }
    // One row for every value of the record: 12 BC, 10 LINE, 5 + 19 SENS_STD,
    // 11 SENS_RATIO_STD, 21 PGAIN, 7 INSIDE_SB and 2 CCD_DEFECT.
    EXPECT_EQ(fields.size(), 87u);
}

TEST(StdFields, LinesInFileOrderEachEndingTheLine) {
    std::vector<std::string> lines;
    const auto& rows = StandardFields();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bool last = i + 1 == rows.size() || std::string(rows[i + 1].line) != rows[i].line;
        if (i == 0 || std::string(rows[i - 1].line) != rows[i].line) lines.push_back(rows[i].line);
        EXPECT_EQ(std::string(rows[i].format).ends_with("\r\n"), last) << rows[i].name;
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"BC", "LINE", "SENS_STD", "SENS_RATIO_STD", "PGAIN", "INSIDE_SB",
                                               "CCD_DEFECT"}));
}

TEST(StdFields, EachWindowEditsItsRowsAndTheStandardsWindowTransfersEachOnce) {
    struct Window {
        StandardWindow window;
        const ui::DialogTemplate& tmpl;
    };
    for (const Window& w : {Window{StandardWindow::Standards, res::StandardDlgTemplate()},
                            Window{StandardWindow::ApertureSpec, res::ApertureSpecDlgTemplate()}}) {
        std::multiset<int> rows, edits;
        for (const StandardField& f : StandardFields())
            if (f.window == w.window) rows.insert(f.controlId);
        for (const ui::ControlTemplate& c : w.tmpl.controls)
            if (c.kind == ui::ControlKind::Edit) edits.insert(c.id);
        EXPECT_EQ(rows, edits) << w.tmpl.title;
        if (w.window == StandardWindow::Standards) {
            const auto& order = CStandardDlg::TransferOrder();
            EXPECT_EQ(std::multiset<int>(order.begin(), order.end()), rows);
        }
    }
}

TEST(StdFields, RowOfAMemberAndTheValueItsItemTakes) {
    StandardData d;
    d.sbPreInitial = 226;  // -30
    d.sbMainInitial = 10;
    d.sensInitial[18] = "0870";
    d.defectLevel = 4000000000u;
    EXPECT_EQ(StandardFieldOf(&StandardData::sbPreInitial).value(d), -30);
    EXPECT_EQ(StandardFieldOf(&StandardData::sbMainInitial).value(d), 10);
    EXPECT_EQ(StandardFieldOf(&StandardData::defectLevel).value(d), 4000000000.0);
    EXPECT_EQ(StandardFieldOf(&StandardData::lineBlueY).name, "lineBlueY");
    EXPECT_EQ(StandardFieldOf(&StandardData::pgainF14Tolerance).controlId, 1094);
    const StandardField* initial = StandardFieldOfControl(StandardWindow::Standards, 1093);
    ASSERT_NE(initial, nullptr);
    EXPECT_EQ(initial->name, "sensInitial[18]");
    EXPECT_EQ(initial->value(d), 870);
    EXPECT_EQ(StandardFieldOfControl(StandardWindow::ApertureSpec, 1093), nullptr);
    // An area reaches to the edge of the sensor that the camera link measures.
    EXPECT_EQ(StandardFieldOf(&StandardData::lineBlueWidth).high(d), kSensorColumns);
    EXPECT_EQ(StandardFieldOf(&StandardData::lineBlueHeight).high(d), kSensorRows);
}

}  // namespace
