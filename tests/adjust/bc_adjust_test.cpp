// The battery check against the simulated camera and bench: the values it
// stores against the A/D and ammeter model of sim/README.md, the question
// that lets the operator start over and the readings nobody gives, the
// limits of the A/D readings, the read-back of the DRAM copies, and the
// current input window.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "adjust/bc_adjust_dlg.h"
#include "adjust/current_input_dlg.h"
#include "platform/big_endian.h"
#include "platform/format.h"
#include "tests/adjust/item_fixture.h"
#include "tests/support/bench_operator.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The BC A/D limits of the sample STD.DAT.
constexpr std::uint32_t kAdMin = 700, kAdMax = 780;

// The ammeter from the unit's profile (sim/README.md), shown to the milliampere.
double ModelCurrent(const sim::UnitProfile& u, double volts, bool ccdOn) {
    const double amps = (u.basePowerW + (ccdOn ? u.ccdPowerW : 0)) / (volts * u.converterEfficiency) + u.quiescentA;
    return std::floor(amps * 1000 + 0.5) / 1000;
}

class BcAdjustTest : public test_support::ItemTest {
protected:
    int RunItem(CBcAdjustDlg& dlg, std::uint32_t adMin = kAdMin, std::uint32_t adMax = kAdMax) {
        dlg.m_pCamera = &cam_;
        dlg.m_pRecord = &record_;
        dlg.m_adMin = adMin;
        dlg.m_adMax = adMax;
        dlg.DoModal();
        return dlg.m_result;
    }
    // The A/D readings the camera answered at 2566.
    std::vector<int> AdReadings() const {
        std::vector<int> out;
        const auto sends = Sent("DXC_CAMMCU_TESTCMD_SEND");
        const auto answers = Sent("DXC_CAMMCU_TESTCMD_RESP");
        for (std::size_t i = 0; i < sends.size() && i < answers.size(); ++i)
            if (sends[i].dataOut == Bytes{'A', 'R', 0x00, 0x0A, 0x06, 2})
                out.push_back(answers[i].dataIn[0] | answers[i].dataIn[1] << 8);
        return out;
    }
    Bytes Memory(sim::Memory m, std::size_t address, std::size_t n) {
        const auto& mem = Cam().Mem(m);
        return Bytes(mem.begin() + static_cast<std::ptrdiff_t>(address),
                     mem.begin() + static_cast<std::ptrdiff_t>(address + n));
    }
    void MarkStoredValues() {
        for (sim::Memory m : {sim::Memory::McuEeprom, sim::Memory::McuDram}) {
            const std::size_t at = m == sim::Memory::McuDram ? 1024 : 0;
            for (std::size_t a : {2u, 3u, 259u, 260u, 261u, 262u}) Cam().Mem(m)[a + at] = 0xEE;
        }
    }
};

