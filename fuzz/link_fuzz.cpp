// The camera link against a driver library that answers from the input:
// every transfer's data, sense, result and how it ends (at once, pending
// and completed later or inside the call, completed twice, dropped by
// another notification, never, or after the link has given up on it), and
// the device list and identities. The input also chooses the operations.
//
// Besides faults of memory and undefined behaviour, the driver checks what
// the link promises a library: no transfer while the device is closed or
// while the library still holds one, and only storage that still exists
// for a transfer that completes late. The operations check their results
// against what they promise callers.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "camera/usb_camera.h"
#include "platform/clock.h"

namespace {

[[noreturn]] void Fail(const char* what, long a = 0) {
    std::fprintf(stderr, "%s (%ld)\n", what, a);
    std::abort();
}

// The input, read from the front. Past its end every read gives 0 and
// `Exhausted` is true: the driver then fails every call, so the run ends.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Exhausted() const { return at_ >= size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint16_t Word() { return static_cast<std::uint16_t>((Byte() << 8) | Byte()); }
    std::uint32_t Long() { return (std::uint32_t{Word()} << 16) | Word(); }
    // Up to `n` bytes into `out`; the rest of it is left as it is.
    void Fill(std::uint8_t* out, std::size_t n) {
        const std::size_t k = std::min(n, size_ - std::min(at_, size_));
        std::memcpy(out, data_ + at_, k);
        at_ += k;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

constexpr std::uint32_t kGone = LVX_RESULT(LVX_CODE_DEVICE, LVX_INF_DISCONNECT);
constexpr std::uint32_t kCompleted = LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_NONE);
constexpr std::uint32_t kBusReset = LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_BUSRESET);
constexpr char kIdentity[] = "VORNE   M740            1.00";

// How a transfer ends, from its control byte.
enum Ending { kAtOnce, kLater, kInsideCall, kNever, kDropped, kEndings };

class ReplyDriver {
public:
    // The clock's alarms may still hold this driver: it must outlive them.
    ReplyDriver(Input& in, platform::VirtualClock& clock) : in_(in), clock_(clock) {}

    static ReplyDriver*& Current() {
        static ReplyDriver* driver = nullptr;
        return driver;
    }
    static std::uint32_t Entry(std::uint32_t selector, void* block, std::uint32_t) {
        return Current()->Answer(selector, block);
    }

private:
    // A failed call's result: any number but 0.
    std::uint32_t Failure() {
        const std::uint32_t r = in_.Long();
        return r != 0 ? r : kGone;
    }

    std::uint32_t Answer(std::uint32_t selector, void* block) {
        if (in_.Exhausted()) return kGone;
        switch (selector) {
            case LVX_SEL_OPEN_DRIVER: {
                const std::uint8_t c = in_.Byte();
                if (c & 1) return Failure();
                static_cast<LvxOpenDriverBlock*>(block)->driverHandle = in_.Byte();
                return 0;
            }
            case LVX_SEL_GET_DEVICELIST: {
                auto* b = static_cast<LvxDeviceListBlock*>(block);
                const std::uint8_t c = in_.Byte();
                if (c & 1) return Failure();
                const std::uint32_t count = in_.Byte();
                // Never more ids than the caller has room for.
                if (b->ids)
                    for (std::uint32_t i = 0; i < std::min(count, b->count); ++i) b->ids[i] = in_.Byte();
                b->count = count;
                return 0;
            }
            case LVX_SEL_GET_DEVICEINFO: {
                auto* b = static_cast<LvxDeviceInfoBlock*>(block);
                const std::uint8_t c = in_.Byte();
                if (c & 1) return Failure();
                if (b->buffer) {
                    if (c & 2)
                        std::memcpy(b->buffer + 8, kIdentity, 28);
                    else
                        in_.Fill(b->buffer, LVX_DEVICEINFO_SIZE);
                }
                return 0;
            }
            case LVX_SEL_OPEN_DEVICE: {
                auto* b = static_cast<LvxOpenDeviceBlock*>(block);
                const std::uint8_t c = in_.Byte();
                if (c & 1) return Failure();
                onEvent_ = b->onEvent;
                b->deviceHandle = in_.Byte();
                deviceOpen_ = true;
                holding_ = false;
                return 0;
            }
            case LVX_SEL_EXECUTE_IO:
                return Execute(*static_cast<LvxExecuteIoBlock*>(block));
            case LVX_SEL_CLOSE_DEVICE:
                // Whether or not this library keeps its word and cancels a
                // transfer it holds, the link must expect nothing more of it.
                deviceOpen_ = false;
                holding_ = false;
                return in_.Byte() & 1 ? Failure() : 0;
            case LVX_SEL_CLOSE_DRIVER:
                deviceOpen_ = false;
                holding_ = false;
                return in_.Byte() & 1 ? Failure() : 0;
            default:
                Fail("unknown selector", static_cast<long>(selector));
        }
    }

