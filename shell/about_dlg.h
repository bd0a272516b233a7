#pragma once
// The version window (dialog 100), opened from the main window's menu.

#include <string>

#include "ui/dialog.h"

// The program's version and the title built from it, shown in the main
// window's title bar and in the version window.
constexpr double kProgramVersion = 1.02;
std::string ProgramTitle();

class CAboutDlg : public ui::Dialog {
public:
    static constexpr int IDD = 100;
    static constexpr int IDC_VERSION_TEXT = 1113;
    static constexpr int IDC_ICON = 1012;
    static constexpr int IDI_ICON = 128;  // the program's icon, as a bitmap resource

    explicit CAboutDlg(ui::Host& host);

    void DoDataExchange(ui::DataExchange& dx) override;
    void OnPaint() override { DrawBitmap(IDC_ICON, IDI_ICON); }

    std::string m_version;  // the text of static 1113
};
