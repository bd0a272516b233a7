#pragma once
// Our dialog framework: a Dialog has a template, exchanges data between its
// members and its controls, dispatches commands to handlers keyed by control
// id, has timers, runs modally or modelessly and asks through message boxes.
// Everything a window shows goes through the Host, so the same dialog code
// runs with real windows and in the scripted host.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "ui/dialog_template.h"
#include "ui/host.h"

namespace ui {

class Dialog;

// The standard validation messages of the data exchange.
namespace validation {
inline constexpr const char* kReal = "数字を入力してください。";
inline constexpr const char* kUnsigned = "正の整数を入力してください。";
inline constexpr const char* kByte = "0 から 255 までの整数を入力してください。";
inline constexpr const char* kInteger = "整数を入力してください。";
inline constexpr const char* kMaxChars = "%1 文字以内で入力してください。";   // %1: the limit
inline constexpr const char* kIntRange = "%1 から %2 までの整数を入力してください。";  // %1, %2: the bounds
}  // namespace validation

// One data exchange between a dialog's members and its controls. Saving
// (controls to members) validates: the first failure shows its message,
// moves the focus to the control and stops the transfer; the calls after it
// do nothing.
class DataExchange {
public:
    DataExchange(Dialog& dialog, bool saving) : dialog_(dialog), saving_(saving) {}

    bool Saving() const { return saving_; }
    bool Failed() const { return failed_; }

    void Text(int id, std::string& value);
    void Text(int id, double& value);          // shown with up to 15 significant digits
    void Text(int id, std::uint32_t& value);   // unsigned integer
    void Text(int id, std::uint16_t& value);   // unsigned integer, 0 to 65535
    void Text(int id, std::uint8_t& value);    // byte, 0 to 255
    void Text(int id, int& value);             // signed integer
    void Check(int id, int& value);            // 1 ticked, 0 not
    // Validation after a Text exchange of the same control.
    void MaxChars(int id, const std::string& value, int maxChars);
    void MinMax(int id, int value, int low, int high);

    // Reports a failed transfer of control `id`.
    void Fail(int id, const std::string& message);

private:
    Dialog& dialog_;
    bool saving_;
    bool failed_ = false;
};

class Dialog {
public:
    Dialog(Host& host, DialogTemplate tmpl);
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    Host& GetHost() const { return host_; }
    const DialogTemplate& Template() const { return template_; }
    int Id() const { return template_.id; }

    // Runs the dialog modally: creates its window, OnInitDialog, the message
    // loop until EndDialog; destroys the window; returns the EndDialog code.
    int DoModal();
    // Creates the window modelessly (OnInitDialog runs) and shows it.
    bool Create(Dialog* parent = nullptr);
    void DestroyWindow();
    bool IsOpen() const { return window_ != nullptr; }
    // Ends a modal run with `code` (the window closes when the loop returns);
    // for a modeless dialog it hides the window.
    void EndDialog(int code);
    bool Ended() const { return ended_; }
    int EndCode() const { return endCode_; }
    // True while the dialog runs modally (DoModal).
    bool IsModal() const { return modal_; }

    // Data exchange: saveAndValidate true transfers controls to members.
    bool UpdateData(bool saveAndValidate = true);
    // Shows the members: data exchange to the controls and a redraw at once.
    void ShowStrings();

    // What the host delivers.
    virtual bool OnInitDialog();  // default: UpdateData(false); true
    virtual void DoDataExchange(DataExchange&) {}
    virtual void OnOK();      // UpdateData(true); on success EndDialog(IDOK)
    virtual void OnCancel();  // EndDialog(IDCANCEL)
    virtual void OnClose();   // the window's close: OnCancel()
    virtual void OnTimer(int) {}
    virtual void OnPaint() {}
    virtual void OnSysCommand(int) {}
    // A control was clicked (or a command posted): the handler for `id`, else
    // IDOK to OnOK and IDCANCEL to OnCancel.
    void DispatchCommand(int id);
    // The command of the Enter key: the focused push button, else the
    // template's default button, else IDOK; 0 when that button is disabled.
    int EnterCommand() const;

    // Message map: the handler of control `id`.
    void OnCommand(int id, std::function<void()> handler) { handlers_[id] = std::move(handler); }

    void SetTimer(int id, int intervalMs) { host_.SetTimer(*this, id, intervalMs, true); }
    void SetSingleShotTimer(int id, int delayMs) { host_.SetTimer(*this, id, delayMs, false); }
    void KillTimer(int id) { host_.KillTimer(*this, id); }
    void PostCommand(int id) { host_.PostCommand(*this, id); }
    void PostClose() { host_.PostClose(*this); }

    // A message box owned by this window.
    int MessageBox(const std::string& text, const std::string& caption, MbButtons buttons = MbButtons::Ok,
                   MbIcon icon = MbIcon::None);
    // The application-modal box, with the application's name as caption.
    int AppMessageBox(const std::string& text, MbButtons buttons = MbButtons::Ok, MbIcon icon = MbIcon::None);

    void Sleep(int ms);
    void RedrawNow();

    // Controls (no-ops while the window does not exist).
    Window* GetWindow() const { return window_.get(); }
    void SetWindowText(const std::string& title);
    std::string GetWindowText() const;
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;
    void CheckDlgButton(int id, bool checked);
    bool IsDlgButtonChecked(int id) const;
    void EnableDlgItem(int id, bool enabled);
    void GotoDlgCtrl(int id);
    void DrawBitmap(int id, int bitmapId);

private:
    friend class DataExchange;
    bool CreateWindowAndInit(Dialog* parent);

    Host& host_;
    DialogTemplate template_;
    std::unique_ptr<Window> window_;
    std::map<int, std::function<void()>> handlers_;
    bool ended_ = false;
    int endCode_ = 0;
    bool modal_ = false;
};

}  // namespace ui
