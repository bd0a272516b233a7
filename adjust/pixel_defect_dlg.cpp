#include "adjust/pixel_defect_dlg.h"

#include "adjust/camera_session.h"
#include "adjust/result_file.h"
#include "camera/usb_camera.h"
#include "platform/clock.h"
#include "platform/format.h"
#include "res/adjust_templates.h"
#include "res/prompts.h"

namespace {

constexpr const char* kSwitchOn = "カメラの電源スイッチをＯＮにしてください";
constexpr const char* kCommunicationFailed = "カメラとの通信でエラーが発生しました";
constexpr const char* kEntryZero = "調整値異常です（データ０)";
constexpr const char* kEntryAllOnes = "調整値異常です（データ0xFF）";
constexpr const char* kTooManyInList = "画素欠陥数が異常です（R数=%d  B数=%d）\r\n512を超える数は読み込めません";
constexpr const char* kTableFull =
    "画素欠陥数が書き込み可能数を超えます（R数+B数=%d）\r\n書き込める画素欠陥は390までです";
constexpr const char* kThreeInARow = "同色３連結以上の欠陥があります";
constexpr const char* kFourAcross = "横４連画素欠陥があります";
constexpr const char* kFourDown = "縦４連画素欠陥があります";
constexpr const char* kNotFound = "該当アドレスが見つかりませんでした";
constexpr const char* kFileNotOpened = "指定のファイルを開けませんでした";

}  // namespace

CPixelDefectDlg::CPixelDefectDlg(ui::Host& host) : ui::Dialog(host, res::PixelDefectTemplate()) {
    OnCommand(IDC_ADD, [this] { OnMode(kModeAdd); });
    OnCommand(IDC_DELETE, [this] { OnMode(kModeDelete); });
    OnCommand(IDC_SAVE, [this] { OnSaveBox(); });
    OnCommand(IDC_READ, [this] { ReadDefectTable(); });
    OnCommand(ui::IDOK, [this] { EditDefectTable(); });
}

bool CPixelDefectDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    CheckDlgButton(IDC_ADD, true);
    CheckDlgButton(IDC_DELETE, false);
    m_mode = kModeAdd;
    m_saveFlag = 0;
    CheckDlgButton(IDC_SAVE, false);
    return true;
}

void CPixelDefectDlg::DoDataExchange(ui::DataExchange& dx) {
    // The log is the editor's own text: it only goes to the control.
    if (!dx.Saving()) dx.Text(IDC_LOG, m_log);
    dx.Text(IDC_RAW_X, m_rawX);
    dx.MinMax(IDC_RAW_X, m_rawX, 0, 3500);
    dx.Text(IDC_RAW_Y, m_rawY);
    dx.MinMax(IDC_RAW_Y, m_rawY, 0, 2600);
}

void CPixelDefectDlg::OnMode(std::uint8_t mode) {
    UpdateData(true);
    CheckDlgButton(IDC_ADD, mode == kModeAdd);
    CheckDlgButton(IDC_DELETE, mode == kModeDelete);
    UpdateData(false);
    m_mode = mode;
}

void CPixelDefectDlg::OnSaveBox() {
    UpdateData(true);
    m_saveFlag = IsDlgButtonChecked(IDC_SAVE) ? 1 : 0;
}

void CPixelDefectDlg::ShowCommunicationError() { MessageBox(kCommunicationFailed, kCaptionError); }

bool CPixelDefectDlg::ConnectChecked() {
    CUsbCamera& camera = *m_pCamera;
    if (station::PreCheckCamera(*this, camera) == 1) return true;
    if (station::Step(*this, camera.CloseChecker(), 20)) camera.DcmdCloseSession();
    station::ReleaseCamera(*this, camera);
    MessageBox(kFirstContactFailed, kCaptionError);
    return false;
}

void CPixelDefectDlg::ReadDefectTable() {
    MessageBox(kConnectAdapterAndUsbPrompt, kCaptionMessage);
    Sleep(100);
    ui::WaitCursor wait(GetHost());
    if (!ConnectChecked()) return;

    m_log = "書き込み済み画素欠陥情報\r\n";
    ShowStrings();
    m_pCamera->SetCcdPower(0);  // a camera without it fails the read that follows
    Sleep(500);
    if (!LoadDefectTable()) return;
    ShowStrings();
    if (m_saveFlag == 1 && !SaveEditorLog()) return;
    if (!EndAction()) return;
    wait.Restore();
    AppMessageBox("カメラからケーブルを取り外してください");
    Sleep(100);
}

