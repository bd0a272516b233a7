// The simulated driver library: the driver entry, the bus with its devices,
// the command record and the injected faults.

#include <algorithm>
#include <cstring>

#include "platform/big_endian.h"
#include "sim/camera_commands.h"
#include "sim/simulator.h"

namespace sim {

namespace {

constexpr std::uint32_t kDriverHandle = 0x4C560001u;

std::uint32_t DriverError(std::uint32_t sub) { return LVX_RESULT(LVX_CODE_DRIVER, sub); }

std::string Identity28(const std::string& s) {
    std::string r = s.substr(0, 28);
    r.resize(28, ' ');
    return r;
}

}  // namespace

bool CommandRecord::SenseOk() const {
    return std::all_of(sense.begin(), sense.end(), [](std::uint8_t b) { return b == 0; });
}

Simulator& Sim() {
    // An object of the library, not of the heap: unloading the driver library
    // destroys it (as the end of a program that links the core does), so
    // nothing of it outlives its code.
    static Simulator sim;
    [[maybe_unused]] static const bool reset = (sim.Reset(), true);
    return sim;
}

std::uint32_t LvDriverEntry(std::uint32_t selector, void* block, std::uint32_t driverHandle) {
    return Sim().Entry(selector, block, driverHandle);
}

SimBench Simulator::DefaultBench() {
    SimBench b{};
    b.lens = SIM_LENS_NONE;
    b.ndFilter = 0;
    b.light = SIM_LIGHT_OFF;
    b.lightLevel = 0;
    b.chart = SIM_CHART_NONE;
    b.closest = 0;
    b.subjectDistanceM = 0;
    b.flashPoppedUp = 0;
    b.power = SIM_POWER_AC_ADAPTER;
    b.supplyVolts = 7.2;
    b.usbPlugged = 1;
    b.mainSwitchOn = 1;
    b.exposureMode = SIM_MODE_MANUAL;
    b.afMode = SIM_MODE_MANUAL;
    return b;
}

void Simulator::Reset() {
    m_bench = DefaultBench();
    m_devices.clear();
    m_lastDeviceId = 0;
    m_driverOpen = false;
    m_driverHandle = 0;
    m_lastError.clear();
    m_record.clear();
    m_selectorFaults.clear();
    m_senseFaults.clear();
    m_pendingFault.reset();
    m_pending.clear();
    m_lastCompletion.reset();
    m_closeCancelsPending = true;
    AddCamera("nominal");
}

void Simulator::SetBench(const SimBench& bench) {
    const bool wasOn = m_bench.mainSwitchOn != 0;
    m_bench = bench;
    if (!wasOn && bench.mainSwitchOn)
        for (Device& d : m_devices)
            if (d.camera) d.camera->PowerCycle();
}

double Simulator::ReadAmmeter() const {
    for (const Device& d : m_devices)
        if (d.camera) return ConsumptionCurrent(d.camera->Unit(), m_bench, d.camera->Modes().ccdPower);
    return 0;
}

void Simulator::ClearDevices() {
    m_devices.clear();
    m_pending.clear();  // unplugged: nothing will answer them
    m_lastCompletion.reset();
    // The record is of the cameras that were on the bus: a line of many
    // cameras must not keep every one's picture data.
    m_record.clear();
}

std::uint32_t Simulator::AddCamera(const std::string& profile, const std::string& identification) {
    std::string error;
    auto unit = FindProfile(profile, &error);
    if (!unit) {
        m_lastError = error.empty() ? "no such unit profile: " + profile : error;
        return 0;
    }
    return AddCamera(*unit, identification);
}

std::uint32_t Simulator::AddCamera(const UnitProfile& unit, const std::string& identification) {
    if (!identification.empty() && identification.size() != 13) {
        m_lastError = "identification must have 13 characters: " + identification;
        return 0;
    }
    UnitProfile u = unit;
    FactoryMemories factory = InitialMemories(u);
    factory.ccdEeprom.resize(kCcdEepromSize);
    factory.mcuEeprom.resize(kMcuEepromSize);
    if (!identification.empty()) {
        u.identification = identification;
        std::copy(identification.begin(), identification.end(), factory.ccdEeprom.begin() + 17);
    }
    // The factory leaves the microcontroller's EEPROM with a good checksum.
    platform::PutBe16(&factory.mcuEeprom[kMcuChecksumEnd], McuChecksum(factory.mcuEeprom));
    Device d;
    d.id = NextDeviceId();
    d.identity = kCameraIdentity;
    d.camera = std::make_unique<Camera>(d.id, std::move(u), factory);
    m_devices.push_back(std::move(d));
    return m_devices.back().id;
}

std::uint32_t Simulator::AddForeignDevice(const std::string& identity) {
    Device d;
    d.id = NextDeviceId();
    d.identity = Identity28(identity);
    m_devices.push_back(std::move(d));
    return m_devices.back().id;
}

void Simulator::SetDeviceIdentity(std::uint32_t deviceId, const std::string& identity28) {
    if (Device* d = DeviceById(deviceId)) d->identity = Identity28(identity28);
}

std::vector<std::uint32_t> Simulator::ListedDevices() const {
    std::vector<std::uint32_t> ids;
    for (const Device& d : m_devices)
        if (Listed(d)) ids.push_back(d.id);
    return ids;
}

std::vector<std::uint32_t> Simulator::AllDevices() const {
    std::vector<std::uint32_t> ids;
    for (const Device& d : m_devices) ids.push_back(d.id);
    return ids;
}

Camera* Simulator::CameraOf(std::uint32_t deviceId) {
    Device* d = DeviceById(deviceId);
    return d ? d->camera.get() : nullptr;
}

Camera& Simulator::FirstCamera() {
    for (Device& d : m_devices)
        if (d.camera) return *d.camera;
    // Tests ask for it only with a camera on the bus; put one there rather
    // than hand out nothing.
    AddCamera("nominal");
    return *m_devices.back().camera;
}

std::vector<std::string> Simulator::CommandNames() const {
    std::vector<std::string> names;
    for (const CommandRecord& r : m_record) names.push_back(r.name);
    return names;
}

void Simulator::FailSelector(std::uint32_t selector, std::uint32_t result, int times) {
    m_selectorFaults.push_back({selector, result, times});
}

void Simulator::InjectSense(const Sense& sense, int times, const std::string& commandName) {
    m_senseFaults.push_back({sense, times, commandName});
}

void Simulator::LeaveNextPending(const std::string& commandName, bool never) {
    m_pendingFault = PendingFault{commandName, never};
}

bool Simulator::CompletePending(std::uint32_t result, bool twice) {
    if (m_pending.empty()) return false;
    const PendingTransfer p = std::move(m_pending.front());
    m_pending.erase(m_pending.begin());
    if (p.data && !p.dataIn.empty()) std::memcpy(p.data, p.dataIn.data(), p.dataIn.size());
    std::memcpy(p.sense, p.senseBytes.data(), LVX_SENSE_LENGTH);
    m_lastCompletion = Completion{p.onEvent, result};
    if (p.onEvent) {
        p.onEvent(LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_NONE), result);
        if (twice) p.onEvent(LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_NONE), result);
    }
    return true;
}

