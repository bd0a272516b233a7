#include "standards/aperture_spec_dlg.h"

#include "res/templates.h"

CApertureSpecDlg::CApertureSpecDlg(ui::Host& host) : ui::Dialog(host, res::ApertureSpecDlgTemplate()) {}

void CApertureSpecDlg::DoDataExchange(ui::DataExchange& dx) {
    for (int a = 0; a < 5; ++a)
        for (int g = 0; g < 4; ++g) dx.Text(res::ApertureSpecGainId(a, g), m_pgain[static_cast<std::size_t>(4 * a + g)]);
    dx.Text(1094, m_pgainF14Tolerance);
}
