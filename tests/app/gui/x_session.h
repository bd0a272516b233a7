#pragma once
// A person at the station's screen, for the tests that run the station
// program itself on an X server: the station started in a working directory
// of its own, its windows found by title as they appear, the screen looked
// at (pixels, screenshots), and the mouse and keys worked through xdotool.
// Every wait has a deadline; a station still running when the session ends
// is killed.

#include <QImage>
#include <QPoint>
#include <QRect>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/dialog_template.h"

struct _XDisplay;  // Xlib's Display

namespace gui_test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A top-level window on the screen.
struct XWindow {
    unsigned long id = 0;
    std::string title;  // UTF-8
    QRect rect;         // client area, screen pixels
};

class XScreen {
public:
    XScreen();  // the display of $DISPLAY
    ~XScreen();
    XScreen(const XScreen&) = delete;
    XScreen& operator=(const XScreen&) = delete;

    bool Open() const { return display_ != nullptr; }

    // The mapped top-level windows with a title, bottom of the stack first.
    std::vector<XWindow> Windows() const;
    std::optional<XWindow> Find(const std::string& title) const;
    // The window that has the keyboard focus (0 for none).
    unsigned long Focus() const;

    QRgb Pixel(QPoint at) const;
    QImage Grab(const QRect& area) const;
    QImage GrabScreen() const;
    bool SaveScreen(const std::filesystem::path& png) const;

    // A plain window of one colour over `area`, as another program's window
    // would lie over the station; hiding it exposes what was below.
    unsigned long Cover(const QRect& area, QRgb colour);
    void Uncover(unsigned long window);

    // Asks a window to close, as the window manager does for its close box.
    void RequestClose(unsigned long window);

private:
    ::_XDisplay* display_ = nullptr;
};

// The station program, started in `workDir`.
class StationProcess {
public:
    StationProcess(const std::filesystem::path& program, const std::filesystem::path& workDir);
    ~StationProcess();  // kills it if it still runs
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    int Pid() const { return pid_; }
    bool Running();
    // Its exit status once it has ended within `timeout`, else nullopt.
    std::optional<int> WaitExit(milliseconds timeout);
    void Kill();
    std::string Output() const;  // what it printed

private:
    int pid_ = -1;
    std::optional<int> status_;
    std::filesystem::path log_;
};

// Runs xdotool with `args`; true when it succeeded.
bool XdoTool(const std::vector<std::string>& args);

// Waits until `done` holds, polling; false at the deadline.
bool WaitUntil(const std::function<bool()>& done, milliseconds timeout, milliseconds poll = milliseconds(10));

// The screen point at the middle of control `id` of a window shown from `t`.
QPoint ControlCentre(const XWindow& window, const ui::DialogTemplate& t, int id);

// The person's hands.
void Click(QPoint at);
void Click(const XWindow& window, const ui::DialogTemplate& t, int id);
void Key(const std::string& keys);
void Type(const std::string& text);
// Clicks into an edit, selects what it holds and types `text` over it.
void Retype(const XWindow& window, const ui::DialogTemplate& t, int id, const std::string& text);

// Shift-JIS bytes as UTF-8 (iconv's CP932).
std::string FromShiftJis(const std::string& bytes);
// Today's date line of a result file, as the local clock has it.
std::string DateLine();
// The folder for screenshots: artefacts/ in the build folder.
std::filesystem::path ArtefactsDir();

}  // namespace gui_test