    // The answer of one transfer, written into the caller's buffers when it
    // completes.
    struct Answered {
        std::uint8_t* data = nullptr;
        std::vector<std::uint8_t> bytes;
        std::uint8_t* sense = nullptr;
        std::uint8_t senseAt = 0, senseValue = 0;
        std::uint32_t status = 0;
        void WriteInto() const {
            if (data) std::memcpy(data, bytes.data(), bytes.size());
            sense[senseAt % LVX_SENSE_LENGTH] |= senseValue;
        }
    };

    std::uint32_t Execute(LvxExecuteIoBlock& io) {
        if (!deviceOpen_) Fail("transfer on a closed device");
        if (holding_) Fail("transfer while the library still holds one");
        if (io.commandLength != 6 && io.commandLength != 16) Fail("command block length", io.commandLength);
        if (io.senseLength != LVX_SENSE_LENGTH || !io.sense) Fail("sense buffer");
        if ((io.dataLength != 0) != (io.data != nullptr)) Fail("data buffer and length disagree", io.dataLength);

        const std::uint8_t c = in_.Byte();
        Answered a;
        a.sense = io.sense;
        if (c & 0x08) {
            a.senseAt = in_.Byte();
            a.senseValue = in_.Byte();
        }
        a.status = c & 0x10 ? in_.Long() : 0;
        if (io.direction == LVX_DIR_IN && io.dataLength != 0) {
            a.data = io.data;
            a.bytes.assign(io.dataLength, 0);
            if (c & 0x20) in_.Fill(a.bytes.data(), a.bytes.size());
            if (c & 0x40) WellFormed(io.command, a.bytes);
        }

        const Ending ending = static_cast<Ending>((c & 0x07) % kEndings);
        if (ending == kAtOnce) {
            a.WriteInto();
            return a.status;
        }
        io.pending = 1;
        const LvxEventRoutine onEvent = onEvent_;
        switch (ending) {
            case kInsideCall:
                a.WriteInto();
                onEvent(kCompleted, a.status);
                break;
            case kLater: {
                holding_ = true;
                const bool twice = (c & 0x80) != 0;
                // Later than the link waits, this writes into a transfer it
                // has given up on: that storage must still be there.
                clock_.After(in_.Word(), [this, a, onEvent, twice] {
                    Notified();
                    a.WriteInto();
                    onEvent(kCompleted, a.status);
                    if (twice) onEvent(kCompleted, a.status);
                });
                break;
            }
            case kDropped:
                holding_ = true;
                clock_.After(in_.Word(), [this, onEvent] {
                    Notified();
                    onEvent(kBusReset, 0);
                });
                break;
            default:
                holding_ = true;  // until the device closes
                break;
        }
        return 0;
    }

    // The notification names no transfer: whichever one is pending when it
    // comes, the link may take it as ended, and so does this library (a
    // late one, for a transfer given up on, ends the one pending now).
    void Notified() { holding_ = false; }

    // The fields a well-behaved camera gets right: the property reply's
    // length and echo, the microcontroller's "done".
    static void WellFormed(const std::uint8_t* cdb, std::vector<std::uint8_t>& bytes) {
        if (cdb[0] == 0xEA && bytes.size() >= 4) {
            bytes[0] = 0;
            bytes[1] = 4;
            bytes[2] = cdb[1];
        }
        if (cdb[0] == 0xFE && cdb[2] == 0x91 && cdb[3] == 0x80) bytes[0] = 'a';
    }

    Input& in_;
    platform::VirtualClock& clock_;
    LvxEventRoutine onEvent_ = nullptr;
    bool deviceOpen_ = false;
    bool holding_ = false;  // a pending transfer not yet ended, its device open
};

void Expect(bool ok, const char* what, int r) {
    if (!ok) Fail(what, r);
}

// A result number of the link: 1, or one of its error numbers.
void ExpectLinkResult(int r) { Expect(r >= 1 && r <= 14, "result out of the link's numbers", r); }

