#include "adjust/message_box_dlg.h"

#include "res/templates.h"

CMessageBoxDlg::CMessageBoxDlg(ui::Host& host) : ui::Dialog(host, res::MessageBoxDlgTemplate()) {}

bool CMessageBoxDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    m_result = kUndecided;
    return true;
}

void CMessageBoxDlg::DoDataExchange(ui::DataExchange& dx) {
    // The question only goes to the control: a static text is not the
    // operator's to change, so nothing is read back.
    if (!dx.Saving()) dx.Text(IDC_TEXT, m_text);
}

void CMessageBoxDlg::OnOK() {
    m_result = 1;
    ui::Dialog::OnOK();
}

void CMessageBoxDlg::OnCancel() {
    m_result = 0;
    ui::Dialog::OnCancel();
}

std::uint8_t AskModeless(ui::Dialog& owner, CMessageBoxDlg& prompt, const std::string& text) {
    prompt.m_text = text;
    if (!prompt.Create(&owner)) return 0;
    ui::Host& host = owner.GetHost();
    while (prompt.m_result == CMessageBoxDlg::kUndecided) {
        if (!prompt.IsOpen() || prompt.Ended()) {
            prompt.m_result = 0;
            break;
        }
        host.PumpWaitingMessages();
    }
    prompt.DestroyWindow();
    return prompt.m_result;
}
