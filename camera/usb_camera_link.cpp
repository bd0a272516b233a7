// The camera link itself: binding to the driver library, the device session,
// the two command block layouts through LVX_SEL_EXECUTE_IO, the driver's
// notification routines and the diagnostic trace of every entry call.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "camera/usb_camera.h"
#include "platform/big_endian.h"
#include "platform/clock.h"
#include "platform/library.h"
#include "platform/trace.h"

namespace {

constexpr char kLoadFailedMessage[] = "USB通信DLL(LvxStor.dll)がﾛｰﾄﾞできませんでした。";
// Vendor "VORNE   " and the product prefix "M740": revision and the rest of
// the product field differ between firmware releases and are not compared.
constexpr char kCameraIdentity[] = "VORNE   M740            1.00";
constexpr std::size_t kIdentityCompareLength = 12;
constexpr std::size_t kIdentityOffset = 8;

constexpr int kFindAttempts = 20;
constexpr int kFindRetryWaitMs = 500;
constexpr std::uint32_t kDeviceListCapacity = 64;

constexpr int kPollIntervalMs = 10;
constexpr int kCheckerPolls = 1000;
constexpr int kCameraPolls = 400;

constexpr std::size_t kCommandBlockSize = 16;
constexpr std::size_t kInquiryBlockSize = 6;
constexpr std::uint32_t kInquiryLength = 36;

// One transfer runs at a time, and the library is handed only storage of
// the link's own: the parameter block, command block, sense and data. Only a
// transfer that completes good copies its data to the caller. One that does
// not complete (given up on, or dropped by the library) keeps its storage for
// the life of the program and the next transfer gets fresh storage, so a
// library that finishes an abandoned transfer late writes into memory that
// still exists and that no caller and no later transfer reads.
struct Transfer {
    std::uint8_t command[kCommandBlockSize] = {};
    std::uint8_t sense[LVX_SENSE_LENGTH] = {};
    LvxExecuteIoBlock io = {};
    // Grows to the largest transfer so far: the raw picture moves many
    // equal blocks, and none of them should cost an allocation.
    std::vector<std::uint8_t> data;
};

// What the event routine and the poll share about the transfer in flight:
// 0 when none is armed; else its number in bits 34-63, bit 32 once it has
// ended, bit 33 if it ended by another notification than its completion (the
// library dropped it), and the completion status in bits 0-31. The event
// routine names no transfer, so it may end only the one armed when it looked,
// and only once.
constexpr std::uint64_t kEnded = std::uint64_t{1} << 32;
constexpr std::uint64_t kDropped = std::uint64_t{1} << 33;
constexpr std::uint32_t kMaxTransferNumber = 0x3FFFFFFFu;
constexpr std::uint64_t Armed(std::uint32_t number) { return std::uint64_t{number} << 34; }

// Event routines, one for each of as many opens of the device (EventOfOpen).
constexpr std::uint32_t kEventRoutines = 256;

struct LinkState {
    std::atomic<std::uint8_t> flags{0};
    std::string libraryName = LVX_DRIVER_LIBRARY_NAME;
    std::unique_ptr<platform::SharedLibrary> library;
    std::atomic<LvDriverEntryFn> entry{nullptr};
    std::atomic<std::uint32_t> driverHandle{0};
    std::atomic<std::uint32_t> deviceHandle{0};
    std::atomic<std::uint32_t> lastEvent{0};
    std::atomic<std::uint64_t> inFlight{0};
    std::atomic<std::uint32_t> open{0};  // whose notifications count: see EventOfOpen
    std::array<std::atomic<std::uint32_t>, kEventRoutines> owed{};  // transfers given up on, by open
    std::atomic<bool> outOfStep{false};  // more completions heard than transfers given, in this open
    std::uint32_t lastTransferNumber = 0;
    std::unique_ptr<Transfer> transfer = std::make_unique<Transfer>();
    std::vector<std::unique_ptr<Transfer>> abandoned;
};

LinkState& Link() {
    static LinkState state;
    return state;
}

// Each open of the device registers an event routine of its own, so that a
// notification for a transfer of an earlier open ends nothing now. A
// library that does not cancel at the close may still complete a transfer
// that the link gave up on; taken for the transfer pending now, it would
// end that one while the library still owes it, and that one's own
// completion would later write into storage the link has reused. So a
// routine serves a new open only once every transfer given up on under it
// has been heard of; with none left, the device is not opened until another
// library (or the same one loaded again) is bound. A completion reported
// twice is not taken for a later transfer's where that one brings data to
// the host (see MarkUnwritten); elsewhere the second report comes to a link
// with nothing armed, which then stops (see EndTransfer).

template <std::uint32_t Open>
void EventOfOpen(std::uint32_t eventCode, std::uint32_t value) {
    LinkState& link = Link();
    if (link.open.load() == Open) {
        CUsbCamera::OnDriverEvent(eventCode, value);
        return;
    }
    // The end of a transfer given up on under that open.
    std::atomic<std::uint32_t>& owed = link.owed[Open];
    for (std::uint32_t n = owed.load(); n > 0 && !owed.compare_exchange_weak(n, n - 1);) {
    }
}

template <std::uint32_t... Open>
constexpr std::array<LvxEventRoutine, sizeof...(Open)> EventRoutines(std::integer_sequence<std::uint32_t, Open...>) {
    return {&EventOfOpen<Open>...};
}
constexpr auto kEventRoutineOfOpen = EventRoutines(std::make_integer_sequence<std::uint32_t, kEventRoutines>{});

// The next routine that no transfer given up on may still call, or none.
std::optional<std::uint32_t> NextOpen() {
    LinkState& link = Link();
    for (std::uint32_t i = 1; i <= kEventRoutines; ++i) {
        const std::uint32_t open = (link.open.load() + i) % kEventRoutines;
        if (link.owed[open].load() == 0) return open;
    }
    return std::nullopt;
}

// A new library owes nothing of the last one's transfers.
void ForgetOwedTransfers() {
    for (auto& owed : Link().owed) owed.store(0);
}

void SetFlag(std::uint8_t bit) { Link().flags.fetch_or(bit); }
void ClearFlag(std::uint8_t bit) { Link().flags.fetch_and(static_cast<std::uint8_t>(~bit)); }
bool HasFlag(std::uint8_t bit) { return (Link().flags.load() & bit) != 0; }

const char* MainCodeName(std::uint32_t main) {
    switch (main) {
        case LVX_CODE_NONE: return "LVX_CODE_NONE";
        case LVX_CODE_DRIVER: return "LVX_CODE_DRIVER";
        case LVX_CODE_INTERFACE: return "LVX_CODE_INTERFACE";
        case LVX_CODE_DEVICE: return "LVX_CODE_DEVICE";
        case LVX_CODE_NOTIFY: return "LVX_CODE_NOTIFY";
        default: return "NONE";
    }
}

const char* SubCodeName(std::uint32_t sub) {
    switch (sub) {
        case LVX_INF_NONE: return "LVX_INF_NONE";
        case LVX_INF_BUSY: return "LVX_INF_BUSY";
        case LVX_INF_OVERBUFFER: return "LVX_INF_OVERBUFFER";
        case LVX_INF_ABORT: return "LVX_INF_ABORT";
        case LVX_INF_DISCONNECT: return "LVX_INF_DISCONNECT";
        case LVX_INF_TIMEOUT: return "LVX_INF_TIMEOUT";
        case LVX_INF_STATUSCHANGE: return "LVX_INF_STATUSCHANGE";
        case LVX_INF_BUSRESET: return "LVX_INF_BUSRESET";
        case LVX_ERR_UNSUPPORT: return "LVX_ERR_UNSUPPORT";
        case LVX_ERR_NOMEMORY: return "LVX_ERR_NOMEMORY";
        case LVX_ERR_SEQUENCE: return "LVX_ERR_SEQUENCE";
        case LVX_ERR_INVALIDPARAM: return "LVX_ERR_INVALIDPARAM";
        case LVX_ERR_NOINTERFACE: return "LVX_ERR_NOINTERFACE";
        case LVX_ERR_VERSION: return "LVX_ERR_VERSION";
        case LVX_ERR_UNEXPECTED: return "LVX_ERR_UNEXPECTED";
        case LVX_ERR_NODEVICE: return "LVX_ERR_NODEVICE";
        case LVX_ERR_NORESOURCE: return "LVX_ERR_NORESOURCE";
        case LVX_ERR_SESSIONFAIL: return "LVX_ERR_SESSIONFAIL";
        default: return "NONE";
    }
}

void TraceResult(std::uint32_t result) {
    platform::Trace("MAIN CODE=%s  SUB CODE=%s\r\n", MainCodeName(LVX_MAIN_CODE(result)),
                    SubCodeName(LVX_SUB_CODE(result)));
}

// Every entry call passes here: the entry must be bound, and its result is
// traced. Without an entry the library is not loaded (kLinkNotLoaded).
bool CallEntry(std::uint32_t selector, void* block, std::uint32_t handle, std::uint32_t* result) {
    LvDriverEntryFn entry = Link().entry.load();
    if (!entry) return false;
    *result = entry(selector, block, handle);
    TraceResult(*result);
    return true;
}

// The checker command block: class, 0, code, address, length, parameter.
void BuildCheckerBlock(std::uint8_t* b, std::uint8_t cls, std::uint16_t code, std::uint32_t address,
                       std::uint32_t length, std::uint32_t parameter) {
    std::memset(b, 0, kCommandBlockSize);
    b[0] = cls;
    platform::PutBe16(b + 2, code);
    platform::PutBe32(b + 4, address);
    platform::PutBe32(b + 8, length);
    platform::PutBe32(b + 12, parameter);
}

// The camera command block: opcode, parameter byte, transfer length at 6-9;
// the remaining parameter fields are 0 in every command the station sends.
void BuildCameraBlock(std::uint8_t* b, std::uint8_t opcode, std::uint8_t parameter, std::uint32_t length) {
    std::memset(b, 0, kCommandBlockSize);
    b[0] = opcode;
    b[1] = parameter;
    platform::PutBe32(b + 6, length);
}

void BuildInquiryBlock(std::uint8_t* b) {
    std::memset(b, 0, kCommandBlockSize);
    b[0] = 0x12;
    b[4] = static_cast<std::uint8_t>(kInquiryLength);
}

// Ends the armed transfer with `outcome` (kEnded with a status, or with
// kDropped), if the one armed when we look is still waiting. A second
// notification before the poll has taken the first is ignored. A completion
// with nothing armed is owed to a transfer given up on in this open, or else
// one reported more than once: a transfer without data to the host may then
// have been taken as done on another's completion, so no transfer goes out
// until the device is opened again.
void EndTransfer(std::uint64_t outcome) {
    LinkState& link = Link();
    std::atomic<std::uint64_t>& inFlight = link.inFlight;
    std::uint64_t seen = inFlight.load(std::memory_order_acquire);
    if (seen == 0 && (outcome & kDropped) == 0) {
        std::atomic<std::uint32_t>& owed = link.owed[link.open.load() % kEventRoutines];
        std::uint32_t n = owed.load();
        while (n > 0 && !owed.compare_exchange_weak(n, n - 1)) {
        }
        if (n == 0) link.outOfStep.store(true);
        return;
    }
    if (seen == 0 || (seen & kEnded) != 0) return;
    // Fails if the poll gave up on it or moved on meanwhile: then it was not
    // the transfer this notification belongs to.
    inFlight.compare_exchange_strong(seen, seen | outcome, std::memory_order_acq_rel);
}

std::uint32_t NextTransferNumber() {
    LinkState& link = Link();
    link.lastTransferNumber = link.lastTransferNumber % kMaxTransferNumber + 1;
    return link.lastTransferNumber;
}

// A transfer that did not complete keeps its storage: the library may still
// write into it.
void RetireTransfer() {
    LinkState& link = Link();
    link.abandoned.push_back(std::move(link.transfer));
    link.transfer = std::make_unique<Transfer>();
}

// A transfer to the host that completes later has its data written by the
// library before the completion is reported, so its buffer starts with a
// pattern of its own: a completion that leaves the whole pattern in place
// wrote nothing of it, and is an earlier transfer's reported again. The
// pattern changes from byte to byte and from transfer to transfer; an answer
// that happened to match it would be waited on in vain and fail, never be
// taken for data.
std::uint8_t UnwrittenByte(std::uint32_t number, std::uint32_t i) {
    return static_cast<std::uint8_t>(0xA5u ^ (i * 29u) ^ number ^ (number >> 8));
}
void MarkUnwritten(std::uint8_t* data, std::uint32_t length, std::uint32_t number) {
    // The pattern repeats every 256 bytes: one period is worked out, and
    // the rest copied from what is already marked, a whole number of
    // periods at a time.
    const std::uint32_t period = std::min<std::uint32_t>(length, 256);
    for (std::uint32_t i = 0; i < period; ++i) data[i] = UnwrittenByte(number, i);
    for (std::uint32_t done = period; done < length;) {
        const std::uint32_t n = std::min(done, length - done);
        std::memcpy(data + done, data, n);
        done += n;
    }
}
bool Unwritten(const std::uint8_t* data, std::uint32_t length, std::uint32_t number) {
    for (std::uint32_t i = 0; i < length; ++i)
        if (data[i] != UnwrittenByte(number, i)) return false;
    return length != 0;
}

// The library still holds a transfer that the link gives up on. Closing the
// device cancels it; as its late completion could not be told from the next
// transfer's, no transfer goes out until the caller connects again.
void CloseAbandonedDevice() {
    LinkState& link = Link();
    ClearFlag(CUsbCamera::kDeviceOpen);
    LvxCloseDeviceBlock block{};
    block.deviceHandle = link.deviceHandle.load();
    std::uint32_t result = 0;
    CallEntry(LVX_SEL_CLOSE_DEVICE, &block, link.driverHandle.load(), &result);
}

// Sends the command block held in the transfer and waits up to `polls` polls
// for a pending one; a transfer still pending after the whole wait fails.
// `data` is the caller's: sent from (LVX_DIR_OUT) or, once the transfer has
// completed good, filled (LVX_DIR_IN).
int RunTransfer(platform::Clock& clock, std::uint32_t commandLength, std::uint8_t direction, std::uint32_t length,
                std::uint8_t* data, int polls) {
    LinkState& link = Link();
    if (!link.entry.load()) return kLinkNotLoaded;
    if (length != 0 && !data) return kLinkBadArgument;
    // A failed open leaves the last session's handle behind: never use it.
    if (!HasFlag(CUsbCamera::kDeviceOpen)) return kLinkTransferFailed;
    if (link.outOfStep.load()) {
        CloseAbandonedDevice();
        return kLinkTransferFailed;
    }

    const std::uint32_t number = NextTransferNumber();
    Transfer& t = *link.transfer;
    if (t.data.size() < length) t.data.resize(length);
    if (direction == LVX_DIR_OUT)
        std::memcpy(t.data.data(), data, length);
    else if (length != 0)
        MarkUnwritten(t.data.data(), length, number);
    std::memset(t.sense, 0, sizeof t.sense);
    t.io = LvxExecuteIoBlock{};
    t.io.deviceHandle = link.deviceHandle.load();
    t.io.direction = direction;
    t.io.commandLength = commandLength;
    t.io.command = t.command;
    t.io.dataLength = length;
    t.io.data = length != 0 ? t.data.data() : nullptr;
    t.io.senseLength = LVX_SENSE_LENGTH;
    t.io.sense = t.sense;

    // Armed before the call: the library may complete from its own thread
    // before the entry returns.
    link.inFlight.store(Armed(number), std::memory_order_release);

    platform::Trace("LVX_SEL_EXECUTE_IO\r\n");
    std::uint32_t result = 0;
    CallEntry(LVX_SEL_EXECUTE_IO, &t.io, link.driverHandle.load(), &result);

    if (result == 0 && t.io.pending != 0) {
        // Its own completion: a good one to the host must have written data.
        const auto own = [&](std::uint64_t seen) {
            if ((seen & kEnded) == 0) return false;
            const bool good = (seen & (kDropped | 0xFFFFFFFFu)) == 0;
            return !good || direction != LVX_DIR_IN || !Unwritten(t.data.data(), length, number);
        };
        for (int i = 0; i < polls; ++i) {
            std::uint64_t seen = link.inFlight.load(std::memory_order_acquire);
            if (own(seen)) break;
            // Another's completion reported again: armed anew for its own.
            // Its own, should it come at this very moment, is taken for
            // that one and the transfer fails for want of it.
            if ((seen & kEnded) != 0) link.inFlight.compare_exchange_strong(seen, Armed(number));
            clock.Sleep(kPollIntervalMs);
        }
        // Disarmed at once: a notification that races the last poll still
        // counts, and none after it can reach this transfer.
        const std::uint64_t outcome = link.inFlight.exchange(0, std::memory_order_acq_rel);
        if (!own(outcome)) {
            RetireTransfer();
            ++link.owed[link.open.load()];
            CloseAbandonedDevice();
            return kLinkTransferFailed;
        }
        result = static_cast<std::uint32_t>(outcome);
        // The notification routines may run on the library's thread, so
        // their values are traced here, on ours.
        platform::Trace("Event code:%08X\n", static_cast<unsigned>(link.lastEvent.load()));
        platform::Trace("Status code:%08X\n", static_cast<unsigned>(result));
        if ((outcome & kDropped) != 0) {
            RetireTransfer();
            return kLinkTransferFailed;
        }
    } else {
        link.inFlight.store(0, std::memory_order_release);
    }
    if (result != 0) return kLinkTransferFailed;
    for (std::uint8_t s : t.sense)
        if (s != 0) return kLinkTransferFailed;
    if (direction == LVX_DIR_IN && length != 0) std::memcpy(data, t.data.data(), length);
    return 1;
}

// One search of the bus; the device id of the first camera in list order.
int FindCameraOnce(std::uint32_t* deviceId) {
    const std::uint32_t handle = Link().driverHandle.load();
    std::uint32_t result = 0;

    platform::Trace("LVX_SEL_GET_DEVICELIST_1\r\n");
    LvxDeviceListBlock ask{LVX_DEVICELIST_TAG, 0, nullptr};
    if (!CallEntry(LVX_SEL_GET_DEVICELIST, &ask, handle, &result)) return kLinkNotLoaded;
    if (result != 0) return kLinkDeviceNotOpened;
    platform::Trace("DEVICE COUNT = %d\n", static_cast<int>(ask.count));
    if (ask.count == 0) return kLinkNoDevice;

    platform::Trace("LVX_SEL_GET_DEVICELIST_2\r\n");
    std::uint32_t ids[kDeviceListCapacity] = {};
    LvxDeviceListBlock list{LVX_DEVICELIST_TAG, kDeviceListCapacity, ids};
    if (!CallEntry(LVX_SEL_GET_DEVICELIST, &list, handle, &result)) return kLinkNotLoaded;
    if (result != 0) return kLinkDeviceNotOpened;
    // A device unplugged between the two calls must not leave us reading
    // ids the library never wrote.
    const std::uint32_t count = std::min({ask.count, list.count, kDeviceListCapacity});

    for (std::uint32_t i = 0; i < count; ++i) {
        LvxDeviceInfoBlock first{ids[i], 0, 0, nullptr};
        if (!CallEntry(LVX_SEL_GET_DEVICEINFO, &first, handle, &result)) return kLinkNotLoaded;
        if (result != 0) continue;
        std::uint8_t info[LVX_DEVICEINFO_SIZE] = {};
        LvxDeviceInfoBlock second{ids[i], 0, 0, info};
        if (!CallEntry(LVX_SEL_GET_DEVICEINFO, &second, handle, &result)) return kLinkNotLoaded;
        if (result != 0) continue;
        if (std::memcmp(info + kIdentityOffset, kCameraIdentity, kIdentityCompareLength) == 0) {
            *deviceId = ids[i];
            return 1;
        }
    }
    return kLinkNoCamera;
}

}  // namespace

