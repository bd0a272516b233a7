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
        std::optional<std::string> stdDat;  // none: no file
        std::uint16_t selection;            // the item the fault would have reached
        std::string cause;                  // said as the window opens and at START
        bool sensRuns, ratioRuns;           // each baseline reads only its own limits
    };
    const std::string range = kOutOfRange;
    const std::vector<Case> cases = {
        {std::nullopt, 0x0080, "STD.DATファイルが開けません。確認してください", false, false},
        {Sample("PGAIN 1.00402 1.00000 1.00000 0.99602", "PGAIN 200 0 0 200"), 0x0100,
         range + "PGAIN pgain[1] F1.4 Gr = 0 （0.00390625以上 255.996以下）\r\n" +
             "PGAIN pgain[2] F1.4 Gb = 0 （0.00390625以上 255.996以下）\r\n",
         true, true},
        {Sample("0.100 0.100", "100 100"), 0x2000,
         range + "INSIDE_SB sbPreTolerance = 100 （0超 2.39232以下）\r\nINSIDE_SB sbMainTolerance = 100 （0超 1.87036以下）\r\n",
         true, true},
        {Sample("400   520  454", "400   520  350"), 0x0080,
         range + "SENS_STD sensBaseline = 350 （400以上 511以下）\r\n", true, true},
        {Sample("400   520  454", "600   520  454"), 0x0080,
         range + "SENS_STD sensLevelMin = 600 （1以上 520以下）\r\nSENS_STD sensLevelMax = 520 （600以上 4094以下）\r\n" +
             "SENS_STD sensBaseline = 454 （600以上 511以下）\r\n",
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cause);
        Open(c.stdDat);
        ASSERT_EQ(host_.MessageBoxes().size(), 3u);  // with the two of the driver library missing
        EXPECT_EQ(FirstBoxText(), c.cause);

        host_.ClearRecords();
        dlg_->SetSelection(c.selection);
        host_.Click(*dlg_, D::IDC_START);
        ASSERT_EQ(host_.MessageBoxes().size(), 1u);  // not even the set-up prompt
        EXPECT_EQ(FirstBoxText(), kRefused + c.cause);
        EXPECT_EQ(host_.MessageBoxes()[0].caption, "ERROR");
        EXPECT_EQ(dlg_->m_displayState, D::kDisplayReady);
        EXPECT_TRUE(sim::Sim().Commands().empty());

        for (const auto& [button, runs] :
             {std::pair{D::IDC_SENS_BASELINE, c.sensRuns}, std::pair{D::IDC_RATIO_BASELINE, c.ratioRuns}}) {
            host_.ClearRecords();
            sim::Sim().ClearCommands();
            host_.Click(*dlg_, button);
            // A baseline writes nothing into the camera; refused, it says the
            // cause as far as its own limits go.
            const std::string text = FirstBoxText();
            EXPECT_EQ(sim::Sim().Commands().empty(), !runs) << button;
            EXPECT_EQ(text.rfind(runs ? "カメラの設定を" : kRefused, 0), 0u) << text;
            if (!runs) {
                EXPECT_TRUE(c.cause.starts_with(text.substr(std::string(kRefused).size()))) << text;
            }
        }
    }
}

TEST_F(StandardsRefusalTest, StandardsWrittenFromTheWindowCanBeUsed) {
    Open(std::nullopt);
    // The operator types the standards in and confirms them.
    StandardData typed;
    ParseStandards(Sample(), typed);
    dlg_->m_standards = StandardsCopy::From(typed);
    host_.OnShow(CStandardDlg::IDD).Click(ui::IDOK);
    host_.Click(*dlg_, D::IDC_STANDARD);
    EXPECT_EQ(test_support::ReadFile(kStdFileName), FormatStandards(typed));
    EXPECT_EQ(dlg_->StandardsFault(), "");
}

}  // namespace
