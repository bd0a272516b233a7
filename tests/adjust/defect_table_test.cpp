// The defect table module: the entry encoding, the order of a list, pair
// marks and the run checks, against the rules written out again here.

#include "adjust/defect_table.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace {

using defect::Colour;
using E = DefectEntry;

// The order the camera's correction walks: an exchange sort over (V, H)
// after the marks are cleared, then duplicates removed one at a time with
// the scan restarted, as the station has always done it.
std::vector<E> ExchangeSortAndDedupe(std::vector<E> list) {
    for (E& e : list) e.v &= 0x0FFF;
    const std::size_t n = list.size();
    for (std::size_t pass = 0; pass + 1 < n; ++pass)
        for (std::size_t j = 0; j + 1 < n; ++j)
            if (list[j].v > list[j + 1].v || (list[j].v == list[j + 1].v && list[j].h > list[j + 1].h))
                std::swap(list[j], list[j + 1]);
    std::size_t removed = 0;
    for (std::size_t j = 0; j + 1 + removed < n;) {
        if (list[j] == list[j + 1]) {
            for (std::size_t k = j + 1; k + 1 < n; ++k) list[k] = list[k + 1];
            ++removed;
            j = 0;
        } else {
            ++j;
        }
    }
    list.resize(n - removed);
    return list;
}

TEST(DefectTable, EncodesRawPixelsIntoTheirColourList) {
    struct Case {
        int x, y;
        Colour colour;
        std::uint16_t h, v;
    };
    const Case cases[] = {
        {0, 0, Colour::R, 66, 3},    {0, 1, Colour::B, 66, 3},     {517, 301, Colour::B, 583, 153},
        {2210, 1500, Colour::R, 2276, 753}, {3033, 2023, Colour::B, 3099, 1014}, {13, 12, Colour::R, 79, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        EXPECT_EQ(defect::ColourOfRow(c.y), c.colour);
        const E e = defect::Encode(c.x, c.y);
        EXPECT_EQ(e, (E{c.h, c.v}));
        EXPECT_EQ(defect::RawColumn(e), c.x);
        EXPECT_EQ(defect::RawRow(e, c.colour), c.y);
    }
    // The log's JPEG coordinates never go below 0.
    EXPECT_EQ(defect::JpegColumn(12), 0);
    EXPECT_EQ(defect::JpegColumn(14), 1);
    EXPECT_EQ(defect::JpegRow(11), 0);
    EXPECT_EQ(defect::JpegRow(2023), 2011);
}

TEST(DefectTable, ListOrderIsTheExchangeSortsWithDuplicatesRemoved) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        std::vector<E> list;
        const int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) {
            // Few distinct places, so that duplicates and ties are common.
            const auto marks = static_cast<std::uint16_t>((rng() % 3 == 0) ? 0x2000 : (rng() % 3 == 0) ? 0x4000 : 0);
            list.push_back({static_cast<std::uint16_t>(66 + rng() % 6), static_cast<std::uint16_t>((3 + rng() % 4) | marks)});
        }
        std::vector<E> ours = list;
        defect::NormaliseList(ours);
        ASSERT_EQ(ours, ExchangeSortAndDedupe(list)) << "round " << round;
    }
}

