#include "adjust/adjust_dlg.h"

#include "res/prompts.h"

CAdjustDlg::CAdjustDlg(ui::Host& host, const ui::DialogTemplate& tmpl, Frame frame)
    : ui::Dialog(host, tmpl), m_frame(frame) {}

bool CAdjustDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    SetTimer(m_frame.timerId, m_frame.intervalMs);
    if (m_frame.focusButton) GotoDlgCtrl(ui::IDOK);
    EnableDlgItem(ui::IDOK, false);
    return true;
}

void CAdjustDlg::DoDataExchange(ui::DataExchange& dx) { dx.Text(IDC_LOG, m_log); }

void CAdjustDlg::OnTimer(int id) {
    if (id == m_frame.timerId) {
        // The timer is periodic: kill it first, so the routine runs exactly once.
        KillTimer(m_frame.timerId);
        m_result = RunAdjustment();
        m_routineReturned = true;
        EnableDlgItem(ui::IDOK, true);
        m_log = (m_result == 1 ? "OK\r\n" : "NG\r\n") + m_log;
        ShowStrings();
        if (m_frame.closeBy == CloseBy::Ok)
            PostCommand(ui::IDOK);
        else
            PostClose();
    }
    ui::Dialog::OnTimer(id);
}

void CAdjustDlg::OnOK() {
    if (m_routineReturned) ui::Dialog::OnOK();
}

void CAdjustDlg::OnCancel() {
    if (m_routineReturned) ui::Dialog::OnCancel();
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
