// The item runners: which window each row of the item table runs, with its
// inputs from the station's copy of the standards.

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
    CSensitivityDlg dlg(GetHost());
    const StandardData& std = m_standards.values;
    dlg.m_sensBaseline = std.sensBaseline;
    dlg.m_adjustTolerance = std.sensAdjustTolerance;
    dlg.m_checkTolerance = std.sensCheckTolerance;
    dlg.m_initial = m_standards.sensInitial;
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunLineCrawl() {
    const StandardData& standards = m_standards.values;
    CLineCrawlDlg dlg(GetHost());
    dlg.m_redLimit = standards.lineRedLimit;
    dlg.m_blueLimit = standards.lineBlueLimit;
    // The standards hold an area as x, width, y, height.
    auto area = [](std::uint32_t x, std::uint32_t width, std::uint32_t y, std::uint32_t height) {
        return MeasureArea{static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y),
                           static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height)};
    };
    dlg.m_redArea = area(standards.lineRedX, standards.lineRedWidth, standards.lineRedY, standards.lineRedHeight);
    dlg.m_blueArea = area(standards.lineBlueX, standards.lineBlueWidth, standards.lineBlueY, standards.lineBlueHeight);
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunSensRatio() {
    const StandardData& standards = m_standards.values;
    CSensRatioDlg dlg(GetHost());
    dlg.m_sampleCount = standards.ratioSampleCount;
    dlg.m_grTarget = standards.ratioGrBaseline;
    dlg.m_gbTarget = standards.ratioGbBaseline;
    dlg.m_grTolerance = standards.ratioGrTolerance;
    dlg.m_gbTolerance = standards.ratioGbTolerance;
    dlg.m_grInitial = standards.ratioGrInitial;
    dlg.m_gbInitial = standards.ratioGbInitial;
    dlg.m_pgain = standards.pgain;
    return RunAdjustDialog(dlg, true);
}

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

int CImageAdjustDlg::RunAperture() {
    CApertureDlg dlg(GetHost());
    dlg.m_tolerance = m_standards.values.pgainF14Tolerance;
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunDefectCorrect() {
    CDefectCorrectDlg dlg(GetHost());
    dlg.m_judgementLevel = static_cast<std::uint16_t>(m_standards.values.defectLevel);
    dlg.m_maxWrites = m_standards.values.defectMaxWrites;
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunTftPosition() {
    CTftPositionDlg dlg(GetHost());
    dlg.m_pCamera = m_pCamera.get();
    dlg.DoModal();
    return dlg.m_result;
}
