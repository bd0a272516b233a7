// A driver library of a bench with one real camera on it, as far as a CCD
// EEPROM flash-up run needs one, and without the simulator's bench API: the
// camera comes onto the bus after the first searches, answers with its
// identity and its INQUIRY data, opens its session and checker mode, reads
// its properties (AF and exposure mode M, battery good), commits its CCD
// EEPROM only with the CCD powered, and reads its CCD EEPROM (powered) and
// RAM configuration, which holds the EEPROM's blocks at their address + 152
// as an unpacked one does. Commands out of turn are refused as a
// camera would, with sense data. It records the real time of every call, for
// tests to measure the station's waits between them.

#include "tests/app/lvx_camera_driver.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "camera/lvx_driver.h"

namespace {

constexpr int kSearchesOffTheBus = 2;
constexpr std::uint32_t kDriverHandle = 0x52;
constexpr std::uint32_t kDeviceId = 7;
constexpr std::uint32_t kDeviceHandle = 0x70;
constexpr char kIdentity[] = "VORNE   M740            1.00";  // vendor, product, revision

struct Camera {
    int searches = 0;
    bool driverOpen = false;
    bool deviceOpen = false;
    bool session = false;
    bool checker = false;
    bool ccdPower = false;
};

Camera g_camera;
std::vector<LvxCameraCall> g_calls;

constexpr std::uint32_t kMemorySize = 4096;
constexpr std::uint32_t kRamOffset = 152;
// A byte of the CCD EEPROM; RAM configuration holds it at address + 152.
std::uint8_t EepromByte(std::uint32_t address) { return static_cast<std::uint8_t>(address * 7 + 3); }

LvxCameraCall& Record(const char* command) {
    LvxCameraCall call{};
    std::snprintf(call.command, sizeof call.command, "%s", command);
    call.steadyNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count();
    g_calls.push_back(call);
    return g_calls.back();
}

std::uint32_t Refuse(LvxCameraCall& call) {
    call.refused = true;
    return LVX_RESULT(LVX_CODE_DEVICE, LVX_ERR_SEQUENCE);
}

// A command the camera will not take: ILLEGAL REQUEST in the sense data.
std::uint32_t RefuseCommand(LvxCameraCall& call, LvxExecuteIoBlock& io) {
    call.refused = true;
    if (io.sense && io.senseLength >= 3) io.sense[2] = 0x05;
    return 0;
}

std::uint32_t Inquiry(LvxExecuteIoBlock& io) {
    LvxCameraCall& call = Record("INQUIRY");
    if (io.direction != LVX_DIR_IN || io.dataLength < 36 || !io.data) return RefuseCommand(call, io);
    std::memset(io.data, 0, io.dataLength);
    io.data[2] = 0x02;  // version
    io.data[4] = 31;    // additional length
    std::memcpy(io.data + 8, kIdentity, 28);
    return 0;
}

std::uint32_t CheckerCommand(LvxExecuteIoBlock& io) {
    const std::uint16_t code = static_cast<std::uint16_t>((io.command[2] << 8) | io.command[3]);
    char name[40];
    switch (code) {
        case 0x1001: std::snprintf(name, sizeof name, "DXC_OPEN_CHECKER"); break;
        case 0x1000: std::snprintf(name, sizeof name, "DXC_CLOSE_CHECKER"); break;
        case 0x6001: std::snprintf(name, sizeof name, "DXC_CCD_POWERON"); break;
        case 0x6000: std::snprintf(name, sizeof name, "DXC_CCD_POWEROFF"); break;
        case 0x2080: std::snprintf(name, sizeof name, "DXC_CCDEEPROM_DATAREAD"); break;
        case 0x5080: std::snprintf(name, sizeof name, "DXC_RAMCONFIG_DATAREAD"); break;
        default: std::snprintf(name, sizeof name, "DXC_UPDATECOMMAND %04X", code); break;
    }
    LvxCameraCall& call = Record(name);
    if (code == 0x2080 || code == 0x5080) {
        const std::uint32_t address = (std::uint32_t{io.command[4]} << 24) | (io.command[5] << 16) |
                                      (io.command[6] << 8) | io.command[7];
        const bool eeprom = code == 0x2080;
        if (io.command[0] != 0xFE || io.direction != LVX_DIR_IN || !io.data || !g_camera.checker ||
            (eeprom && !g_camera.ccdPower) || address > kMemorySize || io.dataLength > kMemorySize - address)
            return RefuseCommand(call, io);
        for (std::uint32_t i = 0; i < io.dataLength; ++i)
            io.data[i] = eeprom ? EepromByte(address + i)
                                : address + i >= kRamOffset ? EepromByte(address + i - kRamOffset) : 0;
        return 0;
    }
    if (io.command[0] != 0xFC || io.dataLength != 0 || !g_camera.session) return RefuseCommand(call, io);
    switch (code) {
        case 0x1001: g_camera.checker = true; return 0;
        case 0x1000:
            if (!g_camera.checker) return RefuseCommand(call, io);
            g_camera.checker = false;
            return 0;
        case 0x6001:
        case 0x6000:
            if (!g_camera.checker) return RefuseCommand(call, io);
            g_camera.ccdPower = code == 0x6001;
            return 0;
        case 0x2102:  // the CCD EEPROM's update commands: it sits on the sensor board
        case 0x2F00:
            if (!g_camera.checker || !g_camera.ccdPower) return RefuseCommand(call, io);
            return 0;
        default:
            return RefuseCommand(call, io);
    }
}

std::uint32_t CameraCommand(LvxExecuteIoBlock& io) {
    const std::uint8_t opcode = io.command[0];
    char name[40];
    switch (opcode) {
        case 0xE0: std::snprintf(name, sizeof name, "DCMD_OPEN_SESSION"); break;
        case 0xE1: std::snprintf(name, sizeof name, "DCMD_CLOSE_SESSION"); break;
        case 0xE2: std::snprintf(name, sizeof name, "DCMD_CHANGE_MODE %d", io.command[1]); break;
        case 0xEA: std::snprintf(name, sizeof name, "DCMD_GET_PROPERTY %d", io.command[1]); break;
        default: std::snprintf(name, sizeof name, "DCMD %02X", opcode); break;
    }
    LvxCameraCall& call = Record(name);
    switch (opcode) {
        case 0xE0: g_camera.session = true; return 0;
        case 0xE1:
            if (!g_camera.session) return RefuseCommand(call, io);
            g_camera.session = false;
            return 0;
        case 0xE2: return g_camera.session ? 0 : RefuseCommand(call, io);
        case 0xEA: {
            const std::uint8_t id = io.command[1];
            if (!g_camera.session || io.direction != LVX_DIR_IN || io.dataLength != 4 || !io.data)
                return RefuseCommand(call, io);
            // AF mode M (64), exposure mode M (10), battery good (71).
            const int value = id == 64 ? 0 : id == 10 ? 3 : id == 71 ? 0 : -1;
            if (value < 0) return RefuseCommand(call, io);
            const std::uint8_t reply[4] = {0, 4, id, static_cast<std::uint8_t>(value)};
            std::memcpy(io.data, reply, sizeof reply);
            return 0;
        }
        default:
            return RefuseCommand(call, io);
    }
}

std::uint32_t ExecuteIo(LvxExecuteIoBlock& io) {
    if (!g_camera.deviceOpen || io.deviceHandle != kDeviceHandle || !io.command) return Refuse(Record("EXECUTE_IO"));
    if (io.commandLength == 6 && io.command[0] == 0x12) return Inquiry(io);
    if (io.commandLength != 16) return RefuseCommand(Record("EXECUTE_IO"), io);
    return io.command[0] >= 0xFC ? CheckerCommand(io) : CameraCommand(io);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) std::uint32_t LvDriverEntry(std::uint32_t selector, void* block,
                                                                             std::uint32_t driverHandle) {
    if (selector != LVX_SEL_OPEN_DRIVER && (!g_camera.driverOpen || driverHandle != kDriverHandle))
        return Refuse(Record("NOT_OPEN"));
    switch (selector) {
        case LVX_SEL_OPEN_DRIVER: {
            auto& b = *static_cast<LvxOpenDriverBlock*>(block);
            LvxCameraCall& call = Record("OPEN_DRIVER");
            if (std::memcmp(b.version, LVX_DRIVER_VERSION, 4) != 0) return Refuse(call);
            g_camera.driverOpen = true;
            b.driverHandle = kDriverHandle;
            return 0;
        }
        case LVX_SEL_GET_DEVICELIST: {
            auto& b = *static_cast<LvxDeviceListBlock*>(block);
            Record("GET_DEVICELIST");
            if (!b.ids) ++g_camera.searches;  // a search starts by asking for the count
            const bool onTheBus = g_camera.searches > kSearchesOffTheBus;
            if (b.ids && b.count >= 1 && onTheBus) b.ids[0] = kDeviceId;
            b.count = onTheBus ? 1 : 0;
            return 0;
        }
        case LVX_SEL_GET_DEVICEINFO: {
            auto& b = *static_cast<LvxDeviceInfoBlock*>(block);
            LvxCameraCall& call = Record("GET_DEVICEINFO");
            if (b.deviceId != kDeviceId) return Refuse(call);
            if (b.buffer) {
                std::memset(b.buffer, 0, LVX_DEVICEINFO_SIZE);
                std::memcpy(b.buffer + 8, kIdentity, 28);
            }
            return 0;
        }
        case LVX_SEL_OPEN_DEVICE: {
            auto& b = *static_cast<LvxOpenDeviceBlock*>(block);
            LvxCameraCall& call = Record("OPEN_DEVICE");
            if (b.deviceId != kDeviceId || g_camera.deviceOpen) return Refuse(call);
            g_camera.deviceOpen = true;
            b.deviceHandle = kDeviceHandle;
            return 0;
        }
        case LVX_SEL_EXECUTE_IO:
            return ExecuteIo(*static_cast<LvxExecuteIoBlock*>(block));
        case LVX_SEL_CLOSE_DEVICE: {
            auto& b = *static_cast<LvxCloseDeviceBlock*>(block);
            LvxCameraCall& call = Record("CLOSE_DEVICE");
            if (!g_camera.deviceOpen || b.deviceHandle != kDeviceHandle) return Refuse(call);
            g_camera.deviceOpen = false;
            return 0;
        }
        case LVX_SEL_CLOSE_DRIVER:
            Record("CLOSE_DRIVER");
            g_camera.driverOpen = false;
            return 0;
        default:
            return Refuse(Record("UNKNOWN_SELECTOR"));
    }
}

extern "C" __attribute__((visibility("default"))) std::uint32_t LvxCameraRecord(const LvxCameraCall** calls) {
    *calls = g_calls.data();
    return static_cast<std::uint32_t>(g_calls.size());
}

extern "C" __attribute__((visibility("default"))) void LvxCameraReset() {
    g_calls.clear();
    g_camera = Camera{};
}
