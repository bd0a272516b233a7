// The adjustment window frame and the EEPROM flash-up item, in the scripted
// host against the simulated camera with the checker open.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "adjust/adjust_dlg.h"
#include "adjust/flash_up_dlg.h"
#include "res/adjust_templates.h"
#include "tests/adjust/item_fixture.h"

namespace {

class AdjustTest : public test_support::ItemTest {
protected:
    void SetUp() override {
        ItemTest::SetUp();
        Start("nominal");
    }

    // Each camera command with the checker code it carried and when it was
    // sent, from `startMs`.
    struct Sent {
        std::string name;
        unsigned code;
        std::int64_t timeMs;
        bool operator==(const Sent&) const = default;
    };
    std::vector<Sent> SentSince(std::int64_t startMs) const {
        std::vector<Sent> out;
        for (const auto& c : sent_)
            out.push_back({c.name, c.cdb.size() >= 4 ? platform::GetBe16(&c.cdb[2]) : 0u, c.ms - startMs});
        return out;
    }
};

// A routine that logs three lines and checks what the frame promised before
// and while it runs.
class ProbeDlg : public CAdjustDlg {
public:
    static constexpr int kTimer = 110;
    ProbeDlg(ui::Host& host, int result, CloseBy closeBy = CloseBy::Ok)
        : CAdjustDlg(host, res::SensitivityTemplate(), {kTimer, 300, closeBy}), result_(result) {}

