// The sensitivity and ratio baselines: three pictures of the evenly lit
// viewer under fixed bench conditions, checked for spread and level, stored
// in the main window's standards copy when the operator agrees.

#include <algorithm>
#include <array>

#include "adjust/camera_session.h"
#include "adjust/rounding.h"
#include "camera/shooting.h"
#include "platform/format.h"
#include "shell/image_adjust_dlg.h"
#include "res/prompts.h"

namespace {

constexpr const char* kDisconnect = "ＡＣアダプター、ＵＳＢケーブルをカメラから取り外してください";
constexpr const char* kAgain = "もう一度取り直してください\r\n\r\n";
constexpr const char* kAskStore = "基準値を設定しますか？";

constexpr const char* kFailMode = "カメラモード設定で通信エラーが発生しました";
constexpr const char* kFailRelease = "レリーズで通信エラーが発生しました";

struct Acquisition {
    const char* title;
    const char* ndLine;
    std::uint8_t shutter;  // first shooting condition
    MeasureArea area;
    bool pauseBeforeEach;  // 100 ms before every capture, or once before the first
};

constexpr Acquisition kSensitivity = {"感度基準値取得\r\n", kNd3Line, kSensShutter, kSensAdjustArea, false};
constexpr Acquisition kRatio = {"感度比取得\r\n\r\n", "・ＮＤフィルター：　無し\r\n", kRatioShutter, kSensCheckArea, true};

std::string Conditions(const Acquisition& a) {
    return std::string(kConditionsHeading) + kToolLensLine + a.ndLine + kViewerLines;
}

// Minimum, maximum and sum of one channel over the captures.
struct Spread {
    int min = 0, max = 0, sum = 0, count = 0;
    void Add(int v) {
        if (count == 0 || v < min) min = v;
        if (count == 0 || v > max) max = v;
        sum += v;
        ++count;
    }
    int Range() const { return max - min; }
    int Average() const { return RoundToInt(static_cast<double>(sum) / count); }
};

int RoundedMean(int a, int b) { return RoundToInt((a + b) / 2.0); }

}  // namespace

void CImageAdjustDlg::OnSensBaseline() { RunBaselineDialogue(true); }

void CImageAdjustDlg::OnRatioBaseline() { RunBaselineDialogue(false); }

void CImageAdjustDlg::RunBaselineDialogue(bool sensitivity) {
    // The acquisition writes nothing into the camera; it needs the limits
    // of what it measures, and replaces the reference however it stood.
    if (RefuseUnusableStandards(sensitivity ? StandardsUse::SensBaseline : StandardsUse::RatioBaseline)) return;
    const Acquisition& a = sensitivity ? kSensitivity : kRatio;
    ui::WaitCursor wait(GetHost());
    MessageBox(kSetUpCameraPrompt, kCaptionMessage);
    Sleep(500);
    MessageBox(kConnectAdapterAndUsbPrompt, kCaptionMessage);
    Sleep(100);
    m_log = a.title;
    ShowStrings();
    MessageBox(Conditions(a), kCaptionMessageM);
    Sleep(1000);

    if (sensitivity)
        AcquireSensBaseline();
    else
        AcquireRatioBaseline();

    wait.Restore();
    MessageBox(kDisconnect, kCaptionMessage);
    Sleep(100);
}

// The three captures of an acquisition, each logged as it arrives. Returns
// null when all three were taken, else the failure text.
const char* CImageAdjustDlg::CaptureBaselineShots(bool sensitivity, std::array<AreaMeasurement, 3>& shots) {
    const Acquisition& a = sensitivity ? kSensitivity : kRatio;
    if (PreCheckCamera() != 1) return kFirstContactFailed;
    CUsbCamera& camera = *m_pCamera;
    for (int i = 0; i < 3; ++i) {
        if (i == 0 || a.pauseBeforeEach) Sleep(100);
        if (!station::Step(*this, camera.SetShootingConditions(a.shutter, 0, kIso200, 0), 20)) return kFailMode;
        AreaMeasurement& m = shots[static_cast<std::size_t>(i)];
        if (camera.CaptureAndMeasure(a.area, &m) != 1) return kFailRelease;
        if (sensitivity)
            m_log += platform::Format("[%d]  Gr= %5d  Gb= %5d\r\n", i + 1, m.Gr(), m.Gb());
        else
            m_log += platform::Format("[%d]  Gr= %5d  Gb= %5d  R= %5d  B= %5d\r\n", i + 1, m.Gr(), m.Gb(), m.R(),
                                      m.B());
        ShowStrings();
    }
    return nullptr;
}

void CImageAdjustDlg::CloseBaselineSession() {
    CUsbCamera& camera = *m_pCamera;
    if (station::Step(*this, camera.CloseChecker(), 20)) camera.DcmdCloseSession();
    ReleaseCamera();
}

void CImageAdjustDlg::ReportOutOfLimits(const std::string& text) {
    m_log += text;
    ShowStrings();
    MessageBox(text, kCaptionMeasureError);
}

