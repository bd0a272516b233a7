#pragma once
// The version window (dialog 100), opened from the main window's menu.

#include <string>

#include "res/resource.h"
#include "ui/dialog.h"

// The program's version and the title built from it, shown in the main
// window's title bar and in the version window.
constexpr double kProgramVersion = 1.02;
std::string ProgramTitle();

class CAboutDlg : public ui::Dialog, public res::AboutIds {
public:
    explicit CAboutDlg(ui::Host& host);

    void DoDataExchange(ui::DataExchange& dx) override;
    void OnPaint() override { DrawBitmap(IDC_ICON, IDI_ICON); }

    std::string m_version;  // the text of static IDC_VERSION_TEXT
};
