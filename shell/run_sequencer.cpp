// The run sequencer behind START: the set-up prompts, the connection and the
// camera's pre-check, the selected items in their fixed order, the result
// file, and the report.

#include "adjust/camera_session.h"
#include "adjust/result_file.h"
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
    // A press that reaches START while a run is under way (from one of its
    // prompts' or items' event loops) starts nothing.
    if (m_running) return;
    if (m_itemFlags == 0) {
        MessageBox(kNoItem, kCaptionMessage);
        return;
    }
    // Nothing reaches the camera from standards that cannot be used.
    if (RefuseUnusableStandards(StandardsUse::Run)) return;
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
        BeginRunDocument();
        const auto standards = platform::ReadWholeFile(kStdFileName);
        m_standardsHash = standards ? platform::Sha256Hex(*standards) : std::string();
        int result = RunSelectedItems();
        m_pCamera->DisconnectCamera();
        result = WriteRunDocumentFile(result);
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
            int fileResult = WriteResultFile(result);
            if (fileResult != 1) return fileResult;
        }
    }
    CUsbCamera& camera = *m_pCamera;
    if (station::Step(*this, camera.CloseChecker(), 20)) camera.DcmdCloseSession();
    return result;
}

int CImageAdjustDlg::WriteResultFile(int itemsResult) {
    CUsbCamera& camera = *m_pCamera;
    if (!station::Step(*this, camera.SetCcdPower(0), 500)) return kErrUsbCommunication;
    std::uint8_t identification[kIdentificationLength] = {};
    if (!station::Step(*this,
                       camera.WriteConfigMemoryVerified(ConfigMemory::CcdEeprom, MemoryDirection::Read,
                                                        kIdentificationAddress, kIdentificationLength, identification),
                       20))
        return kErrUsbCommunication;
    const std::string name = ResultFileName(identification, kIdentificationLength);
    if (!name.empty()) m_runRecord.SetIdentification(name.substr(0, name.size() - 4));

    const platform::LocalDate today = GetHost().Clock().Today();
    m_log += platform::Format(kLogDateFormat, today.year, today.month, today.day);
    ShowStrings();

    if (name.empty()) {
        AppMessageBox(std::string(kFileNotOpened) + "\r\n(カメラの識別情報が空です)");
        return kErrFileOpen;
    }
    // In the journal first: a run whose file is written is never missing from the history.
    JournalRun(itemsResult);
    if (platform::WriteFileReplacing(name, platform::ToShiftJis(m_log)) != platform::WriteError::None) {
        AppMessageBox(kFileNotOpened);
        return kErrFileOpen;
    }
    if (!station::Step(*this, camera.SetCcdPower(1), 500)) return kErrUsbCommunication;
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
