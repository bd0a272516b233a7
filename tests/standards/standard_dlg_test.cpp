#include "standards/standard_dlg.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file_write.h"
#include "standards/std_file.h"
#include "ui/scripted/scripted_host.h"

namespace fs = std::filesystem;
using ui::scripted::ScriptedHost;

namespace {

class StandardDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/stddlgXXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        path_ = dir_ + "/STD.DAT";
    }
    void TearDown() override { fs::remove_all(dir_); }

    void WriteRaw(const std::string& bytes) {
        std::ofstream out(path_, std::ios::binary);
        out << bytes;
    }
    std::string ReadRaw() { return platform::ReadWholeFile(path_).value_or("<none>"); }

    // The only message box shown, as caption + "|" + text.
    std::string OnlyBox() {
        if (host_.MessageBoxes().size() != 1) return "boxes: " + std::to_string(host_.MessageBoxes().size());
        return host_.MessageBoxes()[0].caption + "|" + host_.MessageBoxes()[0].text;
    }

    ScriptedHost host_;
    std::string dir_;
    std::string path_;
};

StandardData Filled() {
    StandardData d;
    d.bcAdjustVoltage = 7.25;
    d.lineBlueHeight = 80;
    d.sensInitial.fill("0100");
    d.sensInitial[3] = "0A1F";
    d.ratioSampleCount = 3;
    d.pgain[7] = 1.5;
    d.sbChargeVoltage = 330;
    d.defectLevel = 40;
    d.defectMaxWrites = 390;
    return d;
}

TEST_F(StandardDlgTest, MissingFileOrDirectoryCannotBeOpened) {
    CStandardDlg dlg(host_, path_);
    EXPECT_EQ(dlg.ReadStandards(), 0);
    EXPECT_EQ(OnlyBox(), "ERROR|STD.DATファイルが開けません。確認してください");
    EXPECT_EQ(dlg.m_data, StandardData{});

    host_.ClearRecords();
    CStandardDlg onDir(host_, dir_);
    EXPECT_EQ(onDir.ReadStandards(), 0);
    EXPECT_EQ(OnlyBox(), "ERROR|STD.DATファイルが開けません。確認してください");
}

TEST_F(StandardDlgTest, SizeLimitIsAThousandBytes) {
    // The last line ends exactly at byte 1000, so its values prove the whole
    // file was read.
    const StandardData want = Filled();
    std::string text = FormatStandards(want);
    const std::size_t last = text.find("CCD_DEFECT ");
    ASSERT_LT(text.size(), kStdMaxBytes);
    text.insert(last, std::string(kStdMaxBytes - text.size(), ' '));
    ASSERT_EQ(text.size(), 1000u);
    WriteRaw(text);
    CStandardDlg dlg(host_, path_);
    EXPECT_EQ(dlg.ReadStandards(), 1);
    EXPECT_TRUE(host_.MessageBoxes().empty());
    EXPECT_EQ(dlg.m_data, want);

    WriteRaw(text + " ");
    CStandardDlg tooLong(host_, path_);
    EXPECT_EQ(tooLong.ReadStandards(), 0);
    EXPECT_EQ(OnlyBox(), "ERROR|STD.DATファイルのサイズが異常です。確認してください");
    EXPECT_EQ(tooLong.m_data, StandardData{});
}

TEST_F(StandardDlgTest, EmptyFileChangesNothing) {
    WriteRaw("");
    CStandardDlg dlg(host_, path_);
    dlg.m_data = Filled();
    EXPECT_EQ(dlg.ReadStandards(), 1);
    EXPECT_TRUE(host_.MessageBoxes().empty());
    EXPECT_EQ(dlg.m_data, Filled());
}

TEST_F(StandardDlgTest, WriteThenReadGivesTheRecord) {
    CStandardDlg writer(host_, path_);
    writer.m_data = Filled();
    EXPECT_EQ(writer.WriteStandards(), 1);
    EXPECT_EQ(ReadRaw(), FormatStandards(Filled()));
    EXPECT_TRUE(host_.MessageBoxes().empty());
    EXPECT_TRUE(host_.Beeps().empty());

    CStandardDlg reader(host_, path_);
    EXPECT_EQ(reader.ReadStandards(), 1);
    EXPECT_EQ(reader.m_data, Filled());
}

