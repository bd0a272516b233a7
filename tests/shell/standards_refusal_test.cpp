// Standards that cannot be used: the main window says so as it opens, and
// START and the baseline buttons refuse with the cause before anything
// reaches the camera; a STD.DAT written from the standards window ends it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "camera/usb_camera.h"
#include "shell/image_adjust_dlg.h"
#include "sim/simulator.h"
#include "standards/standard_dlg.h"
#include "standards/std_file.h"
#include "tests/support/work_dir.h"
#include "ui/scripted/scripted_host.h"

namespace {

namespace fs = std::filesystem;
using D = CImageAdjustDlg;

const char* const kRefused = "規格(STD.DAT)が使えないため実行できません。\r\n";
const char* const kOutOfRange = "STD.DATの規格値が範囲外です。確認してください\r\n";

class StandardsRefusalTest : public ::testing::Test {
protected:
    void TearDown() override {
        if (dlg_ && dlg_->m_pCamera) dlg_->m_pCamera->DisconnectCamera();
        CUsbCamera::BindDriverEntry(nullptr);
    }
    // The window opened on `stdDat` (none: no file), the simulator bound.
    void Open(const std::optional<std::string>& stdDat) {
        sim::Sim().Reset();
        fs::remove(kStdFileName);
        if (stdDat) std::ofstream(kStdFileName, std::ios::binary) << *stdDat;
        CUsbCamera::SetDriverLibraryName("libNoSuchDriver.so");
        host_.ClearRecords();
        dlg_ = std::make_unique<D>(host_);
        ASSERT_TRUE(dlg_->Create());
        CUsbCamera::BindDriverEntry(&SimLvDriverEntry);
        sim::Sim().ClearCommands();
    }
    // The sample with the text `from` replaced by `to`.
    static std::string Sample(const std::string& from = "", const std::string& to = "") {
        std::string text = test_support::ReadFile(test_support::BinDir() / kStdFileName);
        if (!from.empty()) text.replace(text.find(from), from.size(), to);
        return text;
    }
    std::string FirstBoxText() const {
        return host_.MessageBoxes().empty() ? "<none>" : host_.MessageBoxes().front().text;
    }