    int runs = 0;
    bool timerAliveInRoutine = true;
    int linesShownAtOnce = 0;
    std::function<void()> whileRunning;

protected:
    int RunAdjustment() override {
        ++runs;
        auto& host = static_cast<ui::scripted::ScriptedHost&>(GetHost());
        timerAliveInRoutine = host.HasTimer(*this, kTimer);
        SetLog("見出し\r\n");
        if (whileRunning) whileRunning();
        for (int i = 0; i < 3; ++i) {
            const size_t redraws = host.Redraws().size();
            AppendLog("line " + std::to_string(i) + "\r\n");
            if (host.Redraws().size() > redraws && GetDlgItemText(1028) == m_log) ++linesShownAtOnce;
            Pause(1000);  // longer than the timer's period
        }
        return result_;
    }

private:
    int result_;
};

TEST_F(AdjustTest, FrameRunsTheRoutineOnceAndPutsTheVerdictFirst) {
    // The window closes itself by OK, or by its close (as the defect correction does).
    for (auto [result, closeBy] : {std::pair{1, CAdjustDlg::CloseBy::Ok}, std::pair{36, CAdjustDlg::CloseBy::Ok},
                                   std::pair{36, CAdjustDlg::CloseBy::Close}}) {
        SCOPED_TRACE(std::to_string(result) + (closeBy == CAdjustDlg::CloseBy::Ok ? " by OK" : " by close"));
        ProbeDlg dlg(host_, result, closeBy);
        EXPECT_EQ(dlg.m_result, CAdjustDlg::kResultNotRun);
        const std::int64_t start = host_.VClock().NowMs();
        EXPECT_EQ(dlg.DoModal(), closeBy == CAdjustDlg::CloseBy::Ok ? ui::IDOK : ui::IDCANCEL);
        EXPECT_EQ(dlg.runs, 1);
        EXPECT_FALSE(dlg.timerAliveInRoutine);
        EXPECT_EQ(dlg.linesShownAtOnce, 3);
        EXPECT_EQ(dlg.m_result, result);
        EXPECT_EQ(dlg.m_log, std::string(result == 1 ? "OK" : "NG") + "\r\n見出し\r\nline 0\r\nline 1\r\nline 2\r\n");
        EXPECT_EQ(host_.VClock().NowMs() - start, 300 + 3000);
        EXPECT_TRUE(host_.Stalls().empty());
    }
}

TEST_F(AdjustTest, AnotherTimerDoesNothing) {
    ProbeDlg dlg(host_, 1);
    ASSERT_TRUE(dlg.Create());
    dlg.OnTimer(ProbeDlg::kTimer + 1);
    EXPECT_EQ(dlg.runs, 0);
    EXPECT_TRUE(host_.HasTimer(dlg, ProbeDlg::kTimer));
    EXPECT_EQ(dlg.m_log, "");
    EXPECT_FALSE(dlg.Ended());
    dlg.DestroyWindow();
}

TEST_F(AdjustTest, FlashUpSendsItsCommandsInOrderWithTheWaits) {
    struct Case {
        std::uint8_t target;
        std::vector<Sent> sent;  // times from the window's opening
    };
    const std::vector<Case> cases = {
        {0,
         {{"DXC_CCD_POWERON", 0x6001, 500},
          {"DXC_CCDEEPROM_DATAREAD", 0x2080, 1000},
          {"DXC_UPDATECOMMAND", 0x2102, 1000},
          {"DXC_UPDATECOMMAND", 0x2F00, 2000},
          {"DXC_CCDEEPROM_DATAREAD", 0x2080, 3000},
          {"DXC_RAMCONFIG_DATAREAD", 0x5080, 3000},
          {"DXC_CCD_POWEROFF", 0x6000, 3000},
          {"DXC_OPEN_CHECKER", 0x1001, 3500}}},
        {1,
         {{"DXC_UPDATECOMMAND", 0x3102, 500},
          {"DXC_UPDATECOMMAND", 0x3F00, 1500},
          {"DXC_OPEN_CHECKER", 0x1001, 2500}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.target));
        sent_.clear();
        const std::int64_t start = host_.VClock().NowMs();
        CFlashUpDlg dlg(host_);
        dlg.m_target = c.target;
        Run(dlg);
        EXPECT_EQ(SentSince(start), c.sent);
        EXPECT_EQ(host_.VClock().NowMs() - start, c.sent.back().timeMs + 200);
        EXPECT_EQ(dlg.m_result, 1);
        EXPECT_EQ(dlg.m_log, "OK\r\nFLASHｱｯﾌﾟｺﾏﾝﾄﾞ実行中 ・・・・完了\r\nFLASH->DRAMへ展開中・・・・完了\r\n");
        EXPECT_EQ(dlg.GetWindow(), nullptr);
    }
}

TEST_F(AdjustTest, FlashUpOfAnotherTargetOnlyReopensTheChecker) {
    CFlashUpDlg dlg(host_);
    dlg.m_target = 2;
    Run(dlg);
    ASSERT_EQ(sent_.size(), 1u);
    EXPECT_EQ(sent_[0].name, "DXC_OPEN_CHECKER");
    EXPECT_EQ(dlg.m_result, 1);
}

TEST_F(AdjustTest, KeysAndStepBeforeTheRoutineHasReturnedChangeNothing) {
    // During the kick-off: STEP, Enter, Escape and the close button.
    const std::int64_t start = host_.VClock().NowMs();
    CFlashUpDlg dlg(host_);
    dlg.m_pCamera = &cam_;
    bool stepEnabled = true;
    host_.OnShow(134)
        .Do([&](ui::Dialog& d) { stepEnabled = d.GetWindow()->Enabled(ui::IDOK); })
        .Wait(100).Click(ui::IDOK)
        .Wait(100).Enter()
        .Wait(100).Escape()
        .Wait(100).Close();
    EXPECT_EQ(dlg.DoModal(), ui::IDOK);
    EXPECT_FALSE(stepEnabled);
    ASSERT_EQ(sent_.size(), 8u);
    EXPECT_EQ(sent_.front().ms - start, 500);  // the routine ran on time
    EXPECT_EQ(dlg.m_result, 1);
    EXPECT_EQ(dlg.m_log.rfind("OK\r\nFLASHｱｯﾌﾟｺﾏﾝﾄﾞ実行中", 0), 0u);

    // While the routine runs (as a prompt's message pump would let them through).
    ProbeDlg probe(host_, 36);
    bool endedInRoutine = true;
    probe.whileRunning = [&] {
        host_.Click(probe, ui::IDOK);
        host_.Enter(probe);
        host_.Escape(probe);
        host_.Close(probe);
        endedInRoutine = probe.Ended();
    };
    EXPECT_EQ(probe.DoModal(), ui::IDOK);  // the frame's own close, not a cancel
    EXPECT_FALSE(endedInRoutine);
    EXPECT_EQ(probe.m_result, 36);
    EXPECT_EQ(probe.m_log, "NG\r\n見出し\r\nline 0\r\nline 1\r\nline 2\r\n");
    EXPECT_TRUE(host_.Stalls().empty());
}

TEST_F(AdjustTest, FailingCommandEndsTheFlashUpWithThree) {
    for (std::size_t nth = 0; nth < 8; ++nth) {
        SCOPED_TRACE(nth);
        // Let `nth` commands pass, then fail the next.
        sent_.clear();
        const auto failNext = [] { sim::Sim().InjectSense(sim::MakeSense(sim::kSenseNotReady, sim::kAscNotReady)); };
        if (nth == 0) failNext();
        afterCommand_ = [&](const sim::CommandRecord&) {
            if (sent_.size() == nth) failNext();
        };
        CFlashUpDlg dlg(host_);
        EXPECT_EQ(Run(dlg), 3);
        EXPECT_EQ(dlg.m_log.rfind("NG\r\nFLASHｱｯﾌﾟｺﾏﾝﾄﾞ実行中", 0), 0u);
        EXPECT_EQ(sent_.size(), nth + 1);  // nothing after the failure
        cam_.SetCcdPower(1);
        ASSERT_EQ(cam_.OpenChecker(), 1);
    }
}

}  // namespace
