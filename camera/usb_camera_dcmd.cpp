// The DCMD commands (session, mode, pictures, image transfer, properties,
// clock) and the operation commands of the shutter and the built-in flash,
// which travel over the microcontroller test channel.

#include <cmath>
#include <cstring>

#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "platform/trace.h"

namespace {

constexpr std::uint8_t DCMD_OPEN_SESSION = 0xE0;
constexpr std::uint8_t DCMD_CLOSE_SESSION = 0xE1;
constexpr std::uint8_t DCMD_CHANGE_MODE = 0xE2;
constexpr std::uint8_t DCMD_TAKE_PICTURE = 0xE3;
constexpr std::uint8_t DCMD_GET_IMAGE_FILE_INFO = 0xE5;
constexpr std::uint8_t DCMD_GET_IMAGE = 0xE6;
constexpr std::uint8_t DCMD_GET_IMAGE_ALT = 0xE7;
constexpr std::uint8_t DCMD_GET_PROPERTY = 0xEA;
constexpr std::uint8_t DCMD_SET_PROPERTY = 0xEB;
constexpr std::uint8_t DCMD_GET_DATE_TIME = 0xEE;
constexpr std::uint8_t DCMD_SET_DATETIME = 0xEF;
constexpr std::uint8_t DCMD_DEVICE_READY = 0xF0;

constexpr std::uint32_t kImageFileInfoSize = 31;
constexpr std::uint32_t kPropertySize = 4;
constexpr std::uint32_t kDateTimeSize = 9;

void TraceCommand(const char* name) { platform::Trace("COMMAND : %s\r\n", name); }

ImageFileInfo ParseImageFileInfo(const std::uint8_t* r) {
    ImageFileInfo info;
    info.leading = platform::GetBe16(r + 0);
    info.totalSize = platform::GetBe32(r + 2);
    info.firstPartSize = platform::GetBe32(r + 6);
    info.blockSize = platform::GetBe32(r + 10);
    info.fourth = platform::GetBe32(r + 14);
    info.fifth = platform::GetBe32(r + 18);
    info.status = r[22];
    info.afterStatus = r[23];
    info.trailing = platform::GetBe16(r + 24);
    std::memcpy(info.trailingBytes, r + 26, sizeof info.trailingBytes);
    return info;
}

// Property data both ways: a big-endian length of 4, the id, the value.
void BuildProperty(std::uint8_t* p, std::uint8_t id, std::uint8_t value) {
    platform::PutBe16(p, static_cast<std::uint16_t>(kPropertySize));
    p[2] = id;
    p[3] = value;
}

bool ParseProperty(const std::uint8_t* p, std::uint8_t id, std::uint8_t* value) {
    if (platform::GetBe16(p) != kPropertySize || p[2] != id) return false;
    *value = p[3];
    return true;
}

CameraDateTime ParseDateTime(const std::uint8_t* p) {
    CameraDateTime dt;
    dt.word0 = platform::GetBe16(p);
    dt.word1 = platform::GetBe16(p + 2);
    std::memcpy(dt.bytes, p + 4, sizeof dt.bytes);
    return dt;
}

void BuildDateTime(std::uint8_t* p, const CameraDateTime& dt) {
    platform::PutBe16(p, dt.word0);
    platform::PutBe16(p + 2, dt.word1);
    std::memcpy(p + 4, dt.bytes, sizeof dt.bytes);
}

}  // namespace

