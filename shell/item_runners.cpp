// The item runners: which window each row of the item table runs, with its
// inputs from the station's copy of the standards.

#include <algorithm>
#include <limits>
#include <type_traits>

#include "adjust/aperture_dlg.h"
#include "adjust/bc_adjust_dlg.h"
#include "adjust/defect_correct_dlg.h"
#include "adjust/flash_up_dlg.h"
#include "adjust/inside_sb_dlg.h"
#include "adjust/line_crawl_dlg.h"
#include "adjust/sens_ratio_dlg.h"
#include "adjust/sensitivity_dlg.h"
#include "adjust/tft_position_dlg.h"
#include "shell/image_adjust_dlg.h"
#include "standards/std_fields.h"

namespace {

using S = StandardData;

// Hands an item window one of its standards: the value of the field's row,
// which is the value the range check has judged (a byte that holds a signed
// value as signed), in the type of the window's input. The ranges, which
// START holds before any item runs, fit every input's type; a value beyond
// the type is clamped to it rather than overflow.
template <class T, class M>
void Take(T& input, const StandardData& standards, M S::*member) {
    const double v = StandardFieldOf(member).value(standards);
    if constexpr (std::is_integral_v<T>)
        input = static_cast<T>(std::clamp<double>(v, std::numeric_limits<T>::lowest(), std::numeric_limits<T>::max()));
    else
        input = v;
}

// A measuring area as the standards hold it: x, width, y, height.
MeasureArea AreaOf(const StandardData& standards, std::uint32_t S::*x, std::uint32_t S::*width,
                   std::uint32_t S::*y, std::uint32_t S::*height) {
    MeasureArea area;
    Take(area.x, standards, x);
    Take(area.width, standards, width);
    Take(area.y, standards, y);
    Take(area.height, standards, height);
    return area;
}

}  // namespace

int CImageAdjustDlg::RunItem(Item item) {
    switch (item) {
        case Item::Sensitivity: return RunSensitivity();
        case Item::LineCrawl: return RunLineCrawl();
        case Item::SensRatio: return RunSensRatio();
        case Item::BatteryCheck: return RunBcAdjust();
        case Item::InsideSb: return RunInsideSb();
        case Item::Aperture: return RunAperture();
        case Item::DefectCorrect: return RunDefectCorrect();
        case Item::CcdFlashUp: return RunFlashUp(CFlashUpDlg::kCcdEeprom, true);
        case Item::TftPosition: return RunTftPosition();
        case Item::TftFlashUp: return RunFlashUp(CFlashUpDlg::kTftEeprom, false);
    }
    return CAdjustDlg::kResultNotRun;  // not an item of the table
}

int CImageAdjustDlg::RunAdjustDialog(CAdjustDlg& dlg, bool appendLog) {
    dlg.m_pCamera = m_pCamera.get();
    dlg.m_pRecord = &m_runRecord;
    dlg.DoModal();
    if (appendLog) AppendItemLog(dlg.m_log);
    return dlg.m_result;
}

int CImageAdjustDlg::RunFlashUp(std::uint8_t target, bool appendLog) {
    CFlashUpDlg dlg(GetHost());
    dlg.m_target = target;
    return RunAdjustDialog(dlg, appendLog);
}

int CImageAdjustDlg::RunSensitivity() {
    const StandardData& s = m_standards.values;
    CSensitivityDlg dlg(GetHost());
    Take(dlg.m_sensBaseline, s, &S::sensBaseline);
    Take(dlg.m_adjustTolerance, s, &S::sensAdjustTolerance);
    Take(dlg.m_checkTolerance, s, &S::sensCheckTolerance);
    dlg.m_initial = m_standards.sensInitial;
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunLineCrawl() {
    const StandardData& s = m_standards.values;
    CLineCrawlDlg dlg(GetHost());
    Take(dlg.m_redLimit, s, &S::lineRedLimit);
    Take(dlg.m_blueLimit, s, &S::lineBlueLimit);
    dlg.m_redArea = AreaOf(s, &S::lineRedX, &S::lineRedWidth, &S::lineRedY, &S::lineRedHeight);
    dlg.m_blueArea = AreaOf(s, &S::lineBlueX, &S::lineBlueWidth, &S::lineBlueY, &S::lineBlueHeight);
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunSensRatio() {
    const StandardData& s = m_standards.values;
    CSensRatioDlg dlg(GetHost());
    Take(dlg.m_sampleCount, s, &S::ratioSampleCount);
    Take(dlg.m_grTarget, s, &S::ratioGrBaseline);
    Take(dlg.m_gbTarget, s, &S::ratioGbBaseline);
    Take(dlg.m_grTolerance, s, &S::ratioGrTolerance);
    Take(dlg.m_gbTolerance, s, &S::ratioGbTolerance);
    Take(dlg.m_grInitial, s, &S::ratioGrInitial);
    Take(dlg.m_gbInitial, s, &S::ratioGbInitial);
    dlg.m_pgain = s.pgain;
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunBcAdjust() {
    const StandardData& s = m_standards.values;
    CBcAdjustDlg dlg(GetHost());
    Take(dlg.m_adMin, s, &S::bcAdMin);
    Take(dlg.m_adMax, s, &S::bcAdMax);
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunInsideSb() {
    const StandardData& s = m_standards.values;
    CInsideSbDlg dlg(GetHost());
    Take(dlg.m_preInitial, s, &S::sbPreInitial);
    Take(dlg.m_mainInitial, s, &S::sbMainInitial);
    Take(dlg.m_preTarget, s, &S::sbPreTarget);
    Take(dlg.m_mainTarget, s, &S::sbMainTarget);
    Take(dlg.m_preTolerance, s, &S::sbPreTolerance);
    Take(dlg.m_mainTolerance, s, &S::sbMainTolerance);
    Take(dlg.m_chargeVolts, s, &S::sbChargeVoltage);
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunAperture() {
    CApertureDlg dlg(GetHost());
    Take(dlg.m_tolerance, m_standards.values, &S::pgainF14Tolerance);
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunDefectCorrect() {
    CDefectCorrectDlg dlg(GetHost());
    Take(dlg.m_judgementLevel, m_standards.values, &S::defectLevel);
    Take(dlg.m_maxWrites, m_standards.values, &S::defectMaxWrites);
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunTftPosition() {
    CTftPositionDlg dlg(GetHost());
    dlg.m_pCamera = m_pCamera.get();
    dlg.DoModal();
    return dlg.m_result;
}