bool Simulator::RepeatLastCompletion() {
    if (!m_lastCompletion) return false;
    if (m_lastCompletion->onEvent)
        m_lastCompletion->onEvent(LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_NONE), m_lastCompletion->result);
    return true;
}

bool Simulator::InterruptPending(std::uint32_t eventCode) {
    if (m_pending.empty()) return false;
    const LvxEventRoutine onEvent = m_pending.front().onEvent;
    m_pending.erase(m_pending.begin());
    if (onEvent) onEvent(eventCode, 0);
    return true;
}

void Simulator::CancelPending(std::uint32_t deviceId) {
    if (!m_closeCancelsPending) return;
    std::erase_if(m_pending, [&](const PendingTransfer& p) { return deviceId == 0 || p.deviceId == deviceId; });
}

Simulator::Device* Simulator::DeviceById(std::uint32_t id) {
    for (Device& d : m_devices)
        if (d.id == id) return &d;
    return nullptr;
}

Simulator::Device* Simulator::DeviceByHandle(std::uint32_t handle) {
    if (handle == 0) return nullptr;
    for (Device& d : m_devices)
        if (d.handle == handle) return &d;
    return nullptr;
}

bool Simulator::Listed(const Device& d) const {
    if (!d.camera) return true;
    return m_bench.usbPlugged && m_bench.mainSwitchOn;
}

