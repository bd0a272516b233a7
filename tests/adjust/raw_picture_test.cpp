// The RAW data of a picture file: finding it in files as the camera sends
// them and as no camera should, unpacking it, the centre mean and the scan.

#include "adjust/raw_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/big_endian.h"
#include "sim/picture_file.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A picture whose sample is a function of its place.
class PatternPicture : public sim::Picture {
public:
    std::uint16_t Sample(int x, int y) const override { return static_cast<std::uint16_t>((x * 7 + y * 13) & 0x0FFF); }
};

const Bytes& CameraFile() {
    static const Bytes file = sim::RenderPictureFile(PatternPicture());
    return file;
}

// Where the sub-directory and its entries sit in the camera's file.
std::size_t SubDirectory(const Bytes& f) {
    const std::size_t n = platform::GetBe16(&f[8]);
    for (std::size_t i = 0; i < n; ++i)
        if (platform::GetBe16(&f[10 + 12 * i]) == 330) return platform::GetBe32(&f[10 + 12 * i + 8]);
    return 0;
}
std::uint8_t* SubEntry(Bytes& f, std::uint16_t tag) {
    const std::size_t sub = SubDirectory(f);
    for (std::size_t i = 0; i < platform::GetBe16(&f[sub]); ++i)
        if (platform::GetBe16(&f[sub + 2 + 12 * i]) == tag) return &f[sub + 2 + 12 * i];
    return nullptr;
}

TEST(RawPicture, FindsTheRowsOfTheCamerasFile) {
    const auto layout = raw::LocateRawData(CameraFile().data(), CameraFile().size());
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->offset, sim::PictureLayout().sensorDataOffset);
    EXPECT_EQ(layout->width, 3034);
    EXPECT_EQ(layout->height, 2024);
    EXPECT_FALSE(layout->Wide());
}

