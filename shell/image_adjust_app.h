#pragma once
// CImageAdjustApp: the application object. It shows the main window modally;
// the program ends when that window closes.

#include "shell/image_adjust_dlg.h"

namespace ui {
class Host;
}

class CImageAdjustApp {
public:
    // Runs the main window (no parent) in `host` until it closes; returns the
    // program's exit code. `observer` (optional) hears of the window's driver
    // library; `historyViewer` (optional) shows the line's history.
    int Run(ui::Host& host, CImageAdjustDlg::DriverLibraryObserver* observer = nullptr,
            CImageAdjustDlg::HistoryViewer historyViewer = {});
};
