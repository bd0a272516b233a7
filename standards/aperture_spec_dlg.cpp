#include "standards/aperture_spec_dlg.h"

#include "res/templates.h"
#include "standards/standard_ranges.h"

CApertureSpecDlg::CApertureSpecDlg(ui::Host& host) : ui::Dialog(host, res::ApertureSpecDlgTemplate()) {}

void CApertureSpecDlg::DoDataExchange(ui::DataExchange& dx) {
    // Through a copy: an entry refused takes nothing in, so that Cancel
    // after it still hands back the values as they came.
    StandardData d;
    d.pgain = m_pgain;
    d.pgainF14Tolerance = m_pgainF14Tolerance;
    for (int a = 0; a < 5; ++a)
        for (int g = 0; g < 4; ++g)
            dx.Text(res::ApertureSpecGainId(a, g), d.pgain[static_cast<std::size_t>(4 * a + g)]);
    dx.Text(1094, d.pgainF14Tolerance);
    if (!dx.Saving() || dx.Failed()) return;
    const auto faults = CheckStandardRanges(d, StandardWindow::ApertureSpec);
    if (!faults.empty()) {
        dx.Fail(faults.front().field->controlId, kStdValueOutOfRange + DescribeRangeFault(faults.front()));
        return;
    }
    m_pgain = d.pgain;
    m_pgainF14Tolerance = d.pgainF14Tolerance;
}
