#pragma once
// Line crawl adjustment: the difference between the two green pixel classes
// (Gr on red rows, Gb on blue rows) on a fully red and a fully blue field,
// relative to their blue-minus-red contrast, gives one correction
// coefficient. It goes into the camera's line crawl block, both fields are
// measured again with it in force, and the block is stored.

#include <cstdint>

#include "adjust/adjust_dlg.h"
#include "camera/usb_camera.h"

class CLineCrawlDlg : public CAdjustDlg {
public:
    explicit CLineCrawlDlg(ui::Host& host);

    // ---- inputs (LINE) ------------------------------------------------------
    double m_redLimit = 0;   // %, first limit: the red field's residual difference
    double m_blueLimit = 0;  // %, second limit: both fields' residual differences
    MeasureArea m_redArea;   // where both fields are measured
    MeasureArea m_blueArea;  // given by the standards; both fields use the red one

    // K from the two fields: 1, kErrLineCrawlParameter (a field without
    // contrast) or kErrLineCrawlValue (out of the correction byte's reach);
    // k8 = round(K x 4096) with a small negative K taken as 0.
    struct Coefficient {
        int result = 1;
        double kr = 0, kb = 0, k = 0;
        std::uint8_t k8 = 0;
    };
    static Coefficient ComputeCoefficient(const AreaMeasurement& red, const AreaMeasurement& blue);

    static constexpr double kLowestK = -5.0;
    static constexpr int kK8Max = 255;

    int RunLineCrawl();

protected:
    int RunAdjustment() override { return RunLineCrawl(); }

private:
    // One field after the operator has moved the chart: 1,
    // kErrUsbReleaseConditions or kErrUsbRelease.
    int MeasureField(const char* prompt, AreaMeasurement* out);
    int WriteRamConfig(std::uint32_t address, std::uint32_t n, std::uint8_t* data);
};
