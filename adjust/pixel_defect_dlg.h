#pragma once
// The pixel defect editor: lists the CCD EEPROM defect table, adds one
// defective pixel by its RAW coordinates or deletes one, and keeps the log
// of the action in the camera's result file. Each action connects to the
// camera and lets it go again; it runs outside START, so it has no run
// record and no result code.

#include <cstdint>
#include <string>

#include "adjust/defect_table.h"
#include "adjust/result_file.h"
#include "res/resource.h"
#include "ui/dialog.h"

class CUsbCamera;

class CPixelDefectDlg : public ui::Dialog, public res::PixelDefectIds {
public:
    static constexpr std::uint8_t kModeDelete = 0;
    static constexpr std::uint8_t kModeAdd = 1;

    explicit CPixelDefectDlg(ui::Host& host);

    CUsbCamera* m_pCamera = nullptr;  // the main window's link, not owned
    ResultFileJournal* m_journal = nullptr;  // the line's history of SAVE, not owned; optional
    std::uint8_t m_mode = kModeAdd;
    std::uint8_t m_saveFlag = 0;
    int m_rawX = 0;  // 0 to 3500
    int m_rawY = 0;  // 0 to 2600
    std::string m_log;
    defect::DefectLists m_lists;  // the table of the last action, as read and edited

    bool OnInitDialog() override;
    void DoDataExchange(ui::DataExchange& dx) override;

    // READ and RUN.
    void ReadDefectTable();
    void EditDefectTable();

private:
    void OnMode(std::uint8_t mode);
    void OnSaveBox();
    // The pre-check; on a failure the camera is let go and the operator told.
    bool ConnectChecked();
    bool LoadDefectTable();
    int AddDefect();
    int DeleteDefect();
    int StoreDefectTable();
    bool SaveEditorLog();
    // CCD power off, checker closed, camera let go.
    bool EndAction();
    void ShowCommunicationError();
};