TEST_F(BcAdjustTest, NominalUnitStoresTheAdReadingAndTheAmmeterCurrents) {
    StartUnit("nominal");
    test_support::BenchOperator hands(host_);
    MarkStoredValues();
    CBcAdjustDlg dlg(host_);
    ASSERT_EQ(RunItem(dlg), 1) << dlg.m_log;

    // A/D: three readings of 7.2 V on the battery tool, their rounded mean.
    const sim::UnitProfile& u = Cam().Unit();
    const std::vector<int> readings = AdReadings();
    ASSERT_EQ(readings.size(), 3u);
    const int modelAd = static_cast<int>(std::floor(u.adOffset + u.adSlope * 7.2 + 0.5));
    for (int r : readings) EXPECT_LE(std::abs(r - modelAd), 1) << r;
    const int ad = static_cast<int>(std::floor((readings[0] + readings[1] + readings[2]) / 3.0 + 0.5));
    const Bytes adBytes = {static_cast<std::uint8_t>(ad), static_cast<std::uint8_t>(ad >> 8)};

    // Currents: what the ammeter showed at 7.2 V and 7.7 V, CCD off and on, in 10 mA.
    const double amps[4] = {ModelCurrent(u, 7.2, false), ModelCurrent(u, 7.2, true), ModelCurrent(u, 7.7, false),
                            ModelCurrent(u, 7.7, true)};
    Bytes currents;
    std::vector<std::string> typed;
    for (double a : amps) {
        currents.push_back(static_cast<std::uint8_t>(std::floor(a * 100 + 0.5)));
        typed.push_back(platform::Format("%.3f", a));
    }
    EXPECT_EQ(hands.Typed(), typed);

    EXPECT_EQ(Memory(sim::Memory::McuEeprom, 2, 2), adBytes);
    EXPECT_EQ(Memory(sim::Memory::McuDram, 1026, 2), adBytes);
    EXPECT_EQ(Memory(sim::Memory::McuEeprom, 259, 4), currents);
    EXPECT_EQ(Memory(sim::Memory::McuDram, 1283, 4), currents);
    const auto& eeprom = Cam().Mem(sim::Memory::McuEeprom);
    EXPECT_EQ(platform::GetBe16(&eeprom[sim::kMcuChecksumEnd]), sim::McuChecksum(eeprom));
    EXPECT_FALSE(Cam().Modes().inspection);
    EXPECT_FALSE(Cam().Modes().ccdPower);
    EXPECT_DOUBLE_EQ(sim::Sim().Bench().supplyVolts, 9.0);  // the last prompt's

    std::string log = "OK\r\nＢＣ調整\r\n消費電流値調整\r\n7.2[V]時の消費電流（CCD-OFF)\r\n7.2[V]時の消費電流（CCD-ON)\r\n"
                      "7.7[V]時の消費電流（CCD-OFF)\r\n7.7[V]時の消費電流（CCD-ON)\r\nA/D値調整\r\n";
    for (std::size_t i = 0; i < 3; ++i)
        log += platform::Format("[%d] BC AD = %d[LSB] \r\n", static_cast<int>(i), readings[i]);
    log += platform::Format("AVE BC AD = %d[LSB] \r\n調整値書き込み\r\nA/D値調整値= %d[LSB]\r\n消費電流調整値\r\n", ad, ad);
    log += platform::Format("7200mV-OFF = %d  ON = %d  7700mV-OFF = %d  ON = %d[LSB]\r\n", currents[0], currents[1],
                            currents[2], currents[3]);
    EXPECT_EQ(dlg.m_log, log);

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
    EXPECT_EQ(measured, (std::vector<T>{T{"7200mV CCD-OFF", std::stod(typed[0]), true},
                                        T{"7200mV CCD-ON", std::stod(typed[1]), true},
                                        T{"7700mV CCD-OFF", std::stod(typed[2]), true},
                                        T{"7700mV CCD-ON", std::stod(typed[3]), true},
                                        T{"BC AD", readings[0], true}, T{"BC AD", readings[1], true},
                                        T{"BC AD", readings[2], true}, T{"AVE BC AD", ad, true}}));
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
        // The model's reading is 738 +- 1: a window of exactly that range has
        // its readings on the limits.
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
        StartUnit(c.profile);
        test_support::BenchOperator hands(host_);
        MarkStoredValues();
        const Bytes before = Memory(sim::Memory::McuEeprom, 0, 300);
        // The fault strikes once the currents are in.
        host_.SetResponder([&](const ui::scripted::MessageBoxRecord& box) {
            if (c.fault && box.text.starts_with("電源電圧を７．７")) c.fault(Cam());
            return ui::IDOK;
        });
        CBcAdjustDlg dlg(host_);
        EXPECT_EQ(RunItem(dlg, c.adMin, c.adMax), c.result) << dlg.m_log;
        int calls = 0;
        for (const Bytes& cmd : McuCommands()) calls += cmd == Bytes{'E', 'S', 37};
        EXPECT_EQ(calls, c.adReadings);
        EXPECT_EQ(Memory(sim::Memory::McuEeprom, 0, 300) != before, c.written);
        if (c.adMin == 737) {
            const std::vector<int> r = AdReadings();
            EXPECT_TRUE(std::find(r.begin(), r.end(), 737) != r.end() || std::find(r.begin(), r.end(), 739) != r.end());
        }
        host_.SetResponder({});
        cam_.DisconnectCamera();
    }
}

// Cancel at the question (to start over), and an input window that no one
// answers: the item ends with 22 and the camera keeps what it had.
TEST_F(BcAdjustTest, NoAnswerEndsWith22AndNothingIsWritten) {
    for (const bool atQuestion : {true, false}) {
        SCOPED_TRACE(atQuestion ? "Cancel at the question" : "the current input unanswered");
        StartUnit("nominal");
        const Bytes eeprom = Cam().Mem(sim::Memory::McuEeprom), dram = Cam().Mem(sim::Memory::McuDram);
        if (atQuestion) host_.QueueAnswer(ui::IDCANCEL);
        CBcAdjustDlg dlg(host_);
        EXPECT_EQ(RunItem(dlg), 22);
        EXPECT_EQ(dlg.m_log.rfind("NG\r\nＢＣ調整\r\n", 0), 0u) << dlg.m_log;
        EXPECT_TRUE(record_.Measurements().empty());
        EXPECT_EQ(McuCommands(), std::vector<Bytes>{});  // inspection mode never opened
        EXPECT_EQ(Cam().Mem(sim::Memory::McuEeprom), eeprom);
        EXPECT_EQ(Cam().Mem(sim::Memory::McuDram), dram);
        EXPECT_EQ(host_.WaitCursorDepth(), 0);
        if (atQuestion) {
            EXPECT_TRUE(sent_.empty());
        } else {
            ASSERT_FALSE(host_.Stalls().empty());  // nobody there: the host closed the window
            EXPECT_EQ(host_.Stalls().back().dialogId, CCurrentInputDlg::IDD);
        }
        cam_.DisconnectCamera();
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
