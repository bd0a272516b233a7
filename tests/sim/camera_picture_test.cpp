// The DCMD session, properties, taking a picture, its file and transfer, and
// the camera's area measurement.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "platform/big_endian.h"
#include "sim/host_link.h"
#include "sim/simulator.h"
#include "tests/sim/camera_fixture.h"

namespace {

using platform::GetBe16;
using platform::GetBe32;
using sim::HostLink;
using sim::Sim;
using Bytes = std::vector<std::uint8_t>;

class CameraPicture : public test_support::CheckerOpenCameraTest {
protected:
    std::uint8_t Prop(std::uint8_t id) {
        auto r = link->GetProperty(id);
        EXPECT_TRUE(r.Ok());
        EXPECT_EQ(r.data[0], 0);
        EXPECT_EQ(r.data[1], 4);
        EXPECT_EQ(r.data[2], id);
        return r.data[3];
    }
    // Transfers the picture as the station does: part 0 in 64 KiB pieces,
    // part 1 in blocks.
    Bytes Transfer(std::uint32_t* calls0 = nullptr, std::uint32_t* calls1 = nullptr) {
        auto info = link->Dcmd(0xE5, 0, {}, 31);
        EXPECT_TRUE(info.Ok());
        const std::uint32_t total = GetBe32(&info.data[2]), first = GetBe32(&info.data[6]),
                            block = GetBe32(&info.data[10]);
        Bytes file;
        auto fetch = [&](std::uint8_t part, std::uint32_t size, std::uint32_t piece, std::uint32_t* calls) {
            for (std::uint32_t done = 0; done < size;) {
                const std::uint32_t n = std::min(piece, size - done);
                auto r = link->Dcmd(0xE6, part, {}, n);
                EXPECT_TRUE(r.Ok()) << "part " << int(part) << " at " << done;
                if (!r.Ok()) return;
                file.insert(file.end(), r.data.begin(), r.data.end());
                done += n;
                if (calls) ++*calls;
            }
        };
        fetch(0, first, 65536, calls0);
        fetch(1, total - first, block, calls1);
        return file;
    }
};

// A small reader of the big-endian TIFF directories.
struct Ifd {
    std::map<std::uint16_t, std::pair<std::uint16_t, std::uint32_t>> tags;  // tag -> type, first value
    std::uint32_t end = 0;  // end of the directory and its out-of-line values
};
Ifd ReadIfd(const Bytes& f, std::uint32_t at) {
    Ifd ifd;
    const std::uint16_t n = GetBe16(&f[at]);
    ifd.end = at + 2 + 12 * n + 4;
    for (std::uint16_t i = 0; i < n; ++i) {
        const std::uint8_t* e = &f[at + 2 + 12 * i];
        const std::uint16_t type = GetBe16(e + 2);
        const std::uint32_t count = GetBe32(e + 4);
        const std::uint32_t size = count * (type == 3 ? 2 : type == 4 ? 4 : type == 5 ? 8 : 1);
        std::uint32_t value = type == 3 ? GetBe16(e + 8) : GetBe32(e + 8);
        if (size > 4) {
            const std::uint32_t off = GetBe32(e + 8);
            ifd.end = std::max(ifd.end, off + size + (size & 1));
            value = type == 3 ? GetBe16(&f[off]) : type == 4 || type == 5 ? GetBe32(&f[off]) : f[off];
        } else if (type == 1 || type == 2) {
            value = e[8];
        }
        ifd.tags[GetBe16(e)] = {type, value};
    }
    return ifd;
}

std::uint16_t Unpack(const Bytes& f, std::uint32_t data, int x, int y) {
    const std::uint8_t* cell = &f[data + y * sim::kPackedRowBytes + (x / 10) * 16 + ((x % 10) / 2) * 3];
    return (x & 1) == 0 ? static_cast<std::uint16_t>((cell[0] << 4) | (cell[1] >> 4))
                        : static_cast<std::uint16_t>(((cell[1] & 15) << 8) | cell[2]);
}

TEST_F(CameraPicture, DcmdCommandsNeedASession) {
    auto r = link->GetProperty(88);
    EXPECT_EQ(r.Asc(), sim::kAscSequenceError);
    EXPECT_EQ(link->Dcmd(0xF0).Asc(), sim::kAscSequenceError);
    ASSERT_TRUE(link->Dcmd(0xE0).Ok());
    EXPECT_TRUE(link->Dcmd(0xE0).Ok());  // opening again is harmless
    EXPECT_EQ(link->Dcmd(0xE3).Asc(), sim::kAscSequenceError);  // pictures in mode 1 only
    EXPECT_EQ(link->Dcmd(0xE2, 2).Asc(), sim::kAscInvalidField);
    ASSERT_TRUE(link->Dcmd(0xE2, 1).Ok());
    ASSERT_TRUE(link->Dcmd(0xE1).Ok());
    EXPECT_EQ(link->GetProperty(88).Asc(), sim::kAscSequenceError);
}

TEST_F(CameraPicture, PropertiesFollowTheBenchAndKeepWhatIsSet) {
    ASSERT_TRUE(link->ResumeSession());
    EXPECT_EQ(Prop(64), 0);
    EXPECT_EQ(Prop(10), 3);
    EXPECT_EQ(Prop(76), 0);
    EXPECT_EQ(Prop(78), 1);
    EXPECT_EQ(Prop(88), 0);
    EXPECT_EQ(Prop(5), 72);
    SimBench b = Sim().Bench();
    b.afMode = SIM_MODE_AUTO;
    b.exposureMode = SIM_MODE_AUTO;
    b.flashPoppedUp = 1;
    b.lens = SIM_LENS_50MM_F14;
    Sim().SetBench(b);
    EXPECT_NE(Prop(64), 0);
    EXPECT_NE(Prop(10), 3);
    EXPECT_EQ(Prop(76), 1);
    EXPECT_EQ(Prop(78), 0);

    ASSERT_TRUE(link->SetProperty(139, 5).Ok());
    EXPECT_EQ(Prop(139), 5);
    ASSERT_TRUE(link->SetProperty(12, 30).Ok());
    ASSERT_TRUE(link->SetProperty(11, 24).Ok());
    EXPECT_EQ(Prop(11), 24);
    EXPECT_EQ(Prop(12), 0);  // a new shutter speed gives the aperture back to the lens
    ASSERT_TRUE(link->SetProperty(12, 30).Ok());
    EXPECT_EQ(Prop(12), 30);
    EXPECT_EQ(link->SetProperty(88, 9).Asc(), sim::kAscInvalidField);
    EXPECT_EQ(link->Dcmd(0xEB, 11, {0, 4, 12, 1}).Asc(), sim::kAscInvalidField);  // id echo differs
    EXPECT_EQ(Prop(11), 24);

    Cam().Faults().propertyReply = {1, std::uint16_t{5}, std::nullopt};
    EXPECT_EQ(link->GetProperty(11).data, (Bytes{0, 5, 11, 24}));
    Cam().Faults().propertyReply = {1, std::nullopt, std::uint8_t{12}};
    EXPECT_EQ(link->GetProperty(11).data, (Bytes{0, 4, 12, 24}));
    EXPECT_EQ(link->GetProperty(11).data, (Bytes{0, 4, 11, 24}));
}

TEST_F(CameraPicture, AfStuckUnitNeverReportsManualFocus) {
    sim::UnitProfile unit = Cam().Unit();
    unit.afStuckAuto = true;
    Sim().ClearDevices();
    ASSERT_NE(Sim().AddCamera(unit), 0u);
    link.reset();  // one client of the driver at a time
    link = std::make_unique<HostLink>();
    ASSERT_TRUE(link->ResumeSession());
    EXPECT_NE(Prop(64), 0);
}

TEST_F(CameraPicture, APictureIsStoredAfterTheBusyPollsAndCounted) {
    ASSERT_TRUE(link->ResumeSession());
    ASSERT_TRUE(link->SetProperty(11, 24).Ok());
    ASSERT_TRUE(link->SetProperty(5, 84).Ok());
    ASSERT_TRUE(link->Dcmd(0xE3).Ok());
    EXPECT_EQ(link->Dcmd(0xE3).SenseKey(), sim::kSenseNotReady);  // still busy
    EXPECT_EQ(Prop(88), 0);
    EXPECT_EQ(link->WaitReady(), 3);
    EXPECT_EQ(Prop(88), 1);
    EXPECT_EQ(Cam().LastExposure().conditions.p11, 24);
    EXPECT_EQ(Cam().LastExposure().conditions.p5, 84);
    EXPECT_TRUE(Cam().LastExposure().flashes.empty());
    const std::uint64_t seed = Cam().LastExposure().seed;
    ASSERT_TRUE(link->TakePictureAndWait());
    EXPECT_EQ(Prop(88), 2);
    EXPECT_NE(Cam().LastExposure().seed, seed);

    auto info = link->Dcmd(0xE5, 0, {}, 31);
    ASSERT_TRUE(info.Ok());
    const sim::PictureFileLayout l = Cam().FileLayout();
    EXPECT_EQ(GetBe32(&info.data[2]), l.totalSize);
    EXPECT_EQ(GetBe32(&info.data[6]), l.firstPartSize);
    EXPECT_EQ(GetBe32(&info.data[10]), 65536u);
    EXPECT_EQ(info.data[22], 0);
    EXPECT_EQ(l.firstPartSize % 8192, 0u);
    EXPECT_GE(l.firstPartSize, l.sensorDataOffset);

    Cam().Faults().imageCountZero = true;
    EXPECT_EQ(Prop(88), 0);
    Cam().Faults().neverReady = true;
    EXPECT_TRUE(link->Dcmd(0xE3).Ok());
    EXPECT_EQ(link->WaitReady(100), -1);
}

TEST_F(CameraPicture, TheTransferredFileIsATiffWithThePackedSensorData) {
    ASSERT_TRUE(link->ResumeSession());
    EXPECT_EQ(link->Dcmd(0xE6, 0, {}, 16).Asc(), sim::kAscSequenceError);  // nothing taken yet
    ASSERT_TRUE(link->TakePictureAndWait());
    std::uint32_t calls0 = 0, calls1 = 0;
    const Bytes f = Transfer(&calls0, &calls1);
    const sim::PictureFileLayout l = Cam().FileLayout();
    ASSERT_EQ(f.size(), l.totalSize);
    EXPECT_EQ(calls0, (l.firstPartSize + 65535) / 65536);
    EXPECT_EQ(calls1, (l.totalSize - l.firstPartSize + 65535) / 65536);
    EXPECT_EQ(f, Cam().PictureFile());
    // Reading past a part is refused.
    EXPECT_EQ(link->Dcmd(0xE6, 1, {}, 1).Asc(), sim::kAscOutOfRange);

    ASSERT_EQ(f[0], 'M');
    ASSERT_EQ(f[1], 'M');
    ASSERT_EQ(GetBe16(&f[2]), 42);
    const Ifd main = ReadIfd(f, GetBe32(&f[4]));
    ASSERT_TRUE(main.tags.count(330));
    const Ifd sub = ReadIfd(f, main.tags.at(330).second);
    EXPECT_EQ(sub.tags.at(256).second, 3034u);
    EXPECT_EQ(sub.tags.at(257).second, 2024u);
    EXPECT_EQ(sub.tags.at(258).second, 12u);
    EXPECT_EQ(sub.tags.at(259).second, 1u);
    EXPECT_EQ(sub.tags.at(262).second, 32803u);
    EXPECT_TRUE(sub.tags.count(33421) && sub.tags.count(33422));
    const std::uint32_t data = sub.tags.at(273).second;
    EXPECT_EQ(data, sub.end);  // the sensor data follows the sub-directory's values
    EXPECT_EQ(sub.tags.at(279).second, 2024u * 4864u);
    const Ifd thumb = main;
    EXPECT_LE(thumb.tags.at(273).second + 80u * 60u * 3u, f.size());

    const auto pic = Cam().LastPicture();
    for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {9, 1}, {10, 5}, {1517, 1012}, {3029, 2023}, {3030, 7},
                        {3033, 2023}}) {
        EXPECT_EQ(Unpack(f, data, x, y), pic->Sample(x, y)) << x << "," << y;
    }
    // The unused byte of each group and the cells past column 3033 stay 0.
    const std::uint8_t* row = &f[data + 100 * 4864];
    EXPECT_EQ(row[15], 0);
    EXPECT_EQ(row[4864 - 1], 0);
    for (int i = 4864 - 16 + 6; i < 4864; ++i) EXPECT_EQ(row[i], 0) << i;

    // libtiff reads the directories, if its tools are installed.
    const std::string path = ::testing::TempDir() + "sim_picture.tif";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
    }
    if (std::system("command -v tiffinfo >/dev/null 2>&1") != 0) {
        std::remove(path.c_str());
        GTEST_SKIP() << "tiffinfo not installed";
    }
    const std::string outPath = path + ".txt";
    const int rc = std::system(("tiffinfo '" + path + "' >'" + outPath + "' 2>&1").c_str());
    std::ifstream in(outPath);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    std::remove(outPath.c_str());
    if (std::getenv("SIM_SHOW_TIFFINFO")) std::printf("%s\n", text.c_str());
    EXPECT_EQ(rc, 0) << text;
    EXPECT_NE(text.find("Image Width: 80 Image Length: 60"), std::string::npos) << text;
    EXPECT_NE(text.find("SubIFD"), std::string::npos) << text;
}

