// The TFT display position window driven button by button against the
// simulated camera's TFT EEPROM.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adjust/tft_position_dlg.h"
#include "tests/adjust/item_fixture.h"

namespace {

using test_support::Bytes;

constexpr int IDD = 157, kNtsc = 1141, kPal = 1142, kOk = 1008, kUp = 1009, kDown = 1024, kLeft = 1114,
              kRight = 1025;
const char* const kOver = "TFT調整オーバーです";

class TftPositionTest : public test_support::ItemTest {
protected:
    void SetUp() override {
        ItemTest::SetUp();
        Start("nominal");
        dlg_.m_pCamera = &cam_;
    }
    static std::vector<std::uint8_t>& Tft() { return sim::Sim().FirstCamera().Mem(sim::Memory::TftEeprom); }
    static Bytes Block(std::uint32_t address) { return Mem(sim::Memory::TftEeprom, address, 8); }
    // Sets a position field, keeping the bits around it.
    static void SetField(std::uint32_t address, int byte, std::uint8_t mask, int value) {
        auto& b = Tft()[address + byte];
        b = static_cast<std::uint8_t>((b & ~mask) | value);
    }
    std::vector<std::string> Names() const { return sim::Sim().CommandNames(); }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& b : host_.MessageBoxes()) out.push_back(b.text);
        return out;
    }

    CTftPositionDlg dlg_{host_};
};

TEST_F(TftPositionTest, PalVerticalRangeAndStep) {
    SetField(328, 5, 0x1F, 26);
    const Bytes before = Block(328);
    auto& s = host_.OnShow(IDD).Click(kPal).Click(kUp);
    s.Do([&](ui::Dialog&) {
        EXPECT_EQ(Block(328), before);  // refused, nothing written
        EXPECT_EQ(Count("DXC_TFTEEPROM_DATAWRITE"), 0);
    });
    s.Click(kDown).Do([&](ui::Dialog&) {
        EXPECT_EQ(Tft()[328 + 5] & 0x1F, 20);
        SetField(328, 5, 0x1F, 7);
    });
    s.Click(kDown).Click(kOk);
    dlg_.DoModal();
    EXPECT_EQ(Tft()[328 + 5] & 0x1F, 7);
    EXPECT_EQ(Count("DXC_TFTEEPROM_DATAWRITE"), 1);
    EXPECT_EQ(Texts(), (std::vector<std::string>{kOver, kOver}));
    for (const auto& b : host_.MessageBoxes()) EXPECT_EQ(b.ownerId, 0);
    EXPECT_EQ(dlg_.m_result, 1);
    EXPECT_EQ(sim::Sim().FirstCamera().Modes().videoMode, 1);
}

TEST_F(TftPositionTest, NtscAndHorizontalBoundsAreInclusive) {
    SetField(72, 5, 0x1F, 30);
    SetField(72, 1, 0x3F, 63);
    auto& s = host_.OnShow(IDD).Click(kNtsc).Click(kUp);
    s.Do([&](ui::Dialog&) { EXPECT_EQ(Tft()[72 + 5] & 0x1F, 31); });
    s.Click(kUp).Click(kRight).Do([&](ui::Dialog&) { SetField(72, 1, 0x3F, 0); }).Click(kLeft);
    s.Do([&](ui::Dialog&) { SetField(72, 5, 0x1F, 0); }).Click(kDown).Click(kOk);
    dlg_.DoModal();
    EXPECT_EQ(Tft()[72 + 5] & 0x1F, 0);
    EXPECT_EQ(Tft()[72 + 1] & 0x3F, 0);
    EXPECT_EQ(Texts(), (std::vector<std::string>{kOver, kOver, kOver, kOver}));
    EXPECT_EQ(Count("DXC_TFTEEPROM_DATAWRITE"), 1);
}

TEST_F(TftPositionTest, MovesKeepEveryOtherBitAndUpdateTheDisplay) {
    Tft()[72 + 1] = 0x80 | 10;  // bits 6 and 7 differ
    Tft()[72 + 5] = 0xA0 | 15;  // bits 5 to 7 differ
    const Bytes before = Block(72);
    const Bytes palBefore = Block(328);
    auto& s = host_.OnShow(IDD).Click(kNtsc);
    const std::vector<int> moves = {kUp, kUp, kRight, kLeft, kLeft, kLeft, kDown, kRight, kUp, kRight, kRight, kDown};
    for (int m : moves) s.Click(m);
    s.Do([&](ui::Dialog&) {
        // Each move: two reads that must agree, write, update 4 and 5, the
        // block read back, nothing else.
        const auto& cmds = sim::Sim().Commands();
        const size_t first = cmds.size() - 6 * moves.size();
        for (size_t i = 0; i < moves.size(); ++i) {
            const auto* move = &cmds[first + 6 * i];
            EXPECT_EQ(move[0].name, "DXC_TFTEEPROM_DATAREAD");
            EXPECT_EQ(move[1].name, "DXC_TFTEEPROM_DATAREAD");
            EXPECT_EQ(move[2].name, "DXC_TFTEEPROM_DATAWRITE");
            EXPECT_EQ(move[3].name, "DXC_UPDATECOMMAND");
            EXPECT_EQ(move[4].name, "DXC_UPDATECOMMAND");
            EXPECT_EQ(move[5].name, "DXC_TFTEEPROM_DATAREAD");
            EXPECT_EQ(move[3].cdb[2], 0x31);
            EXPECT_EQ(move[4].cdb[2], 0x3F);
        }
    });
    s.Click(kOk);
    dlg_.DoModal();
    EXPECT_TRUE(host_.MessageBoxes().empty());
    const Bytes after = Block(72);
    for (int i : {0, 2, 3, 4, 6, 7}) EXPECT_EQ(after[i], before[i]) << i;
    EXPECT_EQ(after[1], 0x80 | 11);  // four right, three left
    EXPECT_EQ(after[5], 0xA0 | 16);  // three up, two down
    EXPECT_EQ(Block(328), palBefore);
}

