// The battery check against the simulated camera and bench: the values it
// stores from what the camera read and the ammeter showed, the question
// that lets the operator start over and the readings nobody gives, the
// limits of the A/D readings, the read-back of the DRAM copies, and the
// current input window.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "adjust/bc_adjust_dlg.h"
#include "adjust/current_input_dlg.h"
#include "tests/adjust/item_fixture.h"

namespace {

using test_support::Bytes;

// The BC A/D limits of the sample STD.DAT.
constexpr std::uint32_t kAdMin = 700, kAdMax = 780;

// The nominal unit reads 7.2 V as 737, 739 and 738; the ammeter shows
// 0.329 A and 0.522 A at 7.2 V, 0.309 A and 0.489 A at 7.7 V, CCD off and on.
constexpr const char* kNominalLog =
    "OK\r\nＢＣ調整\r\n消費電流値調整\r\n7.2[V]時の消費電流（CCD-OFF)\r\n7.2[V]時の消費電流（CCD-ON)\r\n"
    "7.7[V]時の消費電流（CCD-OFF)\r\n7.7[V]時の消費電流（CCD-ON)\r\nA/D値調整\r\n"
    "[0] BC AD = 737[LSB] \r\n[1] BC AD = 739[LSB] \r\n[2] BC AD = 738[LSB] \r\nAVE BC AD = 738[LSB] \r\n"
    "調整値書き込み\r\nA/D値調整値= 738[LSB]\r\n消費電流調整値\r\n"
    "7200mV-OFF = 33  ON = 52  7700mV-OFF = 31  ON = 49[LSB]\r\n";

class BcAdjustTest : public test_support::ItemTest {
protected:
    int Run(std::uint32_t adMin = kAdMin, std::uint32_t adMax = kAdMax) {
        CBcAdjustDlg dlg(host_);
        dlg.m_adMin = adMin;
        dlg.m_adMax = adMax;
        return ItemTest::Run(dlg, "battery");
    }
    void MarkStoredValues() {
        for (sim::Memory m : {sim::Memory::McuEeprom, sim::Memory::McuDram}) {
            const std::size_t at = m == sim::Memory::McuDram ? 1024 : 0;
            for (std::size_t a : {2u, 3u, 259u, 260u, 261u, 262u}) Camera().Mem(m)[a + at] = 0xEE;
        }
    }
};

TEST_F(BcAdjustTest, NominalUnitStoresTheAdReadingAndTheAmmeterCurrents) {
    Start("nominal");
    MarkStoredValues();
    ASSERT_EQ(Run(), 1) << log_;
    EXPECT_EQ(log_, kNominalLog);
    EXPECT_EQ(hands_->Typed(), (std::vector<std::string>{"0.329", "0.522", "0.309", "0.489"}));

    // A/D 738 low byte first; the currents in 10 mA.
    const Bytes ad = {0xE2, 0x02}, currents = {33, 52, 31, 49};
    EXPECT_EQ(Mem(sim::Memory::McuEeprom, 2, 2), ad);
    EXPECT_EQ(Mem(sim::Memory::McuDram, 1026, 2), ad);
    EXPECT_EQ(Mem(sim::Memory::McuEeprom, 259, 4), currents);
    EXPECT_EQ(Mem(sim::Memory::McuDram, 1283, 4), currents);
    const auto& eeprom = Camera().Mem(sim::Memory::McuEeprom);
    EXPECT_EQ(platform::GetBe16(&eeprom[sim::kMcuChecksumEnd]), sim::McuChecksum(eeprom));
    EXPECT_FALSE(Camera().Modes().inspection);
    EXPECT_FALSE(Camera().Modes().ccdPower);
    EXPECT_DOUBLE_EQ(sim::Sim().Bench().supplyVolts, 9.0);  // the last prompt's

    // The prompts in their order, and the CCD power before each reading.
    std::vector<std::string> boxes;
    for (const auto& b : host_.MessageBoxes()) boxes.push_back(b.text);
    EXPECT_EQ(boxes, (std::vector<std::string>{
                         "電池工具（抵抗無し）を使用してますか？\r\nやりなおす場合はキャンセルを押してください。",
                         "電源電圧を７．２［Ｖ］に設定してください。", "電源電圧を７．７［Ｖ］に設定してください。",
                         "電源電圧を７．２［Ｖ］に設定してください。", "電池電圧を９[V]に設定してください"}));
    std::vector<std::string> power;
    for (const auto& c : sent_)
        if (c.name.starts_with("DXC_CCD_POWER")) power.push_back(c.name);
    EXPECT_EQ(power, (std::vector<std::string>{"DXC_CCD_POWEROFF", "DXC_CCD_POWERON", "DXC_CCD_POWEROFF",
                                               "DXC_CCD_POWERON", "DXC_CCD_POWEROFF"}));

    // The record: the currents as entered, each reading against its limits, the mean.
    std::vector<std::tuple<std::string, double, bool>> measured;
    for (const RunMeasurement& m : record_.Measurements()) {
        measured.emplace_back(m.name, m.value, m.passed);
        if (m.name == "BC AD") {
            EXPECT_EQ(m.low, kAdMin);
            EXPECT_EQ(m.high, kAdMax);
        } else {
            EXPECT_FALSE(m.low || m.high) << m.name;
        }
    }
    using T = std::tuple<std::string, double, bool>;
    EXPECT_EQ(measured, (std::vector<T>{T{"7200mV CCD-OFF", 0.329, true}, T{"7200mV CCD-ON", 0.522, true},
                                        T{"7700mV CCD-OFF", 0.309, true}, T{"7700mV CCD-ON", 0.489, true},
                                        T{"BC AD", 737, true}, T{"BC AD", 739, true}, T{"BC AD", 738, true},
                                        T{"AVE BC AD", 738, true}}));
}

TEST_F(BcAdjustTest, DeviatingAnswersUnitsAndReadBacks) {
    struct Case {
        const char* what;
        const char* profile;
        std::function<void(sim::Camera&)> fault;
        std::uint32_t adMin, adMax;
        int result;
        int adReadings;   // subroutine calls
        bool written;     // the EEPROM got the values
    };
    const std::vector<Case> cases = {
        // A window of just the nominal unit's three readings has two of them on its limits.
        {"readings on the limits pass", "nominal", {}, 737, 739, 1, 3, true},
        {"A/D 63 LSB low: 23 at the first reading", "battery-ad", {}, kAdMin, kAdMax, 23, 1, false},
        {"DRAM copy reads back otherwise", "nominal",
         [](sim::Camera& c) { c.Faults().mcuReadCorrupted = {1, "AR", 1026}; }, kAdMin, kAdMax, 11, 3, false},
        {"DRAM currents read back otherwise", "nominal",
         [](sim::Camera& c) { c.Faults().mcuReadCorrupted = {1, "AR", 1283}; }, kAdMin, kAdMax, 11, 3, false},
        {"EEPROM reads back otherwise", "nominal",
         [](sim::Camera& c) { c.Faults().mcuReadCorrupted = {1, "AU", 2}; }, kAdMin, kAdMax, 12, 3, true},
        {"inspection mode refused three times", "nominal", [](sim::Camera& c) { c.Faults().mcuReply = {3, 'n'}; },
         kAdMin, kAdMax, 3, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Start(c.profile);
        MarkStoredValues();
        const Bytes before = Mem(sim::Memory::McuEeprom, 0, 300);
        // The fault strikes once the currents are in.
        host_.SetResponder([&](const ui::scripted::MessageBoxRecord& box) {
            if (c.fault && box.text.starts_with("電源電圧を７．７")) c.fault(Camera());
            return ui::IDOK;
        });
        EXPECT_EQ(Run(c.adMin, c.adMax), c.result) << log_;
        int calls = 0;
        for (const Bytes& cmd : McuCommands()) calls += cmd == Bytes{'E', 'S', 37};
        EXPECT_EQ(calls, c.adReadings);
        EXPECT_EQ(Mem(sim::Memory::McuEeprom, 0, 300) != before, c.written);
        if (c.adMin == 737) {
            EXPECT_NE(log_.find("[0] BC AD = 737[LSB] \r\n[1] BC AD = 739[LSB] \r\n"), std::string::npos) << log_;
        }
    }
}

// Cancel at the question (to start over), and an input window that no one
// answers: the item ends with 22 and the camera keeps what it had.
TEST_F(BcAdjustTest, NoAnswerEndsWith22AndNothingIsWritten) {
    for (const bool atQuestion : {true, false}) {
        SCOPED_TRACE(atQuestion ? "Cancel at the question" : "the current input unanswered");
        Start("nominal");
        const Bytes eeprom = Camera().Mem(sim::Memory::McuEeprom), dram = Camera().Mem(sim::Memory::McuDram);
        if (atQuestion)
            host_.QueueAnswer(ui::IDCANCEL);
        else
            hands_.reset();
        EXPECT_EQ(Run(), 22);
        EXPECT_EQ(log_.rfind("NG\r\nＢＣ調整\r\n", 0), 0u) << log_;
        EXPECT_TRUE(record_.Measurements().empty());
        EXPECT_EQ(McuCommands(), std::vector<Bytes>{});  // inspection mode never opened
        EXPECT_EQ(Camera().Mem(sim::Memory::McuEeprom), eeprom);
        EXPECT_EQ(Camera().Mem(sim::Memory::McuDram), dram);
        EXPECT_EQ(host_.WaitCursorDepth(), 0);
        if (atQuestion) {
            EXPECT_TRUE(sent_.empty());
        } else {
            ASSERT_FALSE(host_.Stalls().empty());  // nobody there: the host closed the window
            EXPECT_EQ(host_.Stalls().back().dialogId, CCurrentInputDlg::IDD);
        }
    }
}

TEST(BcCurrentByte, TenMilliampereSteps) {
    for (auto [amps, byte] : std::vector<std::pair<double, int>>{
             {0.374, 37}, {0.376, 38}, {0.0, 0}, {0.01, 1}, {2.55, 255}, {2.555, 255}})
        EXPECT_EQ(CBcAdjustDlg::CurrentByte(amps), byte) << amps;
}

TEST(CurrentInput, RefusesWhatIsNotACurrentTheCameraHoldsAndKeepsAsking) {
    ui::scripted::ScriptedHost host;
    CCurrentInputDlg dlg(host);
    dlg.m_title = "7.2[V] CCD-ON";
    dlg.m_prompt = "下記に電流計の値[Ａ]を入力してください。";
    const char* range = "0 から 2.555 までの数値を入力してください。";
    const std::vector<std::pair<std::string, const char*>> refused = {
        {"abc", "数字を入力してください。"}, {"", "数字を入力してください。"}, {"0.3x", "数字を入力してください。"},
        {"-0.001", range}, {"2.556", range}, {"nan", "数字を入力してください。"}, {"1e9", range}};
    auto& script = host.OnShow(CCurrentInputDlg::IDD);
    script.Do([](ui::Dialog& d) {
        EXPECT_EQ(d.GetWindowText(), "7.2[V] CCD-ON");
        EXPECT_EQ(d.GetDlgItemText(1135), "下記に電流計の値[Ａ]を入力してください。");
        EXPECT_EQ(d.GetDlgItemText(1028), "");  // nothing that Enter could take for a reading
        EXPECT_EQ(d.GetWindow()->Focus(), 1028);
    });
    script.Enter();  // as it opened
    for (const auto& [text, message] : refused) script.Type(1028, text).Click(ui::IDOK);
    script.Escape().Close().Type(1028, "2.555").Click(ui::IDOK);
    EXPECT_EQ(dlg.DoModal(), ui::IDOK);
    ASSERT_TRUE(dlg.m_current);
    EXPECT_DOUBLE_EQ(*dlg.m_current, 2.555);
    ASSERT_EQ(host.MessageBoxes().size(), refused.size() + 1);
    EXPECT_EQ(host.MessageBoxes()[0].text, "数字を入力してください。");
    for (std::size_t i = 0; i < refused.size(); ++i)
        EXPECT_EQ(host.MessageBoxes()[i + 1].text, refused[i].second) << i;
    EXPECT_TRUE(host.Stalls().empty());
}

}  // namespace
