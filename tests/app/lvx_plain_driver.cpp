// A driver library of a bench without a camera and without the simulator's
// bench API: the driver opens and closes, the bus is empty. The station must
// run against it the same as against any real camera's library.

#include <cstdint>

#include "camera/lvx_driver.h"

extern "C" __attribute__((visibility("default"))) std::uint32_t LvDriverEntry(std::uint32_t selector, void* block,
                                                                             std::uint32_t /*driverHandle*/) {
    switch (selector) {
        case LVX_SEL_OPEN_DRIVER:
            static_cast<LvxOpenDriverBlock*>(block)->driverHandle = 0x51;
            return 0;
        case LVX_SEL_GET_DEVICELIST:
            static_cast<LvxDeviceListBlock*>(block)->count = 0;
            return 0;
        case LVX_SEL_CLOSE_DRIVER:
            return 0;
        default:
            return LVX_RESULT(LVX_CODE_DEVICE, LVX_ERR_NODEVICE);
    }
}
