#pragma once
// A write that the camera acknowledges is read back before anything relies
// on it. A read-back that differs is reported by the memory written (the
// messages name it): kErrUsbRamConfigWrite, kErrUsbMainRamWrite,
// kErrUsbMainEepromWrite, and kErrUsbCcdEepromFlash for a CCD EEPROM that
// does not hold, after the update commands that commit it to flash and
// unpack it again, what was written. The verified writes of configuration
// memory keep kErrUsbCommunication.

#include "camera/result_numbers.h"

// A read-back (CUsbCamera::ConfigMemoryHolds, CameraMemoryHolds) as a
// result: 1 when the camera holds the bytes, `notHeld` when it holds
// others, kErrUsbCommunication when the read fails.
inline int HeldResult(int holds, int notHeld) { return holds == 1 ? 1 : holds == 0 ? notHeld : kErrUsbCommunication; }
