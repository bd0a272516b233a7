#include "adjust/current_input_dlg.h"

#include "platform/format.h"
#include "res/adjust_templates.h"

namespace {

constexpr const char* kOutOfRange = "0 から 2.555 までの数値を入力してください。";

}  // namespace

CCurrentInputDlg::CCurrentInputDlg(ui::Host& host) : ui::Dialog(host, res::CurrentInputTemplate()) {}

bool CCurrentInputDlg::OnInitDialog() {
    ui::Dialog::OnInitDialog();
    SetWindowText(m_title);
    GotoDlgCtrl(IDC_CURRENT);
    return false;
}

void CCurrentInputDlg::DoDataExchange(ui::DataExchange& dx) {
    dx.Text(IDC_PROMPT, m_prompt);
    if (!dx.Saving()) {
        std::string shown = m_current ? platform::Format("%.15g", *m_current) : std::string();
        dx.Text(IDC_CURRENT, shown);
        return;
    }
    // Through a copy: a refused entry never becomes the value, and an empty
    // edit is refused as no number.
    double typed = 0;
    dx.Text(IDC_CURRENT, typed);
    if (dx.Failed()) return;
    if (!(typed >= 0 && typed <= kMaxCurrent)) {
        dx.Fail(IDC_CURRENT, kOutOfRange);
        return;
    }
    m_current = typed;
}