CUsbCamera::CUsbCamera(platform::Clock& clock, std::function<void(const std::string&)> showStopMessage)
    : m_clock(clock), m_showStopMessage(std::move(showStopMessage)) {}

// Destroying the object closes nothing: the link state outlives it.
CUsbCamera::~CUsbCamera() = default;

void CUsbCamera::SetDriverLibraryName(const std::string& name) { Link().libraryName = name; }

void CUsbCamera::BindDriverEntry(LvDriverEntryFn entry) {
    LinkState& link = Link();
    link.entry.store(entry);
    link.library.reset();
    ForgetOwedTransfers();
    if (entry)
        SetFlag(CUsbCamera::kLibraryLoaded);
    else
        ClearFlag(CUsbCamera::kLibraryLoaded);
}

platform::SharedLibrary* CUsbCamera::DriverLibrary() { return Link().library.get(); }

std::uint8_t CUsbCamera::LinkFlags() { return Link().flags.load(); }

void CUsbCamera::SetLinkFlags(std::uint8_t flags) { Link().flags.store(flags); }

int CUsbCamera::LoadDriverLibrary() {
    LinkState& link = Link();
    link.flags.store(0);
    link.entry.store(nullptr);
    link.library.reset();

    platform::Trace("LOARD DLL\r\n");
    std::string error;
    link.library = platform::SharedLibrary::Open(link.libraryName, &error);
    if (!link.library) {
        if (m_showStopMessage) m_showStopMessage(kLoadFailedMessage);
        return kLinkNotLoaded;
    }
    SetFlag(CUsbCamera::kLibraryLoaded);
    auto entry = link.library->Function<LvDriverEntryFn>(LVX_DRIVER_ENTRY_NAME);
    if (!entry) {
        link.library.reset();
        ClearFlag(CUsbCamera::kLibraryLoaded);
        if (m_showStopMessage) m_showStopMessage(kLoadFailedMessage);
        return kLinkEntryMissing;
    }
    link.entry.store(entry);
    ForgetOwedTransfers();
    return 1;
}

