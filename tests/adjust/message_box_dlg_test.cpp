#include "adjust/message_box_dlg.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/scripted/scripted_host.h"

using ui::scripted::ScriptedHost;

namespace {

// A window that asks; its timer shows whether it stays alive meanwhile.
class OwnerDlg : public ui::Dialog {
public:
    explicit OwnerDlg(ui::Host& host) : ui::Dialog(host, ui::DialogTemplate{900, "owner", 100, 60, {}, {}}) {}
    void OnTimer(int) override { ++ticks; }
    int ticks = 0;
};

class MessageBoxDlgTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(owner_.Create()); }
    void TearDown() override { owner_.DestroyWindow(); }

    ScriptedHost host_;
    OwnerDlg owner_{host_};
    CMessageBoxDlg prompt_{host_};
};

TEST_F(MessageBoxDlgTest, OkAnswersOneAfterShowingTheQuestion) {
    std::string shown;
    int whileOpen = -1;
    host_.OnShow(CMessageBoxDlg::IDD)
        .Do([&](ui::Dialog& d) {
            shown = d.GetDlgItemText(CMessageBoxDlg::IDC_TEXT);
            whileOpen = static_cast<CMessageBoxDlg&>(d).m_result;
        })
        .Wait(1000)
        .Click(ui::IDOK);
    owner_.SetTimer(5, 100);
    EXPECT_EQ(AskModeless(owner_, prompt_, "キズ情報を書き込みますか？"), 1);
    EXPECT_EQ(shown, "キズ情報を書き込みますか？");
    EXPECT_EQ(whileOpen, CMessageBoxDlg::kUndecided);
    EXPECT_FALSE(prompt_.IsOpen());
    // The owner's timer kept running while the question was open.
    EXPECT_GE(owner_.ticks, 9);
    owner_.KillTimer(5);
}

TEST_F(MessageBoxDlgTest, CancelAndEscapeAnswerZero) {
    host_.OnShow(CMessageBoxDlg::IDD).Click(ui::IDCANCEL);
    EXPECT_EQ(AskModeless(owner_, prompt_, "Q1"), 0);
    // Each question creates the window anew; the object is reused.
    host_.OnShow(CMessageBoxDlg::IDD).Escape();
    EXPECT_EQ(AskModeless(owner_, prompt_, "Q2"), 0);
    host_.OnShow(CMessageBoxDlg::IDD).Click(ui::IDOK);
    EXPECT_EQ(AskModeless(owner_, prompt_, "Q3"), 1);
    EXPECT_FALSE(prompt_.IsOpen());
    EXPECT_TRUE(host_.Stalls().empty());
}

TEST_F(MessageBoxDlgTest, PromptGoneWithoutAnAnswerCountsAsCancel) {
    host_.OnShow(CMessageBoxDlg::IDD).Close();
    EXPECT_EQ(AskModeless(owner_, prompt_, "closed"), 0);

    host_.OnShow(CMessageBoxDlg::IDD).Do([](ui::Dialog& d) { d.DestroyWindow(); });
    EXPECT_EQ(AskModeless(owner_, prompt_, "destroyed"), 0);

    host_.OnShow(CMessageBoxDlg::IDD).Do([](ui::Dialog& d) { d.EndDialog(ui::IDOK); });
    EXPECT_EQ(AskModeless(owner_, prompt_, "ended"), 0);
    EXPECT_FALSE(prompt_.IsOpen());
}

TEST_F(MessageBoxDlgTest, UnansweredPromptDoesNotHangTheOwner) {
    // Nobody answers: the wait must still end.
    EXPECT_EQ(AskModeless(owner_, prompt_, "nobody"), 0);
    EXPECT_FALSE(prompt_.IsOpen());
    EXPECT_FALSE(host_.Stalls().empty());
}

}  // namespace