TEST_F(StandardDlgTest, FailedWritesKeepThePreviousFile) {
    WriteRaw("previous");

    // Too long: refused before the file is touched.
    CStandardDlg dlg(host_, path_);
    dlg.m_data.pgain.fill(1e300);
    EXPECT_EQ(dlg.WriteStandards(), 0);
    EXPECT_EQ(ReadRaw(), "previous");
    ASSERT_EQ(host_.MessageBoxes().size(), 1u);
    EXPECT_EQ(host_.MessageBoxes()[0].ownerId, 0);  // the application's box
    EXPECT_EQ(host_.MessageBoxes()[0].text, "File size over\n");
    ASSERT_EQ(host_.Beeps().size(), 1u);
    EXPECT_EQ(host_.Beeps()[0].frequencyHz, kDefaultBeepHz);
    EXPECT_EQ(host_.Beeps()[0].durationMs, kDefaultBeepMs);

    // A path that cannot take a file: a directory, and a missing folder.
    host_.ClearRecords();
    fs::create_directory(dir_ + "/busy");
    std::ofstream(dir_ + "/busy/inside") << "kept";
    CStandardDlg onDir(host_, dir_ + "/busy");
    EXPECT_EQ(onDir.WriteStandards(), 0);
    EXPECT_TRUE(fs::is_directory(dir_ + "/busy"));
    EXPECT_TRUE(fs::exists(dir_ + "/busy/inside"));
    EXPECT_EQ(OnlyBox(), "W73ImageAdjust|File not Found\n");

    host_.ClearRecords();
    CStandardDlg noFolder(host_, dir_ + "/missing/STD.DAT");
    EXPECT_EQ(noFolder.WriteStandards(), 0);
    EXPECT_EQ(OnlyBox(), "W73ImageAdjust|File not Found\n");
    EXPECT_EQ(host_.Beeps().size(), 1u);

    // Nothing is left beside the file.
    int entries = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(dir_)) ++entries;
    EXPECT_EQ(entries, 2);
}

TEST_F(StandardDlgTest, OkRejectsBadInputThenSavesTheEdits) {
    int focusAtFailure = 0;
    bool openAfterFailure = false;
    host_.OnShow(CStandardDlg::IDD)
        .Type(1096, "abc")
        .Click(ui::IDOK)
        .Do([&](ui::Dialog& d) {
            focusAtFailure = d.GetWindow()->Focus();
            openAfterFailure = d.IsOpen() && !d.Ended();
        })
        .Type(1096, "7.5")
        .Type(1046, "300")
        .Click(ui::IDOK)
        .Type(1046, "4")
        .Type(1032, "0")
        .Click(ui::IDOK);
    CStandardDlg dlg(host_, path_);
    dlg.m_data = Filled();
    EXPECT_EQ(dlg.DoModal(), ui::IDOK);

    ASSERT_EQ(host_.MessageBoxes().size(), 2u);
    EXPECT_EQ(host_.MessageBoxes()[0].text, "数字を入力してください。");
    EXPECT_EQ(host_.MessageBoxes()[1].text, "0 から 255 までの整数を入力してください。");
    EXPECT_EQ(focusAtFailure, 1096);
    EXPECT_TRUE(openAfterFailure);

    StandardData want = Filled();
    want.bcAdjustVoltage = 7.5;
    want.ratioSampleCount = 4;
    want.defectMaxWrites = 0;
    EXPECT_EQ(dlg.m_data, want);
    EXPECT_EQ(ReadRaw(), FormatStandards(want));
}

TEST_F(StandardDlgTest, CancelWritesNothingAndLongTextIsCaughtOnOpening) {
    host_.OnShow(CStandardDlg::IDD).Escape();
    CStandardDlg dlg(host_, path_);
    dlg.m_data.sensInitial[0] = "12345";
    EXPECT_EQ(dlg.DoModal(), ui::IDCANCEL);
    ASSERT_EQ(host_.MessageBoxes().size(), 1u);
    EXPECT_EQ(host_.MessageBoxes()[0].text, "4 文字以内で入力してください。");
    EXPECT_FALSE(fs::exists(path_));
}

}  // namespace