void CUsbCamera::FreeDriverLibrary() {
    LinkState& link = Link();
    // The entry goes with the library, so nothing can call into freed code.
    link.entry.store(nullptr);
    link.library.reset();
}

int CUsbCamera::ConnectCamera() {
    int r = OpenDriver();
    if (r != 1) return r;
    std::uint32_t id = 0;
    r = FindCameraDevice(&id);
    if (r != 1) return r;
    r = OpenDevice(id);
    if (r != 1) return r;
    return InquiryDevice();
}

int CUsbCamera::OpenDriver() {
    platform::Trace("LVX_SEL_OPEN_DRIVER\r\n");
    LvxOpenDriverBlock block{};
    std::memcpy(block.version, LVX_DRIVER_VERSION, sizeof block.version);
    std::uint32_t result = 0;
    if (!CallEntry(LVX_SEL_OPEN_DRIVER, &block, 0, &result)) return kLinkNotLoaded;
    if (result != 0) return kLinkDriverNotOpened;
    Link().driverHandle.store(block.driverHandle);
    SetFlag(CUsbCamera::kDriverOpen);
    return 1;
}

int CUsbCamera::FindCameraDevice(std::uint32_t* deviceId) {
    if (!deviceId) return kLinkBadArgument;
    int r = kLinkNoDevice;
    for (int attempt = 0; attempt < kFindAttempts; ++attempt) {
        r = FindCameraOnce(deviceId);
        if (r == 1 || r == kLinkNotLoaded) return r;
        m_clock.Sleep(kFindRetryWaitMs);
    }
    return r;
}

