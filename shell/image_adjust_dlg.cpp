#include "shell/image_adjust_dlg.h"

#include <array>
#include <initializer_list>
#include <set>
#include <vector>

#include "adjust/pixel_defect_dlg.h"
#include "platform/clock.h"
#include "platform/library.h"
#include "platform/trace.h"
#include "res/prompts.h"
#include "res/templates.h"
#include "shell/about_dlg.h"
#include "shell/error_messages.h"
#include "standards/standard_dlg.h"
#include "standards/standard_ranges.h"

namespace {

constexpr const char* kDriverLoadFailed = "USBﾄﾞﾗｲﾊﾞｰのロードを失敗しました。ソフトを立ち上げて下さい。";
// START and the baseline buttons refused; the cause follows.
constexpr const char* kStandardsUnusable = "規格(STD.DAT)が使えないため実行できません。\r\n";

// What ticking an item box does. A stand-alone item replaces the whole
// selection and unticks every other box; the combinable items set and clear
// the listed bits and boxes. Unticking any box clears only its own bit.
struct ItemRule {
    int box;
    std::uint16_t bit;
    bool standAlone;
    std::uint16_t set;
    std::uint16_t clear;
    std::vector<int> tick;
    std::vector<int> untick;
};

using D = CImageAdjustDlg;

const std::array<ItemRule, 10> kItemRules = {{
    {D::IDC_CCD_FLASH_UP, 0x0004, true, 0, 0, {}, {}},
    {D::IDC_SENSITIVITY, 0x0080, false, 0x0080, 0x2000 | 0x4000 | 0x8000 | 0x1000 | 0x0800, {},
     {D::IDC_INSIDE_SB, D::IDC_TFT_POSITION, D::IDC_TFT_FLASH_UP, D::IDC_APERTURE, D::IDC_DEFECT_CORRECT}},
    {D::IDC_LINE_CRAWL, 0x0200, false, 0x0200 | 0x0100 | 0x1000, 0x2000 | 0x4000 | 0x8000 | 0x0800,
     {D::IDC_SENS_RATIO, D::IDC_APERTURE},
     {D::IDC_INSIDE_SB, D::IDC_TFT_POSITION, D::IDC_TFT_FLASH_UP, D::IDC_DEFECT_CORRECT}},
    {D::IDC_SENS_RATIO, 0x0100, false, 0x0100 | 0x1000, 0x2000 | 0x4000 | 0x8000 | 0x0800, {D::IDC_APERTURE},
     {D::IDC_INSIDE_SB, D::IDC_TFT_POSITION, D::IDC_TFT_FLASH_UP, D::IDC_DEFECT_CORRECT}},
    {D::IDC_APERTURE, 0x1000, false, 0x1000, 0x2000 | 0x4000 | 0x8000 | 0x0010, {},
     {D::IDC_INSIDE_SB, D::IDC_BATTERY_CHECK, D::IDC_TFT_POSITION, D::IDC_TFT_FLASH_UP, D::IDC_DEFECT_CORRECT}},
    {D::IDC_BATTERY_CHECK, 0x0010, true, 0, 0, {}, {}},
    {D::IDC_INSIDE_SB, 0x2000, true, 0, 0, {}, {}},
    {D::IDC_TFT_POSITION, 0x4000, true, 0, 0, {}, {}},
    {D::IDC_TFT_FLASH_UP, 0x8000, true, 0, 0, {}, {}},
    {D::IDC_DEFECT_CORRECT, 0x0800, true, 0, 0, {}, {}},
}};

}  // namespace

CImageAdjustDlg::CImageAdjustDlg(ui::Host& host) : ui::Dialog(host, res::MainDialogTemplate()) {
    for (const ItemRule& rule : kItemRules) {
        const int box = rule.box;
        OnCommand(box, [this, box] { OnItemBox(box); });
    }
    OnCommand(IDC_SAVE, [this] { OnSave(); });
    OnCommand(IDC_STANDARD, [this] { WatchBaselines(&CImageAdjustDlg::OnStandard); });
    OnCommand(IDC_PIXEL_DEFECT, [this] { OnPixelDefect(); });
    OnCommand(IDC_START, [this] { OnStart(); });
    OnCommand(IDC_SENS_BASELINE, [this] { WatchBaselines(&CImageAdjustDlg::OnSensBaseline); });
    OnCommand(IDC_RATIO_BASELINE, [this] { WatchBaselines(&CImageAdjustDlg::OnRatioBaseline); });
}

