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

    explicit CAboutDlg(ui::Host& host);

    void DoDataExchange(ui::DataExchange& dx) override;

    std::string m_version;  // the text of static 1113
};
