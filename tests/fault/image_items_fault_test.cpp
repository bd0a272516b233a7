// The fault matrix of the items that adjust picture levels on the colour
// viewer: sensitivity, line crawl and sensitivity ratio, each from START
// with the CCD EEPROM flash-up after it.

#include "tests/fault/fault_matrix.h"

namespace fault_matrix {
namespace {

using ImageItemsFault = FaultMatrixTest;

TEST_F(ImageItemsFault, Sensitivity) {
    RunMatrix(Start("sensitivity", "nominal", 0x0080, [](const Walk& w, std::size_t k, LinkFault f) {
        const EntryCall& c = w[k];
        if (c.name == "DXC_SET_OB") return Expect::Fails(LinkNumber(f), "SetOb's own number is returned unchanged");
        if (w.shot[k] == 0) return Picture(c, f, 7, 7);
        if (w.shot[k] > 0) {
            Expect e = Picture(c, f, LinkNumber(f), 8);
            if (e.why.empty()) e.why = "one of the three averaged: their own number is returned unchanged";
            return e;
        }
        if (IsShootingCondition(c)) return Expect::Fails(8);
        if (f == LinkFault::CorruptedRead && c.name == "DXC_RAMCONFIG_DATAREAD" && c.Length() == 2) {
            if (ReadsBackWrite(w, k)) return Expect::Fails(10, "the step's word read back differs from it");
            return Expect::Ignored("the check only logs the word");
        }
        return Expect::Fails(3);
    }));
}

TEST_F(ImageItemsFault, LineCrawl) {
    RunMatrix(Start("line crawl", "nominal", 0x0200, [](const Walk& w, std::size_t k, LinkFault f) {
        if (f == LinkFault::CorruptedRead && w[k].name == "DXC_RAMCONFIG_DATAREAD" && ReadsBackWrite(w, k))
            return Expect::Fails(10, "the block read back differs from what was written");
        return PictureItemRule(w, k, f);
    }));
}

TEST_F(ImageItemsFault, SensitivityRatio) {
    // Two passes: the trial gains are corrected once.
    RunMatrix(Start("sensitivity ratio", "colour-offset", 0x0100, PictureItemRule));
}

}  // namespace
}  // namespace fault_matrix
