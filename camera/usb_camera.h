#pragma once
// CUsbCamera: the station's one link to the camera. Binding to the driver
// library, the device session, and the camera's command sets: the checker
// commands with the microcontroller test channel, the DCMD and operation
// commands, and image capture with the camera's own area measurement.
//
// Every operation returns 1 on success or one of the link's own numbers
// (camera/result_numbers.h); the few that return 0 say so.
//
// The link state is module-wide (there is one camera, and the driver's
// notification routines carry no context): library, handles, flags.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "camera/lvx_driver.h"
#include "camera/result_numbers.h"

namespace platform {
class Clock;
class SharedLibrary;
}  // namespace platform

// The configuration memories, as TransferConfigMemory numbers them.
enum class ConfigMemory : int { CcdEeprom = 0, TftEeprom = 1, RamConfig = 2 };
// The microcontroller's memory areas, as AccessCameraMemory numbers them: its
// DRAM holds the working copy of an EEPROM value at the EEPROM address + 1024.
enum class CameraMemory : int { Dram = 3, Eeprom = 4, Area5 = 5 };
// Which way a memory transfer goes, as both number it.
enum class MemoryDirection : int { Write = 0, Read = 1 };

// Measurement area in pixels.
struct MeasureArea {
    std::uint16_t x = 0, y = 0, width = 0, height = 0;
};

// The camera's area measurement: m[0] Gr, m[1] R, m[2] Gb, m[3] B means in
// LSB, m[4..7] further values in LSB, m[8..15] as the camera reports them.
struct AreaMeasurement {
    std::uint16_t m[16] = {};
    std::uint16_t Gr() const { return m[0]; }
    std::uint16_t R() const { return m[1]; }
    std::uint16_t Gb() const { return m[2]; }
    std::uint16_t B() const { return m[3]; }
};

// Image file information, from the 31-byte reply of DCMD_GET_IMAGE_FILE_INFO.
struct ImageFileInfo {
    std::uint16_t leading = 0;
    std::uint32_t totalSize = 0;      // bytes of image data; 0: no image
    std::uint32_t firstPartSize = 0;  // bytes sent as part 0
    std::uint32_t blockSize = 0;      // transfer block of part 1
    std::uint32_t fourth = 0;
    std::uint32_t fifth = 0;
    std::uint8_t status = 0;  // 0 for a usable image
    std::uint8_t afterStatus = 0;
    std::uint16_t trailing = 0;
    std::uint8_t trailingBytes[5] = {};
};

// The 9-byte date and time block.
struct CameraDateTime {
    std::uint16_t word0 = 0, word1 = 0;
    std::uint8_t bytes[5] = {};
};

class CUsbCamera {
public:
    // `showStopMessage` shows the one message that the link shows itself:
    // the driver library that cannot be loaded.
    CUsbCamera(platform::Clock& clock, std::function<void(const std::string&)> showStopMessage = {});
    virtual ~CUsbCamera();

    // ---- binding and session ------------------------------------------------
    // The file name of the driver library (default LVX_DRIVER_LIBRARY_NAME).
    static void SetDriverLibraryName(const std::string& name);
    // Binds an entry directly instead of loading a library (tests).
    static void BindDriverEntry(LvDriverEntryFn entry);
    // The loaded library (null when bound directly or not loaded).
    static platform::SharedLibrary* DriverLibrary();
    static constexpr std::uint8_t kLibraryLoaded = 0x01;
    static constexpr std::uint8_t kDriverOpen = 0x02;
    static constexpr std::uint8_t kDeviceOpen = 0x04;
    static std::uint8_t LinkFlags();  // kLibraryLoaded, kDriverOpen, kDeviceOpen
    static void SetLinkFlags(std::uint8_t flags);

    int LoadDriverLibrary();
    void FreeDriverLibrary();
    int ConnectCamera();
    int OpenDriver();
    int FindCameraDevice(std::uint32_t* deviceId);
    int OpenDevice(std::uint32_t deviceId);
    int InquiryDevice();
    int DisconnectCamera();

    // One command of either layout through LVX_SEL_EXECUTE_IO.
    int ExecuteCheckerCommand(std::uint8_t cls, std::uint16_t code, std::uint32_t address, std::uint32_t length,
                              std::uint32_t parameter, std::uint8_t direction, std::uint8_t* data);
    int ExecuteCameraCommand(std::uint8_t opcode, std::uint8_t parameter, std::uint32_t length, std::uint8_t direction,
                             std::uint8_t* data);

    // The driver's notification routines.
    static void OnDriverEvent(std::uint32_t eventCode, std::uint32_t value);
    static void OnIoComplete(std::uint32_t status);

