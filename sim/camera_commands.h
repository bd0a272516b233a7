#pragma once
// The simulated camera's command set as one table, one row a command block:
// how the block is told apart, the command's name (what the command record
// shows and a fault names), the direction and data length it must come
// with, and the camera's handler that carries it out. Camera::Execute,
// CommandName and the host link's blocks all take it from here.
//
// The camera checks a block in this order, and answers the first failure:
//   checker (0xFC, 0xFD, 0xFE with byte 1 = 0): the length of bytes 8-11
//   against the transfer's, the direction (0xFE to the host, others to the
//   camera or none), the checker mode open (unless the block opens it), no
//   data with 0xFC; DCMD (0xE0..0xF0): the length of bytes 6-9, the session
//   open (unless the block opens it); then the row (none: invalid opcode),
//   the row's direction and length (invalid field), then the handler's own.

#include <cstddef>
#include <cstdint>

#include "sim/simulator.h"

namespace sim {

enum class CommandId : std::uint8_t {
    Inquiry,
    // checker, no data (0xFC)
    OpenChecker, CloseChecker, PlayOn, PlayOff, NtscMode, PalMode, TestPattern, CcdPowerOn, CcdPowerOff,
    CheckOpaline, MakeFpgainTable, UpdateCommand,
    // checker, data to the camera (0xFD)
    CcdEepromWrite, TftEepromWrite, RamConfigWrite, SetOb, SetLanguage, MenuReset, CheckCfLed, McuCommandSend,
    // checker, data to the host (0xFE)
    FirmwareVersion, CcdEepromRead, TftEepromRead, RamConfigRead, CcdAdjustDataIn, CheckTftSwitch,
    McuCommandResponse,
    // camera operation (DCMD)
    OpenSession, CloseSession, ChangeMode, TakePicture, GetImageFileInfo, GetImage, GetProperty, SetProperty,
    GetDateTime, SetDateTime, DeviceReady,
};

// What a handler is given of the block.
struct CommandRequest {
    const std::uint8_t* cdb = nullptr;
    std::uint16_t code = 0;  // checker: bytes 2-3; 0 otherwise
    std::uint8_t param = 0;  // checker: the code's low byte; DCMD: byte 1
    std::uint32_t direction = 0;
    const std::uint8_t* dataOut = nullptr;  // host to camera, null unless LVX_DIR_OUT
    std::uint32_t length = 0;
    const SimBench& bench;
};

enum class BlockForm : std::uint8_t {
    Short,    // the 6-byte standard block (INQUIRY)
    Checker,  // 16 bytes: class byte, 0, code, address, length
    Dcmd,     // 16 bytes: opcode, parameter, 0 x 4, length
};

// The handler judges direction and length itself.
inline constexpr std::int32_t kAnyLength = -1;

struct CameraCommand {
    CommandId id;
    BlockForm form;
    std::uint8_t op;      // byte 0
    std::uint16_t code;   // checker: bytes 2-3 under `mask`
    std::uint16_t mask;   // 0xFF00: the low byte is the command's argument
    const char* name;
    std::uint32_t direction;  // LvxDirection
    std::int32_t length;      // data length, or kAnyLength
    Camera::Reply (Camera::*handler)(const CommandRequest&);
};

// The row a block belongs to; null for a block the camera does not know.
const CameraCommand* FindCameraCommand(const std::uint8_t* cdb, std::size_t cdbLength);
// The (first) row of a command: its class byte or opcode, and its code.
const CameraCommand& CameraCommandOf(CommandId id);

}  // namespace sim
