// The record of the stand-in camera's driver library (libLvxCamera.so): every
// call of its driver entry with the real time it came in.

#pragma once

#include <cstdint>

extern "C" {

struct LvxCameraCall {
    char command[40];    // "GET_DEVICELIST", "INQUIRY", "DCMD_GET_PROPERTY 64", "DXC_CCD_POWERON", ...
    std::int64_t steadyNs;  // std::chrono::steady_clock, since its epoch
    bool refused;        // the camera answered with an error
};

// The calls since the library was loaded or last reset.
typedef std::uint32_t (*LvxCameraRecordFn)(const LvxCameraCall** calls);
// Forgets the calls and puts the camera back as it came: off the bus for the
// first searches, then on it.
typedef void (*LvxCameraResetFn)(void);

#define LVX_CAMERA_RECORD "LvxCameraRecord"
#define LVX_CAMERA_RESET "LvxCameraReset"
}
