#pragma once
// The host: what shows the dialogs. Two implementations: ui/qt (real windows)
// and ui/scripted (headless, virtual time, scripted operator).

#include <functional>
#include <memory>
#include <string>

namespace platform {
class Clock;
}

namespace ui {

class Dialog;

enum class MbButtons { Ok, OkCancel };
enum class MbIcon { None, Information, Exclamation, Stop };

// The host side of one created dialog: its controls as shown.
class Window {
public:
    virtual ~Window() = default;
    virtual void SetTitle(const std::string& title) = 0;
    virtual std::string Title() const = 0;
    virtual void SetText(int id, const std::string& text) = 0;
    virtual std::string Text(int id) const = 0;
    virtual void SetCheck(int id, bool checked) = 0;
    virtual bool Checked(int id) const = 0;
    virtual void Enable(int id, bool enabled) = 0;
    virtual bool Enabled(int id) const = 0;
    virtual void SetFocus(int id) = 0;
    virtual int Focus() const = 0;  // id of the control with the focus, 0 for none
    // Draws the bitmap resource `bitmapId` into the picture control `id`.
    virtual void DrawBitmap(int id, int bitmapId) = 0;
    virtual void SetProgressRange(int id, int low, int high) = 0;
    virtual void SetProgressPos(int id, int pos) = 0;
    virtual int ProgressPos(int id) const = 0;
    virtual void Show(bool visible) = 0;
    // Repaints the whole window at once (the dialog's OnPaint runs inside).
    virtual void Redraw() = 0;
};

class Host {
public:
    virtual ~Host() = default;

    // The clock of every fixed wait of the station.
    virtual platform::Clock& Clock() = 0;

    // The application's name: the caption of the application-modal box.
    virtual std::string AppName() const { return "W73ImageAdjust"; }

    // Someone who reads every message box as it appears, before it is
    // answered (the simulated bench's operator on a demo bench).
    using PromptWatcher = std::function<void(const std::string& caption, const std::string& text)>;
    void SetPromptWatcher(PromptWatcher watcher) { promptWatcher_ = std::move(watcher); }
    void NotifyPrompt(const std::string& caption, const std::string& text) {
        if (promptWatcher_) promptWatcher_(caption, text);
    }

    // Creates the window of `dialog` (its controls as the template says);
    // `parent` is null for a top-level window.
    virtual std::unique_ptr<Window> CreateWindowFor(Dialog& dialog, Dialog* parent) = 0;
    // Called by a dialog whose window is being destroyed: pending timers and
    // posted messages of that dialog are dropped.
    virtual void WindowDestroyed(Dialog& dialog) = 0;

    // Runs the message loop until `dialog` ends (Dialog::EndDialog).
    virtual void RunModalLoop(Dialog& dialog) = 0;
    // Called by Dialog::EndDialog, so that a host can leave the dialog's
    // modal loop at once instead of noticing it on its next pass.
    virtual void DialogEnded(Dialog&) {}
    // One pass of dispatching whatever waits for the windows, then idle work.
    virtual void PumpWaitingMessages() = 0;

    // Queues a command (control id) or a close for `dialog`.
    virtual void PostCommand(Dialog& dialog, int id) = 0;
    virtual void PostClose(Dialog& dialog) = 0;

    virtual void SetTimer(Dialog& dialog, int id, int intervalMs, bool periodic) = 0;
    virtual void KillTimer(Dialog& dialog, int id) = 0;

    // A message box owned by `owner` (null: application-modal). Returns IDOK
    // or IDCANCEL; Escape answers IDCANCEL.
    virtual int MessageBox(Dialog* owner, const std::string& text, const std::string& caption, MbButtons buttons,
                           MbIcon icon) = 0;

    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    // The synchronous tone beep.
    virtual void Beep(int frequencyHz, int durationMs) = 0;

private:
    PromptWatcher promptWatcher_;
};

// Shows the wait cursor for its lifetime.
class WaitCursor {
public:
    explicit WaitCursor(Host& host) : host_(&host) { host_->BeginWaitCursor(); }
    ~WaitCursor() { Restore(); }
    void Restore() {
        if (host_) host_->EndWaitCursor();
        host_ = nullptr;
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    Host* host_;
};

}  // namespace ui
