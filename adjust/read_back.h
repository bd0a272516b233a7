#pragma once
// A write that the camera acknowledges is read back before anything relies
// on it. What a read-back that differs reports, by the memory written (the
// messages name it); the verified writes of configuration memory keep 3.

inline constexpr int kRamConfigNotHeld = 10;  // "USB：RAM－CONFIG書き込みエラー"
inline constexpr int kDramNotHeld = 11;       // "USB：メインRAM書き込みエラー"
inline constexpr int kMcuEepromNotHeld = 12;  // "USB：メインEEPROM書き込みエラー"
// The CCD EEPROM that does not hold, after the update commands that commit
// it to flash and unpack it again, what was written
// ("USB：CCDEEPROM書き込みエラー", as 9 is for the write itself).
inline constexpr int kFlashNotHeld = 15;

// A read-back (CUsbCamera::ConfigMemoryHolds, CameraMemoryHolds) as a
// result: 1 when the camera holds the bytes, `notHeld` when it holds
// others, 3 when the read fails.
inline int HeldResult(int holds, int notHeld) { return holds == 1 ? 1 : holds == 0 ? notHeld : 3; }
