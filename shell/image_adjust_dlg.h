#pragma once
// CImageAdjustDlg: the station's main window (dialog 102). The operator
// chooses the adjustment items here, starts a run, takes the baselines, edits
// the standards and opens the pixel defect editor. The window owns the one
// camera link and the station's working copy of the standards.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "camera/usb_camera.h"
#include "shell/standards_copy.h"
#include "ui/dialog.h"

namespace sim {
class DiligentOperator;
}

class CImageAdjustDlg : public ui::Dialog {
public:
    static constexpr int IDD = 102;

    // Controls.
    static constexpr int IDC_LOG = 1000;
    static constexpr int IDC_COMMENT = 1001;
    static constexpr int IDC_STANDARD = 1008;
    static constexpr int IDC_START = 1009;
    static constexpr int IDC_SENS_BASELINE = 1024;
    static constexpr int IDC_RATIO_BASELINE = 1025;
    static constexpr int IDC_PICTURE = 1072;
    static constexpr int IDC_CCD_FLASH_UP = 1112;
    static constexpr int IDC_PIXEL_DEFECT = 1114;
    static constexpr int IDC_SENSITIVITY = 1117;
    static constexpr int IDC_LINE_CRAWL = 1118;
    static constexpr int IDC_SENS_RATIO = 1136;
    static constexpr int IDC_INSIDE_SB = 1137;
    static constexpr int IDC_BATTERY_CHECK = 1138;
    static constexpr int IDC_TFT_POSITION = 1139;
    static constexpr int IDC_TFT_FLASH_UP = 1140;
    static constexpr int IDC_APERTURE = 1143;
    static constexpr int IDC_DEFECT_CORRECT = 1144;
    static constexpr int IDC_SAVE = 1146;

    // The version window's menu command.
    static constexpr int IDM_ABOUTBOX = 16;
    static constexpr int IDR_MAINFRAME = 128;  // the icon

    // Status pictures by m_displayState.
    static constexpr std::uint8_t kDisplayOk = 0;
    static constexpr std::uint8_t kDisplayNg = 1;
    static constexpr std::uint8_t kDisplayReady = 2;
    static constexpr std::uint8_t kDisplayWorking = 3;
    static constexpr int IDB_READY = 141;
    static constexpr int IDB_OK = 142;
    static constexpr int IDB_NG = 143;
    static constexpr int IDB_WORKING = 144;

    explicit CImageAdjustDlg(ui::Host& host);
    ~CImageAdjustDlg() override;

    void DoDataExchange(ui::DataExchange& dx) override;
    bool OnInitDialog() override;
    void OnSysCommand(int command) override;
    void OnPaint() override;
    void OnClose() override;
    void OnOK() override;
    void OnCancel() override;
    int OnQueryDragIcon() const { return m_hIcon; }

    // The end of every run: status line, OK or NG picture and beeps.
    void ReportResult(int result);
    // The result of the last run reported.
    int LastResult() const { return m_lastResult; }

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
    // The result of an item whose window this station does not have: it
    // stops the run like a failure.
    static constexpr int kItemNotAvailable = 0;

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

    // The bitmap that OnPaint draws for a display state.
    static int BitmapForDisplayState(std::uint8_t state);

    // ---- members ------------------------------------------------------------
    std::string m_comment;  // status line (1001)
    std::string m_log;      // log window (1000)
    std::uint16_t m_itemFlags = 0;
    std::uint8_t m_displayState = kDisplayReady;
    std::uint8_t m_saveResult = 0;
    StandardsCopy m_standards;
    std::unique_ptr<CUsbCamera> m_pCamera;
    int m_hIcon = IDR_MAINFRAME;

private:
    int m_lastResult = 0;
    std::shared_ptr<sim::DiligentOperator> m_benchOperator;  // on a simulated bench only
public:

protected:
    // Runs one item's window and returns its result.
    virtual int RunItem(Item item);

private:
    void InitCameraLink();
    void LoadStandards();
    void WatchPromptsOnSimulatedBench();
    void StopWatchingPrompts();

    int WriteResultFile();
    void AppendItemLog(const std::string& log);
    int RunFlashUp(std::uint8_t target, bool appendLog);
    int RunTftPosition();

    void RunBaselineDialogue(bool sensitivity);
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
