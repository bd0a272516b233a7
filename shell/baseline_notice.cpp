// A baseline taken with the baseline buttons lives in the main window's
// standards copy until the standards window's OK writes it into STD.DAT; a
// restart before that loses it. The window says so on a line of its own,
// and asks before it closes with one unsaved.

#include <array>

#include "platform/file_write.h"
#include "shell/image_adjust_dlg.h"
#include "standards/std_file.h"

namespace {

constexpr const char* kNotice = "基準値未保存：STANDARDのOKで保存";
constexpr const char* kCloseQuestion =
    "取得した基準値がSTD.DATに保存されていません。\r\n保存せずに終了しますか？\r\n"
    "（保存するには、キャンセルしてSTANDARDを開き、OKを押して下さい。）";

using Baselines = std::array<double, 3>;

// The baselines of a record as STD.DAT holds them once written: the file's
// formats round the ratios.
Baselines AsWritten(const StandardData& values) {
    StandardData written{};
    ParseStandards(FormatStandards(values), written);
    return {static_cast<double>(written.sensBaseline), written.ratioGrBaseline, written.ratioGbBaseline};
}

// The baselines that STD.DAT holds now (none of a missing file).
Baselines InFile() {
    StandardData inFile{};
    if (const auto bytes = platform::ReadRegularFile(kStdFileName, kStdMaxBytes)) ParseStandards(*bytes, inFile);
    return {static_cast<double>(inFile.sensBaseline), inFile.ratioGrBaseline, inFile.ratioGbBaseline};
}

}  // namespace

void CImageAdjustDlg::WatchBaselines(void (CImageAdjustDlg::*action)()) {
    (this->*action)();
    const bool differs = AsWritten(m_standards.values) != InFile();
    // After a baseline button, whatever it stored: the copy's baselines are
    // what the next run uses. The standards window can only save them.
    if (action == &CImageAdjustDlg::OnStandard)
        m_baselineUnsaved = m_baselineUnsaved && differs;
    else
        m_baselineUnsaved = differs;
    SetDlgItemText(IDC_BASELINE_NOTICE, m_baselineUnsaved ? kNotice : "");
}

bool CImageAdjustDlg::MayCloseWithUnsavedBaseline() {
    if (!m_baselineUnsaved || AsWritten(m_standards.values) == InFile()) return true;
    return MessageBox(kCloseQuestion, "MESSAGE", ui::MbButtons::OkCancel) == ui::IDOK;
}
