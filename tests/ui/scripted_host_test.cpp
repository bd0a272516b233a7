// The headless host: its loop in virtual time, scripts, answers, records and
// what it does when a run can no longer progress.

#include <gtest/gtest.h>

#include "tests/ui/test_dialogs.h"
#include "ui/scripted/scripted_host.h"

namespace {

using namespace ui_test;
using ui::IDCANCEL;
using ui::IDOK;
using ui::scripted::ScriptedHost;

TEST(ScriptedTimers, OneShotPeriodicAndSelfKillingTimers) {
    ScriptedHost host;
    Recorder d(host);
    std::vector<std::int64_t> periodicAt, killerAt;
    d.onInit = [&] {
        d.SetSingleShotTimer(1, 250);
        d.SetTimer(2, 100);
        d.SetTimer(3, 50);
        return true;
    };
    d.onTimer = [&](int id) {
        if (id == 2) {
            periodicAt.push_back(host.VClock().NowMs());
            if (periodicAt.size() == 4) d.PostCommand(IDOK);
        }
        if (id == 3) {
            killerAt.push_back(host.VClock().NowMs());
            d.KillTimer(3);
            d.Sleep(120);  // a blocking wait: no timer fires inside it
        }
    };
    EXPECT_EQ(d.DoModal(), IDOK);
    EXPECT_EQ(killerAt, (std::vector<std::int64_t>{50}));
    // The sleep of the killer delays the first periodic firing, which does not catch up.
    EXPECT_EQ(periodicAt, (std::vector<std::int64_t>{170, 270, 370, 470}));
    EXPECT_EQ(std::count(d.events.begin(), d.events.end(), "timer 1"), 1);
    EXPECT_FALSE(host.HasTimer(d, 2));  // dropped with the window
    EXPECT_TRUE(host.Stalls().empty());
}

TEST(ScriptedTimers, TimersOfEveryOpenDialogFireInNestedLoops) {
    ScriptedHost host;
    Recorder outer(host, 510);
    Recorder inner(host, 511);
    outer.onInit = [&] {
        outer.SetTimer(5, 100);
        outer.SetSingleShotTimer(6, 10);
        return true;
    };
    outer.onTimer = [&](int id) {
        if (id == 6) {
            EXPECT_EQ(inner.DoModal(), IDOK);
        }
        if (id == 5 && !outer.Ended()) outer.PostCommand(IDCANCEL);
    };
    host.OnShow(511).Wait(350).Click(IDOK);
    EXPECT_EQ(outer.DoModal(), IDCANCEL);
    // Three firings of the outer timer while the inner dialog ran.
    EXPECT_GE(std::count(outer.events.begin(), outer.events.end(), "timer 5"), 3);
    EXPECT_EQ(host.Shown().size(), 2u);
    EXPECT_EQ(host.Shown()[1].dialogId, 511);
    EXPECT_EQ(host.Shown()[1].timeMs, 10);
}

TEST(ScriptedLoop, PostedMessagesRunInOrderBeforeTimers) {
    ScriptedHost host;
    Recorder d(host);
    d.OnCommand(30, [&] { d.events.push_back("A"); });
    d.OnCommand(31, [&] { d.events.push_back("B"); });
    d.onInit = [&] {
        d.SetSingleShotTimer(9, 0);
        d.PostCommand(30);
        d.PostCommand(31);
        d.PostClose();
        d.PostCommand(30);  // after the close: never delivered
        return true;
    };
    EXPECT_EQ(d.DoModal(), IDCANCEL);
    EXPECT_EQ(d.events, (std::vector<std::string>{"A", "B", "close", "cancel"}));
}

// The adjustment pattern: a kick-off timer runs the work, which ends the
// dialog by posting IDOK to itself.
class Worker : public Recorder {
public:
    explicit Worker(ScriptedHost& host) : Recorder(host, 146) {
        onInit = [this] {
            SetTimer(110, 300);
            return true;
        };
        onTimer = [this](int id) {
            if (id != 110) return;
            KillTimer(110);
            ran = true;
            Sleep(1000);
            result = 1;
            PostCommand(IDOK);
        };
    }
    bool ran = false;
    int result = 0;
};

TEST(ScriptedLoop, ModalDialogEndedByItsOwnPostedOk) {
    ScriptedHost host;
    Worker w(host);
    EXPECT_EQ(w.DoModal(), IDOK);
    EXPECT_TRUE(w.ran);
    EXPECT_EQ(host.VClock().NowMs(), 1300);

    // A click at the showing comes before the kick-off timer.
    host.OnShow(146).Click(IDOK);
    Worker early(host);
    EXPECT_EQ(early.DoModal(), IDOK);
    EXPECT_FALSE(early.ran);
}

struct PromptCase {
    const char* name;
    std::function<void(ui::scripted::Script&)> script;
    int expected;
    bool stalls;
};

TEST(ScriptedLoop, OwnerPumpingForAModelessPromptAlwaysGetsAnAnswer) {
    const PromptCase cases[] = {
        {"OK", [](auto& s) { s.Wait(2000).Click(IDOK); }, 1, false},
        {"CANCEL", [](auto& s) { s.Click(IDCANCEL); }, 0, false},
        {"Escape", [](auto& s) { s.Escape(); }, 0, false},
        {"Enter", [](auto& s) { s.Enter(); }, 1, false},
        {"closed", [](auto& s) { s.Close(); }, 0, false},
        {"nobody answers", [](auto&) {}, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedHost host;
        c.script(host.OnShow(162));
        Recorder owner(host, 161);
        Prompt prompt(host);
        int passes = 0;
        bool hiddenAfterAnswer = false;
        owner.onInit = [&] {
            owner.SetSingleShotTimer(118, 300);
            return true;
        };
        owner.onTimer = [&](int) {
            prompt.SetDlgItemText(1135, "書き込みますか？");
            ASSERT_TRUE(prompt.Create(&owner));
            while (prompt.result == Prompt::kUndecided && passes < 100000) {
                host.PumpWaitingMessages();
                ++passes;
            }
            hiddenAfterAnswer = !host.IsVisible(prompt);
            prompt.DestroyWindow();
            owner.PostClose();
        };
        EXPECT_EQ(owner.DoModal(), IDCANCEL);
        EXPECT_EQ(prompt.result, c.expected);
        EXPECT_LT(passes, 10);
        EXPECT_TRUE(hiddenAfterAnswer);
        EXPECT_FALSE(prompt.IsOpen());
        ASSERT_EQ(host.Stalls().size(), c.stalls ? 1u : 0u);
        if (c.stalls) {
            EXPECT_EQ(host.Stalls()[0].dialogId, 162);
        }
    }
}

TEST(ScriptedLoop, AModeslessDialogCanBeDrivenWithoutAnyModalLoop) {
    ScriptedHost host;
    host.OnShow(162).Wait(40).Click(IDOK);
    Prompt p(host);
    ASSERT_TRUE(p.Create());
    while (p.result == Prompt::kUndecided) host.PumpWaitingMessages();
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(host.VClock().NowMs(), 40);
}

TEST(ScriptedStall, AStuckModalLoopClosesTheDialog) {
    ScriptedHost host;
    Recorder d(host);
    EXPECT_EQ(d.DoModal(), IDCANCEL);
    ASSERT_EQ(host.Stalls().size(), 1u);
    EXPECT_EQ(host.Stalls()[0].dialogId, 510);
    EXPECT_EQ(d.events, (std::vector<std::string>{"close", "cancel"}));

    // A dialog that ignores its close is ended all the same.
    ScriptedHost host2;
    Recorder deaf(host2);
    deaf.closeEnds = false;
    EXPECT_EQ(deaf.DoModal(), IDCANCEL);
    EXPECT_EQ(host2.Stalls().size(), 2u);
}

TEST(ScriptedStall, EndlessTimerWorkHitsTheTimeLimit) {
    ScriptedHost host;
    host.SetModalTimeLimit(60'000);
    Recorder d(host);
    d.onInit = [&] {
        d.SetTimer(1, 1000);
        return true;
    };
    EXPECT_EQ(d.DoModal(), IDCANCEL);
    ASSERT_EQ(host.Stalls().size(), 1u);
    EXPECT_GT(host.Stalls()[0].timeMs, 60'000);
    EXPECT_LT(host.Stalls()[0].timeMs, 62'000);
}

TEST(ScriptedScripts, QueuedPerShowingWithDefaultAndTiming) {
    ScriptedHost host;
    host.OnShow(510).Click(30).Wait(500).Click(IDOK);
    host.OnShow(510).Escape();
    int defaults = 0;
    host.SetDefaultScript([&](ui::Dialog& d, ui::scripted::Script& s) {
        ++defaults;
        EXPECT_EQ(d.Id(), 510);
        s.Wait(5).Click(31).Click(IDOK);
    });
    std::vector<std::pair<int, std::int64_t>> clicks;
    auto run = [&] {
        Recorder d(host);
        d.OnCommand(30, [&] { clicks.push_back({30, host.VClock().NowMs()}); });
        d.OnCommand(31, [&] { clicks.push_back({31, host.VClock().NowMs()}); });
        return d.DoModal();
    };
    EXPECT_EQ(run(), IDOK);
    EXPECT_EQ(host.VClock().NowMs(), 500);
    EXPECT_EQ(run(), IDCANCEL);
    EXPECT_EQ(defaults, 0);
    EXPECT_EQ(run(), IDOK);
    EXPECT_EQ(defaults, 1);
    EXPECT_EQ(clicks, (std::vector<std::pair<int, std::int64_t>>{{30, 0}, {31, 505}}));
}

TEST(ScriptedScripts, EnterPressesTheFocusedButtonElseTheDefault) {
    struct Case {
        const char* name;
        int focus;
        std::vector<int> disabled;
        std::vector<std::string> events;
    };
    const std::vector<Case> cases = {
        {"on a button", 31, {}, {"B"}},
        {"on the default button", IDOK, {}, {"ok"}},
        {"on no button", 0, {}, {"ok"}},
        {"on a disabled button", 31, {31}, {"ok"}},
        {"default disabled", 0, {IDOK}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedHost host;
        Recorder d(host);
        d.OnCommand(31, [&] { d.events.push_back("B"); });
        d.onInit = [] { return false; };  // no focus
        ASSERT_TRUE(d.Create());
        for (int id : c.disabled) d.EnableDlgItem(id, false);
        d.GotoDlgCtrl(c.focus);
        host.Enter(d);
        EXPECT_EQ(d.events, c.events);
    }
}

TEST(ScriptedScripts, ClicksFollowTheControlKinds) {
    ScriptedHost host;
    Form f(host);
    std::vector<int> commands;
    for (int id : {20, 21, 30, 40, 50}) f.OnCommand(id, [&commands, id] { commands.push_back(id); });
    ASSERT_TRUE(f.Create());
    host.Click(f, 20);
    EXPECT_TRUE(f.IsDlgButtonChecked(20));
    host.Click(f, 20);
    EXPECT_FALSE(f.IsDlgButtonChecked(20));
    host.Click(f, 21);
    host.Click(f, 21);
    EXPECT_TRUE(f.IsDlgButtonChecked(21));  // a radio button stays checked
    host.Click(f, 40);                      // a progress bar takes no click
    host.Click(f, 50);
    f.EnableDlgItem(30, false);
    host.Click(f, 30);  // disabled: ignored
    f.EnableDlgItem(30, true);
    host.Click(f, 30);
    EXPECT_EQ(commands, (std::vector<int>{20, 20, 21, 21, 30}));
    EXPECT_EQ(f.GetWindow()->Focus(), 30);

    host.SetCheck(f, 20, true);  // no command
    EXPECT_EQ(commands.size(), 5u);
    host.Type(f, 17, "read-only");
    EXPECT_EQ(f.GetDlgItemText(17), "");
    host.Type(f, 10, "abc");
    EXPECT_EQ(f.GetDlgItemText(10), "abc");
    host.SysCommand(f, 16);
    EXPECT_EQ(f.sysCommands, (std::vector<int>{16}));

    f.EnableDlgItem(IDCANCEL, false);
    host.Escape(f);  // a disabled cancel button ignores the key
    EXPECT_FALSE(f.Ended());
}

TEST(ScriptedScripts, TheOwnerOfARunningModalDialogTakesNoActions) {
    ScriptedHost host;
    Recorder outer(host, 510);
    Recorder inner(host, 511);
    std::int64_t outerClickAt = -1;
    outer.OnCommand(30, [&] {
        outerClickAt = host.VClock().NowMs();
        outer.PostCommand(IDOK);
    });
    outer.onInit = [&] {
        outer.SetSingleShotTimer(1, 0);
        return true;
    };
    outer.onTimer = [&](int) { inner.DoModal(); };
    host.OnShow(510).Wait(10).Click(30);
    host.OnShow(511).Wait(1000).Click(IDOK);
    EXPECT_EQ(outer.DoModal(), IDOK);
    EXPECT_EQ(outerClickAt, 1000);
}

TEST(ScriptedMessageBoxes, AnswersInOrderAndRecordsEveryBox) {
    ScriptedHost host;
    Recorder d(host);
    ASSERT_TRUE(d.Create());
    host.VClock().Sleep(70);
    host.QueueAnswer(IDCANCEL);  // the operator presses Escape
    EXPECT_EQ(d.MessageBox("続けますか？", "MESSAGE", ui::MbButtons::OkCancel), IDCANCEL);
    host.QueueAnswer(IDCANCEL);  // an OK-only box has no other answer
    EXPECT_EQ(d.MessageBox("通知", "MESSAGE"), IDOK);
    EXPECT_EQ(d.MessageBox("質問", "MESSAGE", ui::MbButtons::OkCancel), IDOK);  // nothing queued
    host.SetResponder([](const ui::scripted::MessageBoxRecord& r) { return r.caption == "ERROR" ? IDCANCEL : IDOK; });
    EXPECT_EQ(d.MessageBox("失敗", "ERROR", ui::MbButtons::OkCancel, ui::MbIcon::Stop), IDCANCEL);
    EXPECT_EQ(d.MessageBox("失敗", "ERROR"), IDOK);
    EXPECT_EQ(d.AppMessageBox("アプリ"), IDOK);

    const auto& boxes = host.MessageBoxes();
    ASSERT_EQ(boxes.size(), 6u);
    EXPECT_EQ(boxes[0].ownerId, 510);
    EXPECT_EQ(boxes[0].caption, "MESSAGE");
    EXPECT_EQ(boxes[0].text, "続けますか？");
    EXPECT_EQ(boxes[0].buttons, ui::MbButtons::OkCancel);
    EXPECT_EQ(boxes[0].answer, IDCANCEL);
    EXPECT_EQ(boxes[0].timeMs, 70);
    EXPECT_EQ(boxes[1].answer, IDOK);
    EXPECT_EQ(boxes[3].icon, ui::MbIcon::Stop);
    EXPECT_EQ(boxes[5].ownerId, 0);
    EXPECT_EQ(boxes[5].caption, "W73ImageAdjust");
}

// Draws its picture on every paint, as the main window does.
class Pic : public ui::Dialog {
public:
    explicit Pic(ui::Host& h) : Dialog(h, Tmpl()) {}
    int picture = 141;
    void OnPaint() override { DrawBitmap(50, picture); }
    static ui::DialogTemplate Tmpl() {
        auto t = Recorder::Tmpl(102);
        t.controls.push_back(Ctl(50, ui::ControlKind::Picture, "", {0, 0, 208, 149}));
        return t;
    }
};

TEST(ScriptedRecords, RedrawsBitmapsBeepsAndTheWaitCursor) {
    ScriptedHost host;
    Recorder d(host);
    ASSERT_TRUE(d.Create());
    {
        ui::WaitCursor wait(host);
        EXPECT_EQ(host.WaitCursorDepth(), 1);
        host.Beep(2000, 300);
        d.Sleep(50);
        host.Beep(1000, 100);
        d.RedrawNow();
    }
    EXPECT_EQ(host.WaitCursorDepth(), 0);
    EXPECT_EQ(host.WaitCursorBegins(), 1);
    ASSERT_EQ(host.Beeps().size(), 2u);
    EXPECT_EQ(host.Beeps()[0].frequencyHz, 2000);
    EXPECT_EQ(host.Beeps()[0].timeMs, 0);
    EXPECT_EQ(host.Beeps()[1].timeMs, 350);  // the first tone took its time
    ASSERT_EQ(host.Redraws().size(), 1u);
    EXPECT_EQ(host.Redraws()[0].timeMs, 450);

    // A picture drawn on the first paint and on every redraw.
    ScriptedHost host2;
    Pic pic(host2);
    ASSERT_TRUE(pic.Create());
    pic.picture = 144;
    pic.RedrawNow();
    pic.DrawBitmap(99, 142);  // no such control: nothing drawn
    ASSERT_EQ(host2.Bitmaps().size(), 2u);
    EXPECT_EQ(host2.Bitmaps()[0].bitmapId, 141);
    EXPECT_EQ(host2.Bitmaps()[1].bitmapId, 144);
    EXPECT_EQ(host2.Bitmaps()[1].controlId, 50);
    EXPECT_EQ(host2.Bitmaps()[1].dialogId, 102);
    EXPECT_EQ(host2.LastBitmap(pic, 50), 144);
}

}  // namespace
