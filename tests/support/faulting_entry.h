// The driver entry of tests that break the camera link on purpose: every
// call goes on to the simulated driver and is recorded as the station made
// it, and right before one chosen call one of the simulator's faults is armed
// for it: one the link sees, or one that looks like success. For the run of
// a clean camera it also keeps the camera's EEPROM state around every call,
// so that a test can tell what a failing run was allowed to leave behind.
//
// Pictures are what costs: runs that repeat one another may have the
// camera's area measurements and picture transfers remembered. The camera
// takes a picture from its unit, the bench, its memories and the exposure,
// with nothing written between taking it and reading it, and measures or
// sends it without changing anything but its read position; so a picture
// taken from the same inputs gets the answers it got before, and only the
// time to compute them is saved.

#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "platform/clock.h"
#include "sim/simulator.h"
#include "tests/support/eeprom_state.h"

namespace test_support {

enum class LinkFault {
    EntryResult,     // the entry returns non-zero and does nothing
    Sense,           // the camera answers with sense data and does nothing
    NeverCompletes,  // left pending and never completed; the camera has done it
    Interrupted,     // left pending, then a bus reset instead of its completion
    McuAnswer,       // the microcontroller's answer starts with another byte than "a"
    PropertyEcho,    // a property reply names another property
    PropertyLength,  // a property reply with another length word
    CorruptedRead,   // a memory read arrives with its first byte changed; the memory is right
    // Faults that look like success:
    Unstored,        // a write is acknowledged, and the camera keeps its old contents
    StuckRead,       // from this read on, every read of its first byte answers it changed: reads agree
    CompletesTwice,  // it completes late, and its completion is reported again while the next transfer waits
    ShiftedGreen,    // an area measurement whose green levels read 4 % high
};
inline constexpr LinkFault kLinkFaults[] = {
    LinkFault::EntryResult,   LinkFault::Sense,        LinkFault::NeverCompletes, LinkFault::Interrupted,
    LinkFault::McuAnswer,     LinkFault::PropertyEcho, LinkFault::PropertyLength, LinkFault::CorruptedRead,
    LinkFault::Unstored,      LinkFault::StuckRead,    LinkFault::CompletesTwice, LinkFault::ShiftedGreen,
};
inline bool LooksLikeSuccess(LinkFault f) { return f >= LinkFault::Unstored; }

inline const char* Name(LinkFault f) {
    switch (f) {
        case LinkFault::EntryResult: return "entry result";
        case LinkFault::Sense: return "sense";
        case LinkFault::NeverCompletes: return "never completes";
        case LinkFault::Interrupted: return "bus reset while pending";
        case LinkFault::McuAnswer: return "microcontroller answer";
        case LinkFault::PropertyEcho: return "property echo";
        case LinkFault::PropertyLength: return "property length";
        case LinkFault::CorruptedRead: return "corrupted read";
        case LinkFault::Unstored: return "write not stored";
        case LinkFault::StuckRead: return "reads agree on wrong data";
        case LinkFault::CompletesTwice: return "completion reported twice";
        case LinkFault::ShiftedGreen: return "green levels 4 % high";
    }
    return "";
}

// Whether the camera carries out a command whose transfer ends so: a write
// lands although the station is told it failed.
inline bool CameraCarriesOut(LinkFault f) {
    return f == LinkFault::NeverCompletes || f == LinkFault::Interrupted;
}

// One call of the driver entry.
struct EntryCall {
    std::uint32_t selector = 0;
    std::string name;  // the command's name for LVX_SEL_EXECUTE_IO, else the selector's
    std::vector<std::uint8_t> cdb;
    std::vector<std::uint8_t> dataOut;  // host to camera
    std::uint32_t result = 0;           // what the entry returned
    int window = 0;                     // the context probe's answer as it was made
    std::size_t before = 0, after = 0;  // the camera's EEPROM states around it, when kept

