#pragma once
// The station program on the screen, and a person who works it: ticks the
// boxes, presses START, answers every box as the operator does and watches
// the status picture until the run has been reported and the last prompt
// answered.

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/app/gui/x_session.h"
#include "tests/support/work_dir.h"

namespace gui_test {

inline constexpr const char* kStationTitle = "W0073 ImageAdjust software Ver1.020";
inline constexpr const char* kBenchTitle = "模擬ベンチ";

// The status picture's colours.
bool IsOkGreen(QRgb c);
bool IsNgRed(QRgb c);
bool IsReadyYellow(QRgb c);
bool IsWorkingTeal(QRgb c);

class StationSession {
public:
    // The station in a working directory of its own with the sample STD.DAT;
    // Started() tells whether its window and the bench window came up.
    explicit StationSession(const std::string& name);
    ~StationSession();  // prints the station's output when the test failed

    bool Started() const { return started_; }
    XScreen& Screen() { return screen_; }
    StationProcess& Process() { return *process_; }
    const XWindow& Main() const { return main_; }
    const std::filesystem::path& Dir() const { return work_.Root(); }

    // Clicks control `id` of the main window.
    void ClickMain(int id);
    QRgb StatusColour() const;

    // Answers the box `box` with Enter once it has the keyboard focus; a box
    // that does not get it within a second is a failure of its own.
    void AnswerWithEnter(const XWindow& box);
    // Waits for the next new window on top of the station (not one seen
    // before), or nullopt at the deadline.
    std::optional<XWindow> NextWindow(milliseconds timeout);
    // The windows other than the station's main window and the bench window.
    std::vector<XWindow> Others() const;

    struct Run {
        bool ended = false;     // the cable prompt after the result was answered
        QRgb result = 0;        // the status picture as reported
        std::vector<std::string> unexpected;  // titles of error boxes seen
    };
    // Presses START with Enter and works the run through. `handle` is shown
    // each new window that is not a box (item windows, the input window, the
    // TFT window) to work it; `tick` runs at every look at the screen.
    // Screenshots go to artefacts/<shotName>_during.png and _after.png.
    Run Start(const std::string& shotName, const std::function<void(const XWindow&)>& handle = {},
              const std::function<void()>& tick = {});

    // Closes the station as the close box does; its exit status.
    std::optional<int> Close();

private:
    bool IsBox(const std::string& title) const;

    test_support::WorkDir work_;
    XScreen screen_;
    std::optional<StationProcess> process_;
    XWindow main_;
    bool started_ = false;
    std::set<unsigned long> seen_;
};

}  // namespace gui_test