int CUsbCamera::OpenDevice(std::uint32_t deviceId) {
    platform::Trace("LVX_SEL_OPEN_DEVICE\r\n");
    LvxOpenDeviceBlock block{};
    block.deviceId = deviceId;
    const std::optional<std::uint32_t> open = NextOpen();
    if (!open) return kLinkDeviceNotOpened;
    Link().open.store(*open);
    Link().outOfStep.store(false);
    block.onEvent = kEventRoutineOfOpen[*open];
    std::uint32_t result = 0;
    if (!CallEntry(LVX_SEL_OPEN_DEVICE, &block, Link().driverHandle.load(), &result)) return kLinkNotLoaded;
    if (result != 0) return kLinkDeviceNotOpened;
    Link().deviceHandle.store(block.deviceHandle);
    SetFlag(CUsbCamera::kDeviceOpen);
    return 1;
}

int CUsbCamera::InquiryDevice() {
    platform::Trace("COMMAND : INQUIRY\r\n");
    std::uint8_t reply[kInquiryLength] = {};
    BuildInquiryBlock(Link().transfer->command);
    return RunTransfer(m_clock, kInquiryBlockSize, LVX_DIR_IN, kInquiryLength, reply, kCameraPolls);
}

int CUsbCamera::DisconnectCamera() {
    LinkState& link = Link();
    std::uint32_t result = 0;
    if (HasFlag(CUsbCamera::kDeviceOpen)) {
        ClearFlag(CUsbCamera::kDeviceOpen);
        LvxCloseDeviceBlock block{};
        block.deviceHandle = link.deviceHandle.load();
        CallEntry(LVX_SEL_CLOSE_DEVICE, &block, link.driverHandle.load(), &result);
    }
    if (HasFlag(CUsbCamera::kDriverOpen)) {
        ClearFlag(CUsbCamera::kDriverOpen);
        LvxCloseDriverBlock block{};
        CallEntry(LVX_SEL_CLOSE_DRIVER, &block, link.driverHandle.load(), &result);
    }
    return 1;
}