std::uint32_t Simulator::Entry(std::uint32_t selector, void* block, std::uint32_t driverHandle) {
    for (auto it = m_selectorFaults.begin(); it != m_selectorFaults.end(); ++it) {
        if (it->selector != selector) continue;
        const std::uint32_t result = it->result;
        if (--it->times <= 0) m_selectorFaults.erase(it);
        return result;
    }
    if (block == nullptr) return DriverError(LVX_ERR_INVALIDPARAM);
    if (selector == LVX_SEL_OPEN_DRIVER) {
        auto* b = static_cast<LvxOpenDriverBlock*>(block);
        if (driverHandle != 0) return DriverError(LVX_ERR_INVALIDPARAM);
        if (std::memcmp(b->version, LVX_DRIVER_VERSION, 4) != 0) return DriverError(LVX_ERR_VERSION);
        m_driverOpen = true;
        m_driverHandle = kDriverHandle;
        b->driverHandle = m_driverHandle;
        return 0;
    }
    if (selector < LVX_SEL_OPEN_DRIVER || selector > LVX_SEL_CLOSE_DRIVER) return DriverError(LVX_ERR_UNSUPPORT);
    if (!m_driverOpen) return DriverError(LVX_ERR_SEQUENCE);
    if (driverHandle != m_driverHandle) return DriverError(LVX_ERR_INVALIDPARAM);

    switch (selector) {
        case LVX_SEL_GET_DEVICELIST: {
            auto* b = static_cast<LvxDeviceListBlock*>(block);
            if (b->tag != LVX_DEVICELIST_TAG) return DriverError(LVX_ERR_INVALIDPARAM);
            const std::vector<std::uint32_t> ids = ListedDevices();
            if (b->ids != nullptr)
                for (std::size_t i = 0; i < ids.size() && i < b->count; ++i) b->ids[i] = ids[i];
            b->count = static_cast<std::uint32_t>(ids.size());
            return 0;
        }
        case LVX_SEL_GET_DEVICEINFO: {
            auto* b = static_cast<LvxDeviceInfoBlock*>(block);
            Device* d = DeviceById(b->deviceId);
            if (!d || !Listed(*d)) return LVX_RESULT(LVX_CODE_DEVICE, LVX_ERR_NODEVICE);
            if (b->buffer != nullptr) {
                std::memset(b->buffer, 0, LVX_DEVICEINFO_SIZE);
                std::memcpy(b->buffer, &d->id, 4);  // the id, host order
                b->buffer[4] = d->camera ? 1 : 0;   // 1: imaging device
                std::memcpy(b->buffer + 8, d->identity.data(), 28);
            }
            return 0;
        }
        case LVX_SEL_OPEN_DEVICE: {
            auto* b = static_cast<LvxOpenDeviceBlock*>(block);
            Device* d = DeviceById(b->deviceId);
            if (!d || !Listed(*d)) return LVX_RESULT(LVX_CODE_DEVICE, LVX_ERR_NODEVICE);
            if (d->handle == 0) d->handle = ++m_lastHandle;
            d->onEvent = b->onEvent;
            b->deviceHandle = d->handle;
            return 0;
        }
        case LVX_SEL_CLOSE_DEVICE: {
            auto* b = static_cast<LvxCloseDeviceBlock*>(block);
            Device* d = DeviceByHandle(b->deviceHandle);
            if (!d) return DriverError(LVX_ERR_INVALIDPARAM);
            CancelPending(d->id);
            d->handle = 0;
            d->onEvent = nullptr;
            return 0;
        }
        case LVX_SEL_CLOSE_DRIVER:
            for (Device& d : m_devices) {
                d.handle = 0;
                d.onEvent = nullptr;
            }
            CancelPending(0);
            m_driverOpen = false;
            m_driverHandle = 0;
            return 0;
        case LVX_SEL_EXECUTE_IO: return ExecuteIo(*static_cast<LvxExecuteIoBlock*>(block));
        default: return DriverError(LVX_ERR_UNSUPPORT);
    }
}