    // ---- checker command set ------------------------------------------------
    int OpenChecker();
    int CloseChecker();
    // The camera's command surface, with no caller yet: not dead code.
    int ReadFirmwareVersion(std::uint8_t* buffer128);
    int TransferConfigMemory(ConfigMemory kind, MemoryDirection mode, std::uint32_t address, std::uint32_t n,
                             std::uint8_t* buffer);
    // Transfer, wait 100 ms, read back and compare: 1 when all agree, 0 when
    // they differ, a step fails, or the arguments are bad (n above 2048:
    // nothing is sent).
    int WriteConfigMemoryVerified(ConfigMemory kind, MemoryDirection mode, std::uint32_t address, std::uint32_t n,
                                  std::uint8_t* buffer);
    // Reads n bytes back and compares them with `expected`: 1 when the
    // camera holds them, 0 when it holds others, else the read's number.
    int ConfigMemoryHolds(ConfigMemory kind, std::uint32_t address, std::uint32_t n, const std::uint8_t* expected);
    int ReadCcdAdjustData(const MeasureArea& area, AreaMeasurement* out);
    int SetPlayMode(int mode);    // 0 on, 1 off
    int SetVideoMode(int mode);   // 0 NTSC, 1 PAL
    int ShowTestPattern(int index);  // 0-21
    int SendUpdateCommand(int index);  // 0-7
    int SetCcdPower(int mode);    // 0 on, 1 off
    int SetOb(int flag);          // 0-1
    // The camera's command surface, with no caller yet: not dead code.
    int SetLanguage(std::uint8_t language);
    // The camera's command surface, with no caller yet: not dead code.
    int ResetMenu(const std::uint8_t* data22);
    int CheckCfLed(int flag);     // 0-1
    // The camera's command surface, with no caller yet: not dead code.
    int CheckOpaline(std::uint8_t value);
    int CheckTftSwitch(std::uint8_t* value);
    int MakeFpgainTable();
    int SendMcuCommand(const std::uint8_t* bytes, std::uint32_t n);
    // The test channel moves at most one 256-byte frame each way; more is
    // refused (kLinkBadArgument).
    int ReceiveMcuResponse(std::uint32_t n, std::uint8_t* buffer);  // reads n + 1 bytes
    // As above, refused when n + 1 bytes do not fit bufferSize.
    int ReceiveMcuResponse(std::uint32_t n, std::uint8_t* buffer, std::uint32_t bufferSize);
    int SetInspectionMode();
    int CloseInspectionMode();
    int CallSubroutine(std::uint8_t number);
    int CallChecksumSubroutine();
    // A read fills bufferSize >= n + 2 bytes, the data first.
    int AccessCameraMemory(CameraMemory area, MemoryDirection mode, std::uint32_t address, std::uint32_t n,
                           std::uint8_t* buffer, std::uint32_t bufferSize);
    // As ConfigMemoryHolds, for the microcontroller's memory areas.
    int CameraMemoryHolds(CameraMemory area, std::uint32_t address, std::uint32_t n, const std::uint8_t* expected);

    // ---- DCMD and operation commands ----------------------------------------
    int DcmdOpenSession();
    int DcmdCloseSession();
    int DcmdChangeMode(int mode);     // 0 or 1
    int DcmdTakePicture(int mode);    // 0 or 1
    int DcmdGetImageFileInfo(ImageFileInfo* info);
    int DcmdGetImage(int part, std::uint32_t n, std::uint8_t* buffer);
    // The camera's command surface, with no caller yet: not dead code.
    int DcmdGetImageAlt(int part, std::uint32_t n, std::uint8_t* buffer);
    int DcmdGetProperty(std::uint8_t id, std::uint8_t* value);
    int DcmdSetProperty(std::uint8_t id, std::uint8_t value);
    int DcmdDeviceReady();
    int DcmdGetDateTime(CameraDateTime* dt);
    // The camera's command surface, with no caller yet: not dead code.
    int DcmdSetDateTime(const CameraDateTime& dt);
    int Release();
    int ChargeInsideSb(double value);
    int SendPreFlash(std::uint8_t level, std::uint16_t w);
    int SendMainFlash(std::uint8_t level, std::uint16_t w);
    int FireInsideSb(std::uint16_t w);
    int CopyCameraMemory(int selector, std::uint16_t p, std::uint16_t q);
    int ReadMcuWord(std::uint8_t n, std::uint16_t* value);

    // ---- capture and measurement --------------------------------------------
    int SetPropertyVerified(std::uint8_t id, std::uint8_t* value);
    int SetShootingConditions(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);
    int ResumeSession();
    int CaptureImageInfo(ImageFileInfo* info);
    int CaptureAndMeasure(const MeasureArea& area, AreaMeasurement* out);
    // count 1 to 5, else kLinkBadArgument before any picture.
    int CaptureAndMeasureAveraged(int count, const MeasureArea& area, AreaMeasurement* out);
    // `buffer` holds bufferSize bytes; a picture larger than that, or one
    // reported with block size 0, gives kLinkNoPicture before any transfer.
    // A failed block gives 0.
    int CaptureRawImage(std::uint8_t* buffer, std::uint32_t bufferSize, ImageFileInfo* info);

    platform::Clock& GetClock() const { return m_clock; }

private:
    int CapturePreamble(ImageFileInfo* info, int infoWaitMs, std::uint8_t* imageCount = nullptr);
    int McuExchange(const std::uint8_t* bytes, std::uint32_t n);

    platform::Clock& m_clock;
    std::function<void(const std::string&)> m_showStopMessage;
};