void CPixelDefectDlg::EditDefectTable() {
    MessageBox(kConnectAdapterAndUsbPrompt, kCaptionMessage);
    Sleep(100);
    MessageBox(kSwitchOn, kCaptionMessage);
    Sleep(100);
    ui::WaitCursor wait(GetHost());
    // A pixel outside the sensor's range has shown its message: nothing to ask.
    if (!UpdateData(true)) return;
    if (AppMessageBox(platform::Format("RAW座標( %d , %d )でよろしいですか?", m_rawX, m_rawY), ui::MbButtons::OkCancel) !=
        ui::IDOK)
        return;
    if (!ConnectChecked()) return;

    m_log = "書き込み済み調整値\r\n";
    ShowStrings();
    m_pCamera->SetCcdPower(0);
    Sleep(500);
    if (!LoadDefectTable()) return;
    ShowStrings();
    if ((m_mode == kModeAdd ? AddDefect() : DeleteDefect()) != 1) return;
    if (StoreDefectTable() != 1) return;
    if (m_saveFlag == 1 && !SaveEditorLog()) return;
    if (!EndAction()) return;
    wait.Restore();
    MessageBox("カメラからケーブル類を外してください", kCaptionMessage);
}

bool CPixelDefectDlg::EndAction() {
    CUsbCamera& camera = *m_pCamera;
    if (!station::Step(*this, camera.SetCcdPower(1), 500) || !station::Step(*this, camera.CloseChecker(), 10)) {
        ShowCommunicationError();
        return false;
    }
    station::ReleaseCamera(*this, camera);
    return true;
}

bool CPixelDefectDlg::LoadDefectTable() {
    CUsbCamera& camera = *m_pCamera;
    std::uint16_t rCount = 0, bCount = 0;
    if (defect::ReadDefectCounts(camera, *this, rCount, bCount) != 1) {
        ShowCommunicationError();
        return false;
    }
    m_log += platform::Format("R数=%5d  B数=%5d TOTAL=%d\r\n", rCount, bCount, rCount + bCount);
    if (rCount > defect::kMaxListEntries || bCount > defect::kMaxListEntries) {
        ShowStrings();
        MessageBox(platform::Format(kTooManyInList, rCount, bCount), kCaptionError);
        return false;
    }

    m_lists = {};
    auto reader = [this](defect::Colour c) {
        return [this, c](int i, const DefectEntry& e) {
            switch (defect::CheckEntryWords(e)) {
                // An entry that is no defect: the operator has been told.
                case defect::EntryFault::Zero: MessageBox(kEntryZero, kCaptionError); return kErrDefectWriteValue;
                case defect::EntryFault::AllOnes: MessageBox(kEntryAllOnes, kCaptionError); return kErrDefectWriteValue;
                case defect::EntryFault::None: break;
            }
            m_log += platform::Format(c == defect::Colour::R ? "R[%d]  H=%5d  V=%5d RAW( X: %d, Y: %d )\r\n"
                                                             : "B[%d]  H=%5d  V=%5d RAW( X: %d, Y: %d )\r\n",
                                      i + 1, e.h, e.v & defect::kAddressMask, defect::RawColumn(e),
                                      defect::RawRow(e, c));
            ShowStrings();
            return 1;
        };
    };
    int r = defect::ReadDefectList(camera, *this, defect::kEntriesAddress, rCount, m_lists.r, reader(defect::Colour::R));
    if (r == 1) {
        m_log += "\r\n";
        r = defect::ReadDefectList(camera, *this, defect::kEntriesAddress + defect::kEntryBytes * rCount, bCount,
                                   m_lists.b, reader(defect::Colour::B));
    }
    if (r == kErrUsbCommunication) ShowCommunicationError();
    return r == 1;
}