CImageAdjustDlg::~CImageAdjustDlg() = default;

void CImageAdjustDlg::DoDataExchange(ui::DataExchange& dx) {
    dx.Text(IDC_COMMENT, m_comment);
    dx.Text(IDC_LOG, m_log);
}

bool CImageAdjustDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    // The version menu item comes with the template (the host shows it as the
    // window's context menu); the icon is the host's window icon.
    SetWindowText(ProgramTitle());
    InitCameraLink();
    OpenHistory();
    ShowStrings();
    GotoDlgCtrl(IDC_START);
    return false;  // the focus is set
}

void CImageAdjustDlg::InitCameraLink() {
    LoadStandards();

    m_pCamera = std::make_unique<CUsbCamera>(GetHost().Clock(), [this](const std::string& text) {
        AppMessageBox(text, ui::MbButtons::Ok, ui::MbIcon::Stop);
    });
    CUsbCamera::SetLinkFlags(0);

    if (m_pCamera->LoadDriverLibrary() == 1) {
        CUsbCamera::SetLinkFlags(CUsbCamera::kLibraryLoaded);
        m_displayState = kDisplayReady;
        m_itemFlags = 0;
        for (int id : {IDC_CCD_FLASH_UP, IDC_SENSITIVITY, IDC_LINE_CRAWL, IDC_SENS_RATIO, IDC_INSIDE_SB,
                       IDC_BATTERY_CHECK, IDC_TFT_POSITION, IDC_TFT_FLASH_UP, IDC_SAVE})
            CheckDlgButton(id, false);
        m_saveResult = 0;
        if (platform::SharedLibrary* library = CUsbCamera::DriverLibrary(); library && m_libraryObserver)
            m_libraryObserver->DriverLibraryLoaded(*library);
    } else {
        // The window still opens: the standards and the defect editor work
        // without a camera, and camera work reports its own failure.
        AppMessageBox(kDriverLoadFailed);
    }
}

void CImageAdjustDlg::SetSelection(std::uint16_t flags) {
    m_itemFlags = flags;
    for (const ItemRule& rule : kItemRules) CheckDlgButton(rule.box, (flags & rule.bit) != 0);
}

void CImageAdjustDlg::LoadStandards() {
    CStandardDlg reader(GetHost());
    // A missing file has shown its message; keep what it left, but never
    // run on it.
    if (reader.ReadStandards() != 1) m_standardsReadFault = reader.ReadFault();
    m_standards = StandardsCopy::From(reader.m_data);
    if (m_standardsReadFault.empty()) {
        if (const auto faults = CheckStandardRanges(reader.m_data); !faults.empty())
            MessageBox(DescribeRangeFaults(faults), kCaptionError);
    }
}

std::string CImageAdjustDlg::StandardsFault(StandardsUse use) const {
    if (!m_standardsReadFault.empty()) return m_standardsReadFault;
    // The values the items would be given, initial values as integers.
    StandardData record;
    m_standards.CopyTo(record);
    // The limits each baseline acquisition judges its measurement against.
    static const std::set<std::string> kSensLimits = {"sensLevelMin", "sensLevelMax"};
    static const std::set<std::string> kRatioLimits = {"ratioGrMin", "ratioGrMax", "ratioGbMin", "ratioGbMax"};
    const auto used = [use](const StandardField& f) {
        switch (use) {
            case StandardsUse::Run: return true;
            case StandardsUse::SensBaseline: return kSensLimits.count(f.name) > 0;
            case StandardsUse::RatioBaseline: return kRatioLimits.count(f.name) > 0;
        }
        return true;
    };
    const auto faults = CheckStandardRanges(record, used);
    return faults.empty() ? std::string() : DescribeRangeFaults(faults);
}