void RunOperation(Input& in, CUsbCamera& camera) {
    switch (in.Byte() % 16) {
        case 0:
            ExpectLinkResult(camera.ConnectCamera());
            break;
        case 1: {
            const int r = camera.OpenDriver();
            ExpectLinkResult(r);
            if (r == 1) ExpectLinkResult(camera.OpenDevice(in.Byte()));
            break;
        }
        case 2: {
            std::uint8_t value = 0;
            const int r = camera.DcmdGetProperty(in.Byte(), &value);
            Expect(r == 1 || r == 2 || r == 7 || r == 14, "property read result", r);
            break;
        }
        case 3: {
            ImageFileInfo info;
            ExpectLinkResult(camera.DcmdGetImageFileInfo(&info));
            break;
        }
        case 4: {
            const MeasureArea area{in.Word(), in.Word(), in.Word(), in.Word()};
            AreaMeasurement m;
            const int r = camera.ReadCcdAdjustData(area, &m);
            ExpectLinkResult(r);
            // The first eight arrive in tenths.
            if (r == 1)
                for (int i = 0; i < 8; ++i) Expect(m.m[i] <= 6553, "measurement not divided by 10", m.m[i]);
            break;
        }
        case 5: {
            // Numbers beyond the enumerations too: they must be refused.
            const auto area = static_cast<CameraMemory>(2 + in.Byte() % 5);
            const auto mode = static_cast<MemoryDirection>(in.Byte() % 3);
            const std::uint32_t address = in.Long() >> (in.Byte() % 32);
            const std::uint32_t n = in.Word() % 300;
            std::vector<std::uint8_t> buffer(in.Word() % 300 + 1);
            ExpectLinkResult(camera.AccessCameraMemory(area, mode, address, n, buffer.data(),
                                                       static_cast<std::uint32_t>(buffer.size())));
            break;
        }
        case 6: {
            std::uint16_t word = 0;
            double charge = 0;
            int r = 0;
            switch (in.Byte() % 6) {
                case 0: r = camera.SetInspectionMode(); break;
                case 1: r = camera.Release(); break;
                case 2: r = camera.CallSubroutine(in.Byte()); break;
                case 3: r = camera.ReadMcuWord(in.Byte(), &word); break;
                case 4: {
                    const std::uint64_t bits = (std::uint64_t{in.Long()} << 32) | in.Long();
                    std::memcpy(&charge, &bits, sizeof charge);
                    r = camera.ChargeInsideSb(charge);
                    break;
                }
                default: r = camera.SendPreFlash(in.Byte(), in.Word()); break;
            }
            ExpectLinkResult(r);
            break;
        }
        case 7: {
            const MeasureArea area{in.Word(), in.Word(), in.Word(), in.Word()};
            AreaMeasurement m;
            ExpectLinkResult(camera.CaptureAndMeasure(area, &m));
            break;
        }
        case 8: {
            const int count = in.Byte() % 8 - 1;
            AreaMeasurement m;
            const int r = camera.CaptureAndMeasureAveraged(count, MeasureArea{1400, 900, 300, 300}, &m);
            ExpectLinkResult(r);
            if (count < 1 || count > 5) Expect(r == 6, "averaged count out of range accepted", r);
            break;
        }
        case 9: {
            // A picture larger than the buffer must be refused, not written past it.
            std::vector<std::uint8_t> buffer(in.Word() % 4096 + 1);
            ImageFileInfo info;
            const int r = camera.CaptureRawImage(buffer.data(), static_cast<std::uint32_t>(buffer.size()), &info);
            Expect(r >= 0 && r <= 14, "raw capture result", r);
            if (r == 1) Expect(info.totalSize <= buffer.size(), "picture larger than the buffer accepted", r);
            break;
        }
        case 10:
            ExpectLinkResult(camera.SetShootingConditions(in.Byte(), in.Byte(), in.Byte(), in.Byte()));
            break;
        case 11: {
            const auto kind = static_cast<ConfigMemory>(in.Byte() % 4);
            std::vector<std::uint8_t> buffer(in.Word() % 2100 + 1);
            ExpectLinkResult(camera.TransferConfigMemory(kind, MemoryDirection::Read, in.Word(),
                                                         static_cast<std::uint32_t>(buffer.size()), buffer.data()));
            break;
        }
        case 12: {
            const auto kind = static_cast<ConfigMemory>(in.Byte() % 3);
            const auto mode = static_cast<MemoryDirection>(in.Byte() % 2);
            std::vector<std::uint8_t> buffer(in.Word() % 2100 + 1);
            const int r = camera.WriteConfigMemoryVerified(kind, mode, in.Word(),
                                                           static_cast<std::uint32_t>(buffer.size()), buffer.data());
            Expect(r == 0 || r == 1, "verified transfer result", r);
            break;
        }
        case 13: {
            CameraDateTime dt;
            ExpectLinkResult(camera.DcmdGetDateTime(&dt));
            break;
        }
        case 14:
            Expect(camera.DisconnectCamera() == 1, "disconnect failed", 0);
            break;
        default: {
            std::vector<std::uint8_t> buffer(in.Byte() % 8 + 1);
            ExpectLinkResult(
                camera.ReceiveMcuResponse(in.Byte() % 8, buffer.data(), static_cast<std::uint32_t>(buffer.size())));
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    platform::VirtualClock clock;
    {
        ReplyDriver driver(in, clock);
        ReplyDriver::Current() = &driver;
        CUsbCamera::BindDriverEntry(&ReplyDriver::Entry);
        CUsbCamera camera(clock);
        while (!in.Exhausted()) RunOperation(in, camera);
        camera.DisconnectCamera();
        CUsbCamera::BindDriverEntry(nullptr);
    }
    return 0;
}
