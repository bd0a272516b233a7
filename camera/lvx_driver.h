/* The driver call interface of the camera maker's USB driver library, shared
 * by the station and the simulated library. One exported entry takes a
 * selector, the address of the selector's parameter block and the driver
 * handle, and returns 0 on success.
 *
 * The blocks are C structs of 32-bit words; address words are pointers, so a
 * 32-bit build has exactly the documented sizes and offsets, and a 64-bit
 * build widens the address words to the pointer size.
 *
 * Completion of a pending transfer: a transfer that the library cannot finish
 * within LVX_SEL_EXECUTE_IO sets the block's `pending` word and returns 0.
 * When it finishes, the library calls the event routine registered with
 * LVX_SEL_OPEN_DEVICE with an event code whose main code is LVX_CODE_NOTIFY
 * (sub code LVX_INF_NONE) and the transfer's result as the second argument;
 * the data and sense buffers of the transfer are written only then, and are
 * complete before that call. Any other notification while a transfer is
 * pending (bus reset, disconnect, status change) means the library has
 * dropped it: it writes nothing more and no completion follows. Closing the
 * device (LVX_SEL_CLOSE_DEVICE) cancels its pending transfer likewise. The
 * call may come from a thread of the library's own, so the station keeps what
 * it hears in atomics and only reads them in its poll.
 */
#ifndef LVX_DRIVER_H
#define LVX_DRIVER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum LvxSelector {
    LVX_SEL_OPEN_DRIVER = 1,
    LVX_SEL_GET_DEVICELIST = 2,
    LVX_SEL_GET_DEVICEINFO = 3,
    LVX_SEL_OPEN_DEVICE = 4,
    LVX_SEL_EXECUTE_IO = 5,
    LVX_SEL_CLOSE_DEVICE = 6,
    LVX_SEL_CLOSE_DRIVER = 7,
};

/* A result is a main code (high half) and a sub code (low half). */
#define LVX_RESULT(main, sub) ((uint32_t)(((uint32_t)(main) << 16) | ((uint32_t)(sub) & 0xFFFFu)))
#define LVX_MAIN_CODE(result) ((uint32_t)(result) >> 16)
#define LVX_SUB_CODE(result) ((uint32_t)(result) & 0xFFFFu)

enum LvxMainCode {
    LVX_CODE_NONE = 0,
    LVX_CODE_DRIVER = 1,
    LVX_CODE_INTERFACE = 2,
    LVX_CODE_DEVICE = 3,
    LVX_CODE_NOTIFY = 0x1000,
};

enum LvxSubCode {
    LVX_INF_NONE = 0,
    LVX_INF_BUSY = 1,
    LVX_INF_OVERBUFFER = 2,
    LVX_INF_ABORT = 3,
    LVX_INF_DISCONNECT = 4,
    LVX_INF_TIMEOUT = 5,
    LVX_INF_STATUSCHANGE = 6,
    LVX_INF_BUSRESET = 7,
    LVX_ERR_UNSUPPORT = 0x1001,
    LVX_ERR_NOMEMORY = 0x1002,
    LVX_ERR_SEQUENCE = 0x1003,
    LVX_ERR_INVALIDPARAM = 0x1004,
    LVX_ERR_NOINTERFACE = 0x1005,
    LVX_ERR_VERSION = 0x1006,
    LVX_ERR_UNEXPECTED = 0x1007,
    LVX_ERR_NODEVICE = 0x1008,
    LVX_ERR_NORESOURCE = 0x1011,
    LVX_ERR_SESSIONFAIL = 0x1012,
};

enum LvxDirection {
    LVX_DIR_NONE = 0,
    LVX_DIR_IN = 1,  /* camera to host */
    LVX_DIR_OUT = 2, /* host to camera */
};

#define LVX_DRIVER_VERSION "1200"
#define LVX_DEVICELIST_TAG 8192u
#define LVX_DEVICEINFO_SIZE 256u
#define LVX_SENSE_LENGTH 18u

/* LVX_SEL_OPEN_DRIVER, 20 bytes. */
typedef struct LvxOpenDriverBlock {
    char version[4];      /* "1200", no terminator */
    uint32_t reserved[3];
    uint32_t driverHandle; /* out */
} LvxOpenDriverBlock;

/* LVX_SEL_GET_DEVICELIST. */
typedef struct LvxDeviceListBlock {
    uint32_t tag;   /* LVX_DEVICELIST_TAG */
    uint32_t count; /* in: capacity of ids (0 to ask); out: number of devices */
    uint32_t* ids;  /* null to ask */
} LvxDeviceListBlock;

