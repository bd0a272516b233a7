#pragma once
// The station's own yes/no prompt (resource 162): it stays open without
// blocking the window that asks, so a long-running item keeps its own window
// alive while the operator decides.

#include <cstdint>
#include <string>

#include "res/resource.h"
#include "ui/dialog.h"

class CMessageBoxDlg : public ui::Dialog, public res::MessageBoxIds {
public:
    // m_result while the operator has not answered (the letter U).
    static constexpr std::uint8_t kUndecided = 85;

    explicit CMessageBoxDlg(ui::Host& host);

    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnOK() override;
    void OnCancel() override;

    std::string m_text;                   // the question
    std::uint8_t m_result = kUndecided;   // 1 OK, 0 CANCEL
};

// Asks `text` with `prompt` as a modeless child of `owner` and keeps the
// windows responsive until it is answered; the prompt window is destroyed
// again. Returns 1 for OK, 0 for CANCEL. A prompt that goes away without an
// answer (closed, ended or destroyed by other means) counts as CANCEL, so the
// wait always ends.
std::uint8_t AskModeless(ui::Dialog& owner, CMessageBoxDlg& prompt, const std::string& text);
