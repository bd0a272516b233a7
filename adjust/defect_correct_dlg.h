#pragma once
// CCD defect correction: a dark frame through a capped lens shows the
// sensor's white defects; those over the judgement level are merged with
// the table the camera holds, checked against what its correction can
// handle, and written back into the CCD EEPROM once the operator agrees.

#include <cstdint>
#include <memory>
#include <vector>

#include "adjust/adjust_dlg.h"
#include "adjust/defect_table.h"
#include "adjust/message_box_dlg.h"

class CDefectCorrectDlg : public CAdjustDlg {
public:
    // More pixels over the level than this are more than any table takes.
    static constexpr std::size_t kMaxDetections = 391;

    explicit CDefectCorrectDlg(ui::Host& host);

    std::uint16_t m_judgementLevel = 0;  // a pixel over this is a defect
    std::uint32_t m_maxWrites = 0;       // entries the table may hold after the merge

    int RunDefectCorrection();

protected:
    int RunAdjustment() override { return RunDefectCorrection(); }

private:
    int RunMainSequence();
    int ResetFpgainTable();
    int CaptureDarkFrame();
    int DetectWhiteDefects(int& found);
    int ReadWrittenDefects();
    int MergeDefectLists();
    int WriteDefectLists();
    // The write count that this table space can hold, whatever the standards say.
    std::uint32_t MaxWrites() const;
    void StepProgress();
    void SetProgress(int pos);

    // The picture and the planes, for one run only.
    std::unique_ptr<std::uint8_t[]> m_imageFile;
    std::unique_ptr<std::uint16_t[]> m_summedPlane, m_copyPlane;
    std::vector<std::uint16_t> m_rowMax;

    std::vector<DetectedPixel> m_detected;
    defect::DefectLists m_lists;
    CMessageBoxDlg m_prompt;
    int m_progress = 0;
};