    test_support::WorkDir work_{"standards_refusal_test"};
    ui::scripted::ScriptedHost host_;
    std::unique_ptr<D> dlg_;
};

TEST_F(StandardsRefusalTest, NothingReachesTheCameraFromStandardsThatCannotBeUsed) {
    struct Case {
        const char* what;
        std::optional<std::string> stdDat;
        std::uint16_t selection;  // the item the fault would have reached
        std::string cause;        // said as the window opens and at START
        bool sensRuns, ratioRuns;  // each baseline reads only its own limits
    };
    const std::string flash = std::string(kOutOfRange) + "INSIDE_SB sbPreTolerance = 100 （0超 2.39232以下）\r\n" +
                              "INSIDE_SB sbMainTolerance = 100 （0超 1.87036以下）\r\n";
    const std::string reference = std::string(kOutOfRange) + "SENS_STD sensBaseline = 350 （400以上 511以下）\r\n";
    std::string pgain = "PGAIN ", greens;
    for (int group = 0; group < 5; ++group) pgain += "200.00000 0.00000 0.00000 200.00000 ";
    for (const char* g : {"[1] F1.4 Gr", "[2] F1.4 Gb", "[5] F2 Gr", "[6] F2 Gb", "[9] F2.8 Gr", "[10] F2.8 Gb",
                          "[13] F4 Gr", "[14] F4 Gb"})
        greens += std::string("PGAIN pgain") + g + " = 0 （0.00390625以上 255.996以下）\r\n";
    const std::vector<Case> cases = {
        {"no STD.DAT", std::nullopt, 0x0080, "STD.DATファイルが開けません。確認してください", false, false},
        {"PGAIN 200 0 0 200 in every group", Sample("PGAIN 1.00402 1.00000 1.00000 0.99602 1.00226 1.00000 1.00000 0.99775 1.00100 1.00000 1.00000 "
                "0.99900 1.00025 1.00000 1.00000 0.99975 1.00000 1.00000 1.00000 1.00000 ",
                pgain), 0x0100,
         std::string(kOutOfRange) + greens + "ほか 2 件\r\n", true, true},
        {"flash tolerances of 100 EV", Sample("0.100 0.100", "100 100"), 0x2000, flash, true, true},
        {"a reference outside its limits", Sample("400   520  454", "400   520  350"), 0x0080, reference, true, true},
        {"the sensitivity limits the wrong way round", Sample("400   520  454", "600   520  454"), 0x0080,
         std::string(kOutOfRange) + "SENS_STD sensLevelMin = 600 （1以上 520以下）\r\n" +
             "SENS_STD sensLevelMax = 520 （600以上 4094以下）\r\n" +
             "SENS_STD sensBaseline = 454 （600以上 511以下）\r\n",
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open(c.stdDat);
        ASSERT_EQ(host_.MessageBoxes().size(), 3u);  // with the two of the driver library missing
        EXPECT_EQ(FirstBoxText(), c.cause);
        EXPECT_EQ(dlg_->StandardsFault(), c.cause);

        host_.ClearRecords();
        dlg_->SetSelection(c.selection);
        host_.Click(*dlg_, D::IDC_START);
        ASSERT_EQ(host_.MessageBoxes().size(), 1u);  // not even the set-up prompt
        EXPECT_EQ(FirstBoxText(), kRefused + c.cause);
        EXPECT_EQ(host_.MessageBoxes()[0].caption, "ERROR");
        EXPECT_EQ(dlg_->m_displayState, D::kDisplayReady);
        EXPECT_TRUE(sim::Sim().Commands().empty());

        for (const auto& [button, runs] : {std::pair{D::IDC_SENS_BASELINE, c.sensRuns},
                                          std::pair{D::IDC_RATIO_BASELINE, c.ratioRuns}}) {
            SCOPED_TRACE(button);
            host_.ClearRecords();
            sim::Sim().ClearCommands();
            host_.Click(*dlg_, button);
            if (runs) {
                // It measures, and writes nothing into the camera.
                EXPECT_EQ(FirstBoxText().rfind("カメラの設定を", 0), 0u) << FirstBoxText();
                EXPECT_FALSE(sim::Sim().Commands().empty());
            } else {
                // The cause as far as its own limits go.
                ASSERT_EQ(host_.MessageBoxes().size(), 1u);
                const std::string text = FirstBoxText();
                EXPECT_EQ(text.rfind(kRefused, 0), 0u) << text;
                EXPECT_TRUE(c.cause.starts_with(text.substr(std::string(kRefused).size()))) << text;
                EXPECT_TRUE(sim::Sim().Commands().empty());
            }
        }
    }
}

TEST_F(StandardsRefusalTest, StandardsWrittenFromTheWindowCanBeUsed) {
    Open(std::nullopt);
    ASSERT_FALSE(dlg_->StandardsFault().empty());
    // The operator types the standards in and confirms them.
    StandardData typed;
    ParseStandards(Sample(), typed);
    dlg_->m_standards = StandardsCopy::From(typed);
    host_.OnShow(CStandardDlg::IDD).Click(ui::IDOK);
    host_.Click(*dlg_, D::IDC_STANDARD);
    EXPECT_EQ(test_support::ReadFile(kStdFileName), FormatStandards(typed));
    EXPECT_EQ(dlg_->StandardsFault(), "");

    // Cancel after a value refused hands the copy back as it was.
    host_.ClearRecords();
    host_.OnShow(CStandardDlg::IDD).Type(1065, "350").Click(ui::IDOK).Escape();
    host_.Click(*dlg_, D::IDC_STANDARD);
    ASSERT_EQ(host_.MessageBoxes().size(), 1u);
    EXPECT_EQ(host_.MessageBoxes()[0].text,
              "範囲外の値です。確認してください\r\nSENS_STD sensBaseline = 350 （400以上 511以下）");
    EXPECT_EQ(dlg_->m_standards, StandardsCopy::From(typed));
    EXPECT_EQ(dlg_->StandardsFault(), "");
}

}  // namespace