bool CImageAdjustDlg::RefuseUnusableStandards(StandardsUse use) {
    const std::string fault = StandardsFault(use);
    if (fault.empty()) return false;
    MessageBox(kStandardsUnusable + fault, kCaptionError);
    return true;
}

void CImageAdjustDlg::OnSysCommand(int command) {
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(GetHost());
        about.DoModal();
    } else if ((command & 0xFFF0) == IDM_HISTORY) {
        OnHistoryMenu();
    } else {
        ui::Dialog::OnSysCommand(command);
    }
}

int CImageAdjustDlg::BitmapForDisplayState(std::uint8_t state) {
    switch (state) {
        case kDisplayOk: return IDB_OK;
        case kDisplayNg: return IDB_NG;
        case kDisplayReady: return IDB_READY;
        default: return IDB_WORKING;
    }
}

void CImageAdjustDlg::OnPaint() {
    DrawBitmap(IDC_PICTURE, BitmapForDisplayState(m_displayState));
}

void CImageAdjustDlg::OnClose() {
    if (!MayCloseWithUnsavedBaseline()) return;
    if (CUsbCamera::LinkFlags() & CUsbCamera::kLibraryLoaded) {
        if (platform::SharedLibrary* library = CUsbCamera::DriverLibrary(); library && m_pCamera && m_libraryObserver)
            m_libraryObserver->DriverLibraryFreeing(*library);
        CUsbCamera::SetLinkFlags(CUsbCamera::LinkFlags() & ~CUsbCamera::kLibraryLoaded);
        if (m_pCamera) m_pCamera->FreeDriverLibrary();
        platform::Trace("FREE LIBRARY\r\n");
    }
    m_pCamera.reset();
    EndDialog(ui::IDCANCEL);
}

// A stray Enter or Escape must not end the station in the middle of a shift:
// the window ends only through OnClose (its close button or window menu).
void CImageAdjustDlg::OnOK() {}
void CImageAdjustDlg::OnCancel() {}

void CImageAdjustDlg::ReportResult(int result) {
    m_lastResult = result;
    m_displayState = result == 1 ? kDisplayOk : kDisplayNg;
    m_comment = StatusLineForResult(result);
    ShowStrings();
    if (result == 1) {
        GetHost().Beep(2000, 300);
    } else {
        GetHost().Beep(500, 300);
        GetHost().Clock().Sleep(200);
        GetHost().Beep(500, 300);
    }
}

void CImageAdjustDlg::OnItemBox(int boxId) {
    const ItemRule* rule = nullptr;
    for (const ItemRule& r : kItemRules)
        if (r.box == boxId) rule = &r;
    if (!rule) return;

    if (!IsDlgButtonChecked(boxId)) {
        m_itemFlags &= static_cast<std::uint16_t>(~rule->bit);
        return;
    }
    if (rule->standAlone) {
        m_itemFlags = rule->bit;
        for (const ItemRule& other : kItemRules)
            if (other.box != boxId) CheckDlgButton(other.box, false);
        return;
    }
    m_itemFlags = static_cast<std::uint16_t>((m_itemFlags | rule->set) & ~rule->clear);
    for (int id : rule->tick) CheckDlgButton(id, true);
    for (int id : rule->untick) CheckDlgButton(id, false);
}

void CImageAdjustDlg::OnSave() {
    UpdateData(true);
    m_saveResult = IsDlgButtonChecked(IDC_SAVE) ? 1 : 0;
}

void CImageAdjustDlg::OnStandard() {
    CStandardDlg dlg(GetHost());
    m_standards.CopyTo(dlg.m_data);
    dlg.DoModal();
    // Whatever the outcome: the window has written STD.DAT itself on OK.
    m_standards = StandardsCopy::From(dlg.m_data);
    if (dlg.Written()) m_standardsReadFault.clear();
}

void CImageAdjustDlg::OnPixelDefect() {
    ui::WaitCursor wait(GetHost());
    CPixelDefectDlg dlg(GetHost());
    dlg.m_pCamera = m_pCamera.get();
    const std::unique_ptr<ResultFileJournal> journal = EditorJournal();
    dlg.m_journal = journal.get();
    dlg.DoModal();
}
