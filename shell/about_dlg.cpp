#include "shell/about_dlg.h"

#include "platform/format.h"
#include "res/templates.h"

std::string ProgramTitle() {
    return platform::Format("W0073 ImageAdjust software Ver%02.3f", kProgramVersion);
}

CAboutDlg::CAboutDlg(ui::Host& host) : ui::Dialog(host, res::AboutDlgTemplate()), m_version(ProgramTitle()) {}

void CAboutDlg::DoDataExchange(ui::DataExchange& dx) {
    dx.Text(IDC_VERSION_TEXT, m_version);
}
