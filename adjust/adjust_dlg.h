#pragma once
// The frame of every adjustment item window: a log and one button. The window
// starts its adjustment routine by itself from a kick-off timer, writes its
// progress into the log while it works, puts the verdict in front of the log
// and closes itself. The run sequencer hands it the camera link and the
// item's standards, runs it modally, and takes its log and result code.

#include <string>

#include "adjust/camera_session.h"
#include "camera/result_numbers.h"
#include "history/run_record.h"
#include "res/resource.h"
#include "ui/dialog.h"

class CUsbCamera;

class CAdjustDlg : public ui::Dialog, public res::AdjustIds {
public:
    // The result code until the routine has returned. Not 1, so a window
    // ended from outside before that stops the run; not a number of the
    // message table, so no message names a failure that did not happen.
    static constexpr int kResultNotRun = 0;

    enum class CloseBy { Ok, Close };

    struct Frame {
        int timerId;
        int intervalMs;
        CloseBy closeBy = CloseBy::Ok;
        bool focusButton = true;
    };

    CAdjustDlg(ui::Host& host, const ui::DialogTemplate& tmpl, Frame frame);

    CUsbCamera* m_pCamera = nullptr;  // not owned
    RunRecord* m_pRecord = nullptr;   // the run's record, not owned; may be null
    std::string m_log;
    int m_result = kResultNotRun;

    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;
    void OnTimer(int id) override;
    // Nothing ends the window before its routine has returned: not the
    // button (disabled meanwhile), nor Enter, Escape or the close button.
    void OnOK() override;
    void OnCancel() override;

protected:
    // The item's own work: 1 or an error number.
    virtual int RunAdjustment() = 0;

    // The log as the operator sees it: every change is shown at once.
    void SetLog(const std::string& text);
    void AppendLog(const std::string& text);
    // The bench conditions prompt: "下記に示す条件に設定してください\r\n"
    // followed by the item's lines, caption "MESSAGEM", OK only.
    void ShowConditions(const std::string& lines);
    void Pause(int ms) { Sleep(ms); }
    // A camera command, then the pause the camera needs before the next one
    // (station::Step): every item drives the camera this way.
    bool Step(int result, int pauseMs) { return station::Step(*this, result, pauseMs); }
    // A judged value for the run's record (beside the log, which it does not change).
    void Record(RunMeasurement m) {
        if (m_pRecord) m_pRecord->Add(std::move(m));
    }
    CUsbCamera& Camera() const { return *m_pCamera; }

private:
    Frame m_frame;
    bool m_routineReturned = false;
};
