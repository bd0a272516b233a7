#include "standards/aperture_spec_dlg.h"

#include "res/templates.h"
#include "standards/standard_dlg.h"
#include "standards/standard_ranges.h"

CApertureSpecDlg::CApertureSpecDlg(ui::Host& host) : ui::Dialog(host, res::ApertureSpecDlgTemplate()) {}

void CApertureSpecDlg::DoDataExchange(ui::DataExchange& dx) {
    // Through a copy: an entry refused takes nothing in, so that Cancel
    // after it still hands back the values as they came.
    StandardData d;
    d.pgain = m_pgain;
    d.pgainF14Tolerance = m_pgainF14Tolerance;
    for (const StandardField& f : StandardFields())
        if (f.window == StandardWindow::ApertureSpec) ExchangeStandard(dx, f, d);
    if (!dx.Saving() || dx.Failed()) return;
    const auto faults = CheckStandardRanges(d, StandardWindow::ApertureSpec);
    if (!faults.empty()) {
        dx.Fail(faults.front().field->controlId, kStdValueOutOfRange + DescribeRangeFault(faults.front()));
        return;
    }
    m_pgain = d.pgain;
    m_pgainF14Tolerance = d.pgainF14Tolerance;
}
