#pragma once
// The headless host: windows are control states kept by id, time is virtual,
// the operator is a script of actions per dialog showing, message boxes are
// answered at once, and everything visible is recorded for tests to assert on.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "ui/dialog.h"
#include "ui/host.h"

namespace ui::scripted {

class ScriptedHost;

// What the operator does with one showing of a dialog. Actions run one per
// loop pass; the first right after the dialog's initialisation, each later
// one after the one before it, delayed by the Wait()s in between.
class Script {
public:
    using Action = std::function<void(ScriptedHost&, Dialog&)>;

    Script& Click(int id);                           // as ScriptedHost::Click
    Script& Type(int id, const std::string& text);   // replaces the control's text
    Script& SetCheck(int id, bool checked);          // no command
    Script& Escape();                                // IDCANCEL
    Script& Enter();                                 // as ScriptedHost::Enter
    Script& SysCommand(int command);                 // OnSysCommand
    Script& Close();                                 // OnClose
    Script& Wait(int ms);                            // delays the next action
    Script& Do(std::function<void(Dialog&)> action);  // any test code

    bool Empty() const { return steps_.empty(); }
    size_t Remaining() const { return steps_.size(); }

private:
    friend class ScriptedHost;
    struct Step {
        int waitMs = 0;
        Action action;
    };
    Script& Add(Action action);

    std::deque<Step> steps_;
    int pendingWait_ = 0;
};

struct MessageBoxRecord {
    int ownerId = 0;  // the owner's template id, 0 for the application-modal box
    std::string caption;
    std::string text;
    MbButtons buttons = MbButtons::Ok;
    MbIcon icon = MbIcon::None;
    int answer = IDOK;
    std::int64_t timeMs = 0;
};

struct RedrawRecord {
    int dialogId = 0;
    std::int64_t timeMs = 0;
};

struct BeepRecord {
    int frequencyHz = 0;
    int durationMs = 0;
    std::int64_t timeMs = 0;  // when it began
};

struct BitmapRecord {
    int dialogId = 0;
    int controlId = 0;
    int bitmapId = 0;
    std::int64_t timeMs = 0;
};

struct ShownRecord {
    int dialogId = 0;
    std::int64_t timeMs = 0;
};

struct StallRecord {
    int dialogId = 0;  // the dialog that was closed, 0 when none could be
    std::int64_t timeMs = 0;
    std::string reason;
};

class ScriptedHost : public Host {
public:
    // A host with a virtual clock of its own.
    ScriptedHost();
    // A host on the caller's virtual clock (shared with a simulated camera).
    explicit ScriptedHost(platform::VirtualClock& clock);
    ~ScriptedHost() override;

    platform::VirtualClock& VClock() { return *clock_; }

    // --- scripts -----------------------------------------------------------
    // The script of the next showing of dialog `dialogId` that has none yet:
    // several calls queue scripts for later showings.
    Script& OnShow(int dialogId);
    // Fills the script of a dialog shown with no queued script.
    void SetDefaultScript(std::function<void(Dialog&, Script&)> hook) { defaultScript_ = std::move(hook); }
    // Scripts queued for dialog `dialogId` that no showing has taken yet.
    size_t PendingScripts(int dialogId) const;

    // --- immediate operator actions ------------------------------------------
    // A click: a check box toggles, a radio button becomes checked, then the
    // command goes to the dialog. A missing, disabled or hidden control
    // ignores it.
    void Click(Dialog& dialog, int id);
    void Type(Dialog& dialog, int id, const std::string& text);
    void SetCheck(Dialog& dialog, int id, bool checked);
    void Escape(Dialog& dialog);
    // The focused push button, else the default button (Dialog::EnterCommand).
    void Enter(Dialog& dialog);
    void SysCommand(Dialog& dialog, int command);
    void Close(Dialog& dialog);

    // --- message boxes -------------------------------------------------------
    // Answers in order: queued answers, else the responder, else IDOK. An
    // Ok-only box is always answered IDOK.
    void QueueAnswer(int answer) { answers_.push_back(answer); }
    void SetResponder(std::function<int(const MessageBoxRecord&)> responder) { responder_ = std::move(responder); }
    size_t PendingAnswers() const { return answers_.size(); }

    // --- records -------------------------------------------------------------
    const std::vector<MessageBoxRecord>& MessageBoxes() const { return boxes_; }
    const std::vector<RedrawRecord>& Redraws() const { return redraws_; }
    const std::vector<BeepRecord>& Beeps() const { return beeps_; }
    const std::vector<BitmapRecord>& Bitmaps() const { return bitmaps_; }
    const std::vector<ShownRecord>& Shown() const { return shown_; }
    const std::vector<StallRecord>& Stalls() const { return stalls_; }
    int WaitCursorDepth() const { return waitDepth_; }
    int WaitCursorBegins() const { return waitBegins_; }
    void ClearRecords();

