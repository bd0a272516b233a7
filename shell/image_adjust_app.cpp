#include "shell/image_adjust_app.h"

#include "shell/image_adjust_dlg.h"

int CImageAdjustApp::Run(ui::Host& host) {
    CImageAdjustDlg dlg(host);
    dlg.DoModal();
    return 0;
}
