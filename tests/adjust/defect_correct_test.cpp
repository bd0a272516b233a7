// The CCD defect correction against the simulated camera: what it finds in
// the dark frame, what the camera's CCD EEPROM holds afterwards, and where
// it stops, against the tables that the defects these units have make.

#include "adjust/defect_correct_dlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "adjust/message_box_dlg.h"
#include "sim/picture_file.h"
#include "tests/adjust/item_fixture.h"
#include "tests/support/work_dir.h"

namespace {

using test_support::Bytes;
using test_support::Words;
constexpr std::uint16_t kLevel = 150;

// The tables the camera holds after a run: the counts of R and B entries and
// a word 0, then per entry V (row / 2 + 3) and H (column + 66), R first, each
// list sorted by (V, H), neighbours two columns apart marked 2000h and 4000h.
// The nominal unit's eight hot pixels over the level: R (1999, 640) and the
// pair (2210, 1500), (2212, 1500); B (2800, 91), (517, 301), (1620, 333),
// (900, 1777), (133, 1901).
const Bytes kNominalTable = Words({3, 5, 0, 0x143, 0x811, 0x22F1, 0x8E4, 0x42F1, 0x8E6, 0x30, 0xB32, 0x99, 0x247,
                                   0xA9, 0x696, 0x37B, 0x3C6, 0x3B9, 0xC7});
// The same with the unit's stored entries, the R pair (1000, 1200), (1002,
// 1200) and B (300, 455), and B (1501, 1101), which shows over the level
// with unity gains.
const Bytes kStoredDefectsTable =
    Words({5, 7, 0, 0x143, 0x811, 0x225B, 0x42A, 0x425B, 0x42C, 0x22F1, 0x8E4, 0x42F1, 0x8E6, 0x30, 0xB32, 0x99,
           0x247, 0xA9, 0x696, 0xE6, 0x16E, 0x229, 0x61F, 0x37B, 0x3C6, 0x3B9, 0xC7});

class DefectCorrectTest : public test_support::ItemTest {
protected:
    // The unit on the bench with a capped lens, in a session with the checker open.
    void Use(const std::string& profile) {
        SimBench bench = sim::Simulator::DefaultBench();
        bench.lens = SIM_LENS_CAPPED;
        Start(profile, bench);
    }

    // Runs the window, answering the write question with `answer` if it is asked.
    int Run(int answer = ui::IDOK, std::uint32_t maxWrites = 390) {
        CDefectCorrectDlg dlg(host_);
        dlg.m_judgementLevel = kLevel;
        dlg.m_maxWrites = maxWrites;
        asked_ = false;
        hands_->SetOtherWindows([this, answer](ui::Dialog& d, ui::scripted::Script& s) {
            if (d.Id() != CMessageBoxDlg::IDD) return;
            asked_ = true;
            s.Click(answer);
        });
        const int result = ItemTest::Run(dlg, "defect");
        EXPECT_EQ(dlg.GetWindow(), nullptr);
        return result;
    }
    static Bytes Table(std::size_t n) { return Mem(sim::Memory::CcdEeprom, 370, n); }

    bool asked_ = false;
};

TEST_F(DefectCorrectTest, UnitsEndWithTheirTableOrTheirNumber) {
    struct Case {
        const char* unit;
        int answer;
        int result;
        bool asked;
        const Bytes* written;  // the table the CCD EEPROM holds afterwards; null: nothing written
    };
    const Case cases[] = {
        {"nominal", ui::IDOK, 1, true, &kNominalTable},
        {"nominal", ui::IDCANCEL, 1, true, nullptr},
        {"stored-defects", ui::IDOK, 1, true, &kStoredDefectsTable},
        {"many-defects", ui::IDOK, 69, false, nullptr},     // the 392nd pixel over the level
        {"defect-cluster", ui::IDOK, 72, true, nullptr},    // four side by side
        {"defect-table-bad", ui::IDOK, 71, true, nullptr},  // H = 0xFFFF in the camera's table
        {"defect-count-over", ui::IDOK, 69, false, nullptr},  // 600 R entries claimed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.unit) + (c.answer == ui::IDOK ? " OK" : " CANCEL"));
        Use(c.unit);
        const Bytes before = Camera().Mem(sim::Memory::CcdEeprom);
        EXPECT_EQ(Run(c.answer), c.result);
        EXPECT_EQ(asked_, c.asked);
        EXPECT_EQ(log_.substr(0, 4), c.result == 1 ? "OK\r\n" : "NG\r\n");
        EXPECT_EQ(Count("DXC_CCDEEPROM_DATAWRITE") > 0, c.written != nullptr);
        if (c.written) {
            const std::size_t n = c.written->size();
            EXPECT_EQ(Table(n), *c.written);
            EXPECT_FALSE(Camera().Modes().ccdPower);
            // Nothing beyond the table changed: the aperture table after it least of all.
            const auto& now = Camera().Mem(sim::Memory::CcdEeprom);
            EXPECT_TRUE(std::equal(now.begin() + 370 + static_cast<std::ptrdiff_t>(n), now.end(),
                                   before.begin() + 370 + static_cast<std::ptrdiff_t>(n)));
        } else {
            EXPECT_EQ(Camera().Mem(sim::Memory::CcdEeprom), before);
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
    Use("stored-defects");
    sim::Camera& cam = Camera();
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
    for (const auto& c : sent_)
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
    Use("nominal");
    const sim::PictureFileLayout l = sim::PictureLayout();
    Camera().Faults().imageInfo =
        sim::CameraFaults::ImageInfo{l.sensorDataOffset + 1000, l.firstPartSize, l.blockSize, 0};
    EXPECT_EQ(Run(), 7);
    EXPECT_FALSE(asked_);
    EXPECT_EQ(log_.find("画素欠陥検出"), std::string::npos);
}

}  // namespace