    bool Io() const { return selector == LVX_SEL_EXECUTE_IO; }
    // The checker block's code, address and length.
    std::uint16_t Code() const { return cdb.size() >= 4 ? platform::GetBe16(&cdb[2]) : 0; }
    std::uint32_t Address() const { return cdb.size() >= 8 ? platform::GetBe32(&cdb[4]) : 0; }
    std::uint32_t Length() const { return cdb.size() >= 12 ? platform::GetBe32(&cdb[8]) : 0; }
    // The camera block's parameter byte (property id, image part) and length.
    std::uint8_t Parameter() const { return cdb.size() >= 2 ? cdb[1] : 0; }
    std::uint32_t CameraLength() const { return cdb.size() >= 10 ? platform::GetBe32(&cdb[6]) : 0; }
    // What a microcontroller command sends: its two command letters, and the
    // address of a memory access ("AR" has three address bytes, the others two).
    std::string Mcu() const {
        if (name != "DXC_CAMMCU_TESTCMD_SEND" || dataOut.size() < 2) return "";
        return std::string(dataOut.begin(), dataOut.begin() + 2);
    }
    std::uint32_t McuAddress() const {
        const std::size_t width = Mcu() == "AR" ? 3 : 2;
        if (dataOut.size() < 2 + width) return 0;
        std::uint32_t a = 0;
        for (std::size_t i = 0; i < width; ++i) a = (a << 8) | dataOut[2 + i];
        return a;
    }
    bool IsConfigRead() const {
        return name == "DXC_CCDEEPROM_DATAREAD" || name == "DXC_TFTEEPROM_DATAREAD" || name == "DXC_RAMCONFIG_DATAREAD";
    }
    // The configuration memory a read or write goes to.
    sim::Memory ConfigMemory() const {
        const std::uint16_t family = Code() >> 12;
        return family == 2 ? sim::Memory::CcdEeprom : family == 3 ? sim::Memory::TftEeprom : sim::Memory::RamConfig;
    }
    // Whether the camera stores something it is sent: a memory, a setting, or
    // an update command's copy between EEPROM, flash and RAM configuration.
    bool IsWrite() const {
        return name == "DXC_CCDEEPROM_DATAWRITE" || name == "DXC_TFTEEPROM_DATAWRITE" ||
               name == "DXC_RAMCONFIG_DATAWRITE" || name == "DCMD_SET_PROPERTY" || name == "DXC_SET_OB" ||
               name == "DXC_UPDATECOMMAND" || Mcu() == "AS" || Mcu() == "AW";
    }
};

inline const char* SelectorName(std::uint32_t selector) {
    switch (selector) {
        case LVX_SEL_OPEN_DRIVER: return "LVX_SEL_OPEN_DRIVER";
        case LVX_SEL_GET_DEVICELIST: return "LVX_SEL_GET_DEVICELIST";
        case LVX_SEL_GET_DEVICEINFO: return "LVX_SEL_GET_DEVICEINFO";
        case LVX_SEL_OPEN_DEVICE: return "LVX_SEL_OPEN_DEVICE";
        case LVX_SEL_CLOSE_DEVICE: return "LVX_SEL_CLOSE_DEVICE";
        case LVX_SEL_CLOSE_DRIVER: return "LVX_SEL_CLOSE_DRIVER";
        default: return "LVX_SEL_UNKNOWN";
    }
}

class FaultingEntry {
public:
    // Binds the entry for the camera link; `clock` is the one the station
    // polls with, on which a bus reset is timed.
    static void Bind(platform::VirtualClock& clock) {
        State().clock = &clock;
        CUsbCamera::BindDriverEntry(&Entry);
    }
    static void Unbind() {
        CUsbCamera::BindDriverEntry(nullptr);
        State() = {};
    }
    // A new run: no calls, nothing armed; `keepStates`: the EEPROM states
    // around every call are kept (one copy per change).
    static void Begin(bool keepStates, std::function<int()> context = {}) {
        Data& d = State();
        // Each cell is a run of its own program: the link starts again from
        // its binding and owes no completion of an earlier cell's transfers.
        if (d.clock) CUsbCamera::BindDriverEntry(&Entry);
        d.keepStates = keepStates;
        d.context = std::move(context);
        d.armed.reset();
        d.repeatAtNextIo = false;
        d.calls.clear();
        d.states.clear();
    }
    // Arms `fault` right before call number `call` (from 0) of this run. A
    // corrupted read is armed on the read itself, or on the microcontroller
    // command that asks for the data ("AR", "AU"), as the camera decides its
    // answer there.
    static void Arm(std::size_t call, LinkFault fault) { State().armed = {call, fault}; }
    // Area measurements and picture transfers are remembered from now on,
    // across runs, until Unbind.
    static void RememberPictures() { State().remember = true; }