TEST(RawPicture, FilesWithoutUsableStructureAreRefused) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> craft;
    };
    const std::size_t sub = SubDirectory(CameraFile());
    const Case cases[] = {
        {"empty", [](Bytes& f) { f.clear(); }},
        {"header only", [](Bytes& f) { f.resize(9); }},
        {"cut inside the first directory", [](Bytes& f) { f.resize(40); }},
        {"cut inside the sub-directory", [sub](Bytes& f) { f.resize(sub + 30); }},
        {"cut inside the rows", [](Bytes& f) { f.resize(sim::PictureLayout().sensorDataOffset + 100000); }},
        {"no entries in the first directory", [](Bytes& f) { platform::PutBe16(&f[8], 0); }},
        {"first directory running past the end", [](Bytes& f) {
             platform::PutBe16(&f[8], 0xFFFF);
             f.resize(20000);
         }},
        {"no sub-directory tag", [](Bytes& f) {
             for (std::size_t i = 0; i < platform::GetBe16(&f[8]); ++i)
                 if (platform::GetBe16(&f[10 + 12 * i]) == 330) platform::PutBe16(&f[10 + 12 * i], 331);
         }},
        {"sub-directory past the end", [](Bytes& f) {
             for (std::size_t i = 0; i < platform::GetBe16(&f[8]); ++i)
                 if (platform::GetBe16(&f[10 + 12 * i]) == 330) platform::PutBe32(&f[10 + 12 * i + 8], 0xFFFFFFF0u);
         }},
        {"no entries in the sub-directory", [sub](Bytes& f) { platform::PutBe16(&f[sub], 0); }},
        {"huge count in the sub-directory", [sub](Bytes& f) { platform::PutBe16(&f[sub], 0xFFFF); }},
        {"width 0", [](Bytes& f) { platform::PutBe32(SubEntry(f, 256) + 8, 0); }},
        {"height 0", [](Bytes& f) { platform::PutBe32(SubEntry(f, 257) + 8, 0x00010000); }},
        {"value offset past the end", [](Bytes& f) { platform::PutBe32(SubEntry(f, 282) + 8, 0xFFFFFFF0u); }},
        {"huge value count", [](Bytes& f) {
             std::uint8_t* e = SubEntry(f, 282);
             platform::PutBe32(e + 4, 0xFFFFFFFFu);  // 8 bytes each: past any file
         }},
        {"wide layout in a file too short for it", [](Bytes& f) { platform::PutBe32(SubEntry(f, 256) + 8, 3600); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes file = CameraFile();
        c.craft(file);
        // A copy of exactly the bytes received, so that the sanitizer sees any read past them.
        const std::vector<std::uint8_t> exact(file.begin(), file.end());
        EXPECT_FALSE(raw::LocateRawData(exact.data(), exact.size()));
    }

    // The wide layout is recognised where its rows fit: the station refuses it itself.
    Bytes wide = CameraFile();
    platform::PutBe32(SubEntry(wide, 256) + 8, 3600);
    wide.resize(sim::PictureLayout().sensorDataOffset + raw::kWideRowBytes * raw::kWideRows);
    const auto layout = raw::LocateRawData(wide.data(), wide.size());
    ASSERT_TRUE(layout);
    EXPECT_TRUE(layout->Wide());
    EXPECT_EQ(layout->rows, 2028);
}

TEST(RawPicture, UnpackStoresEverySampleInBothPlanesWhateverTheyHeld) {
    const PatternPicture picture;
    // The spare byte of every group and the empty cells after column 3033
    // carry no sample, whatever a camera leaves in them.
    Bytes spareSet = CameraFile();
    for (std::size_t row = 0; row < raw::kHeight; ++row) {
        std::uint8_t* r = &spareSet[sim::PictureLayout().sensorDataOffset + row * raw::kRowBytes];
        for (std::size_t g = 15; g < raw::kRowBytes; g += 16) r[g] = 0xFF;
        std::fill(r + raw::kRowBytes - 16 + 6, r + raw::kRowBytes, 0xFF);
    }
    struct Case {
        const char* what;
        const Bytes& file;
        std::size_t shift;  // samples past a 16-byte boundary
    } const cases[] = {{"aligned planes", CameraFile(), 0}, {"planes off the boundary", CameraFile(), 1},
                       {"spare bytes set", spareSet, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Each plane between two guard cells that must stay as they are.
        constexpr std::uint16_t kGuard = 0xABCD;
        std::vector<std::uint16_t> summedCells(raw::kPlaneSamples + 16, kGuard), copyCells(summedCells);
        auto plane = [&c](std::vector<std::uint16_t>& cells) {
            const auto at = reinterpret_cast<std::uintptr_t>(cells.data() + 1);
            return cells.data() + 1 + (16 - at % 16) % 16 / 2 + c.shift;
        };
        std::uint16_t* summed = plane(summedCells);
        std::uint16_t* copy = plane(copyCells);
        std::fill_n(summed, raw::kPlaneSamples, 1);  // what the planes held before
        std::fill_n(copy, raw::kPlaneSamples, 0xFFFF);
        std::vector<std::uint16_t> rowMax(raw::kHeight);
        raw::UnpackRawRows(c.file.data() + sim::PictureLayout().sensorDataOffset, summed, copy, rowMax.data());
        for (int y = 0; y < raw::kHeight; ++y) {
            std::uint16_t greatest = 0;
            for (int x = 0; x < raw::kWidth; ++x) {
                const std::size_t i = std::size_t{raw::kWidth} * static_cast<std::size_t>(y) + static_cast<std::size_t>(x);
                ASSERT_EQ(copy[i], picture.Sample(x, y)) << x << "," << y;
                ASSERT_EQ(summed[i], picture.Sample(x, y)) << x << "," << y;
                greatest = std::max(greatest, picture.Sample(x, y));
            }
            ASSERT_EQ(rowMax[static_cast<std::size_t>(y)], greatest) << y;
        }
        for (const std::uint16_t* p : {summed, copy}) {
            EXPECT_EQ(p[-1], kGuard);
            EXPECT_EQ(p[raw::kPlaneSamples], kGuard);
        }
    }
}

TEST(RawPicture, CentreMeanIsAnIntegerDivision) {
    struct Case {
        int sum;
        int mean;
    };
    for (const Case c : {Case{0, 0}, Case{5099, 50}, Case{5100, 51}, Case{10099, 100}, Case{10100, 101}}) {
        std::vector<std::uint16_t> plane(raw::kPlaneSamples, 4000);  // outside the centre samples
        std::uint16_t* centre = plane.data() + std::size_t{raw::kWidth} * 1012 + 1400;
        for (int i = 0; i < 100; ++i) centre[i] = static_cast<std::uint16_t>(c.sum / 100 + (i < c.sum % 100 ? 1 : 0));
        EXPECT_EQ(raw::CentreMean(plane.data()), c.mean) << c.sum;
    }
}

TEST(RawPicture, ScanSkipsColumnZeroAndStopsOneAfterTheLimit) {
    std::vector<std::uint16_t> plane(raw::kPlaneSamples, 2), rowMax(raw::kHeight, 0);
    auto set = [&](int x, int y, std::uint16_t v) {
        plane[std::size_t{raw::kWidth} * static_cast<std::size_t>(y) + static_cast<std::size_t>(x)] = v;
        rowMax[static_cast<std::size_t>(y)] = std::max(rowMax[static_cast<std::size_t>(y)], v);
    };
    set(0, 5, 900);     // column 0: never a defect
    set(3033, 5, 151);  // just over the level
    set(7, 9, 150);     // at the level: not over it
    set(1, 2023, 4095);
    EXPECT_EQ(raw::FindOverLevel(plane.data(), rowMax.data(), 150, 391),
              (std::vector<DetectedPixel>{{3033, 5, 151}, {1, 2023, 4095}}));

    // 391 are taken; a 392nd is reported as one too many.
    for (int n : {391, 392}) {
        std::fill(plane.begin(), plane.end(), 2);
        std::fill(rowMax.begin(), rowMax.end(), 0);
        for (int i = 0; i < n; ++i) set(1 + 5 * (i % 600), 3 * (i / 600), 300);
        const auto found = raw::FindOverLevel(plane.data(), rowMax.data(), 150, 391);
        EXPECT_EQ(found.size(), static_cast<std::size_t>(n));
    }
}

}  // namespace
