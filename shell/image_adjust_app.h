#pragma once
// CImageAdjustApp: the application object. It shows the main window modally;
// the program ends when that window closes.

namespace ui {
class Host;
}

class CImageAdjustApp {
public:
    // Runs the main window (no parent) in `host` until it closes; returns the
    // program's exit code.
    int Run(ui::Host& host);
};