    static const std::vector<EntryCall>& Calls() { return State().calls; }
    static const std::vector<EepromState>& States() { return State().states; }

private:
    struct Armed {
        std::size_t call;
        LinkFault fault;
    };
    // Everything a picture is made of: the unit, the bench, the camera's
    // memories and the exposure. Empty when there is no picture.
    static std::string PictureKey() {
        const sim::Camera& camera = sim::Sim().FirstCamera();
        if (!camera.LastPicture()) return "";
        std::string key;
        auto add = [&key](const auto& value) { key.append(reinterpret_cast<const char*>(&value), sizeof value); };
        const sim::UnitProfile& unit = camera.Unit();
        key += unit.name + '\0';
        add(unit.seed);
        const SimBench& b = sim::Sim().Bench();
        for (auto v : {b.lens, b.ndFilter, b.light, b.chart, b.closest, b.flashPoppedUp, b.power, b.usbPlugged,
                       b.mainSwitchOn, b.exposureMode, b.afMode})
            add(v);
        for (double v : {b.lightLevel, b.subjectDistanceM, b.supplyVolts}) add(v);
        const sim::Exposure& e = camera.LastExposure();
        for (std::uint8_t v : {e.conditions.p11, e.conditions.p12, e.conditions.p5, e.conditions.p2}) add(v);
        add(e.obClamp);
        add(e.seed);
        for (const sim::FlashEmission& f : e.flashes) {
            add(f.kind);
            add(f.level);
            add(f.adj);
            add(f.volts);
        }
        using sim::Memory;
        for (const std::vector<std::uint8_t>* mem :
             {&camera.Mem(Memory::CcdEeprom), &camera.Mem(Memory::TftEeprom), &camera.Mem(Memory::RamConfig),
              &camera.Mem(Memory::McuEeprom), &camera.Mem(Memory::McuDram), &camera.BuiltFpgainTable()})
            key.append(reinterpret_cast<const char*>(mem->data()), mem->size());
        return key;
    }

    // The answers that are remembered: an area measurement by its rectangle
    // and picture; a block of a picture transfer by its picture, part, place
    // in the file and length. A transfer answered from memory leaves the
    // camera's read position behind, which nothing looks at again: a
    // transfer ends with its last block or its first failed one.
    struct Remembered {
        std::map<std::string, std::vector<std::uint8_t>> answers;
        std::uint32_t offset[2] = {};  // where the next block of each part begins
        bool transferRemembered = false;

        std::string KeyOf(const EntryCall& call) const {
            if (call.name == "DXC_CCD_ADJUST_DATA_IN") {
                const std::string picture = PictureKey();
                return picture.empty() ? "" : std::string(call.cdb.begin(), call.cdb.end()) + picture;
            }
            if (call.name == "DCMD_GET_IMAGE" && call.Parameter() <= 1) {
                const std::string picture = PictureKey();
                if (picture.empty()) return "";
                std::string key = picture;
                for (std::uint32_t v : {std::uint32_t{call.Parameter()}, offset[call.Parameter()], call.CameraLength()})
                    key.append(reinterpret_cast<const char*>(&v), sizeof v);
                return key;
            }
            return "";
        }
        // Answers `call` from memory if it can.
        bool Answer(const EntryCall& call, LvxExecuteIoBlock& io) {
            const std::string key = KeyOf(call);
            const auto known = key.empty() ? answers.end() : answers.find(key);
            if (known == answers.end()) {
                // The camera's read position is behind: it cannot go on.
                if (call.name == "DCMD_GET_IMAGE" && transferRemembered)
                    ADD_FAILURE() << "a picture transfer answered from memory meets a block it has not seen";
                return false;
            }
            std::copy(known->second.begin(), known->second.end(), io.data);
            std::fill(io.sense, io.sense + LVX_SENSE_LENGTH, 0);
            io.pending = 0;
            if (call.name == "DCMD_GET_IMAGE") {
                transferRemembered = true;
                offset[call.Parameter()] += io.dataLength;
            }
            return true;
        }
        // Follows the transfer, and learns what the camera answered unless
        // a fault met the call.
        void Learn(const EntryCall& call, const LvxExecuteIoBlock& io, std::uint32_t result, bool faulted) {
            const bool good = result == 0 && io.pending == 0 &&
                              std::all_of(io.sense, io.sense + LVX_SENSE_LENGTH, [](std::uint8_t b) { return b == 0; });
            if (call.name == "DCMD_GET_IMAGE_FILE_INFO" && good && io.dataLength >= 10) {
                // A new transfer starts.
                offset[0] = 0;
                offset[1] = platform::GetBe32(io.data + 6);
                transferRemembered = false;
                return;
            }
            const std::string key = KeyOf(call);
            if (call.name == "DCMD_GET_IMAGE" && call.Parameter() <= 1) offset[call.Parameter()] += io.dataLength;
            if (!key.empty() && good && !faulted) answers[key].assign(io.data, io.data + io.dataLength);
        }
    };

    struct Data {
        platform::VirtualClock* clock = nullptr;
        bool keepStates = false;
        std::function<int()> context;
        std::optional<Armed> armed;
        bool remember = false;
        bool repeatAtNextIo = false;
        Remembered memory;
        std::vector<EntryCall> calls;
        std::vector<EepromState> states;
    };
    static Data& State() {
        static Data data;
        return data;
    }

