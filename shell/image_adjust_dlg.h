#pragma once
// CImageAdjustDlg: the station's main window (dialog 102). The operator
// chooses the adjustment items here, starts a run, takes the baselines, edits
// the standards and opens the pixel defect editor. The window owns the one
// camera link and the station's working copy of the standards.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "adjust/result_file.h"
#include "camera/usb_camera.h"
#include "history/history_settings.h"
#include "history/run_record.h"
#include "res/resource.h"
#include "shell/standards_copy.h"
#include "ui/dialog.h"

class CAdjustDlg;

namespace platform {
class SharedLibrary;
}

// The ids of its controls, menu commands and pictures are those of
// res::ImageAdjustIds.
class CImageAdjustDlg : public ui::Dialog, public res::ImageAdjustIds {
public:
    // Status pictures by m_displayState.
    static constexpr std::uint8_t kDisplayOk = 0;
    static constexpr std::uint8_t kDisplayNg = 1;
    static constexpr std::uint8_t kDisplayReady = 2;
    static constexpr std::uint8_t kDisplayWorking = 3;

    explicit CImageAdjustDlg(ui::Host& host);
    ~CImageAdjustDlg() override;

    // Told when the window has loaded the driver library and before it frees
    // it, so that the application can attach what belongs to one particular
    // library while it is there, and nothing of it outlives the library.
    class DriverLibraryObserver {
    public:
        virtual ~DriverLibraryObserver() = default;
        virtual void DriverLibraryLoaded(platform::SharedLibrary& library) = 0;
        virtual void DriverLibraryFreeing(platform::SharedLibrary& library) = 0;
    };
    // Set before the window is created; not owned.
    void SetDriverLibraryObserver(DriverLibraryObserver* observer) { m_libraryObserver = observer; }

    // ---- the line's history -------------------------------------------------
    // Every run goes into the history that HISTORY.INI names (an SQLite file
    // beside STD.DAT by default), and with SAVE its record also beside the
    // result file as <identification>.json. Set before the window is
    // created to choose another history.
    void UseHistory(history::HistorySettings settings) { m_historySettings = std::move(settings); }
    // Shows the history: the program's own window, offered by the menu
    // while no run is under way.
    using HistoryViewer = std::function<void(const history::HistorySettings&)>;
    void SetHistoryViewer(HistoryViewer viewer) { m_historyViewer = std::move(viewer); }

    void DoDataExchange(ui::DataExchange& dx) override;
    bool OnInitDialog() override;
    void OnSysCommand(int command) override;
    void OnPaint() override;
    void OnClose() override;
    void OnOK() override;
    void OnCancel() override;
    // The window's command surface, with no caller yet: not dead code.
    int OnQueryDragIcon() const { return m_hIcon; }

    // The end of every run: status line, OK or NG picture and beeps.
    void ReportResult(int result);
    // The result of the last run reported.
    int LastResult() const { return m_lastResult; }
    // The record of the last run (or of the one under way).
    const RunRecord& LastRunRecord() const { return m_runRecord; }
    // Runs that could be neither stored in the history nor queued for it.
    std::size_t LostRuns() const { return m_lostRuns; }

    // ---- the run sequencer --------------------------------------------------
    // The adjustment items, in the order the sequencer runs them.
    enum class Item {
        Sensitivity, LineCrawl, SensRatio, BatteryCheck, InsideSb, Aperture, DefectCorrect,
        CcdFlashUp, TftPosition, TftFlashUp,
    };
    struct ItemRow {
        Item item;
        std::uint16_t bits;  // the item runs when any of these is selected
        bool appendLog;      // its log joins the run log
    };
    static const std::array<ItemRow, 10>& ItemTable();
    // The item's name in the run record and on the line run's command line.
    static const char* ItemKey(Item item);

    int RunSelectedItems();
    int PreCheckCamera();
    int DispatchItems();
    int ReleaseCamera();

    // The selection as a word (the item boxes follow it).
    void SetSelection(std::uint16_t flags);

    // ---- baselines ----------------------------------------------------------
    // 1 when the measurement ran to its end (stored or not), 0 when a camera
    // command failed.
    int AcquireSensBaseline();
    int AcquireRatioBaseline();

