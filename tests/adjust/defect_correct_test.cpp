// The CCD defect correction against the simulated camera: what it finds in
// the dark frame, what the camera's CCD EEPROM holds afterwards, and where
// it stops, compared with tables computed here from the units' profiles.

#include "adjust/defect_correct_dlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "camera/usb_camera.h"
#include "history/run_record.h"
#include "platform/big_endian.h"
#include "sim/picture_file.h"
#include "sim/simulator.h"
#include "tests/support/work_dir.h"
#include "ui/scripted/scripted_host.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint16_t kLevel = 150;

// The table the camera should hold after a run: the unit's defects that
// the dark frame shows over the level (those already in the table are
// hidden by the camera), with the stored ones, per colour sorted by (V, H),
// each once, neighbours two columns apart marked as a pair.
Bytes ExpectedTable(const sim::UnitProfile& unit) {
    std::map<bool, std::vector<std::pair<std::uint16_t, std::uint16_t>>> lists;  // blue -> (V, H)
    for (const auto& d : unit.storedDefects) lists[d.blue].push_back({std::uint16_t(d.v & 0x0FFF), d.h});
    for (const auto& hp : unit.hotPixels) {
        const bool blue = hp.y % 2 == 1;
        const std::uint16_t v = static_cast<std::uint16_t>(blue ? (hp.y + 5) / 2 : (hp.y + 6) / 2);
        const std::uint16_t h = static_cast<std::uint16_t>(hp.x + 66);
        const bool hidden = std::any_of(unit.storedDefects.begin(), unit.storedDefects.end(), [&](const auto& d) {
            return d.blue == blue && (d.v & 0x0FFF) == v && d.h == h;
        });
        // 1/4 s at the factory gain, unity colour gains: the level as given, noise of a few LSB.
        if (hp.x > 0 && hp.level > kLevel && !hidden) lists[blue].push_back({v, h});
    }
    Bytes image(6);
    for (bool blue : {false, true}) {
        auto& l = lists[blue];
        std::sort(l.begin(), l.end());
        l.erase(std::unique(l.begin(), l.end()), l.end());
        std::vector<std::uint16_t> marks(l.size());
        for (std::size_t j = 0; j + 1 < l.size(); ++j)
            if (l[j].first == l[j + 1].first && l[j].second + 2 == l[j + 1].second) {
                marks[j] |= 0x2000;
                marks[j + 1] |= 0x4000;
            }
        platform::PutBe16(&image[blue ? 2 : 0], static_cast<std::uint16_t>(l.size()));
        for (std::size_t j = 0; j < l.size(); ++j) {
            const std::size_t at = image.size();
            image.resize(at + 4);
            platform::PutBe16(&image[at], static_cast<std::uint16_t>(l[j].first | marks[j]));
            platform::PutBe16(&image[at + 2], l[j].second);
        }
    }
    return image;
}

class DefectCorrectTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Sim().Reset();
        CUsbCamera::BindDriverEntry(&SimLvDriverEntry);
    }
    void TearDown() override {
        cam_.DisconnectCamera();
        CUsbCamera::BindDriverEntry(nullptr);
    }

    // The unit on the bench with a capped lens, in a session with the checker open.
    sim::Camera& Use(const std::string& profile) {
        sim::Simulator& s = sim::Sim();
        s.ClearDevices();
        EXPECT_NE(s.AddCamera(profile), 0u) << s.LastError();
        SimBench bench = s.Bench();
        bench.lens = SIM_LENS_CAPPED;
        bench.light = SIM_LIGHT_OFF;
        s.SetBench(bench);
        EXPECT_EQ(cam_.ConnectCamera(), 1);
        EXPECT_EQ(cam_.ResumeSession(), 1);
        EXPECT_EQ(cam_.OpenChecker(), 1);
        s.ClearCommands();
        return s.FirstCamera();
    }

    // Runs the window, answering the write question with `answer` if it is asked.
    int Run(int answer = ui::IDOK, std::uint32_t maxWrites = 390) {
        CDefectCorrectDlg dlg(host_);
        dlg.m_pCamera = &cam_;
        dlg.m_pRecord = &record_;
        dlg.m_judgementLevel = kLevel;
        dlg.m_maxWrites = maxWrites;
        asked_ = false;
        host_.SetDefaultScript([this, answer](ui::Dialog& d, ui::scripted::Script& s) {
            if (d.Id() != CMessageBoxDlg::IDD) return;
            asked_ = true;
            s.Click(answer);
        });
        record_.Begin(0x0800, 0);
        record_.BeginItem("defect", 0);
        dlg.DoModal();
        log_ = dlg.m_log;
        EXPECT_EQ(dlg.GetWindow(), nullptr);
        return dlg.m_result;
    }
    static int Count(const std::string& name) {
        const auto& c = sim::Sim().Commands();
        return static_cast<int>(std::count_if(c.begin(), c.end(), [&](const auto& r) { return r.name == name; }));
    }
    static Bytes Table(const sim::Camera& cam, std::size_t n) {
        const auto& ee = cam.Mem(sim::Memory::CcdEeprom);
        return Bytes(ee.begin() + 370, ee.begin() + 370 + static_cast<std::ptrdiff_t>(n));
    }

    ui::scripted::ScriptedHost host_;
    CUsbCamera cam_{host_.VClock()};
    RunRecord record_;
    bool asked_ = false;
    std::string log_;
};

