// The CCD EEPROM defect table as the camera may hold it: the pixel defect
// editor reads it (counts, then each entry), adds a pixel (merge, pair
// marks, run checks) or deletes one, and writes it back, on the simulated
// camera whose table the input replaces.
//
// Input: the action (byte 0: READ, ADD or DELETE), RAW_X and RAW_Y (two
// bytes each), then the bytes of the CCD EEPROM from 370 on. Afterwards the
// camera must hold what it held outside the table space, and a table it was
// written must be one the camera's correction can follow, made of the
// entries read and the edit.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

#include "adjust/defect_table.h"
#include "adjust/pixel_defect_dlg.h"
#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "sim/simulator.h"
#include "ui/scripted/scripted_host.h"

namespace {

using defect::Colour;
using Table = defect::DefectLists;

[[noreturn]] void Fail(const char* what, long a = 0) {
    std::fprintf(stderr, "%s (%ld)\n", what, a);
    std::abort();
}

// The table the camera holds; `ok` is false when its counts reach past the
// memory.
struct Held {
    bool ok = false;
    std::uint16_t rCount = 0, bCount = 0;
    Table lists;
};

Held ReadHeld(const std::vector<std::uint8_t>& ee) {
    Held h;
    h.rCount = platform::GetBe16(&ee[defect::kTableAddress]);
    h.bCount = platform::GetBe16(&ee[defect::kTableAddress + 2]);
    const std::size_t end = defect::kEntriesAddress + defect::kEntryBytes * (std::size_t{h.rCount} + h.bCount);
    if (end > ee.size()) return h;
    for (std::size_t i = 0; i < std::size_t{h.rCount} + h.bCount; ++i) {
        const DefectEntry e = defect::EntryFromBytes(&ee[defect::kEntriesAddress + defect::kEntryBytes * i]);
        (i < h.rCount ? h.lists.r : h.lists.b).push_back(e);
    }
    h.ok = true;
    return h;
}

bool Readable(const Held& h) {
    if (!h.ok || h.rCount > defect::kMaxListEntries || h.bCount > defect::kMaxListEntries) return false;
    for (const auto* list : {&h.lists.r, &h.lists.b})
        for (const DefectEntry& e : *list)
            if (defect::CheckEntryWords(e) != defect::EntryFault::None) return false;
    return true;
}

// A list the correction can walk: sorted by line then column without
// repeats, and the marks exactly on the same-colour neighbours two columns
// apart on one line.
void CheckWalkable(const std::vector<DefectEntry>& list) {
    for (std::size_t j = 0; j < list.size(); ++j) {
        const DefectEntry& e = list[j];
        const std::uint16_t line = e.v & defect::kAddressMask;
        if ((e.v & defect::kMarkBits & ~(defect::kPairLeft | defect::kPairRight)) != 0) Fail("stray mark", e.v);
        const bool left = j + 1 < list.size() && (list[j + 1].v & defect::kAddressMask) == line &&
                          list[j + 1].h == e.h + 2;
        const bool right = j > 0 && (list[j - 1].v & defect::kAddressMask) == line && list[j - 1].h + 2 == e.h;
        if (((e.v & defect::kPairLeft) != 0) != left || ((e.v & defect::kPairRight) != 0) != right)
            Fail("pair marks wrong", static_cast<long>(j));
        if (j > 0 && std::pair<int, int>(list[j - 1].v & defect::kAddressMask, list[j - 1].h) >= std::pair<int, int>(line, e.h))
            Fail("list not in order", static_cast<long>(j));
    }
}

// No four defects of either colour within four places of one row or column.
void CheckNoRunOfFour(const Table& t) {
    std::set<std::pair<int, int>> pixels;  // (row, column) as 16-bit words
    for (Colour c : {Colour::R, Colour::B})
        for (const DefectEntry& e : c == Colour::R ? t.r : t.b)
            pixels.insert({defect::RawRow(e, c) & 0xFFFF, defect::RawColumn(e) & 0xFFFF});
    for (const auto& [row, column] : pixels) {
        int across = 0, down = 0;
        for (int k = 0; k < 4; ++k) {
            across += pixels.count({row, column + k}) != 0;
            down += pixels.count({row + k, column}) != 0;
        }
        if (across > 3 || down > 3) Fail("run of four written", row);
    }
}

std::vector<DefectEntry> Addresses(std::vector<DefectEntry> list) {
    for (DefectEntry& e : list) e.v &= defect::kAddressMask;
    return list;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const int action = data[0] % 3;  // READ, ADD, DELETE
    const int x = platform::GetBe16(data + 1) % 3501;
    const int y = platform::GetBe16(data + 3) % 2601;

    sim::Simulator& s = sim::Sim();
    s.Reset();
    sim::Camera& camera = s.FirstCamera();
    for (sim::Memory m : {sim::Memory::CcdEeprom, sim::Memory::CcdEepromFlash}) {
        std::vector<std::uint8_t>& ee = camera.Mem(m);
        std::copy_n(data + 5, std::min(size - 5, ee.size() - defect::kTableAddress), ee.begin() + defect::kTableAddress);
    }
    const std::vector<std::uint8_t> before = camera.Mem(sim::Memory::CcdEeprom);
    const Held read = ReadHeld(before);

    ui::scripted::ScriptedHost host;
    CUsbCamera link(host.VClock());
    CUsbCamera::BindDriverEntry(&SimLvDriverEntry);
    ui::scripted::Script& script = host.OnShow(CPixelDefectDlg::IDD);
    if (action == 0) {
        script.Click(CPixelDefectDlg::IDC_READ);
    } else {
        script.Click(action == 1 ? CPixelDefectDlg::IDC_ADD : CPixelDefectDlg::IDC_DELETE)
            .Type(CPixelDefectDlg::IDC_RAW_X, std::to_string(x))
            .Type(CPixelDefectDlg::IDC_RAW_Y, std::to_string(y))
            .Click(ui::IDOK);
    }
    script.Click(ui::IDCANCEL);
    {
        CPixelDefectDlg dlg(host);
        dlg.m_pCamera = &link;
        dlg.DoModal();
    }
    link.DisconnectCamera();
    CUsbCamera::BindDriverEntry(nullptr);

    int writes = 0;
    for (const auto& c : s.Commands()) writes += c.name == "DXC_CCDEEPROM_DATAWRITE";
    const std::vector<std::uint8_t>& after = camera.Mem(sim::Memory::CcdEeprom);
    // Only the table space may change: the stored aperture gains follow it.
    constexpr std::size_t kTableSpaceEnd = defect::kEntriesAddress + defect::kEntryBytes * defect::kMaxTableEntries;
    if (!std::equal(after.begin(), after.begin() + defect::kTableAddress, before.begin()) ||
        !std::equal(after.begin() + kTableSpaceEnd, after.end(), before.begin() + kTableSpaceEnd))
        Fail("memory outside the table space changed");
    if (writes == 0) {
        if (after != before) Fail("table changed without a write");
        return 0;
    }
    if (action == 0) Fail("READ wrote the table");
    if (!Readable(read)) Fail("a table that cannot be read was written over", read.rCount);

    const Held written = ReadHeld(after);
    if (!written.ok || written.lists.Total() > static_cast<std::size_t>(defect::kMaxTableEntries))
        Fail("table written past its space", written.rCount + written.bCount);
    const DefectEntry pixel = defect::Encode(x, y);
    const Colour colour = defect::ColourOfRow(y);
    if (action == 1) {
        // The entries read and the one added, each once, walkable.
        for (Colour c : {Colour::R, Colour::B}) {
            std::vector<DefectEntry> expected = Addresses(c == Colour::R ? read.lists.r : read.lists.b);
            if (c == colour) expected.push_back(pixel);
            std::sort(expected.begin(), expected.end(),
                      [](const DefectEntry& a, const DefectEntry& b) { return std::pair(a.v, a.h) < std::pair(b.v, b.h); });
            expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
            const std::vector<DefectEntry>& got = c == Colour::R ? written.lists.r : written.lists.b;
            if (Addresses(got) != expected) Fail("written list is not the list read with the pixel added");
            CheckWalkable(got);
        }
        CheckNoRunOfFour(written.lists);
    } else {
        // The entries read less the pixel; the other colour untouched.
        const std::vector<DefectEntry>& was = colour == Colour::R ? read.lists.r : read.lists.b;
        std::vector<DefectEntry> kept;
        for (const DefectEntry& e : Addresses(was))
            if (!(e == pixel)) kept.push_back(e);
        const std::vector<DefectEntry>& got = colour == Colour::R ? written.lists.r : written.lists.b;
        if (kept.size() == was.size() || Addresses(got) != kept) Fail("written list is not the list read less the pixel");
        if ((colour == Colour::R ? written.lists.b : written.lists.r) != (colour == Colour::R ? read.lists.b : read.lists.r))
            Fail("the other list changed");
    }
    return 0;
}
