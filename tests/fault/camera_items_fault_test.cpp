// The fault matrix of the items that work through the camera's
// microcontroller: the battery check with the consumption currents, and the
// built-in flash, each from START.

#include "tests/fault/fault_matrix.h"

namespace fault_matrix {
namespace {

using CameraItemsFault = FaultMatrixTest;

constexpr const char* kSend = "DXC_CAMMCU_TESTCMD_SEND";
constexpr const char* kResponse = "DXC_CAMMCU_TESTCMD_RESP";

TEST_F(CameraItemsFault, BatteryCheck) {
    RunMatrix(Start("battery check", "nominal", 0x0010, [](const Walk& w, std::size_t k, LinkFault f) {
        const std::string mcu = w.McuOf(k);
        if (mcu == "SS") {
            if (f == LinkFault::NeverCompletes) return Expect::Fails(3, "the link has gone: no attempt gets through");
            return Expect::Retried({kSend, kResponse}, "inspection mode is tried three times, 300 ms apart");
        }
        if (f == LinkFault::CorruptedRead) {
            if (w.McuAddressOf(k) == 2566)
                return Expect::Fails(23, "the reading with its low byte changed is outside the A/D limits");
            if (mcu == "AR") return Expect::Fails(11, "the DRAM read-back differs from what was written");
            return Expect::Fails(12, "the EEPROM read-back differs from what was written");
        }
        return Expect::Fails(3);
    }));
}

TEST_F(CameraItemsFault, BuiltInFlash) {
    // One correction in each mode.
    RunMatrix(Start("built-in flash", "flash-offset", 0x2000, [](const Walk& w, std::size_t k, LinkFault f) {
        const EntryCall& c = w[k];
        const bool property = c.name == "DCMD_SET_PROPERTY" || c.name == "DCMD_GET_PROPERTY";
        if (property && (c.Parameter() == 76 || c.Parameter() == 78 || c.Parameter() == 139)) return Expect::Fails(3);
        if (IsShootingCondition(c)) return Expect::Fails(8);
        // The value write opens the checker again; before it, every other
        // command belongs to a flash picture.
        const bool writing = w.CountBefore(k + 1, [&c](const EntryCall& e) {
            return e.name == "DXC_OPEN_CHECKER" && e.window == c.window;
        }) > 0;
        if (f == LinkFault::CorruptedRead && w.McuOf(k) == "AR")
            return Expect::Fails(11, "the DRAM value read back differs from what was written");
        if (!writing) return Picture(c, f, 7, 7);
        if (f == LinkFault::CorruptedRead) {
            if (w.CountBefore(k, [](const EntryCall& e) { return e.Mcu() == "AW"; }) == 0)
                return Expect::Ignored("the values read before the write are not used");
            return Expect::Fails(12, "the EEPROM read-back differs from what was written");
        }
        return Expect::Fails(3);
    }));
}

}  // namespace
}  // namespace fault_matrix
