#pragma once
// The consumption current that the operator reads from the ammeter, typed in
// amperes. The value must fit the camera's byte of 10 mA steps; the window
// stays open until such a value is confirmed with OK.

#include <string>

#include "ui/dialog.h"

class CCurrentInputDlg : public ui::Dialog {
public:
    static constexpr int IDD = 154;
    static constexpr double kMaxCurrent = 2.555;  // A: 255 steps of 10 mA, rounded

    explicit CCurrentInputDlg(ui::Host& host);

    std::string m_title;
    std::string m_prompt;  // static 1135
    double m_current = 0;  // edit 1028, A

    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    // The reading cannot be skipped: Escape and the window's close leave it open.
    void OnCancel() override {}
};
