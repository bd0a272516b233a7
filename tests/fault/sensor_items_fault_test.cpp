// The fault matrix of the aperture dependence, the defect correction, both
// EEPROM flash-ups and the TFT display position, each from START.

#include <malloc.h>

#include "tests/fault/fault_matrix.h"

namespace fault_matrix {
namespace {

using SensorItemsFault = FaultMatrixTest;

TEST_F(SensorItemsFault, ApertureDependence) {
    // Out of tolerance at first: new gains are tried and stored.
    RunMatrix(Start("aperture dependence", "aperture-falloff", 0x1000, [](const Walk& w, std::size_t k, LinkFault f) {
        if (f == LinkFault::CorruptedRead && w[k].name == "DXC_RAMCONFIG_DATAREAD" && w[k].Address() == 2120)
            return Expect::Ignored("read before the gains and not used");
        if (f == LinkFault::CorruptedRead && w[k - 1].name == "DXC_UPDATECOMMAND")
            return Expect::Fails(15, "the stored gains, committed and unpacked, read otherwise");
        return PictureItemRule(w, k, f);
    }));
}

TEST_F(SensorItemsFault, DefectCorrection) {
    // Each run takes its 35 MB of picture buffers afresh: kept in the heap
    // between runs, they need not be mapped anew every time.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    // A table in the camera to read and merge with.
    Action a = Start("defect correction", "stored-defects", 0x0800, PictureItemRule);
    a.sampleImageBlocks = true;
    RunMatrix(a);
}

TEST_F(SensorItemsFault, FlashUpsAndTftPosition) {
    RunMatrix(Start("CCD EEPROM flash-up", "nominal", 0x0004, PictureItemRule));
    Action tftFlashUp = Start("TFT EEPROM flash-up", "nominal", 0x8000, PictureItemRule);
    tftFlashUp.ngLogs.erase(kFlashUpWindow);  // its log does not join the run log
    RunMatrix(tftFlashUp);

    // The operator chooses NTSC, moves the picture up once and confirms.
    tftScript_ = [](ui::scripted::Script& s) { s.Click(1141).Click(1009).Click(1008); };
    Action tftPosition = Start("TFT position", "nominal", 0x4000, [](const Walk& w, std::size_t k, LinkFault f) {
        if (f == LinkFault::CorruptedRead && w[k - 1].name == "DXC_UPDATECOMMAND")
            return Expect::GoesOn(3, "USB通信エラーです", "the block read back after a move differs: NG");
        if (w.CountBefore(k + 1, "DXC_TFTEEPROM_DATAREAD") == 0) {
            Expect e = Expect::Fails(3, "the video mode: the window closes");
            e.box = "USB通信エラーです。もう一度やり直してください";
            return e;
        }
        if (w[k].name == "DXC_PLAY_OFF") return Expect::GoesOn(1, "USB通信エラーです。", "OK: the window closes all the same");
        return Expect::GoesOn(1, "USB通信エラーです", "a move: the window stays open, the item's result unchanged");
    });
    tftPosition.failureBox = "USB通信エラーです";
    RunMatrix(tftPosition);
}

}  // namespace
}  // namespace fault_matrix
