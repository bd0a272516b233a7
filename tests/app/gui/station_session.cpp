#include "tests/app/gui/station_session.h"

#include <gtest/gtest.h>

#include <iostream>
#include <thread>

#include "res/templates.h"

namespace gui_test {

namespace fs = std::filesystem;

bool IsOkGreen(QRgb c) { return qRed(c) < 60 && qGreen(c) > 160 && qBlue(c) < 60; }
bool IsNgRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool IsReadyYellow(QRgb c) { return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 60; }
bool IsWorkingTeal(QRgb c) { return qRed(c) < 60 && qAbs(qGreen(c) - 128) < 30 && qAbs(qBlue(c) - 128) < 30; }

StationSession::StationSession(const std::string& name) : work_(name) {
    const fs::path bin = test_support::BinDir();
    fs::copy_file(bin / "STD.DAT", work_.Root() / "STD.DAT");
    if (!screen_.Open()) {
        ADD_FAILURE() << "cannot open the X display";
        return;
    }
    process_.emplace(bin / "imageadjust", work_.Root());
    std::optional<XWindow> main;
    started_ = WaitUntil(
        [&] {
            main = screen_.Find(kStationTitle);
            return main && screen_.Find(kBenchTitle) && IsReadyYellow(screen_.Pixel(main->rect.topLeft() + QPoint(12, 12)));
        },
        milliseconds(10000));
    if (started_) main_ = *main;
    for (const XWindow& w : screen_.Windows()) seen_.insert(w.id);
}

StationSession::~StationSession() {
    if (process_ && ::testing::Test::HasFailure()) {
        process_->Kill();
        std::cerr << "--- what the station printed ---\n" << process_->Output() << "---\n";
    }
}

void StationSession::ClickMain(int id) { Click(main_, res::MainDialogTemplate(), id); }

QRgb StationSession::StatusColour() const { return screen_.Pixel(main_.rect.topLeft() + QPoint(12, 12)); }

void StationSession::AnswerWithEnter(const XWindow& box) {
    if (!WaitUntil([&] { return screen_.Focus() == box.id; }, milliseconds(1000)))
        ADD_FAILURE() << "the box \"" << box.title << "\" did not get the keyboard focus";
    Key("Return");
}

std::vector<XWindow> StationSession::Others() const {
    std::vector<XWindow> others;
    for (const XWindow& w : screen_.Windows())
        if (w.title != kStationTitle && w.title != kBenchTitle) others.push_back(w);
    return others;
}

std::optional<XWindow> StationSession::NextWindow(milliseconds timeout) {
    std::optional<XWindow> next;
    WaitUntil(
        [&] {
            const std::vector<XWindow> others = Others();
            if (others.empty() || seen_.count(others.back().id)) return false;
            next = others.back();
            seen_.insert(next->id);
            return true;
        },
        timeout);
    return next;
}

bool StationSession::IsBox(const std::string& title) const {
    return title == "MESSAGE" || title == "MESSAGEM" || title == "W73ImageAdjust" || title == "ERROR" ||
           title == "エラー";
}

StationSession::Run StationSession::Start(const std::string& shotName, const std::function<void(const XWindow&)>& handle,
                                          const std::function<void()>& tick) {
    Run run;
    const fs::path during = ArtefactsDir() / (shotName + "_during.png");
    const fs::path after = ArtefactsDir() / (shotName + "_after.png");
    fs::remove(during);
    fs::remove(after);
    // START from the keyboard, as every box after it: Enter in the main
    // window presses START unless another button has the focus.
    if (!WaitUntil([&] { return screen_.Focus() == main_.id; }, milliseconds(1000)))
        ADD_FAILURE() << "the station window does not have the keyboard focus";
    Key("Return");

    bool working = false, reported = false, itemWindowShot = false, boxOverItemShot = false;
    const auto deadline = Clock::now() + milliseconds(60000);
    while (Clock::now() < deadline) {
        if (tick) tick();
        const QRgb status = StatusColour();
        working = working || IsWorkingTeal(status);
        if (working && !reported && (IsOkGreen(status) || IsNgRed(status))) {
            reported = true;
            run.result = status;
        }
        const std::vector<XWindow> others = Others();
        if (run.ended && others.empty()) {
            screen_.SaveScreen(after);
            return run;
        }
        if (others.empty() || seen_.count(others.back().id)) {
            std::this_thread::sleep_for(milliseconds(10));
            continue;
        }
        const XWindow top = others.back();
        seen_.insert(top.id);
        if (top.title == "MESSAGE BOX") {
            // The item's own yes/no prompt: its OK, with the mouse.
            Click(top, res::MessageBoxDlgTemplate(), 1);
            continue;
        }
        if (!IsBox(top.title)) {
            // An item window, or one the caller works.
            if (!itemWindowShot) screen_.SaveScreen(during);
            itemWindowShot = true;
            if (handle) handle(top);
            continue;
        }
        if (top.title == "ERROR" || top.title == "エラー") run.unexpected.push_back(top.title);
        // A prompt over an item window is the picture of the run to keep.
        if (itemWindowShot && !boxOverItemShot && others.size() > 1) {
            screen_.SaveScreen(during);
            boxOverItemShot = true;
        }
        // After the result only the cable prompt comes; the picture changed
        // before it appeared.
        if (working && !reported && (IsOkGreen(StatusColour()) || IsNgRed(StatusColour()))) {
            reported = true;
            run.result = StatusColour();
        }
        AnswerWithEnter(top);
        if (reported) run.ended = true;
    }
    ADD_FAILURE() << "the run of " << shotName << " did not end; windows open: " << [&] {
        std::string titles;
        for (const XWindow& w : Others()) titles += "\"" + w.title + "\" ";
        return titles;
    }();
    return run;
}

std::optional<int> StationSession::Close() {
    screen_.RequestClose(main_.id);
    return process_->WaitExit(milliseconds(5000));
}

}  // namespace gui_test