int CUsbCamera::ExecuteCheckerCommand(std::uint8_t cls, std::uint16_t code, std::uint32_t address,
                                      std::uint32_t length, std::uint32_t parameter, std::uint8_t direction,
                                      std::uint8_t* data) {
    BuildCheckerBlock(Link().transfer->command, cls, code, address, length, parameter);
    return RunTransfer(m_clock, kCommandBlockSize, direction, length, data, kCheckerPolls);
}

int CUsbCamera::ExecuteCameraCommand(std::uint8_t opcode, std::uint8_t parameter, std::uint32_t length,
                                     std::uint8_t direction, std::uint8_t* data) {
    BuildCameraBlock(Link().transfer->command, opcode, parameter, length);
    return RunTransfer(m_clock, kCommandBlockSize, direction, length, data, kCameraPolls);
}

void CUsbCamera::OnDriverEvent(std::uint32_t eventCode, std::uint32_t value) {
    Link().lastEvent.store(eventCode);
    // Only a completion completes. Any other notification while a transfer
    // is pending (bus reset, disconnect, status change) means the library
    // has dropped it, and its buffers hold nothing.
    if (eventCode == LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_NONE))
        OnIoComplete(value);
    else
        EndTransfer(kEnded | kDropped);
}

void CUsbCamera::OnIoComplete(std::uint32_t status) { EndTransfer(kEnded | status); }