std::uint32_t Simulator::ExecuteIo(LvxExecuteIoBlock& io) {
    io.pending = 0;
    Device* d = DeviceByHandle(io.deviceHandle);
    if (!d) return DriverError(LVX_ERR_INVALIDPARAM);
    if ((io.commandLength != 6 && io.commandLength != 16) || io.command == nullptr ||
        io.senseLength < LVX_SENSE_LENGTH || io.sense == nullptr || (io.dataLength > 0 && io.data == nullptr) ||
        io.direction > LVX_DIR_OUT || (io.direction == LVX_DIR_NONE) != (io.dataLength == 0))
        return DriverError(LVX_ERR_INVALIDPARAM);

    CommandRecord rec;
    rec.deviceId = d->id;
    rec.cdb.assign(io.command, io.command + io.commandLength);
    rec.direction = io.direction;
    rec.length = io.dataLength;
    rec.name = CommandName(io.command, io.commandLength);
    if (io.direction == LVX_DIR_OUT) rec.dataOut.assign(io.data, io.data + io.dataLength);

    auto finish = [&](std::uint32_t result) {
        rec.result = result;
        m_record.push_back(std::move(rec));
        return result;
    };
    if (!Listed(*d)) return finish(LVX_RESULT(LVX_CODE_DEVICE, LVX_INF_DISCONNECT));

    Camera::Reply reply;
    bool injected = false;
    for (auto it = m_senseFaults.begin(); it != m_senseFaults.end(); ++it) {
        if (!it->name.empty() && it->name != rec.name) continue;
        reply.sense = it->sense;
        if (--it->times <= 0) m_senseFaults.erase(it);
        injected = true;
        break;
    }
    if (!injected) {
        const CameraCommand* command = FindCameraCommand(io.command, io.commandLength);
        if (command && command->id == CommandId::Inquiry) {
            // The bus's own command: every device answers it with its identity.
            if (io.direction != LVX_DIR_IN) {
                reply.sense = MakeSense(kSenseIllegalRequest, kAscInvalidField);
            } else {
                reply.dataIn = InquiryData(d->identity);
                reply.dataIn.resize(std::min<std::size_t>(io.dataLength, io.command[4]), 0);
            }
        } else if (d->camera) {
            reply = d->camera->Execute(io.command, io.commandLength, io.direction,
                                       io.direction == LVX_DIR_OUT ? io.data : nullptr, io.dataLength, m_bench);
        } else {
            reply.sense = MakeSense(kSenseIllegalRequest, kAscInvalidOpcode);
        }
    }
    // Only a transfer to the host carries data back, at most its length.
    if (io.direction != LVX_DIR_IN) reply.dataIn.clear();
    if (reply.dataIn.size() > io.dataLength) reply.dataIn.resize(io.dataLength);
    rec.dataIn = reply.dataIn;
    rec.sense = reply.sense;

    if (m_pendingFault && (m_pendingFault->name.empty() || m_pendingFault->name == rec.name)) {
        // The answer waits for the completion, in the caller's buffers as a
        // real driver's DMA would write it. One that never completes is not
        // remembered: nothing will write it or call its event routine.
        if (!m_pendingFault->never)
            m_pending.push_back({d->id, d->onEvent, io.direction == LVX_DIR_IN ? io.data : nullptr,
                                 std::move(reply.dataIn), io.sense, reply.sense});
        m_pendingFault.reset();
        io.pending = 1;
        rec.pending = true;
        return finish(0);
    }
    if (!reply.dataIn.empty()) std::memcpy(io.data, reply.dataIn.data(), reply.dataIn.size());
    std::memcpy(io.sense, reply.sense.data(), LVX_SENSE_LENGTH);
    return finish(0);
}

}  // namespace sim

extern "C" std::uint32_t SimLvDriverEntry(std::uint32_t selector, void* block, std::uint32_t driverHandle) {
    return sim::LvDriverEntry(selector, block, driverHandle);
}