TEST_F(DefectCorrectTest, UnitsEndWithTheirTableOrTheirNumber) {
    struct Case {
        const char* unit;
        int answer;
        int result;
        bool asked;
        bool written;
    };
    const Case cases[] = {
        {"nominal", ui::IDOK, 1, true, true},
        {"nominal", ui::IDCANCEL, 1, true, false},
        {"stored-defects", ui::IDOK, 1, true, true},
        {"many-defects", ui::IDOK, 69, false, false},     // the 392nd pixel over the level
        {"defect-cluster", ui::IDOK, 72, true, false},    // four side by side
        {"defect-table-bad", ui::IDOK, 71, true, false},  // H = 0xFFFF in the camera's table
        {"defect-count-over", ui::IDOK, 69, false, false},  // 600 R entries claimed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unit) + (c.answer == ui::IDOK ? " OK" : " CANCEL"));
        sim::Camera& cam = Use(c.unit);
        const Bytes before = cam.Mem(sim::Memory::CcdEeprom);
        EXPECT_EQ(Run(c.answer), c.result);
        EXPECT_EQ(asked_, c.asked);
        EXPECT_EQ(log_.substr(0, 4), c.result == 1 ? "OK\r\n" : "NG\r\n");
        EXPECT_EQ(Count("DXC_CCDEEPROM_DATAWRITE") > 0, c.written);
        if (c.written) {
            const Bytes expected = ExpectedTable(cam.Unit());
            EXPECT_EQ(Table(cam, expected.size()), expected);
            EXPECT_FALSE(cam.Modes().ccdPower);
            // Nothing beyond the table changed: the aperture table after it least of all.
            const auto& now = cam.Mem(sim::Memory::CcdEeprom);
            EXPECT_TRUE(std::equal(now.begin() + 370 + static_cast<std::ptrdiff_t>(expected.size()), now.end(),
                                   before.begin() + 370 + static_cast<std::ptrdiff_t>(expected.size())));
        } else {
            EXPECT_EQ(cam.Mem(sim::Memory::CcdEeprom), before);
        }
        if (c.answer == ui::IDCANCEL) {
            EXPECT_EQ(Count("DXC_CCD_POWERON"), 0);
        }
    }
}

TEST_F(DefectCorrectTest, NominalLogAndRecord) {
    Use("nominal");
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(log_.rfind("OK\r\n暗時白欠陥画素検出\r\nCCD EEPROM書き込み数  R数=    0  B数=    0 TOTAL=0\r\n画素欠陥検出\r\n"
                         "[0]RAW X= 2800, Y= 91 ,LEVEL= ",
                         0),
              0u);
    EXPECT_NE(log_.find("検出画素欠陥数 = 8\r\n"), std::string::npos);
    EXPECT_NE(log_.find("\r\n書き込み済み画素欠陥情報\r\nR数=    0  B数=    0 TOTAL=0\r\n\r\n画素欠陥の最終並べ換え結果\r\nR画素\r\n"),
              std::string::npos);
    // The pair on row 1500, row first and column second in the sorted list, then marked.
    EXPECT_NE(log_.find("H(X)= 2276, V(Y)= 753 (RAW : 1500, 2210 )\r\n"), std::string::npos);
    EXPECT_NE(log_.find("H= 08E4[h] V= 22F1[h]\r\n"), std::string::npos);
    EXPECT_NE(log_.find("H= 08E6[h] V= 42F1[h]\r\n"), std::string::npos);

    std::map<std::string, std::tuple<double, double, bool>> judged;
    for (const auto& m : record_.Measurements()) judged[m.name] = {m.value, m.high.value_or(-1), m.passed};
    EXPECT_EQ(judged["DEFECTS DETECTED"], std::make_tuple(8.0, 391.0, true));
    EXPECT_EQ(judged["DEFECT TOTAL"], std::make_tuple(8.0, 390.0, true));
    EXPECT_LE(std::get<0>(judged["DARK CENTRE"]), 3.0);
    EXPECT_EQ(std::get<1>(judged["DARK CENTRE SUM"]), 50.0);
}