TEST_F(TftPositionTest, DirectionBeforeModeAndOkWithoutMode) {
    const Bytes before = Block(72);
    host_.OnShow(IDD).Click(kUp).Click(kLeft).Click(kOk);
    dlg_.DoModal();
    EXPECT_EQ(Texts(), (std::vector<std::string>(2, "VIDEOモードを選択してください")));
    EXPECT_EQ(Names(), std::vector<std::string>{"DXC_PLAY_OFF"});
    EXPECT_EQ(dlg_.m_result, 1);
    EXPECT_EQ(Block(72), before);
}

TEST_F(TftPositionTest, EscapeOrTheCloseButtonSwitchPlayOffLikeOk) {
    for (const char* how : {"escape", "close"}) {
        SCOPED_TRACE(how);
        sim::Sim().ClearCommands();
        CTftPositionDlg dlg(host_);
        dlg.m_pCamera = &cam_;
        auto& s = host_.OnShow(IDD).Click(kPal).Do([](ui::Dialog&) {
            ASSERT_TRUE(sim::Sim().FirstCamera().Modes().playMode);  // the test pattern shows
        });
        if (std::string(how) == "escape")
            s.Escape();
        else
            s.Close();
        dlg.DoModal();
        EXPECT_FALSE(dlg.IsOpen());
        EXPECT_FALSE(sim::Sim().FirstCamera().Modes().playMode);
        EXPECT_EQ(Names().back(), "DXC_PLAY_OFF");
        EXPECT_EQ(dlg.m_result, 1);
        EXPECT_TRUE(host_.Stalls().empty());
    }
}

TEST_F(TftPositionTest, FailedModeSelectionClosesWithThree) {
    sim::Sim().InjectSense(sim::MakeSense(sim::kSenseNotReady, sim::kAscNotReady), 1, "DXC_PAL_MODE");
    auto& s = host_.OnShow(IDD).Click(kPal).Click(kUp).Click(kOk);
    dlg_.DoModal();
    EXPECT_EQ(Texts(), std::vector<std::string>{"USB通信エラーです。もう一度やり直してください"});
    EXPECT_EQ(dlg_.m_result, 3);
    EXPECT_EQ(Count("DXC_TFTEEPROM_DATAREAD"), 0);
    EXPECT_FALSE(s.Empty());  // closed before the operator went on
}

TEST_F(TftPositionTest, FailedMoveKeepsTheWindowOpenAndTheResult) {
    host_.OnShow(IDD).Click(kNtsc).Do([](ui::Dialog&) {
        sim::Sim().InjectSense(sim::MakeSense(sim::kSenseNotReady, sim::kAscNotReady), 1,
                               "DXC_TFTEEPROM_DATAWRITE");
    }).Click(kUp).Click(kUp).Click(kOk);
    const int v = Tft()[72 + 5] & 0x1F;
    dlg_.DoModal();
    EXPECT_EQ(Texts(), std::vector<std::string>{"USB通信エラーです"});
    EXPECT_EQ(Tft()[72 + 5] & 0x1F, v + 1);  // the second press went through
    EXPECT_EQ(dlg_.m_result, 1);
}

TEST_F(TftPositionTest, BusResetDuringTheReadFailsTheMoveAndWritesNothing) {
    SetField(72, 5, 0x1F, 15);
    auto& camera = sim::Sim().FirstCamera();
    const auto working = camera.Mem(sim::Memory::TftEeprom);
    const auto flash = camera.Mem(sim::Memory::TftEepromFlash);
    dlg_.m_videoMode = 0;
    sim::Sim().LeaveNextPending("DXC_TFTEEPROM_DATAREAD");
    host_.VClock().After(20, [] { sim::Sim().InterruptPending(LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_BUSRESET)); });
    EXPECT_EQ(dlg_.MoveTftPosition(CTftPositionDlg::kVertical, CTftPositionDlg::kPlus), 3);
    EXPECT_EQ(camera.Mem(sim::Memory::TftEeprom), working);
    EXPECT_EQ(camera.Mem(sim::Memory::TftEepromFlash), flash);
    EXPECT_EQ(Names(), std::vector<std::string>{"DXC_TFTEEPROM_DATAREAD"});
}

}  // namespace
