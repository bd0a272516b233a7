#pragma once
// The consumption current that the operator reads from the ammeter, typed in
// amperes. The window opens empty, and stays open until a value that fits
// the camera's byte of 10 mA steps is typed and confirmed with OK: a value
// nobody typed is never taken for one.

#include <optional>
#include <string>

#include "res/resource.h"
#include "ui/dialog.h"

class CCurrentInputDlg : public ui::Dialog, public res::CurrentInputIds {
public:
    static constexpr double kMaxCurrent = 2.555;  // A: 255 steps of 10 mA, rounded

    explicit CCurrentInputDlg(ui::Host& host);

    std::string m_title;
    std::string m_prompt;  // static IDC_PROMPT
    std::optional<double> m_current;  // edit IDC_CURRENT, A; none until confirmed

    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    // The reading cannot be skipped: Escape and the window's close leave it open.
    void OnCancel() override {}
};
