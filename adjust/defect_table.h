#pragma once
// The CCD EEPROM defect table, as both the defect correction and the pixel
// defect editor handle it: the entry encoding of a RAW pixel, the two colour
// lists, the table image at CCD EEPROM 370, and the rules that the camera's
// correction can follow (sorted lists, no duplicates, marked same-colour
// pairs, no run of four).

#include <cstdint>
#include <functional>
#include <vector>

class CUsbCamera;
namespace ui {
class Dialog;
}

// One defect as the camera stores it.
struct DefectEntry {
    std::uint16_t h = 0;  // RAW column + 66
    std::uint16_t v = 0;  // bits 0-11: RAW row / 2 + 3; 0x2000, 0x4000: pair marks
    bool operator==(const DefectEntry&) const = default;
};

// A pixel found over the judgement level.
struct DetectedPixel {
    int x = 0;                // RAW column
    int y = 0;                // RAW row
    std::uint16_t level = 0;  // its dark output
    bool operator==(const DetectedPixel&) const = default;
};

namespace defect {

inline constexpr std::uint32_t kTableAddress = 370;    // R count, B count, a zero word
inline constexpr std::uint32_t kEntriesAddress = 376;  // R entries, then B entries, 4 bytes each
inline constexpr std::uint32_t kEntryBytes = 4;
inline constexpr std::uint32_t kCountsInRam = 522;  // the counts as the camera unpacked them
// What a list can hold in the station.
inline constexpr int kMaxListEntries = 512;
// The table space: the stored aperture gain table begins at 1936 = 376 + 4 x 390.
inline constexpr int kMaxTableEntries = 390;

inline constexpr std::uint16_t kAddressMask = 0x0FFF;
inline constexpr std::uint16_t kPairLeft = 0x2000;
inline constexpr std::uint16_t kPairRight = 0x4000;
inline constexpr std::uint16_t kMarkBits = 0xF000;
inline constexpr int kColumnOffset = 66;

enum class Colour { R, B };  // even RAW rows, odd RAW rows

// The table in memory: one list per colour plane.
struct DefectLists {
    std::vector<DefectEntry> r, b;
    std::vector<DefectEntry>& List(Colour c) { return c == Colour::R ? r : b; }
    std::size_t Total() const { return r.size() + b.size(); }
};

inline Colour ColourOfRow(int row) { return (row & 1) == 0 ? Colour::R : Colour::B; }

// The entry of a RAW pixel (sums taken as unsigned 16-bit, as the camera's
// words are).
DefectEntry Encode(int column, int row);
// Back to RAW coordinates.
inline int RawColumn(const DefectEntry& e) { return e.h - kColumnOffset; }
inline int RawRow(const DefectEntry& e, Colour c) { return 2 * (e.v & kAddressMask) - (c == Colour::R ? 6 : 5); }
// The coordinates of the camera's JPEG picture shown beside a RAW pixel.
int JpegColumn(int rawColumn);
int JpegRow(int rawRow);

// Words of an entry read from the camera that no table can hold.
enum class EntryFault { None, Zero, AllOnes };
EntryFault CheckEntryWords(const DefectEntry& e);
// V then H, big-endian.
DefectEntry EntryFromBytes(const std::uint8_t* four);

// Each detected pixel appended to the list of its colour, in detection order.
void AppendDetections(DefectLists& lists, const std::vector<DetectedPixel>& pixels);
// Pair marks cleared, sorted ascending by V then H, duplicates removed: the
// order in which the camera's correction walks a list.
void NormaliseList(std::vector<DefectEntry>& list);
// Marks each pair of same-colour neighbours two columns apart on one line:
// 1, or kErrDefectCoordinate when a third joins a pair.
int MarkPairs(std::vector<DefectEntry>& list);
// 1; kErrDefectRunAcross for four defects within four neighbouring columns
// of a row, kErrDefectRunDown for four within four neighbouring rows of a
// column (both lists together).
int CheckDefectRuns(const DefectLists& lists);

// The table image written at CCD EEPROM 370.
std::vector<std::uint8_t> TableImage(const DefectLists& lists);

// ---- reading the table from the camera (CCD power on) -------------------
// The two counts at 370, read twice, then 50 ms: 1, or kErrUsbCommunication
// when a read fails or the two differ.
int ReadDefectCounts(CUsbCamera& camera, ui::Dialog& owner, std::uint16_t& rCount, std::uint16_t& bCount);
// `count` entries from `address` on, one read each, appended to `list`;
// `onEntry(index, entry)` logs and judges each (a result other than 1 stops
// the read and is returned), then 50 ms. Then all of them are read once more
// at once. A failed read, or a second read that differs, gives
// kErrUsbCommunication.
int ReadDefectList(CUsbCamera& camera, ui::Dialog& owner, std::uint32_t address, int count,
                   std::vector<DefectEntry>& list, const std::function<int(int, const DefectEntry&)>& onEntry);

}  // namespace defect
