// The fault matrix of the main window's actions outside START: the two
// baseline buttons, each with a session of its own.

#include "tests/fault/fault_matrix.h"

namespace fault_matrix {
namespace {

constexpr const char* kFirstContact = "カメラとの初期通信でエラーが発生しました";

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
};

TEST_F(StationActionsFault, Baselines) {
    RunMatrix(Baseline(true));
    RunMatrix(Baseline(false));
}

}  // namespace
}  // namespace fault_matrix
