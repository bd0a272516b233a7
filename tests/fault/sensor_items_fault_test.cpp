// The fault matrix of the aperture dependence and both EEPROM flash-ups,
// each from START.

#include "tests/fault/fault_matrix.h"

namespace fault_matrix {
namespace {

using SensorItemsFault = FaultMatrixTest;

TEST_F(SensorItemsFault, ApertureDependence) {
    // Out of tolerance at first: new gains are tried and stored.
    RunMatrix(Start("aperture dependence", "aperture-falloff", 0x1000, [](const Walk& w, std::size_t k, LinkFault f) {
        if (f == LinkFault::CorruptedRead && w[k].name == "DXC_RAMCONFIG_DATAREAD" && w[k].Address() == 2120)
            return Expect::Ignored("read before the gains and not used");
        return PictureItemRule(w, k, f);
    }));
}

TEST_F(SensorItemsFault, FlashUps) {
    RunMatrix(Start("CCD EEPROM flash-up", "nominal", 0x0004, PictureItemRule));
    Action tftFlashUp = Start("TFT EEPROM flash-up", "nominal", 0x8000, PictureItemRule);
    tftFlashUp.ngLogs.erase(kFlashUpWindow);  // its log does not join the run log
    RunMatrix(tftFlashUp);
}

}  // namespace
}  // namespace fault_matrix
