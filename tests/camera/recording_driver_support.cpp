#include "tests/camera/recording_driver_support.h"

#include <algorithm>
#include <cstring>

namespace camtest {

RecordingDriver& RecordingDriver::Get() {
    static RecordingDriver driver;
    return driver;
}

void RecordingDriver::Reset() { *this = RecordingDriver{}; }

void RecordingDriver::Complete(std::uint32_t result) {
    if (onEvent) onEvent(LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_NONE), result);
}

std::uint32_t RecordingDriver::Entry(std::uint32_t selector, void* block, std::uint32_t) {
    RecordingDriver& d = Get();
    switch (selector) {
        case LVX_SEL_OPEN_DRIVER:
            static_cast<LvxOpenDriverBlock*>(block)->driverHandle = 0x55;
            return 0;
        case LVX_SEL_GET_DEVICELIST: {
            auto* b = static_cast<LvxDeviceListBlock*>(block);
            const auto n = static_cast<std::uint32_t>(d.identities.size());
            if (b->ids)
                for (std::uint32_t i = 0; i < std::min(n, b->count); ++i) b->ids[i] = i + 1;
            b->count = n;
            return 0;
        }
        case LVX_SEL_GET_DEVICEINFO: {
            auto* b = static_cast<LvxDeviceInfoBlock*>(block);
            if (b->deviceId == 0 || b->deviceId > d.identities.size()) return LVX_RESULT(LVX_CODE_DRIVER, LVX_ERR_NODEVICE);
            if (b->buffer) {
                std::memset(b->buffer, 0, LVX_DEVICEINFO_SIZE);
                const std::string& id = d.identities[b->deviceId - 1];
                std::memcpy(b->buffer + 8, id.data(), std::min<std::size_t>(id.size(), 28));
            }
            return 0;
        }
        case LVX_SEL_OPEN_DEVICE: {
            auto* b = static_cast<LvxOpenDeviceBlock*>(block);
            d.openedDevice = b->deviceId;
            d.onEvent = b->onEvent;
            b->deviceHandle = 0x77;
            return 0;
        }
        case LVX_SEL_EXECUTE_IO: {
            auto* io = static_cast<LvxExecuteIoBlock*>(block);
            Sent s;
            s.cdb.assign(io->command, io->command + io->commandLength);
            s.direction = io->direction;
            s.length = io->dataLength;
            if (io->direction == LVX_DIR_OUT && io->data) s.data.assign(io->data, io->data + io->dataLength);
            ScriptedReply r;
            if (!d.replies.empty()) {
                r = std::move(d.replies.front());
                d.replies.pop_front();
            } else if (s.cdb.size() == 16 && s.cdb[0] == 0xFE && s.cdb[2] == 0x91 && s.cdb[3] == 0x80) {
                r.dataIn = {'a'};  // the microcontroller's "done"
            }
            if (io->direction == LVX_DIR_IN && io->data) {
                std::memset(io->data, 0, io->dataLength);
                if (!r.dataIn.empty())
                    std::memcpy(io->data, r.dataIn.data(), std::min<std::size_t>(r.dataIn.size(), io->dataLength));
            }
            if (r.senseByte) io->sense[2] = r.senseByte;
            d.sent.push_back(std::move(s));
            if (r.pending) {
                io->pending = 1;
                return 0;
            }
            return r.result;
        }
        case LVX_SEL_CLOSE_DEVICE:
            ++d.closeDeviceCalls;
            return 0;
        case LVX_SEL_CLOSE_DRIVER:
            ++d.closeDriverCalls;
            return 0;
        default:
            return LVX_RESULT(LVX_CODE_DRIVER, LVX_ERR_UNSUPPORT);
    }
}

}  // namespace camtest