int CPixelDefectDlg::AddDefect() {
    const DefectEntry added = defect::Encode(m_rawX, m_rawY);
    m_lists.List(defect::ColourOfRow(m_rawY)).push_back(added);
    defect::NormaliseList(m_lists.r);
    defect::NormaliseList(m_lists.b);

    for (defect::Colour c : {defect::Colour::R, defect::Colour::B}) {
        m_log += c == defect::Colour::R ? "R画素\r\n" : "B画素\r\n";
        const auto& list = m_lists.List(c);
        for (std::size_t i = 0; i < list.size(); ++i)
            m_log += platform::Format(c == defect::Colour::R ? "[%d] H= %d, V= %d  RAW(X: %d, Y: %d )\r\n"
                                                             : "[%d] H= %d, V= %d  RAW(X: %d, Y:%d )\r\n",
                                      static_cast<int>(i + 1), list[i].h, list[i].v & defect::kAddressMask,
                                      defect::RawColumn(list[i]), defect::RawRow(list[i], c));
    }
    ShowStrings();

    for (auto* list : {&m_lists.r, &m_lists.b}) {
        if (defect::MarkPairs(*list) != 1) {
            AppMessageBox(kThreeInARow);
            return kErrDefectCoordinate;
        }
    }
    if (const int r = defect::CheckDefectRuns(m_lists); r != 1) {
        AppMessageBox(r == kErrDefectRunAcross ? kFourAcross : kFourDown);
        return r;
    }

    m_log += "書き込みデータ\r\n";
    for (defect::Colour c : {defect::Colour::R, defect::Colour::B}) {
        m_log += c == defect::Colour::R ? "R\r\n" : "B\r\n";
        const auto& list = m_lists.List(c);
        for (std::size_t i = 0; i < list.size(); ++i)
            m_log += platform::Format("[%d] H= %04X[h]   V= %04X[h]\r\n", static_cast<int>(i + 1), list[i].h, list[i].v);
    }
    ShowStrings();
    return 1;
}

int CPixelDefectDlg::DeleteDefect() {
    const DefectEntry target = defect::Encode(m_rawX, m_rawY);
    std::vector<DefectEntry>& list = m_lists.List(defect::ColourOfRow(m_rawY));
    const std::vector<DefectEntry> before = list;
    std::vector<bool> dropped(before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
        dropped[i] = before[i].h == target.h && (before[i].v & defect::kAddressMask) == target.v;
    // A dropped member of a pair leaves its partner unpaired.
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (!dropped[i]) continue;
        if ((before[i].v & defect::kPairLeft) && i + 1 < before.size()) list[i + 1].v &= defect::kAddressMask;
        if ((before[i].v & defect::kPairRight) && i > 0) list[i - 1].v &= defect::kAddressMask;
    }
    std::vector<DefectEntry> kept;
    for (std::size_t i = 0; i < before.size(); ++i)
        if (!dropped[i]) kept.push_back(list[i]);
    if (kept.size() == before.size()) {
        AppMessageBox(kNotFound);
        return 0;
    }
    list = std::move(kept);
    return 1;
}

int CPixelDefectDlg::StoreDefectTable() {
    // The table space ends where the stored aperture gain table begins.
    if (m_lists.Total() > static_cast<std::size_t>(defect::kMaxTableEntries)) {
        AppMessageBox(platform::Format(kTableFull, static_cast<int>(m_lists.Total())));
        return 0;
    }
    CUsbCamera& camera = *m_pCamera;
    std::vector<std::uint8_t> image = defect::TableImage(m_lists);
    auto fail = [this] {
        ShowCommunicationError();
        return 0;
    };
    const auto size = static_cast<std::uint32_t>(image.size());
    if (!station::Step(*this,
                       camera.WriteConfigMemoryVerified(ConfigMemory::CcdEeprom, MemoryDirection::Write,
                                                        defect::kTableAddress, size, image.data()),
                       50))
        return fail();
    if (!station::Step(*this, camera.SendUpdateCommand(1), 1000)) return fail();
    if (!station::Step(*this, camera.SendUpdateCommand(2), 1000)) return fail();
    // Committed to flash and unpacked again: still the table written.
    if (camera.ConfigMemoryHolds(ConfigMemory::CcdEeprom, defect::kTableAddress, size, image.data()) != 1)
        return fail();
    return 1;
}

bool CPixelDefectDlg::SaveEditorLog() {
    std::uint8_t identification[kIdentificationLength] = {};
    if (!station::Step(*this,
                       m_pCamera->WriteConfigMemoryVerified(ConfigMemory::CcdEeprom, MemoryDirection::Read,
                                                            kIdentificationAddress, kIdentificationLength,
                                                            identification),
                       20)) {
        ShowCommunicationError();
        return false;
    }
    const std::string name = ResultFileName(identification, kIdentificationLength);
    const platform::LocalDate today = GetHost().Clock().Today();
    m_log += platform::Format(kLogDateFormat, today.year, today.month, today.day);
    ShowStrings();
    if (name.empty()) {
        AppMessageBox(kFileNotOpened);
        return false;
    }
    if (m_journal) m_journal->ResultFileComing(name.substr(0, name.size() - 4));
    bool written = WriteResultFile(name, m_log);
    if (m_journal) written = m_journal->ResultFileDone(written ? 1 : kErrFileOpen) && written;
    if (!written) {
        AppMessageBox(kFileNotOpened);
        return false;
    }
    return true;
}
