#pragma once
// The host with real windows: every template becomes a Qt dialog, message
// boxes are Qt message boxes, timers are Qt timers. Everything runs on the
// GUI thread; a QApplication must exist before the host is made.
//
// A key acts only when it is pressed for what is on the screen: a key's
// auto-repeat never presses a button or answers a prompt (it still repeats
// in a text field), and a key pressed while the station sleeps between
// camera commands is dropped, not kept for whatever window comes next. The
// window system marks the presses of a held key after its first as
// repeats, so a key held down before a window appears cannot act on it
// either; a deliberate press acts at once. A click made during such a sleep
// waits until the sleep is over, and a window that a prompt blocks by then
// does not get it.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/beep.h"
#include "platform/clock.h"
#include "ui/dialog.h"
#include "ui/host.h"

class QEventLoop;
class QTimer;

namespace ui::qt {

class QtHost : public Host {
public:
    QtHost();
    ~QtHost() override;
    QtHost(const QtHost&) = delete;
    QtHost& operator=(const QtHost&) = delete;

    // Dialog units to pixels.
    static int PixelsX(int dialogUnits);
    static int PixelsY(int dialogUnits);
    // The Qt resource path of bitmap resource `bitmapId`.
    static QString BitmapPath(int bitmapId);

    // Writes a picture of the dialog's window as PNG.
    bool SaveScreenshot(Dialog& dialog, const std::string& pngPath);
    // The window of an open dialog and its controls (for tests), or null.
    QWidget* WidgetOf(const Dialog& dialog) const;
    QWidget* ControlWidget(const Dialog& dialog, int id) const;
    int WaitCursorDepth() const { return waitDepth_; }

    platform::Clock& Clock() override;
    std::unique_ptr<Window> CreateWindowFor(Dialog& dialog, Dialog* parent) override;
    void WindowDestroyed(Dialog& dialog) override;
    void RunModalLoop(Dialog& dialog) override;
    void DialogEnded(Dialog& dialog) override;
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

    // Runs `action` on `dialog` now, or after the sleep under way; nothing
    // if the dialog's window has gone meanwhile.
    void Deliver(const Dialog* dialog, std::uint64_t serial, std::function<void()> action);
    std::uint64_t SerialOf(const Dialog& dialog) const;

private:
    class QtWindow;
    class SleepClock;
    class KeyGuard;
    friend class SleepClock;
    using TimerKey = std::pair<const Dialog*, int>;
    struct TimerEntry {
        QTimer* timer = nullptr;
        Dialog* dialog = nullptr;
        bool periodic = false;
    };

    // Keeps the windows painted for `ms` without taking user input.
    void SleepPainting(int ms);
    void FlushDeferred();
    void FireTimer(TimerKey key);
    void RemoveTimer(std::map<TimerKey, TimerEntry>::iterator it);
    QWidget* TopModalWidget() const;

    std::unique_ptr<SleepClock> clock_;
    std::unique_ptr<KeyGuard> keyGuard_;
    platform::SystemBeeper beeper_;
    QObject context_;  // the receiver of queued calls; dies with the host
    std::map<const Dialog*, std::uint64_t> live_;
    std::map<const Dialog*, QtWindow*> windows_;
    std::map<TimerKey, TimerEntry> timers_;
    std::map<const Dialog*, QEventLoop*> loops_;
    std::vector<Dialog*> modalStack_;
    std::vector<std::function<void()>> deferred_;
    std::set<TimerKey> pendingTimers_;  // fell due during a sleep
    std::uint64_t serial_ = 0;
    int sleepDepth_ = 0;
    int waitDepth_ = 0;
};

}  // namespace ui::qt