    // --- state of the windows --------------------------------------------------
    bool IsVisible(const Dialog& dialog) const;
    int ProgressLow(const Dialog& dialog, int id) const;
    int ProgressHigh(const Dialog& dialog, int id) const;
    int LastBitmap(const Dialog& dialog, int id) const;  // 0 when none drawn
    // The open dialog with template id `dialogId` most recently created, or null.
    Dialog* FindOpen(int dialogId) const;
    bool HasTimer(const Dialog& dialog, int id) const;

    // Virtual time a modal loop may take before it counts as stalled.
    void SetModalTimeLimit(std::int64_t ms) { modalLimitMs_ = ms; }

    // --- Host ------------------------------------------------------------------
    platform::Clock& Clock() override { return *clock_; }
    std::unique_ptr<Window> CreateWindowFor(Dialog& dialog, Dialog* parent) override;
    void WindowDestroyed(Dialog& dialog) override;
    void RunModalLoop(Dialog& dialog) override;
    void PumpWaitingMessages() override;
    void PostCommand(Dialog& dialog, int id) override;
    void PostClose(Dialog& dialog) override;
    void SetTimer(Dialog& dialog, int id, int intervalMs, bool periodic) override;
    void KillTimer(Dialog& dialog, int id) override;
    int MessageBox(Dialog* owner, const std::string& text, const std::string& caption, MbButtons buttons,
                   MbIcon icon) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void Beep(int frequencyHz, int durationMs) override;

private:
    class ScriptedWindow;
    friend class ScriptedWindow;

    struct Posted {
        std::uint64_t seq = 0;
        Dialog* dialog = nullptr;
        bool close = false;
        int id = 0;
    };
    struct Timer {
        Dialog* dialog = nullptr;
        int intervalMs = 0;
        bool periodic = false;
        std::int64_t due = 0;
        std::uint64_t order = 0;  // when set, for a stable firing order
    };
    struct Open {
        Dialog* dialog = nullptr;
        ScriptedWindow* window = nullptr;
        std::uint64_t serial = 0;  // creation order
        std::unique_ptr<Script> script;
        std::int64_t scriptBase = 0;  // the next action is due this + its wait
        bool shownOnce = false;
        bool acting = false;  // one of its actions is running
    };

    // One pass of the loop: posted messages, due timers, one scripted
    // action. `done` stops the pass early (the modal dialog ended). Returns
    // whether anything ran.
    bool RunPass(const std::function<bool()>& done);
    // The virtual time of the next timer or scripted action, or -1.
    std::int64_t NextEventTime() const;
    // Nothing can progress: record it and close the innermost visible
    // dialog (only modeless ones when `modelessOnly`). Returns the closed id.
    int Stall(const std::string& reason, bool modelessOnly);
    Open* FindOpenEntry(const Dialog& dialog);
    const Open* FindOpenEntry(const Dialog& dialog) const;
    ScriptedWindow* WindowOf(const Dialog& dialog) const;
    // Whether the operator can reach `entry` now (no modal dialog above it).
    bool AcceptsInput(const Open& entry) const;
    std::int64_t ActionDue(const Open& entry) const;
    void Shown(Dialog& dialog);
    void Redrawn(Dialog& dialog);
    void BitmapDrawn(Dialog& dialog, int controlId, int bitmapId);
    void WindowGone(ScriptedWindow* window);

    std::unique_ptr<platform::VirtualClock> ownClock_;
    platform::VirtualClock* clock_;
    std::vector<Open> open_;
    std::deque<Posted> posted_;
    std::map<std::pair<const Dialog*, int>, Timer> timers_;
    std::map<int, std::deque<std::unique_ptr<Script>>> scripts_;
    std::vector<std::unique_ptr<Script>> spentScripts_;  // kept alive for references held by tests
    std::function<void(Dialog&, Script&)> defaultScript_;
    std::deque<int> answers_;
    std::function<int(const MessageBoxRecord&)> responder_;

    std::vector<MessageBoxRecord> boxes_;
    std::vector<RedrawRecord> redraws_;
    std::vector<BeepRecord> beeps_;
    std::vector<BitmapRecord> bitmaps_;
    std::vector<ShownRecord> shown_;
    std::vector<StallRecord> stalls_;
    int waitDepth_ = 0;
    int waitBegins_ = 0;

    std::uint64_t serial_ = 0;
    std::uint64_t timerOrder_ = 0;
    std::int64_t modalLimitMs_ = 24LL * 3600 * 1000;
    std::uint64_t postSeq_ = 0;
    std::vector<Dialog*> modalStack_;
    std::map<const Dialog*, int> stallCounts_;
    int fruitlessStalls_ = 0;
};

}  // namespace ui::scripted
