#include "sim/host_link.h"

#include <algorithm>

#include "platform/big_endian.h"

namespace sim {

namespace {

std::uint32_t g_lastEvent = 0;
std::uint32_t g_lastEventValue = 0;
int g_eventCount = 0;

void OnEvent(std::uint32_t code, std::uint32_t value) {
    g_lastEvent = code;
    g_lastEventValue = value;
    ++g_eventCount;
}

}  // namespace

bool HostReply::Ok() const {
    return result == 0 && std::all_of(sense.begin(), sense.end(), [](std::uint8_t b) { return b == 0; });
}

std::uint32_t HostLink::LastEvent() { return g_lastEvent; }
std::uint32_t HostLink::LastEventValue() { return g_lastEventValue; }
int HostLink::EventCount() { return g_eventCount; }

HostLink::HostLink(std::uint32_t deviceId) {
    LvxOpenDriverBlock open{};
    std::copy_n(LVX_DRIVER_VERSION, 4, open.version);
    if (LvDriverEntry(LVX_SEL_OPEN_DRIVER, &open, 0) != 0) return;
    m_driverHandle = open.driverHandle;
    if (deviceId == 0) {
        std::uint32_t ids[64] = {};
        LvxDeviceListBlock list{LVX_DEVICELIST_TAG, 64, ids};
        if (LvDriverEntry(LVX_SEL_GET_DEVICELIST, &list, m_driverHandle) != 0 || list.count == 0) return;
        deviceId = ids[0];
    }
    LvxOpenDeviceBlock dev{};
    dev.deviceId = deviceId;
    dev.onEvent = OnEvent;
    if (LvDriverEntry(LVX_SEL_OPEN_DEVICE, &dev, m_driverHandle) != 0) return;
    m_deviceHandle = dev.deviceHandle;
    m_deviceId = deviceId;
}

HostLink::~HostLink() {
    if (m_deviceHandle != 0) {
        LvxCloseDeviceBlock close{};
        close.deviceHandle = m_deviceHandle;
        LvDriverEntry(LVX_SEL_CLOSE_DEVICE, &close, m_driverHandle);
    }
    if (m_driverHandle != 0) {
        LvxCloseDriverBlock close{};
        LvDriverEntry(LVX_SEL_CLOSE_DRIVER, &close, m_driverHandle);
    }
}

HostReply HostLink::Execute(const std::vector<std::uint8_t>& cdb, std::uint32_t dir,
                            const std::vector<std::uint8_t>& out, std::uint32_t inLength) {
    HostReply r;
    std::vector<std::uint8_t> command = cdb;
    std::vector<std::uint8_t> data = dir == LVX_DIR_OUT ? out : std::vector<std::uint8_t>(inLength);
    LvxExecuteIoBlock io{};
    io.deviceHandle = m_deviceHandle;
    io.direction = dir;
    io.commandLength = static_cast<std::uint32_t>(command.size());
    io.command = command.data();
    io.dataLength = static_cast<std::uint32_t>(data.size());
    io.data = data.empty() ? nullptr : data.data();
    io.senseLength = LVX_SENSE_LENGTH;
    io.sense = r.sense.data();
    r.result = LvDriverEntry(LVX_SEL_EXECUTE_IO, &io, m_driverHandle);
    r.pending = io.pending != 0;
    if (dir == LVX_DIR_IN) r.data = data;
    return r;
}

HostReply HostLink::Checker(std::uint8_t cls, std::uint16_t code, std::uint32_t address,
                            const std::vector<std::uint8_t>& out, std::uint32_t inLength) {
    std::vector<std::uint8_t> cdb(16, 0);
    cdb[0] = cls;
    platform::PutBe16(&cdb[2], code);
    platform::PutBe32(&cdb[4], address);
    const std::uint32_t n = cls == 0xFE ? inLength : static_cast<std::uint32_t>(out.size());
    platform::PutBe32(&cdb[8], n);
    const std::uint32_t dir = cls == 0xFE ? LVX_DIR_IN : (out.empty() ? LVX_DIR_NONE : LVX_DIR_OUT);
    return Execute(cdb, dir, out, inLength);
}

HostReply HostLink::Dcmd(std::uint8_t op, std::uint8_t param, const std::vector<std::uint8_t>& out,
                         std::uint32_t inLength) {
    std::vector<std::uint8_t> cdb(16, 0);
    cdb[0] = op;
    cdb[1] = param;
    const std::uint32_t n = inLength > 0 ? inLength : static_cast<std::uint32_t>(out.size());
    platform::PutBe32(&cdb[6], n);
    const std::uint32_t dir = inLength > 0 ? LVX_DIR_IN : (out.empty() ? LVX_DIR_NONE : LVX_DIR_OUT);
    return Execute(cdb, dir, out, inLength);
}

HostReply HostLink::Send(CommandId id, const std::vector<std::uint8_t>& out, std::uint32_t inLength,
                         std::uint32_t address, std::uint8_t param) {
    const CameraCommand& c = CameraCommandOf(id);
    if (c.form == BlockForm::Dcmd) return Dcmd(c.op, param, out, inLength);
    return Checker(c.op, c.code, address, out, inLength);
}

HostReply HostLink::Update(std::uint16_t code) { return Checker(CameraCommandOf(CommandId::UpdateCommand).op, code); }

HostReply HostLink::WriteMemory(int kind, std::uint32_t address, const std::vector<std::uint8_t>& data) {
    static const CommandId writes[] = {CommandId::CcdEepromWrite, CommandId::TftEepromWrite,
                                       CommandId::RamConfigWrite};
    return Send(writes[kind], data, 0, address);
}

HostReply HostLink::ReadMemory(int kind, std::uint32_t address, std::uint32_t n) {
    static const CommandId reads[] = {CommandId::CcdEepromRead, CommandId::TftEepromRead,
                                      CommandId::RamConfigRead};
    return Send(reads[kind], {}, n, address);
}

HostReply HostLink::Mcu(const std::vector<std::uint8_t>& command, std::uint32_t answerLength) {
    HostReply sent = Send(CommandId::McuCommandSend, command);
    if (!sent.Ok()) return sent;
    return Send(CommandId::McuCommandResponse, {}, answerLength);
}

HostReply HostLink::Mcu(const std::string& command, std::uint32_t answerLength) {
    return Mcu(std::vector<std::uint8_t>(command.begin(), command.end()), answerLength);
}

bool HostLink::ResumeSession() {
    return Send(CommandId::OpenSession).Ok() && Send(CommandId::ChangeMode, {}, 0, 0, 1).Ok();
}

int HostLink::WaitReady(int polls) {
    for (int i = 0; i < polls; ++i)
        if (Send(CommandId::DeviceReady).Ok()) return i;
    return -1;
}

bool HostLink::TakePictureAndWait(int polls) { return Send(CommandId::TakePicture).Ok() && WaitReady(polls) >= 0; }

}  // namespace sim
