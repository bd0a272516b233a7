// The fault matrix of the main window's actions outside START: the two
// baseline buttons, and the pixel defect editor's READ and RUN (ADD and
// DELETE), each with a session of its own.

#include "adjust/pixel_defect_dlg.h"
#include "tests/fault/fault_matrix.h"

namespace fault_matrix {
namespace {

constexpr const char* kFirstContact = "カメラとの初期通信でエラーが発生しました";
constexpr const char* kCommunication = "カメラとの通信でエラーが発生しました";

class StationActionsFault : public FaultMatrixTest {
protected:
    // A baseline button; it reports 1 when it stored the new baseline.
    Action Baseline(bool sensitivity) {
        Action a;
        a.what = sensitivity ? "sensitivity baseline" : "ratio baseline";
        a.unit = "nominal";
        prepare_ = [this] {
            StandardData& s = dlg_.m_standards.values;
            s.sensBaseline = 0;
            s.ratioGrBaseline = s.ratioGbBaseline = 0;
        };
        a.run = [this, sensitivity] {
            host_.Click(dlg_, sensitivity ? CImageAdjustDlg::IDC_SENS_BASELINE : CImageAdjustDlg::IDC_RATIO_BASELINE);
        };
        a.report = [this, sensitivity] {
            const StandardData& s = dlg_.m_standards.values;
            return (sensitivity ? s.sensBaseline != 0 : s.ratioGrBaseline != 0) ? 1 : 0;
        };
        a.rule = [](const Walk& w, std::size_t k, LinkFault f) {
            Expect e;
            switch (w.phase[k]) {
                case Phase::Connect:
                case Phase::PreCheck:
                    e = SessionRule(w, k);
                    if (e.kind == Expect::Kind::Fails) e = Expect::Shows(kFirstContact);
                    break;
                case Phase::Work:
                    if (IsShootingCondition(w[k])) {
                        e = Expect::Shows("カメラモード設定で通信エラーが発生しました");
                    } else {
                        e = Picture(w[k], f, 0, 0);  // nothing stored, whatever the picture's number
                        e.box = "レリーズで通信エラーが発生しました";
                    }
                    break;
                default: return SessionRule(w, k);
            }
            // The failure exit closes the checker and the session as the normal one does.
            e.then = {"DXC_CLOSE_CHECKER", "DCMD_CLOSE_SESSION"};
            return e;
        };
        return a;
    }

    // An action of the editor with SAVE ticked, then CANCEL; it reports 1
    // when it ended with `last`, its closing message.
    Action Editor(std::string what, std::function<void(ui::scripted::Script&)> act, std::string last) {
        Action a;
        a.what = std::move(what);
        a.unit = "stored-defects";  // R (1000, 1200) and (1002, 1200) as a marked pair, B (300, 455)
        a.resultFile = sim::FindProfile(a.unit)->identification + ".dat";
        prepare_ = {};
        a.run = [this, act] {
            ui::scripted::Script& s = host_.OnShow(CPixelDefectDlg::IDD);
            s.Click(CPixelDefectDlg::IDC_SAVE);
            act(s);
            s.Do([this](ui::Dialog& d) { editorLog_ = static_cast<CPixelDefectDlg&>(d).m_log; }).Click(ui::IDCANCEL);
            host_.Click(dlg_, CImageAdjustDlg::IDC_PIXEL_DEFECT);
        };
        a.report = [this, last] {
            return !host_.MessageBoxes().empty() && host_.MessageBoxes().back().text == last ? 1 : 0;
        };
        a.rule = [](const Walk& w, std::size_t k, LinkFault f) {
            const EntryCall& c = w[k];
            Expect e;
            switch (w.phase[k]) {
                case Phase::Connect:
                case Phase::PreCheck:
                    e = SessionRule(w, k);
                    if (e.kind != Expect::Kind::Fails) return e;
                    e = Expect::Shows(kFirstContact);
                    e.then = {"DXC_CLOSE_CHECKER", "DCMD_CLOSE_SESSION"};
                    return e;
                case Phase::Disconnect: return SessionRule(w, k);
                default: break;
            }
            // Past the pre-check the action ends where it fails: the camera
            // stays connected, and the next action connects again.
            const bool first = c.name == "DXC_CCD_POWERON" && w.CountBefore(k, "DXC_CCD_POWERON") == 0;
            if (first && f == LinkFault::Interrupted)
                return Expect::Ignored("its result is not checked, and the camera has switched the CCD on");
            e = Expect::Shows(kCommunication, first ? "its result is not checked, but the table read that needs "
                                                      "the CCD fails"
                                                    : "");
            e.leftConnected = true;
            if (first) e.then = {"DXC_CCDEEPROM_DATAREAD"};
            // The log is saved once the identification has been read twice.
            e.file = w.CountBefore(k, [](const EntryCall& r) {
                return r.name == "DXC_CCDEEPROM_DATAREAD" && r.Address() == 16;
            }) == 2;
            return e;
        };
        return a;
    }
    std::string LogOf(const Action& a) override { return a.start ? dlg_.m_log : editorLog_; }

    std::string editorLog_;
};

TEST_F(StationActionsFault, Baselines) {
    RunMatrix(Baseline(true));
    RunMatrix(Baseline(false));
}

TEST_F(StationActionsFault, PixelDefectEditor) {
    using D = CPixelDefectDlg;
    RunMatrix(Editor("editor READ", [](ui::scripted::Script& s) { s.Click(D::IDC_READ); },
                     "カメラからケーブルを取り外してください"));
    auto pixel = [](int mode, int x, int y) {
        return [=](ui::scripted::Script& s) {
            s.Click(mode).Type(D::IDC_RAW_X, std::to_string(x)).Type(D::IDC_RAW_Y, std::to_string(y)).Click(ui::IDOK);
        };
    };
    RunMatrix(Editor("editor RUN ADD", pixel(D::IDC_ADD, 2000, 1500), "カメラからケーブル類を外してください"));
    RunMatrix(Editor("editor RUN DELETE", pixel(D::IDC_DELETE, 300, 455), "カメラからケーブル類を外してください"));
}

}  // namespace
}  // namespace fault_matrix