TEST_F(DefectCorrectTest, DarkFrameIsTakenWithUnityGains) {
    sim::Camera& cam = Use("stored-defects");
    // A station that took the dark frame with the unit's own colour gains
    // would see other pixels over the level: the 200 LSB one at B gain 0.6
    // falls below it, the 120 LSB one at R gain 1.5 rises above it.
    sim::Exposure dark;
    dark.conditions = {12, 0, 72, 0};
    const auto unreset = sim::TakePicture(cam.Unit(), sim::Sim().Bench(), cam.ModelMemories(), dark);
    EXPECT_LE(unreset->Sample(1501, 1101), kLevel);
    EXPECT_GT(unreset->Sample(1500, 1100), kLevel);

    ASSERT_EQ(Run(), 1);
    EXPECT_NE(log_.find("RAW X= 1501, Y= 1101 ,"), std::string::npos);
    EXPECT_EQ(log_.find("RAW X= 1500, Y= 1100 ,"), std::string::npos);
    // The table in force when the pictures were taken.
    std::vector<std::string> order;
    for (const auto& c : sim::Sim().Commands())
        if (c.name == "DXC_RAMCONFIG_DATAWRITE" || c.name == "DXC_MAKE_FPGAIN_TABLE" || c.name == "DCMD_TAKE_PICTURE")
            order.push_back(c.name);
    EXPECT_EQ(order, (std::vector<std::string>{"DXC_RAMCONFIG_DATAWRITE", "DXC_MAKE_FPGAIN_TABLE", "DCMD_TAKE_PICTURE",
                                               "DCMD_TAKE_PICTURE", "DCMD_TAKE_PICTURE"}));
    EXPECT_EQ(cam.BuiltFpgainTable(), (Bytes{1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0,
                                            1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0}));
}

TEST_F(DefectCorrectTest, TotalIsHeldToTheTableSpace) {
    // 100 + 200 entries already written: 91 more make 391, which the table
    // space cannot take even when the standards allow 512.
    test_support::WorkDir dir("defect_correct_total");
    struct Case {
        int detections;
        std::uint32_t maxWrites;
        int result;
        bool asked;
    };
    for (const Case c : {Case{91, 390, 69, false}, Case{91, 512, 69, false}, Case{90, 512, 1, true}}) {
        SCOPED_TRACE(c.detections);
        std::ofstream("busy.unit") << "clear_hot_pixels = x\nstored_defect_counts = 100 200\nrandom_hot_pixels = "
                                   << c.detections << "\n";
        Use("busy.unit");
        EXPECT_EQ(Run(ui::IDCANCEL, c.maxWrites), c.result);
        EXPECT_NE(log_.find("R数=  100  B数=  200 TOTAL=300\r\n"), std::string::npos);
        EXPECT_NE(log_.find("検出画素欠陥数 = " + std::to_string(c.detections) + "\r\n"), std::string::npos);
        EXPECT_EQ(asked_, c.asked);
        EXPECT_EQ(Count("DXC_CCDEEPROM_DATAWRITE"), 0);
    }
}

TEST_F(DefectCorrectTest, PictureCutShortIsAFailedCapture) {
    sim::Camera& cam = Use("nominal");
    const sim::PictureFileLayout l = sim::PictureLayout();
    cam.Faults().imageInfo = sim::CameraFaults::ImageInfo{l.sensorDataOffset + 1000, l.firstPartSize, l.blockSize, 0};
    EXPECT_EQ(Run(), 7);
    EXPECT_FALSE(asked_);
    EXPECT_EQ(log_.find("画素欠陥検出"), std::string::npos);
}

}  // namespace