int CImageAdjustDlg::AcquireSensBaseline() {
    std::array<AreaMeasurement, 3> shots;
    if (const char* failure = CaptureBaselineShots(true, shots)) {
        CloseBaselineSession();
        MessageBox(failure, kCaptionError);
        return 0;
    }
    Spread gr, gb;
    for (const auto& m : shots) {
        gr.Add(m.Gr());
        gb.Add(m.Gb());
    }
    const int g = RoundedMean(gr.Average(), gb.Average());
    m_log += platform::Format("平均値  G = %5d\r\n", g);
    ShowStrings();

    StandardData& std = m_standards.values;
    if (gr.Range() > 20 || gb.Range() > 20) {
        ReportOutOfLimits(std::string("Ｇ出力バラツキ大です\r\n") + kAgain +
                          platform::Format("Gr=%5d[LSB]  Gb=%5d[LSB] (STANDARD 20以下)", gr.Range(), gb.Range()));
    } else if (g < static_cast<long long>(std.sensLevelMin) || g > static_cast<long long>(std.sensLevelMax)) {
        ReportOutOfLimits(std::string("Ｇ出力レベル出力範囲外です\r\n") + kAgain +
                          platform::Format("GLevel =%5d[LSB](STANDARD_MIN:%5d[LSB] MAX:%5d[LSB])", g,
                                           static_cast<int>(std.sensLevelMin), static_cast<int>(std.sensLevelMax)));
    } else {
        const std::string line = platform::Format("感度基準値は［ %d ]です(前回は%d[LSB]です)。\r\n", g,
                                                  static_cast<int>(std.sensBaseline));
        m_log += line;
        ShowStrings();
        if (MessageBox(line + kAskStore, kCaptionBaseline, ui::MbButtons::OkCancel) != ui::IDCANCEL)
            std.sensBaseline = static_cast<std::uint32_t>(g);
    }
    CloseBaselineSession();
    return 1;
}

int CImageAdjustDlg::AcquireRatioBaseline() {
    std::array<AreaMeasurement, 3> shots;
    if (const char* failure = CaptureBaselineShots(false, shots)) {
        CloseBaselineSession();
        MessageBox(failure, kCaptionError);
        return 0;
    }
    Spread gr, gb, r, b;
    for (const auto& m : shots) {
        gr.Add(m.Gr());
        gb.Add(m.Gb());
        r.Add(m.R());
        b.Add(m.B());
    }
    const int g = RoundedMean(gr.Average(), gb.Average());
    m_log += platform::Format("\r\n平均値　Gr= %5d  Gb= %5d  R= %5d  B= %5d\r\n", gr.Average(), gb.Average(),
                              r.Average(), b.Average());
    ShowStrings();

    StandardData& std = m_standards.values;
    // A channel that reads 0 gives a ratio of 0, which no window accepts.
    auto ratio = [g](int channel) { return channel > 0 ? static_cast<double>(g) / channel : 0.0; };
    const double ratioGr = ratio(r.Average());
    const double ratioGb = ratio(b.Average());
    if (gr.Range() > 100 || gb.Range() > 100) {
        ReportOutOfLimits(std::string("Ｇ出力バラツキ大です\r\n") + kAgain +
                          platform::Format("Gr=%5d[LSB]  Gb=%5d[LSB] (STANDARD 100以下)", gr.Range(), gb.Range()));
    } else if (r.Range() > 20) {
        ReportOutOfLimits(std::string("Ｒ出力バラツキ大です\r\n") + kAgain +
                          platform::Format("R=%5d[LSB] (STANDARD 20以下)", r.Range()));
    } else if (b.Range() > 20) {
        ReportOutOfLimits(std::string("Ｂ出力バラツキ大です\r\n") + kAgain +
                          platform::Format("B=%5d[LSB] (STANDARD 20以下)", b.Range()));
    } else if (g < 400 || g > 1400) {
        ReportOutOfLimits(std::string("Ｇ出力レベル出力範囲外です\r\n") + kAgain +
                          platform::Format("GLevel =%5d[LSB](STANDARD_MIN:%4d MAX:%4d)", g, 400, 1400));
    } else if (!(ratioGr >= std.ratioGrMin && ratioGr <= std.ratioGrMax)) {
        ReportOutOfLimits(std::string("ＧＲ比出力規格外です\r\n") + kAgain +
                          platform::Format("GR =%2.5f (STANDARD_MIN:%2.5f  MAX:%2.5f)", ratioGr, std.ratioGrMin,
                                           std.ratioGrMax));
    } else if (!(ratioGb >= std.ratioGbMin && ratioGb <= std.ratioGbMax)) {
        ReportOutOfLimits(std::string("ＧＢ比出力規格外です\r\n") + kAgain +
                          platform::Format("GB =%2.5f (STANDARD_MIN:%2.5f  MAX:%2.5f)", ratioGb, std.ratioGbMin,
                                           std.ratioGbMax));
    } else {
        const std::string line = platform::Format(
            "感度比基準値はGR[ %2.5f ],GB[ %2.5f ]です。\r\n(前回はGR[ %2.5f ],GB[ %2.5f ]です)。\r\n", ratioGr, ratioGb,
            std.ratioGrBaseline, std.ratioGbBaseline);
        m_log += line;
        ShowStrings();
        if (MessageBox(line + kAskStore, kCaptionBaseline, ui::MbButtons::OkCancel) != ui::IDCANCEL) {
            std.ratioGrBaseline = ratioGr;
            std.ratioGbBaseline = ratioGb;
        }
    }
    CloseBaselineSession();
    return 1;
}
