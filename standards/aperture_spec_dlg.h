#pragma once
// The aperture dependence standards (resource 153, "絞り依存性規格"): the
// twenty aperture gain standards and the F1.4 tolerance, opened from the
// standards window, which copies the values in and takes them back out.

#include <array>

#include "res/resource.h"
#include "ui/dialog.h"

class CApertureSpecDlg : public ui::Dialog, public res::ApertureSpecIds {
public:
    explicit CApertureSpecDlg(ui::Host& host);

    // F1.4, F2, F2.8, F4, F5.6 in turn, each R, Gr, Gb, B; then the F1.4
    // tolerance in percent. OK takes the controls into them when every one
    // is a number in its range (Cancel never does).
    std::array<double, 20> m_pgain{};
    double m_pgainF14Tolerance = 0;

    void DoDataExchange(ui::DataExchange& dx) override;
};
