// The checker command set: control commands, configuration memory
// transfers, the microcontroller test channel and the microcontroller's
// memory access over that channel.

#include <cstring>
#include <vector>

#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "platform/clock.h"
#include "platform/trace.h"

namespace {

constexpr std::uint8_t kControl = 0xFC;  // no data
constexpr std::uint8_t kSet = 0xFD;      // sets something in the camera
constexpr std::uint8_t kRead = 0xFE;     // reads from the camera

constexpr std::uint32_t kVerifyLimit = 2048;
constexpr int kVerifyWaitMs = 100;
constexpr int kMemoryAccessWaitMs = 10;

// The microcontroller takes a command of at most one 256-byte frame and
// answers at most as much.
constexpr std::uint32_t kMcuFrame = 256;
constexpr std::uint32_t kMemoryWriteLimit = kMcuFrame - 5;
constexpr std::uint32_t kMemoryReadLimit = kMcuFrame - 2;  // the reply is n + 2 bytes
constexpr std::uint8_t kMcuOk = 'a';

struct ConfigCodes {
    std::uint16_t write = 0, read = 0;
    const char* writeName = nullptr;
    const char* readName = nullptr;
};
// By ConfigMemory.
constexpr ConfigCodes kConfigCodes[3] = {
    {0x2081, 0x2080, "DXC_CCDEEPROM_DATAWRITE", "DXC_CCDEEPROM_DATAREAD"},
    {0x3081, 0x3080, "DXC_TFTEEPROM_DATAWRITE", "DXC_TFTEEPROM_DATAREAD"},
    {0x5081, 0x5080, "DXC_RAMCONFIG_DATAWRITE", "DXC_RAMCONFIG_DATAREAD"},
};

constexpr std::uint16_t kUpdateCodes[8] = {0x2101, 0x2102, 0x2F00, 0x3101, 0x3102, 0x3F00, 0x5F00, 0x5E00};

struct AreaPrefixes {
    char read[3] = {};
    int readAddressBytes = 0;
    char write[3] = {};
};
constexpr AreaPrefixes kAreaPrefixes[3] = {
    {"AR", 3, "AS"},  // CameraMemory::Dram
    {"AU", 2, "AW"},  // CameraMemory::Eeprom
    {"MA", 2, "MC"},  // CameraMemory::Area5
};

// Enumerations come from callers as numbers: one out of range is refused.
bool Valid(ConfigMemory kind) {
    return kind == ConfigMemory::CcdEeprom || kind == ConfigMemory::TftEeprom || kind == ConfigMemory::RamConfig;
}
bool Valid(CameraMemory area) {
    return area == CameraMemory::Dram || area == CameraMemory::Eeprom || area == CameraMemory::Area5;
}
bool Valid(MemoryDirection mode) { return mode == MemoryDirection::Write || mode == MemoryDirection::Read; }

void TraceCommand(const char* name) { platform::Trace("COMMAND : %s\r\n", name); }

// The memory access command: prefix, address big-endian in the area's width,
// n, then for a write the n data bytes.
std::uint32_t BuildMemoryAccess(std::uint8_t* out, const char* prefix, int addressBytes, std::uint32_t address,
                                std::uint32_t n, const std::uint8_t* data) {
    std::uint32_t len = 0;
    out[len++] = static_cast<std::uint8_t>(prefix[0]);
    out[len++] = static_cast<std::uint8_t>(prefix[1]);
    if (addressBytes == 3) {
        std::uint8_t be[4] = {};
        platform::PutBe32(be, address);
        std::memcpy(out + len, be + 1, 3);
        len += 3;
    } else {
        platform::PutBe16(out + len, static_cast<std::uint16_t>(address));
        len += 2;
    }
    out[len++] = static_cast<std::uint8_t>(n);
    if (data) {
        std::memcpy(out + len, data, n);
        len += n;
    }
    return len;
}

}  // namespace

