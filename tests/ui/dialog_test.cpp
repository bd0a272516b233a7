// The dialog framework itself: data exchange with its validation messages,
// command dispatch, the standard OK, cancel and close handling.

#include <gtest/gtest.h>

#include "tests/ui/test_dialogs.h"
#include "ui/scripted/scripted_host.h"

namespace {

using namespace ui_test;
using ui::scripted::ScriptedHost;

// Texts that every field of the form accepts.
void FillValid(Form& f) {
    f.SetDlgItemText(10, "abcd");
    f.SetDlgItemText(11, "1.5");
    f.SetDlgItemText(12, "7");
    f.SetDlgItemText(13, "8");
    f.SetDlgItemText(14, "9");
    f.SetDlgItemText(15, "10");
}

TEST(DataExchange, ShowsMembersInTheirFormats) {
    ScriptedHost host;
    Form f(host);
    f.real = 1.0 / 3.0;
    f.u32 = 4294967295u;
    f.u16 = 65535;
    f.u8 = 255;
    f.integer = -42;
    f.check = 1;
    f.log = "a\r\nb\r\n";
    ASSERT_TRUE(f.Create());
    EXPECT_EQ(f.GetDlgItemText(11), "0.333333333333333");
    EXPECT_EQ(f.GetDlgItemText(12), "4294967295");
    EXPECT_EQ(f.GetDlgItemText(13), "65535");
    EXPECT_EQ(f.GetDlgItemText(14), "255");
    EXPECT_EQ(f.GetDlgItemText(15), "-42");
    EXPECT_EQ(f.GetDlgItemText(16), "a\r\nb\r\n");
    EXPECT_TRUE(f.IsDlgButtonChecked(20));
    f.real = 1e20;
    f.UpdateData(false);
    EXPECT_EQ(f.GetDlgItemText(11), "1e+20");
}

TEST(DataExchange, SavesControlsIntoMembers) {
    ScriptedHost host;
    Form f(host);
    ASSERT_TRUE(f.Create());
    f.SetDlgItemText(10, "あいうえ");  // four characters, twelve bytes
    f.SetDlgItemText(11, "  -2.5e1 ");
    f.SetDlgItemText(12, " 4294967295");
    f.SetDlgItemText(13, "65535");
    f.SetDlgItemText(14, "0255");
    f.SetDlgItemText(15, "-5");
    f.CheckDlgButton(20, true);
    ASSERT_TRUE(f.UpdateData(true));
    EXPECT_EQ(f.name, "あいうえ");
    EXPECT_DOUBLE_EQ(f.real, -25.0);
    EXPECT_EQ(f.u32, 4294967295u);
    EXPECT_EQ(f.u16, 65535);
    EXPECT_EQ(f.u8, 255);
    EXPECT_EQ(f.integer, -5);
    EXPECT_EQ(f.check, 1);
    EXPECT_TRUE(host.MessageBoxes().empty());
}

struct BadInput {
    int control;
    const char* text;
    const char* message;
};

TEST(DataExchange, RefusesBadInputWithItsMessageAndStops) {
    // The messages as the operator reads them.
    const char* real = "数字を入力してください。";
    const char* positive = "正の整数を入力してください。";
    const char* byte = "0 から 255 までの整数を入力してください。";
    const char* integer = "整数を入力してください。";
    const BadInput cases[] = {
        {10, "あいうえお", "4 文字以内で入力してください。"},
        {11, "", real},
        {11, "1.5x", real},
        {11, "1e999", real},
        {11, "inf", real},
        {11, "-nan", real},
        {11, "0x1p3", real},
        {11, "1 2", real},
        {12, "-1", positive},
        {12, "+1", positive},
        {12, "4294967296", positive},
        {12, "12a", positive},
        {13, "65536", positive},
        {14, "256", byte},
        {14, "-0", byte},
        {14, "", byte},
        {15, "2147483648", integer},
        {15, "-", integer},
        {15, "1.0", integer},
        {15, "- 3", integer},
        {15, "301", "-5 から 300 までの整数を入力してください。"},
        {15, "-6", "-5 から 300 までの整数を入力してください。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("control ") + std::to_string(c.control) + " text '" + c.text + "'");
        ScriptedHost host;
        Form f(host);
        ASSERT_TRUE(f.Create());
        FillValid(f);
        f.SetDlgItemText(c.control, c.text);
        f.CheckDlgButton(20, true);  // exchanged last: must stay untouched
        EXPECT_FALSE(f.UpdateData(true));
        ASSERT_EQ(host.MessageBoxes().size(), 1u);
        const auto& box = host.MessageBoxes()[0];
        EXPECT_EQ(box.text, c.message);
        EXPECT_EQ(box.caption, "W73ImageAdjust");
        EXPECT_EQ(box.ownerId, 0);
        EXPECT_EQ(box.icon, ui::MbIcon::Exclamation);
        EXPECT_EQ(box.buttons, ui::MbButtons::Ok);
        EXPECT_EQ(f.GetWindow()->Focus(), c.control);
        EXPECT_EQ(f.check, 0);
    }
}

TEST(DataExchange, OkEndsOnlyWithValidInput) {
    ScriptedHost host;
    host.OnShow(500).Type(11, "x").Click(ui::IDOK).Type(11, "2").Wait(100).Enter();
    Form f(host);
    EXPECT_EQ(f.DoModal(), ui::IDOK);
    EXPECT_EQ(host.MessageBoxes().size(), 1u);
    EXPECT_DOUBLE_EQ(f.real, 2.0);
    EXPECT_EQ(host.VClock().NowMs(), 100);
    EXPECT_FALSE(f.IsOpen());
}

TEST(DataExchange, CancelAndCloseDoNotTransfer) {
    for (bool viaClose : {false, true}) {
        ScriptedHost host;
        if (viaClose)
            host.OnShow(500).Type(11, "3").Close();
        else
            host.OnShow(500).Type(11, "3").Escape();
        Form f(host);
        EXPECT_EQ(f.DoModal(), ui::IDCANCEL);
        EXPECT_EQ(f.real, 0.0);
    }
}

TEST(Dialog, DispatchesCommandsToHandlersThenToOkAndCancel) {
    ScriptedHost host;
    Recorder d(host);
    ASSERT_TRUE(d.Create());
    d.OnCommand(30, [&] { d.events.push_back("A"); });
    d.DispatchCommand(30);
    d.DispatchCommand(31);  // no handler: nothing
    EXPECT_EQ(d.events, (std::vector<std::string>{"A"}));
    EXPECT_FALSE(d.Ended());

    d.OnCommand(ui::IDOK, [&] { d.events.push_back("own ok"); });
    d.DispatchCommand(ui::IDOK);
    EXPECT_FALSE(d.Ended());  // the handler replaces the OK handling
    d.DispatchCommand(ui::IDCANCEL);
    EXPECT_TRUE(d.Ended());
    EXPECT_EQ(d.EndCode(), ui::IDCANCEL);
    // Ended modelessly: hidden, still there.
    EXPECT_TRUE(d.IsOpen());
    EXPECT_FALSE(host.IsVisible(d));
    d.DestroyWindow();
    EXPECT_FALSE(d.IsOpen());
}

TEST(Dialog, ControlsAreNoOpsWithoutAWindow) {
    ScriptedHost host;
    Form f(host);
    f.SetDlgItemText(10, "x");
    EXPECT_EQ(f.GetDlgItemText(10), "");
    EXPECT_FALSE(f.UpdateData(true));
    f.ShowStrings();
    EXPECT_TRUE(host.Redraws().empty());
}

TEST(Dialog, InitialFocusGoesToTheFirstInputUnlessSetByTheDialog) {
    ScriptedHost host;
    Recorder a(host);
    ASSERT_TRUE(a.Create());
    EXPECT_EQ(a.GetWindow()->Focus(), 30);

    Recorder b(host);
    b.onInit = [&] {
        b.GotoDlgCtrl(ui::IDOK);
        return false;
    };
    ASSERT_TRUE(b.Create());
    EXPECT_EQ(b.GetWindow()->Focus(), ui::IDOK);
}

}  // namespace