TEST(DefectTable, PairMarksAndThreeInARow) {
    struct Case {
        const char* what;
        std::vector<E> sorted;
        int result;
        std::vector<std::uint16_t> v;  // after marking
    };
    const Case cases[] = {
        {"two columns apart", {{100, 50}, {102, 50}}, 1, {0x2000 | 50, 0x4000 | 50}},
        {"a third two further", {{100, 50}, {102, 50}, {104, 50}}, 70, {}},
        {"one column apart", {{100, 50}, {101, 50}}, 1, {50, 50}},
        {"other lines", {{100, 50}, {102, 51}}, 1, {50, 51}},
        {"two pairs on a line", {{100, 50}, {102, 50}, {200, 50}, {202, 50}}, 1,
         {0x2000 | 50, 0x4000 | 50, 0x2000 | 50, 0x4000 | 50}},
        {"one entry", {{100, 50}}, 1, {50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<E> list = c.sorted;
        EXPECT_EQ(defect::MarkPairs(list), c.result);
        if (c.result != 1) continue;
        std::vector<std::uint16_t> v;
        for (const E& e : list) v.push_back(e.v);
        EXPECT_EQ(v, c.v);
    }
}

TEST(DefectTable, MergeKeepsOneEntryPerPixelAndOneMarkedPair) {
    // The table as the camera holds it: a marked pair and a single entry.
    defect::DefectLists lists;
    lists.r = {{1066, 0x2000 | 603}, {1068, 0x4000 | 603}, {400, 10}};
    // New detections of the pair's two pixels and of the single one, and a new pixel.
    defect::AppendDetections(lists, {{1000, 1200, 300}, {1002, 1200, 280}, {334, 14, 200}, {700, 9, 500}});
    for (auto* list : {&lists.r, &lists.b}) {
        defect::NormaliseList(*list);
        ASSERT_EQ(defect::MarkPairs(*list), 1);
    }
    EXPECT_EQ(lists.r, (std::vector<E>{{400, 10}, {1066, 0x2000 | 603}, {1068, 0x4000 | 603}}));
    EXPECT_EQ(lists.b, (std::vector<E>{{766, 7}}));
    EXPECT_EQ(defect::TableImage(lists),
              (std::vector<std::uint8_t>{0, 3, 0, 1, 0, 0,                    // counts, zero word
                                         0x00, 10, 0x01, 0x90,                // V 10, H 400
                                         0x22, 0x5B, 0x04, 0x2A,              // V 0x2000|603, H 1066
                                         0x42, 0x5B, 0x04, 0x2C,              // V 0x4000|603, H 1068
                                         0x00, 7, 0x02, 0xFE}));              // B: V 7, H 766
}

TEST(DefectTable, RunsOfFourAcrossOrDownAreRefused) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> pixels;  // RAW column, row
        int result;
    };
    const Case cases[] = {
        {"four side by side", {{2400, 700}, {2401, 700}, {2402, 700}, {2403, 700}}, 72},
        {"four within four columns, out of order", {{2403, 700}, {2400, 700}, {2402, 700}, {2401, 700}}, 72},
        {"four over five columns", {{2400, 700}, {2401, 700}, {2402, 700}, {2404, 700}}, 1},
        {"three side by side", {{2400, 700}, {2401, 700}, {2402, 700}}, 1},
        {"four one above the other", {{900, 100}, {900, 101}, {900, 102}, {900, 103}}, 73},
        {"four over five rows", {{900, 100}, {900, 101}, {900, 103}, {900, 104}}, 1},
        {"four in a square", {{10, 10}, {11, 10}, {10, 11}, {11, 11}}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        defect::DefectLists lists;
        std::vector<DetectedPixel> detected;
        for (auto [x, y] : c.pixels) detected.push_back({x, y, 500});
        defect::AppendDetections(lists, detected);
        EXPECT_EQ(defect::CheckDefectRuns(lists), c.result);
    }
}

TEST(DefectTable, EntryWordsThatNoDefectHas) {
    EXPECT_EQ(defect::CheckEntryWords({366, 231}), defect::EntryFault::None);
    EXPECT_EQ(defect::CheckEntryWords({0, 231}), defect::EntryFault::Zero);
    EXPECT_EQ(defect::CheckEntryWords({366, 0}), defect::EntryFault::Zero);
    EXPECT_EQ(defect::CheckEntryWords({0xFFFF, 231}), defect::EntryFault::AllOnes);
    EXPECT_EQ(defect::CheckEntryWords({366, 0xFFFF}), defect::EntryFault::AllOnes);
    const std::uint8_t bytes[4] = {0x22, 0x5B, 0x04, 0x2A};
    EXPECT_EQ(defect::EntryFromBytes(bytes), (E{1066, 0x2000 | 603}));
}

}  // namespace