/* LVX_SEL_GET_DEVICEINFO. The buffer receives the device information;
 * bytes 8-35 are the vendor (8), product (16) and revision (4), blank-padded. */
typedef struct LvxDeviceInfoBlock {
    uint32_t deviceId;
    uint32_t zero;
    uint32_t reserved;
    uint8_t* buffer; /* LVX_DEVICEINFO_SIZE bytes, or null on a first call */
} LvxDeviceInfoBlock;

typedef void (*LvxEventRoutine)(uint32_t eventCode, uint32_t value);

/* LVX_SEL_OPEN_DEVICE, 20 bytes on a 32-bit build. */
typedef struct LvxOpenDeviceBlock {
    uint32_t deviceId;
    uint32_t deviceHandle; /* out */
    uint32_t reserved0;
    LvxEventRoutine onEvent;
    uint32_t reserved1;
} LvxOpenDeviceBlock;

/* LVX_SEL_EXECUTE_IO, 44 bytes on a 32-bit build. A transfer is good only if
 * the result is 0 and all sense bytes stay 0. */
typedef struct LvxExecuteIoBlock {
    uint32_t deviceHandle;
    uint32_t direction;     /* LvxDirection */
    uint32_t reserved0;
    uint32_t pending;       /* out: non-zero when the transfer completes later */
    uint32_t reserved1;
    uint32_t commandLength; /* 6 or 16 */
    uint8_t* command;
    uint32_t dataLength;
    uint8_t* data;          /* null with length 0 */
    uint32_t senseLength;   /* LVX_SENSE_LENGTH */
    uint8_t* sense;         /* zeroed by the caller */
} LvxExecuteIoBlock;

/* LVX_SEL_CLOSE_DEVICE, 20 bytes. */
typedef struct LvxCloseDeviceBlock {
    uint32_t reserved0;
    uint32_t deviceHandle;
    uint32_t reserved[3];
} LvxCloseDeviceBlock;

/* LVX_SEL_CLOSE_DRIVER, 20 bytes. */
typedef struct LvxCloseDriverBlock {
    uint32_t reserved[5];
} LvxCloseDriverBlock;

typedef uint32_t (*LvDriverEntryFn)(uint32_t selector, void* block, uint32_t driverHandle);

#define LVX_DRIVER_ENTRY_NAME "LvDriverEntry"
#define LVX_DRIVER_LIBRARY_NAME "libLvxStor.so"

#ifdef __cplusplus
}
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
#ifdef __cplusplus
#include <cstddef>
static_assert(offsetof(LvxOpenDriverBlock, driverHandle) == 16, "open driver block");
static_assert(offsetof(LvxDeviceListBlock, ids) == 8, "device list block");
static_assert(offsetof(LvxDeviceInfoBlock, buffer) == 12, "device info block");
static_assert(offsetof(LvxOpenDeviceBlock, deviceHandle) == 4, "open device block");
static_assert(offsetof(LvxOpenDeviceBlock, onEvent) == 12, "open device block");
static_assert(offsetof(LvxExecuteIoBlock, pending) == 12, "execute block");
static_assert(offsetof(LvxExecuteIoBlock, commandLength) == 20, "execute block");
static_assert(offsetof(LvxExecuteIoBlock, command) == 24, "execute block");
static_assert(offsetof(LvxExecuteIoBlock, dataLength) == 28, "execute block");
static_assert(offsetof(LvxExecuteIoBlock, data) == 32, "execute block");
static_assert(offsetof(LvxExecuteIoBlock, senseLength) == 36, "execute block");
static_assert(offsetof(LvxExecuteIoBlock, sense) == 40, "execute block");
static_assert(offsetof(LvxCloseDeviceBlock, deviceHandle) == 4, "close device block");
static_assert(sizeof(LvxOpenDriverBlock) == 20, "open driver block");
static_assert(sizeof(LvxDeviceListBlock) == 12, "device list block");
static_assert(sizeof(LvxDeviceInfoBlock) == 16, "device info block");
static_assert(sizeof(LvxOpenDeviceBlock) == 20, "open device block");
static_assert(sizeof(LvxExecuteIoBlock) == 44, "execute block");
static_assert(sizeof(LvxCloseDeviceBlock) == 20, "close device block");
static_assert(sizeof(LvxCloseDriverBlock) == 20, "close driver block");
#endif
#endif

#endif /* LVX_DRIVER_H */