    static std::size_t KeepState() {
        Data& d = State();
        EepromState now = EepromState::Of(sim::Sim().FirstCamera());
        if (d.states.empty() || !(d.states.back() == now)) d.states.push_back(std::move(now));
        return d.states.size() - 1;
    }

    static void ArmFor(const EntryCall& call, LinkFault fault) {
        sim::Simulator& s = sim::Sim();
        sim::CameraFaults& f = s.FirstCamera().Faults();
        switch (fault) {
            case LinkFault::EntryResult:
                s.FailSelector(call.selector, LVX_RESULT(LVX_CODE_DEVICE, LVX_INF_TIMEOUT));
                break;
            case LinkFault::Sense:
                s.InjectSense(sim::MakeSense(sim::kSenseNotReady, sim::kAscNotReady), 1, call.name);
                break;
            case LinkFault::NeverCompletes: s.LeaveNextPending(call.name, true); break;
            case LinkFault::Interrupted:
                s.LeaveNextPending(call.name);
                // While the station polls for it (every 10 ms).
                State().clock->After(
                    15, [] { sim::Sim().InterruptPending(LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_BUSRESET)); });
                break;
            case LinkFault::McuAnswer: f.mcuReply = {1, 'x'}; break;
            case LinkFault::PropertyEcho:
                f.propertyReply = {1, std::nullopt, static_cast<std::uint8_t>(call.Parameter() + 1)};
                break;
            case LinkFault::PropertyLength: f.propertyReply = {1, std::uint16_t{6}, std::nullopt}; break;
            case LinkFault::CorruptedRead:
                if (call.IsConfigRead())
                    f.configRead = {1, call.ConfigMemory(), 0, 0x01};
                else
                    f.mcuReadCorrupted = {1, call.Mcu(), call.McuAddress()};
                break;
            case LinkFault::Unstored: f.unstored.times = 1; break;
            case LinkFault::StuckRead:
                if (call.IsConfigRead())
                    f.stuckRead = {call.ConfigMemory(), call.Address()};
                else
                    f.stuckRead = {call.Mcu() == "AR" ? sim::Memory::McuDram : sim::Memory::McuEeprom,
                                   call.McuAddress()};
                break;
            case LinkFault::CompletesTwice:
                s.LeaveNextPending(call.name);
                State().clock->After(15, [] { sim::Sim().CompletePending(0); });
                State().repeatAtNextIo = true;
                break;
            case LinkFault::ShiftedGreen: f.shiftedGreen.times = 1; break;
        }
    }

    // The transfer after one that completed twice: late as well, and the
    // earlier completion is reported again while it waits for its own.
    static void RepeatWhileWaiting(const EntryCall& call) {
        sim::Sim().LeaveNextPending(call.name);
        State().clock->After(5, [] { sim::Sim().RepeatLastCompletion(); });
        State().clock->After(15, [] { sim::Sim().CompletePending(0); });
    }

    static std::uint32_t Entry(std::uint32_t selector, void* block, std::uint32_t handle) {
        Data& d = State();
        EntryCall call;
        call.selector = selector;
        call.name = SelectorName(selector);
        if (selector == LVX_SEL_EXECUTE_IO && block) {
            const auto* io = static_cast<const LvxExecuteIoBlock*>(block);
            call.cdb.assign(io->command, io->command + io->commandLength);
            call.name = sim::CommandName(io->command, io->commandLength);
            if (io->direction == LVX_DIR_OUT && io->data) call.dataOut.assign(io->data, io->data + io->dataLength);
        }
        call.window = d.context ? d.context() : 0;
        if (d.keepStates) call.before = KeepState();
        const bool repeat = d.repeatAtNextIo && call.Io();
        if (repeat) {
            d.repeatAtNextIo = false;
            RepeatWhileWaiting(call);
        }
        const bool armed = d.armed && d.armed->call == d.calls.size();
        if (armed) ArmFor(call, d.armed->fault);
        // A call that meets a fault goes to the camera, and its answer is not
        // remembered for others.
        const bool faulted = armed || repeat;
        auto* io = static_cast<LvxExecuteIoBlock*>(block);
        std::uint32_t result = 0;
        if (!(d.remember && !faulted && call.Io() && d.memory.Answer(call, *io))) {
            result = SimLvDriverEntry(selector, block, handle);
            if (d.remember && call.Io()) d.memory.Learn(call, *io, result, faulted);
        }
        call.result = result;
        if (d.keepStates) call.after = KeepState();
        d.calls.push_back(std::move(call));
        return result;
    }
};

}  // namespace test_support