    // ---- standards ------------------------------------------------------------
    // What the standards copy is wanted for: a run, or one of the baselines
    // (which reads only the limits of what it measures, and replaces the
    // reference).
    enum class StandardsUse { Run, SensBaseline, RatioBaseline };
    // Why the standards copy cannot be used for that (STD.DAT could not be
    // read at start, or a value is out of its range), or empty when it can.
    // START and the baseline buttons refuse to run while it is not empty.
    std::string StandardsFault(StandardsUse use = StandardsUse::Run) const;
    // A baseline taken with the baseline buttons that STD.DAT does not hold
    // yet; the standards window's OK saves it.
    bool BaselineUnsaved() const { return m_baselineUnsaved; }

    // The bitmap that OnPaint draws for a display state.
    static int BitmapForDisplayState(std::uint8_t state);

    // ---- members ------------------------------------------------------------
    std::string m_comment;  // status line (IDC_COMMENT)
    std::string m_log;      // log window (IDC_LOG)
    std::uint16_t m_itemFlags = 0;
    std::uint8_t m_displayState = kDisplayReady;
    std::uint8_t m_saveResult = 0;
    StandardsCopy m_standards;
    std::unique_ptr<CUsbCamera> m_pCamera;
    int m_hIcon = res::IDR_MAINFRAME;

private:
    int m_lastResult = 0;
    RunRecord m_runRecord;
    DriverLibraryObserver* m_libraryObserver = nullptr;
    std::optional<history::HistorySettings> m_historySettings;
    std::unique_ptr<history::HistoryWriter> m_history;
    HistoryViewer m_historyViewer;
    bool m_running = false;           // from START until the report
    bool m_baselineUnsaved = false;
    std::int64_t m_runStartUnixMs = 0, m_runEndUnixMs = 0;  // wall time, whatever the host's clock
    std::string m_runId;
    std::string m_standardsHash;      // of STD.DAT as the run found it
    std::string m_standardsReadFault;  // STD.DAT could not be read at start, and has not been written since
    std::size_t m_lostRuns = 0;
    std::string m_historyTold;        // the history's last failure, told once

protected:
    // Runs one item's window and returns its result.
    virtual int RunItem(Item item);
    // Runs an item window that has its inputs: the camera link and the run
    // record go in, its log joins the run log (where its row says so), its
    // result comes back.
    int RunAdjustDialog(CAdjustDlg& dlg, bool appendLog);

private:
    void InitCameraLink();
    void LoadStandards();
    // Shows why the standards cannot be used and returns true, or returns
    // false when they can.
    bool RefuseUnusableStandards(StandardsUse use);

    int RunRecordedItems();
    void OpenHistory();
    void OnHistoryMenu();
    // A new run's wall time and id.
    void BeginRunDocument();
    history::RunDocument RunDocumentOf(int result) const;  // ending now
    history::RunDocument RunDocumentOf(int result, std::int64_t endedAtMs) const;
    // The run into the history's journal, before its result file is written.
    void JournalRun(int itemsResult);
    // The run's record beside the result file (with SAVE): `result`, or 74
    // when it cannot be written.
    int WriteRunDocumentFile(int result);
    // The run just reported into the history.
    void RecordRunInHistory();
    void RecordInHistory(const history::RunDocument& doc);
    void TellHistoryFailure(const std::string& error);
    std::unique_ptr<ResultFileJournal> EditorJournal();
    int WriteResultFile(int itemsResult);
    void AppendItemLog(const std::string& log);
    int RunFlashUp(std::uint8_t target, bool appendLog);
    int RunTftPosition();
    int RunSensitivity();
    int RunDefectCorrect();
    int RunLineCrawl();
    int RunSensRatio();
    int RunBcAdjust();
    int RunInsideSb();
    int RunAperture();

    void RunBaselineDialogue(bool sensitivity);
    // Runs a baseline or standards action and shows whether a baseline taken
    // is still missing from STD.DAT.
    void WatchBaselines(void (CImageAdjustDlg::*action)());
    // False when the operator keeps the station open rather than lose one.
    bool MayCloseWithUnsavedBaseline();
    const char* CaptureBaselineShots(bool sensitivity, std::array<AreaMeasurement, 3>& shots);
    void CloseBaselineSession();
    void ReportOutOfLimits(const std::string& text);

    // Item boxes: one handler for all, driven by the selection table.
    void OnItemBox(int boxId);
    void OnSave();
    void OnStandard();
    void OnPixelDefect();
    void OnStart();
    void OnSensBaseline();
    void OnRatioBaseline();
};
