#include "standards/standard_dlg.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_write.h"
#include "platform/format.h"
#include "platform/sjis.h"
#include "standards/aperture_spec_dlg.h"
#include "standards/std_file.h"
#include "tests/support/work_dir.h"
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

// The sample standards, with values of their own in a few fields.
StandardData Filled() {
    StandardData d;
    ParseStandards(test_support::ReadFile(test_support::BinDir() / kStdFileName), d);
    d.bcAdjustVoltage = 7.25;
    d.lineBlueHeight = 80;
    d.sensInitial.fill("0100");
    d.sensInitial[3] = "0A1F";
    d.ratioSampleCount = 3;
    d.pgain[7] = 1.5;
    d.sbChargeVoltage = 330;
    d.defectLevel = 60;
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

// Every control shows its own field: each field gets a value of its own
// (and one in its range, so that OK takes them), and the controls are read
// by the ids of the window's table.
TEST_F(StandardDlgTest, EveryControlShowsItsFieldAndOkSavesTheRecord) {
    using D = StandardData;
    struct Whole {
        int id;
        std::uint32_t D::*field;
        std::uint32_t value;
    };
    const std::vector<Whole> whole = {
        {1065, &D::sensBaseline, 450}, {1064, &D::sensLevelMin, 401}, {1063, &D::sensLevelMax, 519},
        {1052, &D::lineRedX, 1421},    {1053, &D::lineRedWidth, 201},  {1054, &D::lineRedY, 913},
        {1055, &D::lineRedHeight, 202}, {1057, &D::lineBlueX, 1422},   {1058, &D::lineBlueWidth, 203},
        {1059, &D::lineBlueY, 914},    {1060, &D::lineBlueHeight, 204}, {1098, &D::bcAdMin, 701},
        {1099, &D::bcAdMax, 779},      {1003, &D::sbPreTarget, 781},   {1005, &D::sbMainTarget, 1121},
        {1037, &D::defectLevel, 151},  {1032, &D::defectMaxWrites, 199}};
    struct Real {
        int id;
        double D::*field;
        double value;
    };
    const std::vector<Real> reals = {
        {1094, &D::sensAdjustTolerance, 3.125}, {1095, &D::sensCheckTolerance, 5.125},
        {1066, &D::ratioGrBaseline, 1.6102236421725240},  // shown with 15 significant digits
        {1067, &D::ratioGbBaseline, 1.8125},    {1108, &D::ratioGrMin, 1.3125},
        {1110, &D::ratioGrMax, 1.9375},         {1109, &D::ratioGbMin, 1.5625},
        {1111, &D::ratioGbMax, 2.125},          {1068, &D::ratioGrTolerance, 2.125},
        {1070, &D::ratioGbTolerance, 2.25},     {1061, &D::ratioGrInitial, 1.0625},
        {1062, &D::ratioGbInitial, 0.9375},     {1051, &D::lineRedLimit, 0.5625},
        {1056, &D::lineBlueLimit, 0.4375},      {1096, &D::bcAdjustVoltage, 7.25},
        {1097, &D::bcCheckVoltage, 7.75},       {1100, &D::current72OffMin, 0.25},
        {1101, &D::current72OffMax, 0.375},     {1104, &D::current72OnMin, 0.4375},
        {1105, &D::current72OnMax, 0.625},      {1102, &D::current77OffMin, 0.125},
        {1103, &D::current77OffMax, 0.5},       {1106, &D::current77OnMin, 0.3125},
        {1107, &D::current77OnMax, 0.6875},     {1004, &D::sbPreTolerance, 0.125},
        {1036, &D::sbMainTolerance, 0.1875},    {1028, &D::sbChargeVoltage, 33.125}};
    struct Byte {
        int id;
        std::uint8_t D::*field;
        std::uint8_t value;
    };
    const std::vector<Byte> bytes = {{1046, &D::ratioSampleCount, 4}, {1001, &D::sbPreInitial, 251},  // -5
                                     {1002, &D::sbMainInitial, 3}};

    StandardData record;
    for (auto [id, field, value] : whole) record.*field = value;
    for (auto [id, field, value] : reals) record.*field = value;
    for (auto [id, field, value] : bytes) record.*field = value;
    for (int i = 0; i < 19; ++i) record.sensInitial[static_cast<std::size_t>(i)] = std::to_string(300 + 25 * i);
    record.pgain.fill(1.0);
    record.pgain[5] = 1.5;  // not in this window, but kept and saved
    record.pgainF14Tolerance = 2.5;

    std::map<int, std::string> shown;
    host_.OnShow(CStandardDlg::IDD)
        .Do([&](ui::Dialog& d) {
            for (const auto& c : d.Template().controls)
                if (c.kind == ui::ControlKind::Edit) shown[c.id] = d.GetDlgItemText(c.id);
        })
        .Click(ui::IDOK);
    CStandardDlg dlg(host_, path_);
    dlg.m_data = record;
    EXPECT_EQ(dlg.DoModal(), ui::IDOK);
    EXPECT_TRUE(host_.MessageBoxes().empty());

    std::map<int, std::string> want;
    for (auto [id, field, value] : whole) want[id] = std::to_string(value);
    for (auto [id, field, value] : reals) want[id] = platform::Format("%.15g", value);
    for (auto [id, field, value] : bytes) want[id] = std::to_string(value);
    for (int i = 0; i < 19; ++i) want[1075 + i] = std::to_string(300 + 25 * i);
    EXPECT_EQ(shown, want);  // and no edit beyond these
    EXPECT_EQ(shown[1066], "1.61022364217252");

    record.ratioGrBaseline = 1.61022364217252;
    EXPECT_EQ(dlg.m_data, record);
    EXPECT_EQ(ReadRaw(), platform::ToShiftJis(FormatStandards(record)));
}

// OK takes the controls in the window's order; the first that does not
// parse is reported, gets the focus, and nothing is written.
TEST_F(StandardDlgTest, OkValidatesInOrderAndSavesOnlyAGoodRecord) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, std::string>> typed;
        std::string message;  // empty: saved
        int focus;
    };
    const Case cases[] = {
        {"letter in a voltage", {{1096, "7.2V"}}, "数字を入力してください。", 1096},
        {"sample count above a byte", {{1046, "300"}}, "0 から 255 までの整数を入力してください。", 1046},
        {"negative count", {{1098, "-1"}}, "正の整数を入力してください。", 1098},
        {"five characters", {{1080, "12345"}}, "4 文字以内で入力してください。", 1080},
        {"the earlier control first", {{1037, "x"}, {1061, "y"}}, "数字を入力してください。", 1061},
        {"no defect writes", {{1032, "0"}}, "", 0},
        // Values that parse but that no standard can be, each named with its
        // range; the first in the file's order is the one sent to.
        {"more writes than the table has room for", {{1032, "400"}},
         "範囲外の値です。確認してください\r\nCCD_DEFECT defectMaxWrites = 400 （0以上 390以下）", 1032},
        {"reference outside its own limits", {{1065, "390"}},
         "範囲外の値です。確認してください\r\nSENS_STD sensBaseline = 390 （400以上 511以下）", 1065},
        {"flash tolerance of 100 EV", {{1036, "100"}},
         "範囲外の値です。確認してください\r\nINSIDE_SB sbMainTolerance = 100 （0超 1.87036以下）", 1036},
        {"a later field first when it comes first in the file", {{1037, "50"}, {1096, "0"}},
         "範囲外の値です。確認してください\r\nBC bcAdjustVoltage = 0 （0超 12以下）", 1096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteRaw("previous");
        host_.ClearRecords();
        int focus = 0;
        bool open = false;
        ui::scripted::Script& script = host_.OnShow(CStandardDlg::IDD);
        for (const auto& [id, text] : c.typed) script.Type(id, text);
        script.Click(ui::IDOK).Do([&](ui::Dialog& d) {
            focus = d.GetWindow() ? d.GetWindow()->Focus() : 0;
            open = d.IsOpen() && !d.Ended();
        });
        script.Escape();
        CStandardDlg dlg(host_, path_);
        dlg.m_data = Filled();
        dlg.DoModal();
        if (c.message.empty()) {
            EXPECT_TRUE(host_.MessageBoxes().empty());
            StandardData want = Filled();
            want.defectMaxWrites = static_cast<std::uint32_t>(std::stoul(c.typed[0].second));
            EXPECT_EQ(dlg.m_data, want);
            EXPECT_EQ(ReadRaw(), FormatStandards(want));
            continue;
        }
        ASSERT_EQ(host_.MessageBoxes().size(), 1u);
        EXPECT_EQ(host_.MessageBoxes()[0].text, c.message);
        EXPECT_EQ(focus, c.focus);
        EXPECT_TRUE(open);
        EXPECT_EQ(ReadRaw(), "previous");
        EXPECT_EQ(dlg.m_data, Filled());  // Cancel after it hands back what came in
    }
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

// 絞り依存性 opens the aperture standards with the record's 21 values, each
// in the edit of its aperture and gain; what the window hands back is in the
// record whatever closed it, and OK in the standards window saves it.
TEST_F(StandardDlgTest, ApertureWindowEditsTheApertureStandards) {
    // Edits by aperture (F1.4, F2, F2.8, F4, F5.6), each R, Gr, Gb, B.
    const int ids[20] = {1028, 1001, 1002, 1003, 1004, 1005, 1036, 1037, 1032, 1033,
                         1034, 1035, 1038, 1039, 1040, 1041, 1042, 1043, 1051, 1046};
    StandardData start = Filled();
    for (std::size_t i = 0; i < 20; ++i) start.pgain[i] = 1 + static_cast<double>(i) / 64;
    start.pgainF14Tolerance = 2.5;

    struct Case {
        const char* what;
        std::vector<std::pair<int, std::string>> typed;  // in the aperture window
        bool ok;                                          // its OK, else Escape
        double f2Red, tolerance;                          // what the record holds afterwards
        std::string message;
        int focus;
    };
    const Case cases[] = {
        {"F2 R changed, OK", {{1004, "1.25"}}, true, 1.25, 2.5, "", 0},
        {"F2 R changed, Cancel", {{1004, "1.25"}, {1094, "3"}}, false, start.pgain[4], 2.5, "", 0},
        {"tolerance not a number", {{1004, "1.25"}, {1094, "2%"}}, true, start.pgain[4], 2.5,
         "数字を入力してください。", 1094},
        {"green gain of 0", {{1004, "1.25"}, {1001, "0"}}, true, start.pgain[4], 2.5,
         "範囲外の値です。確認してください\r\nPGAIN pgain[1] F1.4 Gr = 0 （0.00390625以上 255.996以下）", 1001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host_.ClearRecords();
        std::map<int, std::string> shown;
        int focus = 0;
        ui::scripted::Script& aperture = host_.OnShow(CApertureSpecDlg::IDD).Do([&](ui::Dialog& d) {
            for (int id : ids) shown[id] = d.GetDlgItemText(id);
            shown[1094] = d.GetDlgItemText(1094);
        });
        for (const auto& [id, text] : c.typed) aperture.Type(id, text);
        if (c.ok) aperture.Click(ui::IDOK);
        aperture.Do([&](ui::Dialog& d) { focus = d.GetWindow() ? d.GetWindow()->Focus() : 0; }).Escape();
        host_.OnShow(CStandardDlg::IDD).Click(1008).Click(ui::IDOK);
        CStandardDlg dlg(host_, path_);
        dlg.m_data = start;
        EXPECT_EQ(dlg.DoModal(), ui::IDOK);

        for (std::size_t i = 0; i < 20; ++i) EXPECT_EQ(shown[ids[i]], platform::Format("%.15g", start.pgain[i])) << ids[i];
        EXPECT_EQ(shown[1094], "2.5");
        StandardData want = start;
        want.pgain[4] = c.f2Red;
        want.pgainF14Tolerance = c.tolerance;
        EXPECT_EQ(dlg.m_data, want);
        EXPECT_EQ(ReadRaw(), FormatStandards(want));
        if (c.message.empty()) {
            EXPECT_TRUE(host_.MessageBoxes().empty());
        } else {
            ASSERT_EQ(host_.MessageBoxes().size(), 1u);
            EXPECT_EQ(host_.MessageBoxes()[0].text, c.message);
            EXPECT_EQ(focus, c.focus);  // the window stayed open on the bad entry
        }
    }
}

}  // namespace
