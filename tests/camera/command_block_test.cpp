// Byte-level tests of the command blocks, replies and transfer waits, against
// a recording driver that answers as scripted.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "camera/shooting.h"
#include "camera/usb_camera.h"
#include "platform/clock.h"
#include "tests/camera/recording_driver_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using camtest::RecordingDriver;
using camtest::ScriptedReply;

class CommandBlockTest : public ::testing::Test {
protected:
    void SetUp() override {
        driver().Reset();
        driver().identities = {"VORNE   M740            1.00"};
        CUsbCamera::SetLinkFlags(0);
        CUsbCamera::BindDriverEntry(&RecordingDriver::Entry);
        ASSERT_EQ(cam.ConnectCamera(), 1);
        driver().sent.clear();
    }
    void TearDown() override {
        cam.DisconnectCamera();
        CUsbCamera::BindDriverEntry(nullptr);
    }
    static RecordingDriver& driver() { return RecordingDriver::Get(); }
    const camtest::Sent& Last() { return driver().sent.back(); }

    platform::VirtualClock clock;
    CUsbCamera cam{clock};
};

TEST_F(CommandBlockTest, CheckerBlockCarriesFieldsBigEndian) {
    Bytes table(38);
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i + 1);
    EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::CcdEeprom, MemoryDirection::Write, 248, 38, table.data()), 1);
    EXPECT_EQ(Last().cdb, (Bytes{0xFD, 0, 0x20, 0x81, 0, 0, 0, 0xF8, 0, 0, 0, 0x26, 0, 0, 0, 0}));
    EXPECT_EQ(Last().direction, LVX_DIR_OUT);
    EXPECT_EQ(Last().length, 38u);
    EXPECT_EQ(Last().data, table);

    Bytes buf(4);
    EXPECT_EQ(cam.TransferConfigMemory(ConfigMemory::RamConfig, MemoryDirection::Read, 0x12345, 4, buf.data()), 1);
    EXPECT_EQ(Last().cdb, (Bytes{0xFE, 0, 0x50, 0x80, 0, 0x01, 0x23, 0x45, 0, 0, 0, 4, 0, 0, 0, 0}));
    EXPECT_EQ(Last().direction, LVX_DIR_IN);

    // Patterns 17 to 21 are the camera's 0x20 to 0x60.
    EXPECT_EQ(cam.ShowTestPattern(16), 1);
    EXPECT_EQ(Last().cdb[3], 16);
    EXPECT_EQ(cam.ShowTestPattern(17), 1);
    EXPECT_EQ(Last().cdb[3], 0x20);
    EXPECT_EQ(cam.ShowTestPattern(21), 1);
    EXPECT_EQ(Last().cdb, (Bytes{0xFC, 0, 0x64, 0x60, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(CommandBlockTest, AreaMeasurementBlockAndScaling) {
    Bytes reply(32);
    reply[0] = 0x04, reply[1] = 0xD2;    // m0: 1234 tenths
    reply[14] = 0x00, reply[15] = 19;    // m7: 19 tenths
    reply[16] = 0x04, reply[17] = 0xD2;  // m8: passed through
    driver().Queue({reply});
    AreaMeasurement m;
    ASSERT_EQ(cam.ReadCcdAdjustData({1360, 862, 300, 200}, &m), 1);
    EXPECT_EQ(Last().cdb, (Bytes{0xFE, 0, 0x62, 0x80, 0x05, 0x50, 0x03, 0x5E, 0, 0, 0, 0x20, 0x01, 0x2C, 0x00, 0xC8}));
    EXPECT_EQ(Last().length, 32u);
    EXPECT_EQ(m.Gr(), 123);
    EXPECT_EQ(m.m[7], 1);
    EXPECT_EQ(m.m[8], 1234);
}

TEST_F(CommandBlockTest, CameraBlockAndPropertyTransfer) {
    EXPECT_EQ(cam.DcmdSetProperty(11, 24), 1);
    EXPECT_EQ(Last().cdb, (Bytes{0xEB, 11, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Last().data, (Bytes{0, 4, 11, 24}));

    std::uint8_t v = 0;
    driver().Queue({{0, 4, 88, 3}});
    EXPECT_EQ(cam.DcmdGetProperty(88, &v), 1);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(Last().cdb[0], 0xEA);
    EXPECT_EQ(Last().cdb[1], 88);
    EXPECT_EQ(Last().direction, LVX_DIR_IN);

    driver().Queue({{0, 4, 87, 3}});  // echoes another id
    EXPECT_EQ(cam.DcmdGetProperty(88, &v), 7);
    driver().Queue({{0, 5, 88, 3}});  // wrong length word
    EXPECT_EQ(cam.DcmdGetProperty(88, &v), 7);

    EXPECT_EQ(cam.DcmdGetImage(1, 4096, Bytes(4096).data()), 1);
    EXPECT_EQ(Last().cdb, (Bytes{0xE6, 1, 0, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(CommandBlockTest, ImageFileInfoParsed) {
    Bytes reply = {0x12, 0x34, 0x00, 0x96, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x01, 0x00, 0x00,
                   0xA1, 0xA2, 0xA3, 0xA4, 0xB1, 0xB2, 0xB3, 0xB4, 0x00, 0x07, 0xC1, 0xC2, 1, 2, 3, 4, 5};
    driver().Queue({reply});
    ImageFileInfo info;
    ASSERT_EQ(cam.DcmdGetImageFileInfo(&info), 1);
    EXPECT_EQ(Last().length, 31u);
    EXPECT_EQ(info.leading, 0x1234);
    EXPECT_EQ(info.totalSize, 0x00960000u);
    EXPECT_EQ(info.firstPartSize, 0x2000u);
    EXPECT_EQ(info.blockSize, 0x10000u);
    EXPECT_EQ(info.fourth, 0xA1A2A3A4u);
    EXPECT_EQ(info.fifth, 0xB1B2B3B4u);
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.afterStatus, 7);
    EXPECT_EQ(info.trailing, 0xC1C2);
    EXPECT_EQ(info.trailingBytes[4], 5);
}

TEST_F(CommandBlockTest, McuMemoryWriteAndWordRead) {
    // Write 2 bytes of EEPROM at 243, answered "a", then answered "x".
    Bytes values = {0xFE, 0x05};
    driver().Queue({});
    driver().Queue({{'a', 0, 0}});
    EXPECT_EQ(cam.AccessCameraMemory(CameraMemory::Eeprom, MemoryDirection::Write, 243, 2, values.data(), 2), 1);
    EXPECT_EQ(driver().sent[0].data, (Bytes{'A', 'W', 0x00, 0xF3, 0x02, 0xFE, 0x05}));
    EXPECT_EQ(driver().sent[1].length, 3u);
    driver().Queue({});
    driver().Queue({{'x', 0, 0}});
    EXPECT_EQ(cam.AccessCameraMemory(CameraMemory::Eeprom, MemoryDirection::Write, 243, 2, values.data(), 2), 9);

    // ReadMcuWord asks for 3 and takes no "a" check.
    driver().Queue({});
    driver().Queue({{0x12, 0x34, 'x', 0}});
    std::uint16_t word = 0;
    EXPECT_EQ(cam.ReadMcuWord(7, &word), 1);
    EXPECT_EQ(word, 0x1234);
    EXPECT_EQ(Last().length, 4u);
}

TEST_F(CommandBlockTest, BadArgumentsSendNothing) {
    Bytes big(300);
    std::uint8_t b[8] = {};
    AreaMeasurement m;
    const std::vector<std::pair<const char*, std::function<int()>>> calls = {
        {"play 2", [&] { return cam.SetPlayMode(2); }},
        {"video 2", [&] { return cam.SetVideoMode(2); }},
        {"ccd 2", [&] { return cam.SetCcdPower(2); }},
        {"cfled 2", [&] { return cam.CheckCfLed(2); }},
        {"pattern 22", [&] { return cam.ShowTestPattern(22); }},
        {"pattern -1", [&] { return cam.ShowTestPattern(-1); }},
        {"update 8", [&] { return cam.SendUpdateCommand(8); }},
        {"ob 2", [&] { return cam.SetOb(2); }},
        {"kind 3",
         [&] { return cam.TransferConfigMemory(static_cast<ConfigMemory>(3), MemoryDirection::Write, 0, 1, b); }},
        {"mode 2",
         [&] { return cam.TransferConfigMemory(ConfigMemory::CcdEeprom, static_cast<MemoryDirection>(2), 0, 1, b); }},
        {"area 2",
         [&] { return cam.AccessCameraMemory(static_cast<CameraMemory>(2), MemoryDirection::Read, 0, 1, b, 8); }},
        {"area mode 2",
         [&] { return cam.AccessCameraMemory(CameraMemory::Dram, static_cast<MemoryDirection>(2), 0, 1, b, 8); }},
        {"write 252",
         [&] { return cam.AccessCameraMemory(CameraMemory::Dram, MemoryDirection::Write, 0, 252, big.data(), 300); }},
        {"read fits not",
         [&] { return cam.AccessCameraMemory(CameraMemory::Dram, MemoryDirection::Read, 0, 7, b, 8); }},
        {"address width",
         [&] { return cam.AccessCameraMemory(CameraMemory::Eeprom, MemoryDirection::Read, 0x10000, 1, b, 8); }},
        {"response fits not", [&] { return cam.ReceiveMcuResponse(8, b, 8); }},
        {"send frame", [&] { return cam.SendMcuCommand(big.data(), 257); }},
        {"change mode 2", [&] { return cam.DcmdChangeMode(2); }},
        {"take picture 2", [&] { return cam.DcmdTakePicture(2); }},
        {"image part 2", [&] { return cam.DcmdGetImage(2, 1, b); }},
        {"copy selector 2", [&] { return cam.CopyCameraMemory(2, 0, 0); }},
        {"charge negative", [&] { return cam.ChargeInsideSb(-1.0); }},
        {"charge too big", [&] { return cam.ChargeInsideSb(6553.6); }},
        {"read word null", [&] { return cam.ReadMcuWord(1, nullptr); }},
        {"average 0", [&] { return cam.CaptureAndMeasureAveraged(0, {}, &m); }},
        {"average 6", [&] { return cam.CaptureAndMeasureAveraged(6, {}, &m); }},
    };
    // The verified transfer keeps its 1-or-0 answer: too long is a failure.
    EXPECT_EQ(
        cam.WriteConfigMemoryVerified(ConfigMemory::CcdEeprom, MemoryDirection::Write, 0, 2049, Bytes(2049).data()), 0);
    EXPECT_TRUE(driver().sent.empty());
    for (const auto& [name, call] : calls) {
        EXPECT_EQ(call(), 6) << name;
        EXPECT_TRUE(driver().sent.empty()) << name;
        driver().sent.clear();
    }
}

TEST_F(CommandBlockTest, ResultAndSenseBothDecide) {
    driver().Queue({{}, 0x05});
    EXPECT_EQ(cam.MakeFpgainTable(), 14);
    driver().Queue({{}, 0, LVX_RESULT(LVX_CODE_DEVICE, LVX_INF_BUSY)});
    EXPECT_EQ(cam.MakeFpgainTable(), 14);
    EXPECT_EQ(cam.MakeFpgainTable(), 1);
    EXPECT_EQ(Last().cdb, (Bytes{0xFC, 0, 0x22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(CommandBlockTest, AveragedMeasurementRoundsHalfUp) {
    // Each shot: take picture, ready, property 88, image info, area data,
    // close session, open session, change mode.
    auto shot = [&](std::uint16_t gr10) {
        Bytes info(31);
        info[5] = 1;  // total size 1
        Bytes area(32);
        area[0] = static_cast<std::uint8_t>(gr10 >> 8);
        area[1] = static_cast<std::uint8_t>(gr10);
        driver().Queue({});              // take picture
        driver().Queue({});              // ready
        driver().Queue({{0, 4, 88, 1}});  // image count
        driver().Queue({info});
        driver().Queue({area});
        driver().Queue({});
        driver().Queue({});
        driver().Queue({});
    };
    shot(1000);
    shot(1010);
    shot(1019);  // 101.9 tenths: 101 LSB
    AreaMeasurement m;
    ASSERT_EQ(cam.CaptureAndMeasureAveraged(3, kSensAdjustArea, &m), 1);
    EXPECT_EQ(m.Gr(), 101);  // 302 / 3 = 100.67 -> 101
    EXPECT_EQ(driver().sent.size(), 24u);

    shot(1000);
    shot(1000);
    shot(1010);
    ASSERT_EQ(cam.CaptureAndMeasureAveraged(3, kSensAdjustArea, &m), 1);
    EXPECT_EQ(m.Gr(), 100);  // 301 / 3 = 100.33 -> 100
}

}  // namespace
