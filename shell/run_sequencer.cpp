// The run sequencer behind START: the set-up prompts, the connection and the
// camera's pre-check, the selected items in their fixed order, the result
// file, and the report.

#include "adjust/aperture_dlg.h"
#include "adjust/camera_session.h"
#include "adjust/defect_correct_dlg.h"
#include "adjust/flash_up_dlg.h"
#include "adjust/line_crawl_dlg.h"
#include "adjust/result_file.h"
#include "adjust/sens_ratio_dlg.h"
#include "adjust/sensitivity_dlg.h"
#include "adjust/tft_position_dlg.h"
#include "platform/clock.h"
#include "platform/file_write.h"
#include "platform/format.h"
#include "platform/sha256.h"
#include "platform/sjis.h"
#include "platform/trace.h"
#include "shell/error_messages.h"
#include "shell/image_adjust_dlg.h"
#include "res/prompts.h"
#include "standards/std_file.h"

namespace {

constexpr const char* kPlugUsb = "ＵＳＢケーブルをカメラに差し込んでください\r\n";
constexpr const char* kConnectBatteryTool = "電池工具（抵抗無し）をカメラに接続してください";
constexpr const char* kConnectAcAdapter = "ＡＣアダプターをカメラに接続してください";
constexpr const char* kRemoveCables = "カメラから各種ケーブル類を取り外してください";
constexpr const char* kNoItem = "項目が選択されてません";
constexpr const char* kFileNotOpened = "指定のファイルを開けませんでした";

constexpr std::uint16_t kBatteryCheckBit = 0x0010;

}  // namespace

// The item table: the bits tested, in this order, and whether the item's log
// joins the run log.
const std::array<CImageAdjustDlg::ItemRow, 10>& CImageAdjustDlg::ItemTable() {
    static const std::array<ItemRow, 10> rows = {{
        {Item::Sensitivity, 0x0080, true},
        {Item::LineCrawl, 0x0200, true},
        {Item::SensRatio, 0x0100, true},
        {Item::BatteryCheck, 0x0010, true},
        {Item::InsideSb, 0x2000, true},
        {Item::Aperture, 0x1000, true},
        {Item::DefectCorrect, 0x0800, true},
        {Item::CcdFlashUp, 0x1b84, true},
        {Item::TftPosition, 0x4000, false},
        {Item::TftFlashUp, 0x8000, false},
    }};
    return rows;
}

const char* CImageAdjustDlg::ItemKey(Item item) {
    switch (item) {
        case Item::Sensitivity: return "sensitivity";
        case Item::LineCrawl: return "line-crawl";
        case Item::SensRatio: return "ratio";
        case Item::BatteryCheck: return "battery";
        case Item::InsideSb: return "flash";
        case Item::Aperture: return "aperture";
        case Item::DefectCorrect: return "defect";
        case Item::CcdFlashUp: return "ccd-flashup";
        case Item::TftPosition: return "tft-position";
        case Item::TftFlashUp: return "tft-flashup";
    }
    return "";
}

void CImageAdjustDlg::OnStart() {
    if (m_itemFlags == 0) {
        MessageBox(kNoItem, kCaptionMessage);
        return;
    }
    // From the first prompt to the last, a run is under way.
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running{m_running};
    if (MessageBox(kSetUpCameraPrompt, kCaptionMessage, ui::MbButtons::OkCancel) != ui::IDOK) return;
    Sleep(500);
    MessageBox(kPlugUsb, kCaptionMessage);
    Sleep(100);
    MessageBox((m_itemFlags & kBatteryCheckBit) ? kConnectBatteryTool : kConnectAcAdapter, kCaptionMessage);

    m_displayState = kDisplayWorking;
    m_comment = kStatusRunning;
    ShowStrings();

    {
        ui::WaitCursor wait(GetHost());
        m_runStartUnixMs = GetHost().Clock().UnixMs();
        const auto standards = platform::ReadWholeFile(kStdFileName);
        m_standardsHash = standards ? platform::Sha256Hex(*standards) : std::string();
        int result = RunSelectedItems();
        m_pCamera->DisconnectCamera();
        ReportResult(result);
        RecordRunInHistory();
    }
    ShowStrings();

    MessageBox(kRemoveCables, kCaptionMessage);
    Sleep(100);
}

int CImageAdjustDlg::RunSelectedItems() {
    m_log.clear();
    ShowStrings();
    platform::Clock& clock = GetHost().Clock();
    m_runRecord.Begin(m_itemFlags, clock.NowMs());
    const int result = RunRecordedItems();
    m_runRecord.End(result, clock.NowMs());
    return result;
}

int CImageAdjustDlg::RunRecordedItems() {
    int result = PreCheckCamera();
    if (result == 1) {
        result = DispatchItems();
        // The result file records the run whatever the items did; a camera
        // or file failure here replaces their result.
        if (m_saveResult == 1) {
            int fileResult = WriteResultFile();
            if (fileResult != 1) return fileResult;
        }
    }
    CUsbCamera& camera = *m_pCamera;
    if (camera.CloseChecker() == 1) {
        Sleep(20);
        camera.DcmdCloseSession();
    }
    return result;
}

int CImageAdjustDlg::WriteResultFile() {
    CUsbCamera& camera = *m_pCamera;
    if (camera.SetCcdPower(0) != 1) return 3;
    Sleep(500);
    std::uint8_t identification[kIdentificationLength] = {};
    if (camera.WriteConfigMemoryVerified(0, 1, kIdentificationAddress, kIdentificationLength, identification) != 1)
        return 3;
    Sleep(20);
    const std::string name = ResultFileName(identification, kIdentificationLength);
    if (!name.empty()) m_runRecord.SetIdentification(name.substr(0, name.size() - 4));

    const platform::LocalDate today = GetHost().Clock().Today();
    m_log += platform::Format(kLogDateFormat, today.year, today.month, today.day);
    ShowStrings();

    if (name.empty()) {
        AppMessageBox(std::string(kFileNotOpened) + "\r\n(カメラの識別情報が空です)");
        return 74;
    }
    if (platform::WriteFileReplacing(name, platform::ToShiftJis(m_log)) != platform::WriteError::None) {
        AppMessageBox(kFileNotOpened);
        return 74;
    }
    if (camera.SetCcdPower(1) != 1) return 3;
    Sleep(500);
    return 1;
}

int CImageAdjustDlg::PreCheckCamera() { return station::PreCheckCamera(*this, *m_pCamera); }

int CImageAdjustDlg::DispatchItems() {
    for (const ItemRow& row : ItemTable()) {
        if ((m_itemFlags & row.bits) == 0) continue;
        m_runRecord.BeginItem(ItemKey(row.item), GetHost().Clock().NowMs());
        const int result = RunItem(row.item);
        m_runRecord.EndItem(result, GetHost().Clock().NowMs());
        if (result != 1) return result;
    }
    return 1;
}

int CImageAdjustDlg::ReleaseCamera() { return station::ReleaseCamera(*this, *m_pCamera); }

void CImageAdjustDlg::AppendItemLog(const std::string& log) {
    m_log += log;
    ShowStrings();
}

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
    return 0;  // not an item of the table
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
