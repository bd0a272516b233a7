// The run sequencer behind START: the set-up prompts, the connection and the
// camera's pre-check, the selected items in their fixed order, the result
// file, and the report.

#include "adjust/aperture_dlg.h"
#include "adjust/flash_up_dlg.h"
#include "adjust/tft_position_dlg.h"
#include "platform/clock.h"
#include "platform/file_write.h"
#include "platform/format.h"
#include "platform/sjis.h"
#include "platform/trace.h"
#include "shell/error_messages.h"
#include "shell/image_adjust_dlg.h"
#include "res/prompts.h"

namespace {

constexpr const char* kPlugUsb = "ＵＳＢケーブルをカメラに差し込んでください\r\n";
constexpr const char* kConnectBatteryTool = "電池工具（抵抗無し）をカメラに接続してください";
constexpr const char* kConnectAcAdapter = "ＡＣアダプターをカメラに接続してください";
constexpr const char* kRemoveCables = "カメラから各種ケーブル類を取り外してください";
constexpr const char* kNoItem = "項目が選択されてません";
constexpr const char* kBatteryUnusable = "バッテリーが動作不可状態だよ";
constexpr const char* kFileNotOpened = "指定のファイルを開けませんでした";

// The camera's identification: 14 bytes of CCD EEPROM at 16, of which
// bytes 1 to 13 name the result file.
constexpr std::uint32_t kIdentificationAddress = 16;
constexpr std::uint32_t kIdentificationLength = 14;

constexpr std::uint16_t kBatteryCheckBit = 0x0010;

std::string ResultFileName(const std::uint8_t* identification, std::size_t length) {
    // The name comes from bytes the camera sends: keep it inside the working
    // directory and the file system's rules. Printable ASCII stays as it is.
    std::string name;
    for (std::size_t i = 1; i < length && i <= 13; ++i) {
        std::uint8_t c = identification[i];
        if (c == 0) break;
        bool safe = c >= 0x20 && c < 0x7F && c != '/' && c != '\\';
        name += safe ? static_cast<char>(c) : '_';
    }
    if (name.empty()) return {};
    return name + ".dat";
}

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
        int result = RunSelectedItems();
        m_pCamera->DisconnectCamera();
        ReportResult(result);
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

int CImageAdjustDlg::PreCheckCamera() {
    CUsbCamera& camera = *m_pCamera;
    if (camera.ConnectCamera() != 1) return 4;
    Sleep(20);
    if (camera.ResumeSession() != 1) return 5;
    Sleep(20);

    std::uint8_t value = 0;
    if (camera.DcmdGetProperty(64, &value) != 1) return 3;  // AF mode
    if (value != 0) return 13;
    Sleep(50);
    if (camera.DcmdGetProperty(10, &value) != 1) return 3;  // exposure mode
    if (value != 3) return 14;
    Sleep(50);
    if (camera.DcmdGetProperty(71, &value) != 1) return 3;  // battery state
    if (value == 3) MessageBox(kBatteryUnusable, kCaptionMessage);
    Sleep(50);

    if (camera.OpenChecker() != 1) return 3;
    Sleep(100);
    return 1;
}

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

int CImageAdjustDlg::ReleaseCamera() {
    m_pCamera->DisconnectCamera();
    Sleep(500);
    return 1;
}

void CImageAdjustDlg::AppendItemLog(const std::string& log) {
    m_log += log;
    ShowStrings();
}

int CImageAdjustDlg::RunItem(Item item) {
    switch (item) {
        case Item::CcdFlashUp: return RunFlashUp(CFlashUpDlg::kCcdEeprom, true);
        case Item::TftFlashUp: return RunFlashUp(CFlashUpDlg::kTftEeprom, false);
        case Item::TftPosition: return RunTftPosition();
        case Item::Aperture: return RunAperture();
        default:
            // An item whose window this station does not have yet: it must
            // not count as passed.
            platform::Trace("ITEM %d NOT AVAILABLE\r\n", static_cast<int>(item));
            return kItemNotAvailable;
    }
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

int CImageAdjustDlg::RunAperture() {
    CApertureDlg dlg(GetHost());
    dlg.m_tolerance = m_standards.values.pgainF14Tolerance;
    return RunAdjustDialog(dlg, true);
}

int CImageAdjustDlg::RunTftPosition() {
    CTftPositionDlg dlg(GetHost());
    dlg.m_pCamera = m_pCamera.get();
    dlg.DoModal();
    return dlg.m_result;
}
