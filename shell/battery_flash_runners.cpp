// The runners of the battery check and the built-in flash adjustment: each
// window with its standards from the station's copy.

#include "adjust/bc_adjust_dlg.h"
#include "adjust/inside_sb_dlg.h"
#include "shell/image_adjust_dlg.h"

int CImageAdjustDlg::RunBcAdjust() {
    const StandardData& s = m_standards.values;
    CBcAdjustDlg dlg(GetHost());
    dlg.m_adMin = s.bcAdMin;
    dlg.m_adMax = s.bcAdMax;
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunInsideSb() {
    const StandardData& s = m_standards.values;
    CInsideSbDlg dlg(GetHost());
    // The initial values are signed bytes; the record holds their low 8 bits.
    dlg.m_preInitial = static_cast<std::int8_t>(s.sbPreInitial);
    dlg.m_mainInitial = static_cast<std::int8_t>(s.sbMainInitial);
    dlg.m_preTarget = static_cast<int>(s.sbPreTarget);
    dlg.m_mainTarget = static_cast<int>(s.sbMainTarget);
    dlg.m_preTolerance = s.sbPreTolerance;
    dlg.m_mainTolerance = s.sbMainTolerance;
    dlg.m_chargeVolts = s.sbChargeVoltage;
    return RunAdjustDialog(dlg, true);
}