TEST_F(CameraPicture, ReportedSizesShapeTheTransfer) {
    ASSERT_TRUE(link->ResumeSession());
    ASSERT_TRUE(link->TakePictureAndWait());
    Cam().Faults().imageInfo = sim::CameraFaults::ImageInfo{0x18000, 0x18000, 4096, 0};
    std::uint32_t calls0 = 0, calls1 = 0;
    const Bytes f = Transfer(&calls0, &calls1);
    EXPECT_EQ(calls0, 2u);
    EXPECT_EQ(calls1, 0u);
    ASSERT_EQ(f.size(), 0x18000u);
    EXPECT_TRUE(std::equal(f.begin(), f.end(), Cam().PictureFile().begin()));
    EXPECT_EQ(link->Dcmd(0xE6, 1, {}, 1).Asc(), sim::kAscOutOfRange);

    Cam().Faults().imageInfo = sim::CameraFaults::ImageInfo{0x30000, 0x10000, 0x8000, 1};
    auto info = link->Dcmd(0xE5, 0, {}, 31);
    EXPECT_EQ(info.data[22], 1);
    calls1 = 0;
    EXPECT_EQ(Transfer(nullptr, &calls1).size(), 0x30000u);
    EXPECT_EQ(calls1, 4u);
}

TEST_F(CameraPicture, AreaMeasurementMatchesTheSamples) {
    ASSERT_TRUE(link->ResumeSession());
    std::vector<std::uint8_t> cdb(16, 0);
    cdb[0] = 0xFE, cdb[2] = 0x62, cdb[3] = 0x80;
    auto area = [&](int x, int y, int w, int h) {
        platform::PutBe16(&cdb[4], static_cast<std::uint16_t>(x));
        platform::PutBe16(&cdb[6], static_cast<std::uint16_t>(y));
        platform::PutBe32(&cdb[8], 32);
        platform::PutBe16(&cdb[12], static_cast<std::uint16_t>(w));
        platform::PutBe16(&cdb[14], static_cast<std::uint16_t>(h));
        return link->Execute(cdb, LVX_DIR_IN, {}, 32);
    };
    EXPECT_EQ(area(0, 0, 10, 10).Asc(), sim::kAscSequenceError);  // no picture yet

    SimBench b = Sim().Bench();
    b.lens = SIM_LENS_TOOL_F8;
    b.ndFilter = 3;
    b.light = SIM_LIGHT_VIEWER;
    b.lightLevel = 13;
    b.closest = 1;
    Sim().SetBench(b);
    ASSERT_TRUE(link->SetProperty(11, 24).Ok());
    ASSERT_TRUE(link->TakePictureAndWait());
    const auto pic = Cam().LastPicture();

    const int x0 = 1401, y0 = 900, w = 37, h = 23;  // odd corner and sizes: every channel shifts
    auto r = area(x0, y0, w, h);
    ASSERT_TRUE(r.Ok());
    double sum[4] = {}, sq[4] = {};
    int n[4] = {}, lo[4] = {4096, 4096, 4096, 4096}, hi[4] = {-1, -1, -1, -1};
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) {
            const int c = static_cast<int>(sim::ChannelAt(x, y));
            const int v = pic->Sample(x, y);
            sum[c] += v, sq[c] += double(v) * v, ++n[c];
            lo[c] = std::min(lo[c], v), hi[c] = std::max(hi[c], v);
        }
    for (int c = 0; c < 4; ++c) {
        const double mean = sum[c] / n[c];
        const double sd = std::sqrt(std::max(0.0, sq[c] / n[c] - mean * mean));
        EXPECT_EQ(GetBe16(&r.data[2 * c]), static_cast<int>(std::floor(mean * 10 + 0.5))) << c;
        EXPECT_NEAR(GetBe16(&r.data[8 + 2 * c]), sd * 10, 1.0) << c;
        EXPECT_EQ(GetBe16(&r.data[16 + 2 * c]), lo[c]) << c;
        EXPECT_EQ(GetBe16(&r.data[24 + 2 * c]), hi[c]) << c;
    }
    EXPECT_GT(GetBe16(&r.data[0]), 0);  // a lit field

    EXPECT_EQ(area(3000, 0, 40, 10).Asc(), sim::kAscInvalidField);  // past the right edge
    EXPECT_EQ(area(0, 0, 0, 10).Asc(), sim::kAscInvalidField);
    EXPECT_TRUE(area(3034 - 2, 2024 - 2, 2, 2).Ok());
}

}  // namespace
