#include "adjust/adjust_dlg.h"

#include "res/prompts.h"

CAdjustDlg::CAdjustDlg(ui::Host& host, const ui::DialogTemplate& tmpl, Frame frame)
    : ui::Dialog(host, tmpl), frame_(frame) {}

bool CAdjustDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    SetTimer(frame_.timerId, frame_.intervalMs);
    if (frame_.focusButton) GotoDlgCtrl(ui::IDOK);
    EnableDlgItem(ui::IDOK, false);
    return true;
}

void CAdjustDlg::DoDataExchange(ui::DataExchange& dx) { dx.Text(IDC_LOG, m_log); }

void CAdjustDlg::OnTimer(int id) {
    if (id == frame_.timerId) {
        // The timer is periodic: kill it first, so the routine runs exactly once.
        KillTimer(frame_.timerId);
        m_result = RunAdjustment();
        routineReturned_ = true;
        EnableDlgItem(ui::IDOK, true);
        m_log = (m_result == 1 ? "OK\r\n" : "NG\r\n") + m_log;
        ShowStrings();
        if (frame_.closeBy == CloseBy::Ok)
            PostCommand(ui::IDOK);
        else
            PostClose();
    }
    ui::Dialog::OnTimer(id);
}

void CAdjustDlg::OnOK() {
    if (routineReturned_) ui::Dialog::OnOK();
}

void CAdjustDlg::OnCancel() {
    if (routineReturned_) ui::Dialog::OnCancel();
}

void CAdjustDlg::SetLog(const std::string& text) {
    m_log = text;
    ShowStrings();
}

void CAdjustDlg::AppendLog(const std::string& text) {
    m_log += text;
    ShowStrings();
}

void CAdjustDlg::ShowConditions(const std::string& lines) {
    MessageBox(std::string(kConditionsHeading) + lines, kCaptionMessageM, ui::MbButtons::Ok);
}
