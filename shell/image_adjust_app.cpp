#include "shell/image_adjust_app.h"

int CImageAdjustApp::Run(ui::Host& host, CImageAdjustDlg::DriverLibraryObserver* observer) {
    CImageAdjustDlg dlg(host);
    dlg.SetDriverLibraryObserver(observer);
    dlg.DoModal();
    return 0;
}