int CUsbCamera::DcmdOpenSession() {
    TraceCommand("DCMD_OPEN_SESSION");
    return ExecuteCameraCommand(DCMD_OPEN_SESSION, 0, 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::DcmdCloseSession() {
    TraceCommand("DCMD_CLOSE_SESSION");
    return ExecuteCameraCommand(DCMD_CLOSE_SESSION, 0, 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::DcmdChangeMode(int mode) {
    if (mode < 0 || mode > 1) return kLinkBadArgument;
    TraceCommand("DCMD_CHANGE_MODE");
    return ExecuteCameraCommand(DCMD_CHANGE_MODE, static_cast<std::uint8_t>(mode), 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::DcmdTakePicture(int mode) {
    // The mode is checked but the camera's command carries none.
    if (mode < 0 || mode > 1) return kLinkBadArgument;
    TraceCommand("DCMD_TAKE_PICTURE");
    return ExecuteCameraCommand(DCMD_TAKE_PICTURE, 0, 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::DcmdGetImageFileInfo(ImageFileInfo* info) {
    if (!info) return kLinkBadArgument;
    TraceCommand("DCMD_GET_IMAGE_FILE_INFO");
    std::uint8_t reply[kImageFileInfoSize] = {};
    int r = ExecuteCameraCommand(DCMD_GET_IMAGE_FILE_INFO, 0, sizeof reply, LVX_DIR_IN, reply);
    if (r != 1) return r;
    *info = ParseImageFileInfo(reply);
    return 1;
}

int CUsbCamera::DcmdGetImage(int part, std::uint32_t n, std::uint8_t* buffer) {
    if (part < 0 || part > 1 || (n != 0 && !buffer)) return kLinkBadArgument;
    TraceCommand("DCMD_GET_IMAGE");
    return ExecuteCameraCommand(DCMD_GET_IMAGE, static_cast<std::uint8_t>(part), n, LVX_DIR_IN, buffer);
}

int CUsbCamera::DcmdGetImageAlt(int part, std::uint32_t n, std::uint8_t* buffer) {
    if (part < 0 || part > 1 || (n != 0 && !buffer)) return kLinkBadArgument;
    TraceCommand("DCMD_GET_IMAGE");
    return ExecuteCameraCommand(DCMD_GET_IMAGE_ALT, static_cast<std::uint8_t>(part), n, LVX_DIR_IN, buffer);
}

int CUsbCamera::DcmdGetProperty(std::uint8_t id, std::uint8_t* value) {
    if (!value) return kLinkBadArgument;
    TraceCommand("DCMD_GET_PROPERTY");
    std::uint8_t reply[kPropertySize] = {};
    int r = ExecuteCameraCommand(DCMD_GET_PROPERTY, id, sizeof reply, LVX_DIR_IN, reply);
    if (r != 1) return r;
    return ParseProperty(reply, id, value) ? 1 : kLinkBadPropertyReply;
}

int CUsbCamera::DcmdSetProperty(std::uint8_t id, std::uint8_t value) {
    TraceCommand("DCMD_SET_PROPERTY");
    std::uint8_t data[kPropertySize] = {};
    BuildProperty(data, id, value);
    return ExecuteCameraCommand(DCMD_SET_PROPERTY, id, sizeof data, LVX_DIR_OUT, data);
}

int CUsbCamera::DcmdDeviceReady() {
    TraceCommand("DCMD_DEVICE_READY");
    return ExecuteCameraCommand(DCMD_DEVICE_READY, 0, 0, LVX_DIR_NONE, nullptr);
}

int CUsbCamera::DcmdGetDateTime(CameraDateTime* dt) {
    if (!dt) return kLinkBadArgument;
    TraceCommand("DCMD_GET_DATE_TIME");
    std::uint8_t reply[kDateTimeSize] = {};
    int r = ExecuteCameraCommand(DCMD_GET_DATE_TIME, 0, sizeof reply, LVX_DIR_IN, reply);
    if (r != 1) return r;
    *dt = ParseDateTime(reply);
    return 1;
}

int CUsbCamera::DcmdSetDateTime(const CameraDateTime& dt) {
    TraceCommand("DCMD_SET_DATETIME");
    std::uint8_t data[kDateTimeSize] = {};
    BuildDateTime(data, dt);
    return ExecuteCameraCommand(DCMD_SET_DATETIME, 0, sizeof data, LVX_DIR_OUT, data);
}

// ---- operation commands over the microcontroller test channel ---------------

int CUsbCamera::Release() {
    TraceCommand("RELEASE");
    const std::uint8_t cmd[] = {'G', 'A'};
    return McuExchange(cmd, sizeof cmd);
}

int CUsbCamera::ChargeInsideSb(double value) {
    // The camera takes the charge in tenths; anything that does not fit 16
    // bits (or is not a number) would be converted undefined.
    const double tenths = value * 10.0;
    if (!(tenths >= 0.0) || tenths >= 65536.0) return kLinkBadArgument;
    TraceCommand("INSIDE_SB_CHARGE");
    std::uint8_t cmd[4] = {'G', 'w'};
    platform::PutBe16(cmd + 2, static_cast<std::uint16_t>(tenths));
    return McuExchange(cmd, sizeof cmd);
}

int CUsbCamera::SendPreFlash(std::uint8_t level, std::uint16_t w) {
    TraceCommand("PRE_FLASH_CMD");
    std::uint8_t cmd[5] = {'G', '{', level};
    platform::PutBe16(cmd + 3, w);
    return McuExchange(cmd, sizeof cmd);
}

int CUsbCamera::SendMainFlash(std::uint8_t level, std::uint16_t w) {
    TraceCommand("PRE_FLASH_CMD");
    std::uint8_t cmd[5] = {'G', '}', level};
    platform::PutBe16(cmd + 3, w);
    return McuExchange(cmd, sizeof cmd);
}

int CUsbCamera::FireInsideSb(std::uint16_t w) {
    TraceCommand("INSIDE_SB_FLASH_CMD");
    std::uint8_t cmd[4] = {'G', 'y'};
    platform::PutBe16(cmd + 2, w);
    return McuExchange(cmd, sizeof cmd);
}

int CUsbCamera::CopyCameraMemory(int selector, std::uint16_t p, std::uint16_t q) {
    if (selector < 0 || selector > 1) return kLinkBadArgument;
    TraceCommand("MEMORY_COPY_CMD");
    std::uint8_t cmd[6] = {'A', static_cast<std::uint8_t>(selector == 0 ? 'Y' : 'Z')};
    platform::PutBe16(cmd + 2, p);
    platform::PutBe16(cmd + 4, q);
    return McuExchange(cmd, sizeof cmd);
}

int CUsbCamera::ReadMcuWord(std::uint8_t n, std::uint16_t* value) {
    if (!value) return kLinkBadArgument;
    TraceCommand("PRE_FLASH_CMD");
    const std::uint8_t cmd[] = {'C', 'Q', n};
    int r = SendMcuCommand(cmd, sizeof cmd);
    if (r != 1) return r;
    std::uint8_t reply[4] = {};
    r = ReceiveMcuResponse(3, reply, sizeof reply);
    if (r != 1) return r;
    *value = platform::GetBe16(reply);
    return 1;
}
