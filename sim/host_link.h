#pragma once
// A bare host side of the driver interface over the simulator's entry: open
// the driver and a device, send checker, camera and microcontroller commands
// and get the data and sense back. For tests of the simulated camera (the
// station's own link is CUsbCamera).

#include <cstdint>
#include <string>
#include <vector>

#include "sim/camera_commands.h"
#include "sim/simulator.h"

namespace sim {

struct HostReply {
    std::uint32_t result = 0;
    bool pending = false;
    Sense sense{};
    std::vector<std::uint8_t> data;  // camera to host
    bool Ok() const;                 // result 0 and no sense byte set
    std::uint8_t SenseKey() const { return sense[2]; }
    std::uint8_t Asc() const { return sense[12]; }
};

class HostLink {
public:
    // Opens the driver and the first listed device (or `deviceId`).
    // Connected() tells whether it worked.
    explicit HostLink(std::uint32_t deviceId = 0);
    ~HostLink();
    HostLink(const HostLink&) = delete;
    HostLink& operator=(const HostLink&) = delete;

    bool Connected() const { return m_deviceHandle != 0; }
    std::uint32_t DriverHandle() const { return m_driverHandle; }
    std::uint32_t DeviceHandle() const { return m_deviceHandle; }
    std::uint32_t DeviceId() const { return m_deviceId; }

    // Any command block; dir LVX_DIR_*; `out` is sent for LVX_DIR_OUT,
    // `inLength` bytes are asked for LVX_DIR_IN.
    HostReply Execute(const std::vector<std::uint8_t>& cdb, std::uint32_t dir,
                      const std::vector<std::uint8_t>& out = {}, std::uint32_t inLength = 0);
    // Checker block: class, code, address (bytes 4-7), length (8-11).
    HostReply Checker(std::uint8_t cls, std::uint16_t code, std::uint32_t address = 0,
                      const std::vector<std::uint8_t>& out = {}, std::uint32_t inLength = 0);
    // Camera (DCMD) block: opcode, parameter byte, length (bytes 6-9).
    HostReply Dcmd(std::uint8_t op, std::uint8_t param = 0, const std::vector<std::uint8_t>& out = {},
                   std::uint32_t inLength = 0);

    // A command of the camera's table (sim/camera_commands.h): a checker
    // block at `address`, a DCMD block with parameter byte `param`.
    HostReply Send(CommandId id, const std::vector<std::uint8_t>& out = {}, std::uint32_t inLength = 0,
                   std::uint32_t address = 0, std::uint8_t param = 0);

    // ---- conveniences --------------------------------------------------------
    HostReply OpenChecker() { return Send(CommandId::OpenChecker); }
    HostReply CcdPower(bool on) { return Send(on ? CommandId::CcdPowerOn : CommandId::CcdPowerOff); }
    HostReply Update(std::uint16_t code);
    // kind 0 CCD EEPROM, 1 TFT EEPROM, 2 RAM configuration.
    HostReply WriteMemory(int kind, std::uint32_t address, const std::vector<std::uint8_t>& data);
    HostReply ReadMemory(int kind, std::uint32_t address, std::uint32_t n);
    // Sends a microcontroller command and reads `answerLength` bytes back.
    HostReply Mcu(const std::vector<std::uint8_t>& command, std::uint32_t answerLength = 3);
    HostReply Mcu(const std::string& command, std::uint32_t answerLength = 3);
    // Open session in mode 1.
    bool ResumeSession();
    HostReply GetProperty(std::uint8_t id) { return Send(CommandId::GetProperty, {}, 4, 0, id); }
    HostReply SetProperty(std::uint8_t id, std::uint8_t value) {
        return Send(CommandId::SetProperty, {0, 4, id, value}, 0, 0, id);
    }
    // DCMD_TAKE_PICTURE, then DEVICE_READY until ready (at most `polls`);
    // true when the camera became ready.
    bool TakePictureAndWait(int polls = 100);
    // Polls DEVICE_READY; returns the number of failed polls before ready,
    // or -1 if never ready within `polls`.
    int WaitReady(int polls = 100);

    // The last event routine call the link received.
    static std::uint32_t LastEvent();
    static std::uint32_t LastEventValue();
    static int EventCount();

private:
    std::uint32_t m_driverHandle = 0;
    std::uint32_t m_deviceHandle = 0;
    std::uint32_t m_deviceId = 0;
};

}  // namespace sim
