#include "shell/image_adjust_app.h"

int CImageAdjustApp::Run(ui::Host& host, CImageAdjustDlg::DriverLibraryObserver* observer,
                         CImageAdjustDlg::HistoryViewer historyViewer) {
    CImageAdjustDlg dlg(host);
    dlg.SetDriverLibraryObserver(observer);
    dlg.SetHistoryViewer(std::move(historyViewer));
    dlg.DoModal();
    return 0;
}
