#include "adjust/defect_table.h"

#include <algorithm>
#include <utility>

#include "adjust/camera_session.h"
#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "ui/dialog.h"

namespace defect {

namespace {

// A pixel of either list as the run checks see it.
struct RawPixel {
    std::uint16_t column = 0, row = 0;
};

void AppendRawPixels(const std::vector<DefectEntry>& list, Colour c, std::vector<RawPixel>& out) {
    for (const DefectEntry& e : list)
        out.push_back({static_cast<std::uint16_t>(RawColumn(e)), static_cast<std::uint16_t>(RawRow(e, c))});
}

// Whether, counting from each pixel (itself included) over the pixels after
// it, more than three share `line` and lie within four places along `along`.
template <class Line, class Along>
bool HasRunOfFour(const std::vector<RawPixel>& pixels, Line line, Along along) {
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        int count = 0;
        for (std::size_t k = i; k < pixels.size(); ++k)
            if (line(pixels[k]) == line(pixels[i]) && along(pixels[k]) >= along(pixels[i]) &&
                along(pixels[k]) <= along(pixels[i]) + 3)
                ++count;
        if (count > 3) return true;
    }
    return false;
}

}  // namespace

DefectEntry Encode(int column, int row) {
    const int bias = ColourOfRow(row) == Colour::R ? 6 : 5;
    return {static_cast<std::uint16_t>(column + kColumnOffset), static_cast<std::uint16_t>((row + bias) / 2)};
}

int JpegColumn(int rawColumn) { return std::max(rawColumn - 13, 0); }
int JpegRow(int rawRow) { return std::max(rawRow - 12, 0); }

EntryFault CheckEntryWords(const DefectEntry& e) {
    if (e.v == 0 || e.h == 0) return EntryFault::Zero;
    if (e.v == 0xFFFF || e.h == 0xFFFF) return EntryFault::AllOnes;
    return EntryFault::None;
}

DefectEntry EntryFromBytes(const std::uint8_t* four) {
    return {platform::GetBe16(four + 2), platform::GetBe16(four)};
}

void AppendDetections(DefectLists& lists, const std::vector<DetectedPixel>& pixels) {
    for (const DetectedPixel& p : pixels) lists.List(ColourOfRow(p.y)).push_back(Encode(p.x, p.y));
}

void NormaliseList(std::vector<DefectEntry>& list) {
    for (DefectEntry& e : list) e.v &= kAddressMask;
    // Entries with the same key are the same entry, so any sort gives the
    // one order that a stable exchange sort gives.
    std::sort(list.begin(), list.end(),
              [](const DefectEntry& a, const DefectEntry& b) { return std::pair(a.v, a.h) < std::pair(b.v, b.h); });
    list.erase(std::unique(list.begin(), list.end()), list.end());
}

int MarkPairs(std::vector<DefectEntry>& list) {
    for (std::size_t j = 0; j + 1 < list.size(); ++j) {
        DefectEntry& left = list[j];
        DefectEntry& right = list[j + 1];
        if ((left.v & kAddressMask) != (right.v & kAddressMask) || left.h + 2 != right.h) continue;
        // The left one is already the right member of a pair: three in a row.
        if (left.v & kMarkBits) return kErrDefectCoordinate;
        left.v |= kPairLeft;
        right.v |= kPairRight;
    }
    return 1;
}

int CheckDefectRuns(const DefectLists& lists) {
    std::vector<RawPixel> pixels;
    AppendRawPixels(lists.r, Colour::R, pixels);
    AppendRawPixels(lists.b, Colour::B, pixels);
    std::sort(pixels.begin(), pixels.end(), [](const RawPixel& a, const RawPixel& b) {
        return std::pair(a.row, a.column) < std::pair(b.row, b.column);
    });
    auto row = [](const RawPixel& p) { return int{p.row}; };
    auto column = [](const RawPixel& p) { return int{p.column}; };
    if (HasRunOfFour(pixels, row, column)) return kErrDefectRunAcross;
    if (HasRunOfFour(pixels, column, row)) return kErrDefectRunDown;
    return 1;
}

std::vector<std::uint8_t> TableImage(const DefectLists& lists) {
    std::vector<std::uint8_t> image(kEntriesAddress - kTableAddress + kEntryBytes * lists.Total());
    platform::PutBe16(&image[0], static_cast<std::uint16_t>(lists.r.size()));
    platform::PutBe16(&image[2], static_cast<std::uint16_t>(lists.b.size()));
    std::uint8_t* p = image.data() + (kEntriesAddress - kTableAddress);
    for (const auto* list : {&lists.r, &lists.b}) {
        for (const DefectEntry& e : *list) {
            platform::PutBe16(p, e.v);
            platform::PutBe16(p + 2, e.h);
            p += kEntryBytes;
        }
    }
    return image;
}

// What is read of the table goes back into the camera with the edits (or
// decides how much is read): every byte is read twice, and the two reads
// must agree, so that a glitch on the wire is not taken for the table.
int ReadDefectCounts(CUsbCamera& camera, ui::Dialog& owner, std::uint16_t& rCount, std::uint16_t& bCount) {
    std::uint8_t counts[4] = {};
    if (!station::Step(owner,
                       camera.WriteConfigMemoryVerified(ConfigMemory::CcdEeprom, MemoryDirection::Read, kTableAddress,
                                                        sizeof counts, counts),
                       50))
        return kErrUsbCommunication;
    rCount = platform::GetBe16(counts);
    bCount = platform::GetBe16(counts + 2);
    return 1;
}

int ReadDefectList(CUsbCamera& camera, ui::Dialog& owner, std::uint32_t address, int count,
                   std::vector<DefectEntry>& list, const std::function<int(int, const DefectEntry&)>& onEntry) {
    std::vector<std::uint8_t> read;
    for (int i = 0; i < count; ++i) {
        std::uint8_t bytes[kEntryBytes] = {};
        if (camera.TransferConfigMemory(ConfigMemory::CcdEeprom, MemoryDirection::Read,
                                        address + kEntryBytes * static_cast<std::uint32_t>(i), kEntryBytes, bytes) != 1)
            return kErrUsbCommunication;
        const DefectEntry entry = EntryFromBytes(bytes);
        if (const int r = onEntry(i, entry); r != 1) return r;
        list.push_back(entry);
        read.insert(read.end(), bytes, bytes + kEntryBytes);
        owner.Sleep(50);
    }
    // The second read takes the whole list at once.
    if (read.empty()) return 1;
    std::vector<std::uint8_t> again(read.size());
    if (camera.TransferConfigMemory(ConfigMemory::CcdEeprom, MemoryDirection::Read, address,
                                    static_cast<std::uint32_t>(again.size()), again.data()) != 1 ||
        again != read)
        return kErrUsbCommunication;
    return 1;
}

}  // namespace defect