int CUsbCamera::OpenChecker() {
    TraceCommand("DXC_OPEN_CHECKER");
    return ExecuteCheckerCommand(kControl, 0x1001, 0, 0, 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::CloseChecker() {
    TraceCommand("DXC_CLOSE_CHECKER");
    return ExecuteCheckerCommand(kControl, 0x1000, 0, 0, 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::ReadFirmwareVersion(std::uint8_t* buffer128) {
    if (!buffer128) return kLinkBadArgument;
    TraceCommand("DXC_RISC_FIRMWARE_VERSION");
    return ExecuteCheckerCommand(kRead, 0x1180, 0, 128, 0, LVX_DIR_IN, buffer128);
}

int CUsbCamera::TransferConfigMemory(ConfigMemory kind, MemoryDirection mode, std::uint32_t address, std::uint32_t n,
                                     std::uint8_t* buffer) {
    if (!Valid(kind) || !Valid(mode)) return kLinkBadArgument;
    if (n != 0 && !buffer) return kLinkBadArgument;
    const ConfigCodes& c = kConfigCodes[static_cast<int>(kind)];
    if (mode == MemoryDirection::Write) {
        TraceCommand(c.writeName);
        return ExecuteCheckerCommand(kSet, c.write, address, n, 0, LVX_DIR_OUT, buffer);
    }
    TraceCommand(c.readName);
    return ExecuteCheckerCommand(kRead, c.read, address, n, 0, LVX_DIR_IN, buffer);
}

int CUsbCamera::WriteConfigMemoryVerified(ConfigMemory kind, MemoryDirection mode, std::uint32_t address,
                                          std::uint32_t n, std::uint8_t* buffer) {
    // Bad arguments send nothing and count as a failed verification: callers
    // map 0 to their own number.
    if (!Valid(kind) || !Valid(mode)) return 0;
    if (n > kVerifyLimit || (n != 0 && !buffer)) return 0;
    if (TransferConfigMemory(kind, mode, address, n, buffer) != 1) return 0;
    m_clock.Sleep(kVerifyWaitMs);
    std::uint8_t readBack[kVerifyLimit] = {};
    if (TransferConfigMemory(kind, MemoryDirection::Read, address, n, readBack) != 1) return 0;
    return std::memcmp(readBack, buffer, n) == 0 ? 1 : 0;
}

int CUsbCamera::ConfigMemoryHolds(ConfigMemory kind, std::uint32_t address, std::uint32_t n,
                                  const std::uint8_t* expected) {
    if (n == 0 || !expected) return kLinkBadArgument;
    std::vector<std::uint8_t> held(n);
    const int r = TransferConfigMemory(kind, MemoryDirection::Read, address, n, held.data());
    if (r != 1) return r;
    return std::memcmp(held.data(), expected, n) == 0 ? 1 : 0;
}

int CUsbCamera::ReadCcdAdjustData(const MeasureArea& area, AreaMeasurement* out) {
    if (!out) return kLinkBadArgument;
    TraceCommand("DXC_CCD_ADJUST_DATA_IN");
    // Bytes 4-5 x, 6-7 y, 12-13 width, 14-15 height.
    const std::uint32_t position = (std::uint32_t{area.x} << 16) | area.y;
    const std::uint32_t size = (std::uint32_t{area.width} << 16) | area.height;
    std::uint8_t reply[32] = {};
    int r = ExecuteCheckerCommand(kRead, 0x6280, position, sizeof reply, size, LVX_DIR_IN, reply);
    if (r != 1) return r;
    // The first eight values arrive in tenths of an LSB.
    for (int i = 0; i < 16; ++i) {
        std::uint16_t v = platform::GetBe16(reply + 2 * i);
        out->m[i] = i < 8 ? static_cast<std::uint16_t>(v / 10) : v;
    }
    return 1;
}

int CUsbCamera::SetPlayMode(int mode) {
    if (mode < 0 || mode > 1) return kLinkBadArgument;
    TraceCommand(mode == 0 ? "DXC_PLAY_ON" : "DXC_PLAY_OFF");
    return ExecuteCheckerCommand(kControl, mode == 0 ? 0x6201 : 0x6200, 0, 0, 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::SetVideoMode(int mode) {
    if (mode < 0 || mode > 1) return kLinkBadArgument;
    TraceCommand(mode == 0 ? "DXC_NTSC_MODE" : "DXC_PAL_MODE");
    return ExecuteCheckerCommand(kControl, mode == 0 ? 0x6300 : 0x6301, 0, 0, 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::ShowTestPattern(int index) {
    if (index < 0 || index > 21) return kLinkBadArgument;
    // Patterns 17-21 are the camera's 0x20-0x60.
    const int pattern = index <= 16 ? index : (index - 15) * 0x10;
    TraceCommand("DXC_TESTPATTAN_DISP");
    return ExecuteCheckerCommand(kControl, static_cast<std::uint16_t>(0x6400 | pattern), 0, 0, 0, LVX_DIR_NONE,
                                 nullptr);
}

int CUsbCamera::SendUpdateCommand(int index) {
    if (index < 0 || index > 7) return kLinkBadArgument;
    TraceCommand("DXC_UPDATECOMMAND");
    return ExecuteCheckerCommand(kControl, kUpdateCodes[index], 0, 0, 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::SetCcdPower(int mode) {
    if (mode < 0 || mode > 1) return kLinkBadArgument;
    TraceCommand(mode == 0 ? "DXC_CCD_POWERON" : "DXC_CCD_POWEROFF");
    return ExecuteCheckerCommand(kControl, mode == 0 ? 0x6001 : 0x6000, 0, 0, 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::SetOb(int flag) {
    if (flag < 0 || flag > 1) return kLinkBadArgument;
    TraceCommand("DXC_SET_OB");
    std::uint8_t value = flag != 0 ? 1 : 0;
    return ExecuteCheckerCommand(kSet, 0x7081, 0, 1, 0, LVX_DIR_OUT, &value);
}

int CUsbCamera::SetLanguage(std::uint8_t language) {
    TraceCommand("DXC_SET_LANGE");
    return ExecuteCheckerCommand(kSet, 0x7100, 0, 1, 0, LVX_DIR_OUT, &language);
}

int CUsbCamera::ResetMenu(const std::uint8_t* data22) {
    if (!data22) return kLinkBadArgument;
    TraceCommand("DXC_MENU_RESET");
    std::uint8_t data[22] = {};
    std::memcpy(data, data22, sizeof data);
    return ExecuteCheckerCommand(kSet, 0x6500, 0, sizeof data, 0, LVX_DIR_OUT, data);
}

int CUsbCamera::CheckCfLed(int flag) {
    if (flag < 0 || flag > 1) return kLinkBadArgument;
    TraceCommand("DXC_CHECK_CFLED");
    return ExecuteCheckerCommand(kSet, static_cast<std::uint16_t>(0x8400 | flag), 0, 0, 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::CheckOpaline(std::uint8_t value) {
    TraceCommand("DXC_CHECK_CHECK_OPALINE");
    return ExecuteCheckerCommand(kControl, static_cast<std::uint16_t>(0x8500 | value), 0, 0, 0, LVX_DIR_NONE,
                                 nullptr);
}

int CUsbCamera::CheckTftSwitch(std::uint8_t* value) {
    if (!value) return kLinkBadArgument;
    TraceCommand("DXC_CHECK_TFTSW");
    return ExecuteCheckerCommand(kRead, 0x8680, 0, 1, 0, LVX_DIR_IN, value);
}

int CUsbCamera::MakeFpgainTable() {
    TraceCommand("DXC_MAKE_FPGAIN_TABLE");
    return ExecuteCheckerCommand(kControl, 0x2200, 0, 0, 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::SendMcuCommand(const std::uint8_t* bytes, std::uint32_t n) {
    if (n > kMcuFrame || (n != 0 && !bytes)) return kLinkBadArgument;
    TraceCommand("DXC_CAMMCU_TESTCMD_SEND");
    std::uint8_t frame[kMcuFrame] = {};
    if (n != 0) std::memcpy(frame, bytes, n);
    return ExecuteCheckerCommand(kSet, 0x9181, 0, n, 0, LVX_DIR_OUT, n != 0 ? frame : nullptr);
}

int CUsbCamera::ReceiveMcuResponse(std::uint32_t n, std::uint8_t* buffer) {
    if (n >= kMcuFrame || !buffer) return kLinkBadArgument;
    TraceCommand("DXC_CAMMCU_TESTCMD_RESP");
    return ExecuteCheckerCommand(kRead, 0x9180, 0, n + 1, 0, LVX_DIR_IN, buffer);
}

int CUsbCamera::ReceiveMcuResponse(std::uint32_t n, std::uint8_t* buffer, std::uint32_t bufferSize) {
    if (n >= kMcuFrame || n + 1 > bufferSize) return kLinkBadArgument;
    return ReceiveMcuResponse(n, buffer);
}

int CUsbCamera::McuExchange(const std::uint8_t* bytes, std::uint32_t n) {
    int r = SendMcuCommand(bytes, n);
    if (r != 1) return r;
    std::uint8_t reply[4] = {};
    r = ReceiveMcuResponse(2, reply, sizeof reply);
    if (r != 1) return r;
    return reply[0] == kMcuOk ? 1 : kLinkMcuRefused;
}

int CUsbCamera::SetInspectionMode() {
    platform::Trace("SET INSPECTION MODE\n");
    const std::uint8_t cmd[] = {'S', 'S'};
    return McuExchange(cmd, sizeof cmd);
}

int CUsbCamera::CloseInspectionMode() {
    platform::Trace("OLOSE INSPECTION MODE\n");
    const std::uint8_t cmd[] = {'Q', 'Q'};
    return McuExchange(cmd, sizeof cmd);
}

int CUsbCamera::CallSubroutine(std::uint8_t number) {
    platform::Trace("SUBROUTINE CALL\r\n");
    const std::uint8_t cmd[] = {'E', 'S', number};
    return McuExchange(cmd, sizeof cmd);
}

int CUsbCamera::CallChecksumSubroutine() {
    platform::Trace("SUBROUTINE CALL\r\n");
    const std::uint8_t cmd[] = {'G', 'q'};
    return McuExchange(cmd, sizeof cmd);
}

int CUsbCamera::AccessCameraMemory(CameraMemory area, MemoryDirection mode, std::uint32_t address, std::uint32_t n,
                                   std::uint8_t* buffer, std::uint32_t bufferSize) {
    if (!Valid(area) || !Valid(mode)) return kLinkBadArgument;
    const AreaPrefixes& p = kAreaPrefixes[static_cast<int>(area) - static_cast<int>(CameraMemory::Dram)];
    const bool write = mode == MemoryDirection::Write;
    const int addressBytes = write ? 2 : p.readAddressBytes;
    if (address >= (std::uint32_t{1} << (8 * addressBytes))) return kLinkBadArgument;
    if (!buffer && (n != 0 || !write)) return kLinkBadArgument;
    if (write && (n > kMemoryWriteLimit || n > bufferSize)) return kLinkBadArgument;
    // A read answers n + 2 bytes, the data first.
    if (!write && (n > kMemoryReadLimit || n + 2 > bufferSize)) return kLinkBadArgument;

    platform::Trace("CAMERA MEMORY ACCESS COMMAND\n");
    std::uint8_t cmd[kMcuFrame] = {};
    const std::uint32_t len =
        BuildMemoryAccess(cmd, write ? p.write : p.read, addressBytes, address, n, write ? buffer : nullptr);
    int r = SendMcuCommand(cmd, len);
    if (r != 1) return r;
    m_clock.Sleep(kMemoryAccessWaitMs);
    if (!write) return ReceiveMcuResponse(n + 1, buffer, bufferSize);
    std::uint8_t reply[4] = {};
    r = ReceiveMcuResponse(2, reply, sizeof reply);
    if (r != 1) return r;
    return reply[0] == kMcuOk ? 1 : kLinkMcuRefused;
}

int CUsbCamera::CameraMemoryHolds(CameraMemory area, std::uint32_t address, std::uint32_t n,
                                  const std::uint8_t* expected) {
    if (n == 0 || !expected) return kLinkBadArgument;
    std::vector<std::uint8_t> held(n + 2);  // the data and what the camera adds
    const int r = AccessCameraMemory(area, MemoryDirection::Read, address, n, held.data(),
                                     static_cast<std::uint32_t>(held.size()));
    if (r != 1) return r;
    return std::memcmp(held.data(), expected, n) == 0 ? 1 : 0;
}
