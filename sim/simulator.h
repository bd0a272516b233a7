#pragma once
// The simulated driver library and the cameras on its bus, as C++ for tests
// that link sim_core directly. The station itself only ever sees the driver
// entry (and the bench API of sim/bench_api.h) of the shared library.
//
// Single-threaded: the entry, the bench and every accessor here are meant to
// be called from one thread (the station's), as the station does. A pending
// transfer ends when the test calls Simulator::CompletePending or
// Simulator::InterruptPending, e.g. from a platform::VirtualClock alarm while
// the station polls, or later.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "camera/lvx_driver.h"
#include "sim/bench_api.h"
#include "sim/model.h"
#include "sim/unit_profile.h"

namespace sim {

// The driver entry (C++ side). The shared library exports it as
// LvDriverEntry; sim_core also exports it with C linkage as
// SimLvDriverEntry for tests that bind an LvDriverEntryFn directly.
std::uint32_t LvDriverEntry(std::uint32_t selector, void* block, std::uint32_t driverHandle);
// What the shared library exports (sim/bench_api.cpp): the driver entry with
// whatever the simulator throws ending as a driver failure, and the bench API
// over this process's simulator, which a program that links the core uses too.
std::uint32_t GuardedLvDriverEntry(std::uint32_t selector, void* block, std::uint32_t driverHandle);
const SimBenchApi& BenchApi();

// The identity a camera reports: vendor (8), product (16), revision (4).
inline constexpr const char* kCameraIdentity = "VORNE   M740            1.00";
// What another maker's device on the bus reports by default.
inline constexpr const char* kForeignIdentity = "KESTREL USB MASS STORAGE2.10";

// Sense data the camera answers with (fixed format, 18 bytes).
using Sense = std::array<std::uint8_t, LVX_SENSE_LENGTH>;
Sense MakeSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq = 0);
inline constexpr std::uint8_t kSenseNotReady = 0x02;
inline constexpr std::uint8_t kSenseIllegalRequest = 0x05;
// Additional sense codes the camera uses.
inline constexpr std::uint8_t kAscNotReady = 0x04;         // not ready (busy, CCD power off)
inline constexpr std::uint8_t kAscInvalidOpcode = 0x20;    // command not known
inline constexpr std::uint8_t kAscOutOfRange = 0x21;       // address or length outside the memory
inline constexpr std::uint8_t kAscInvalidField = 0x24;     // a field of the block, length or direction
inline constexpr std::uint8_t kAscSequenceError = 0x2C;    // checker closed, no session, no picture

// The camera's memories.
enum class Memory {
    CcdEeprom,       // working copy (kind 0)
    CcdEepromFlash,  // the EEPROM itself
    TftEeprom,       // working copy (kind 1)
    TftEepromFlash,
    RamConfig,       // kind 2
    McuEeprom,       // area 4
    McuDram,         // area 3
    McuScratch,      // area 5
};
inline constexpr std::size_t kMcuScratchSize = 256;

// The update commands (DXC_UPDATECOMMAND codes). The CCD EEPROM sits on the
// sensor board, so the 0x2x and 0x5x ones need the CCD power, like its
// transfers:
//   0x2101 working copy reloaded from flash (edits discarded)
//   0x2102 working copy committed to flash
//   0x2F00 flash unpacked into the working copy and into RAM configuration
//   0x3101 TFT working copy reloaded from flash   0x3102 committed to flash
//   0x3F00 TFT flash unpacked into the working copy
//   0x5F00 CCD EEPROM flash unpacked into RAM configuration only
//   0x5E00 RAM configuration's blocks packed back into the CCD working copy
// Unpacking copies the blocks 160 (12), 248 (38), 370..1935 and 1936 (40)
// to their address + 152 and puts the unpacked aperture gains in force (as
// DXC_MAKE_FPGAIN_TABLE would); the camera does the same at start, where RAM
// configuration 1552..1559 (no EEPROM block behind it) starts as four
// words of 256.

// The microcontroller's EEPROM checksum ("Gq"): a 16-bit sum of bytes
// 0..kMcuChecksumEnd-1, stored big-endian at kMcuChecksumEnd. Checked at
// every camera start; a bad sum sets Camera::McuChecksumBad() and makes the
// camera report battery state 3 (property 71) until the next good start.
inline constexpr std::size_t kMcuChecksumEnd = kMcuEepromSize - 2;
std::uint16_t McuChecksum(const std::vector<std::uint8_t>& eeprom);

// The states that the checker and DCMD commands switch.
struct CameraModes {
    bool checkerOpen = false;
    bool ccdPower = false;     // off at start
    bool inspection = false;   // microcontroller inspection mode
    bool session = false;
    int sessionMode = 0;       // DCMD_CHANGE_MODE
    bool playMode = false;     // DXC_PLAY_ON
    int videoMode = 0;         // 0 NTSC, 1 PAL
    int testPattern = -1;      // pattern code shown, -1 none
    bool ob = false;           // DXC_SET_OB
    std::uint8_t language = 0;
    std::vector<std::uint8_t> menu;  // last DXC_MENU_RESET data
    int menuResets = 0;
    int cfLed = 0;
    int opaline = -1;          // last DXC_CHECK_CHECK_OPALINE byte
    std::uint8_t tftSwitch = 0;  // what DXC_CHECK_TFTSW reads
    int fpgainBuilds = 0;      // DXC_MAKE_FPGAIN_TABLE count since start
    // The built-in flash (microcontroller operation commands; sim/README.md).
    double chargeVolts = 0;             // on the flash capacitor: "Gw" charges it, a flash drains it
    std::optional<Exposure> flashShot;  // the shutter open for a flash, from "Gy" until "QQ"
    std::uint16_t fireWidth = 0;        // last "Gy" value
    std::uint8_t flashLevel = 0;        // level byte of the last flash command
};

// One EXECUTE_IO as the library received and answered it.
struct CommandRecord {
    std::uint32_t deviceId = 0;
    std::vector<std::uint8_t> cdb;       // 6 or 16 bytes
    std::uint32_t direction = 0;         // LvxDirection
    std::uint32_t length = 0;            // data length of the block
    std::vector<std::uint8_t> dataOut;   // host to camera
    std::vector<std::uint8_t> dataIn;    // camera to host
    std::uint32_t result = 0;            // returned by the entry
    Sense sense{};
    bool pending = false;
    std::string name;  // "DXC_OPEN_CHECKER", "DCMD_GET_PROPERTY", "INQUIRY", "UNKNOWN"
    bool SenseOk() const;
};

// The command table's row type and what a handler is given
// (sim/camera_commands.h).
struct CameraCommand;
struct CommandRequest;

// 36 bytes of standard INQUIRY data for a 28-character identity.
std::vector<std::uint8_t> InquiryData(const std::string& identity);

// The name of a command block (what CommandRecord::name holds).
std::string CommandName(const std::uint8_t* cdb, std::size_t length);

// Faults of one camera.
struct CameraFaults {
    bool neverReady = false;      // DCMD_DEVICE_READY always fails
    bool imageCountZero = false;  // property 88 reads 0
    // The next `times` DCMD_GET_PROPERTY replies carry this length word
    // and/or id echo instead of the right ones.
    struct PropertyReply {
        int times = 0;
        std::optional<std::uint16_t> length;
        std::optional<std::uint8_t> echo;
    } propertyReply;
    // The next `times` microcontroller responses start with `first`.
    struct McuReply {
        int times = 0;
        std::uint8_t first = 'x';
    } mcuReply;
    // The image file information reports these instead of the file's own;
    // the transfer follows the reported sizes (bytes beyond the file are 0).
    struct ImageInfo {
        std::uint32_t totalSize = 0;
        std::uint32_t firstPartSize = 0;
        std::uint32_t blockSize = 0;
        std::uint8_t status = 0;
    };
    std::optional<ImageInfo> imageInfo;
    // The next `times` configuration memory reads of `memory` (CcdEeprom,
    // TftEeprom or RamConfig; any of them when unset) whose data reach byte
    // `byte` arrive with that byte's bits `flip` inverted, as a glitch on the
    // wire would leave them; the memory keeps its contents, and shorter
    // reads pass untouched and do not count.
    struct ConfigRead {
        int times = 0;
        std::optional<Memory> memory;
        std::uint32_t byte = 0;
        std::uint8_t flip = 0x01;
    } configRead;
    // The next `times` microcontroller memory reads of `prefix` ("AR" DRAM,
    // "AU" EEPROM) at `address` answer their first data byte inverted, as a
    // disturbed transfer would; the memory keeps what it holds.
    struct McuRead {
        int times = 0;
        std::string prefix;
        std::uint32_t address = 0;
    } mcuReadCorrupted;
    // Writes acknowledged as done that change nothing: the camera keeps its
    // old contents. The next `times` writes (a configuration or
    // microcontroller memory write, a property set, DXC_SET_OB, an update
    // command); with `memory`, only the writes to it that begin at `address`.
    struct Unstored {
        int times = 0;
        std::optional<Memory> memory;
        std::uint32_t address = 0;
    } unstored;
    // A cell that reads wrong: every read of `memory` (CcdEeprom, TftEeprom,
    // RamConfig, McuDram or McuEeprom) that covers `address` answers that
    // byte with bits `flip` inverted, so that reads agree with each other;
    // the memory keeps what is written to it.
    struct StuckRead {
        Memory memory = Memory::RamConfig;
        std::uint32_t address = 0;
        std::uint8_t flip = 0x01;
    };
    std::optional<StuckRead> stuckRead;
    // The next `times` area measurements answer the Gr and Gb means times
    // `scale`: plausible, and wrong.
    struct ShiftedGreen {
        int times = 0;
        double scale = 1.04;
    } shiftedGreen;
};

// The layout of a picture file (big-endian TIFF).
struct PictureFileLayout {
    std::uint32_t totalSize = 0;
    std::uint32_t firstPartSize = 0;  // header and directories, rounded up to 8 KiB
    std::uint32_t blockSize = 65536;
    std::uint32_t sensorDataOffset = 0;  // 2024 rows of 4864 packed bytes
    std::uint32_t thumbnailOffset = 0;   // 80 x 60 RGB, 8 bits
};

class Camera {
public:
    Camera(std::uint32_t deviceId, UnitProfile unit, const FactoryMemories& factory);

    std::uint32_t DeviceId() const { return m_deviceId; }
    const UnitProfile& Unit() const { return m_unit; }

    std::vector<std::uint8_t>& Mem(Memory which);
    const std::vector<std::uint8_t>& Mem(Memory which) const;
    // The aperture gain table as the camera built it at its last
    // DXC_MAKE_FPGAIN_TABLE (or at start): 40 bytes.
    const std::vector<std::uint8_t>& BuiltFpgainTable() const { return m_builtFpgain; }
    // What the physics reads: the working copies, with RAM configuration
    // 2088..2127 replaced by the built table.
    CameraMemories ModelMemories() const;

    CameraModes& Modes() { return m_modes; }
    const CameraModes& Modes() const { return m_modes; }
    CameraFaults& Faults() { return m_faults; }

    // Property values as the camera reports them (computed ones included).
    // Set values are camera settings and survive a restart. Setting 11 (the
    // shutter) resets 12 (the aperture) to 0, the lens's own.
    std::uint8_t Property(std::uint8_t id) const;
    void SetStoredProperty(std::uint8_t id, std::uint8_t value) { m_properties[id] = value; }

    // Pictures stored since the camera started (property 88 reads it, at
    // most 255), the last one, its exposure and its file.
    int PictureCount() const { return m_pictureCount; }
    std::shared_ptr<const Picture> LastPicture() const { return m_picture; }
    const Exposure& LastExposure() const { return m_exposure; }
    PictureFileLayout FileLayout() const;
    const std::vector<std::uint8_t>& PictureFile();  // rendered on first use; empty without picture
    int BusyPolls() const { return m_busyPolls; }

    // The camera restarts: modes reset, pictures gone, working copies
    // reloaded from flash, RAM configuration from the CCD EEPROM flash, the
    // microcontroller's DRAM copies from its EEPROM, checksum checked.
    void PowerCycle();
    bool McuChecksumBad() const { return m_mcuChecksumBad; }

    // ---- used by the driver ------------------------------------------------
    struct Reply {
        Sense sense{};
        std::vector<std::uint8_t> dataIn;
    };
    // Carries out one command block, as the command table
    // (sim/camera_commands.h) says.
    Reply Execute(const std::uint8_t* cdb, std::size_t cdbLength, std::uint32_t direction,
                  const std::uint8_t* dataOut, std::uint32_t length, const SimBench& bench);
    // The command table: one row a command block (sim/camera_commands.cpp).
    static std::span<const CameraCommand> Commands();

private:
    // The command handlers, one per command of the table
    // (sim/camera_commands.cpp); a pair such as on and off shares one.
    Reply OnInquiry(const CommandRequest& rq);
    Reply OnChecker(const CommandRequest& rq);
    Reply OnPlayMode(const CommandRequest& rq);
    Reply OnVideoMode(const CommandRequest& rq);
    Reply OnTestPattern(const CommandRequest& rq);
    Reply OnCcdPower(const CommandRequest& rq);
    Reply OnCheckOpaline(const CommandRequest& rq);
    Reply OnMakeFpgainTable(const CommandRequest& rq);
    Reply OnUpdateCommand(const CommandRequest& rq);
    Reply OnConfigWrite(const CommandRequest& rq);
    Reply OnConfigRead(const CommandRequest& rq);
    Reply OnSetOb(const CommandRequest& rq);
    Reply OnSetLanguage(const CommandRequest& rq);
    Reply OnMenuReset(const CommandRequest& rq);
    Reply OnCfLed(const CommandRequest& rq);
    Reply OnMcuSend(const CommandRequest& rq);
    Reply OnFirmwareVersion(const CommandRequest& rq);
    Reply OnCcdAdjustData(const CommandRequest& rq);
    Reply OnTftSwitch(const CommandRequest& rq);
    Reply OnMcuResponse(const CommandRequest& rq);
    Reply OnOpenSession(const CommandRequest& rq);
    Reply OnCloseSession(const CommandRequest& rq);
    Reply OnChangeMode(const CommandRequest& rq);
    Reply OnTakePicture(const CommandRequest& rq);
    Reply OnDeviceReady(const CommandRequest& rq);
    Reply OnImageFileInfo(const CommandRequest& rq);
    Reply OnGetImage(const CommandRequest& rq);
    Reply OnGetProperty(const CommandRequest& rq);
    Reply OnSetProperty(const CommandRequest& rq);
    Reply OnGetDateTime(const CommandRequest& rq);
    Reply OnSetDateTime(const CommandRequest& rq);

    static const CameraCommand kCommands[];

    void Start();
    // RAM configuration: the CCD EEPROM flash's blocks unpacked into it and
    // their aperture gains put in force, as at start; its blocks packed back
    // into the CCD EEPROM's working copy.
    void UnpackCcdFlashIntoRam();
    void PackRamIntoCcd();
    // The aperture gain table as RAM configuration holds it now.
    std::vector<std::uint8_t> RamFpgainTable() const;
    void StorePendingPicture(const SimBench& bench);
    // An exposure under the shooting conditions set now, without flash.
    Exposure ExposureNow() const;
    void QueuePicture(Exposure exposure);
    std::vector<std::uint8_t> McuRespond(const std::vector<std::uint8_t>& cmd, const SimBench& bench);
    // Faults: whether this write (to `which` at `address`, where it goes to
    // a memory) is to be acknowledged and not carried out (it uses one up); a
    // read of `which` from `address` as a cell that reads wrong would answer it.
    bool WriteIgnored(std::optional<Memory> which = std::nullopt, std::size_t address = 0);
    void StickRead(Memory which, std::size_t address, std::vector<std::uint8_t>& data) const;

    std::uint32_t m_deviceId = 0;
    UnitProfile m_unit;
    std::vector<std::uint8_t> m_ccd, m_ccdFlash, m_tft, m_tftFlash, m_ram, m_mcuEeprom, m_mcuDram, m_mcuScratch;
    std::vector<std::uint8_t> m_builtFpgain;
    CameraModes m_modes;
    CameraFaults m_faults;
    std::map<std::uint8_t, std::uint8_t> m_properties;
    bool m_mcuChecksumBad = false;

    // Pictures.
    int m_busyPolls = 0;
    bool m_pictureQueued = false;
    Exposure m_queuedExposure;
    int m_pictureCount = 0;
    std::uint64_t m_picturesEver = 0;  // seeds keep changing across restarts
    std::shared_ptr<const Picture> m_picture;
    Exposure m_exposure;
    std::vector<std::uint8_t> m_file;
    std::uint32_t m_part0Offset = 0, m_part1Offset = 0;
    std::uint64_t m_adReadings = 0;

    std::vector<std::uint8_t> m_mcuResponse;
    std::vector<std::uint8_t> m_dateTime = {0x07, 0xD2, 0x00, 0x00, 7, 5, 12, 0, 0};
};

// The library, its bus and its bench. One per process, like the real driver.
class Simulator {
public:
    // Default bus: one `nominal` camera with the default identity; bench
    // defaults (see DefaultBench); no faults; empty command record; driver
    // closed.
    void Reset();
    // AC adapter at 7.2 V, USB plugged, main switch on, exposure and focus
    // mode dials at M, no lens, light off, no chart, flash down.
    static SimBench DefaultBench();

    const SimBench& Bench() const { return m_bench; }
    // Setting the bench turns cameras off and on with the main switch (a
    // camera that comes back on restarts, see Camera::PowerCycle).
    void SetBench(const SimBench& bench);
    // The ammeter: the first camera on the bus (0 A without a camera).
    double ReadAmmeter() const;

    // ---- the bus -----------------------------------------------------------
    // Every device leaves the bus, and the command record is emptied.
    void ClearDevices();
    // A camera by profile name or profile file, with a 13-character
    // identification (CCD EEPROM 17..29) or "" for the profile's own.
    // Returns its device id, or 0 with LastError() set.
    std::uint32_t AddCamera(const std::string& profile, const std::string& identification = "");
    std::uint32_t AddCamera(const UnitProfile& unit, const std::string& identification = "");
    // Another maker's device: identity of 28 characters.
    std::uint32_t AddForeignDevice(const std::string& identity = kForeignIdentity);
    // The devices listed now (cameras with the cable out or the main switch
    // off are not listed), and all added devices.
    std::vector<std::uint32_t> ListedDevices() const;
    std::vector<std::uint32_t> AllDevices() const;
    Camera* CameraOf(std::uint32_t deviceId);
    // The first camera on the bus (Reset's one); adds a `nominal` one when
    // there is none, so that a test never gets a dangling reference.
    Camera& FirstCamera();
    void SetDeviceIdentity(std::uint32_t deviceId, const std::string& identity28);
    const std::string& LastError() const { return m_lastError; }

    // ---- the command record ------------------------------------------------
    const std::vector<CommandRecord>& Commands() const { return m_record; }
    std::vector<std::string> CommandNames() const;
    void ClearCommands() { m_record.clear(); }

    // ---- faults --------------------------------------------------------------
    // The next `times` calls of `selector` return `result` and do nothing.
    void FailSelector(std::uint32_t selector, std::uint32_t result, int times = 1);
    // The next `times` transfers (of the named command, or any for "") are
    // answered with `sense` and not carried out.
    void InjectSense(const Sense& sense, int times = 1, const std::string& commandName = "");
    // The next transfer (of the named command, or any) is left pending: the
    // camera carries it out at the call (data sent is taken then), and the
    // entry returns 0 with the pending word set. The driver keeps the
    // caller's data and sense addresses: the data to the host and the sense
    // are written there only when the transfer completes (CompletePending).
    // `never`: it will not complete (HasPending stays false). Other
    // transfers go on meanwhile. Closing its device or the driver cancels it.
    void LeaveNextPending(const std::string& commandName = "", bool never = false);
    bool HasPending() const { return !m_pending.empty(); }
    // Completes the oldest pending transfer: writes its data and sense to the
    // addresses it was given, then calls the event routine it was given with
    // LVX_RESULT(LVX_CODE_NOTIFY, LVX_INF_NONE) and `result`; `twice` calls
    // it a second time right after, as a driver that reports one completion
    // twice. False if none.
    bool CompletePending(std::uint32_t result = 0, bool twice = false);
    // The last completion reported again, late, as a driver that reports
    // one completion twice: its event routine is called with the same
    // result; nothing is written. False if none was reported.
    bool RepeatLastCompletion();
    // Another notification while a transfer is pending: calls the event
    // routine with `eventCode` (a bus reset, disconnect, status change) and
    // 0, and drops the oldest pending transfer, which then never completes
    // and writes nothing. False if none.
    bool InterruptPending(std::uint32_t eventCode);
    // false: a driver that does not cancel pending transfers when their
    // device or the driver closes, and still completes them (into the
    // addresses they were given) later. Reset sets true.
    void SetCloseCancelsPending(bool cancels) { m_closeCancelsPending = cancels; }

    // ---- the driver entry --------------------------------------------------
    std::uint32_t Entry(std::uint32_t selector, void* block, std::uint32_t driverHandle);
    bool DriverOpen() const { return m_driverOpen; }

private:
    struct Device {
        std::uint32_t id = 0;
        std::string identity;            // 28 characters
        std::unique_ptr<Camera> camera;  // null for a foreign device
        LvxEventRoutine onEvent = nullptr;
        std::uint32_t handle = 0;        // 0 while not open
    };
    Device* DeviceById(std::uint32_t id);
    Device* DeviceByHandle(std::uint32_t handle);
    bool Listed(const Device& d) const;
    std::uint32_t ExecuteIo(LvxExecuteIoBlock& io);
    std::uint32_t NextDeviceId() { return ++m_lastDeviceId; }

    SimBench m_bench = DefaultBench();
    std::vector<Device> m_devices;
    std::uint32_t m_lastDeviceId = 0;
    std::uint32_t m_lastHandle = 0x100;
    bool m_driverOpen = false;
    std::uint32_t m_driverHandle = 0;
    std::string m_lastError;
    std::vector<CommandRecord> m_record;

    struct SelectorFault {
        std::uint32_t selector = 0, result = 0;
        int times = 0;
    };
    std::vector<SelectorFault> m_selectorFaults;
    struct SenseFault {
        Sense sense{};
        int times = 0;
        std::string name;
    };
    std::vector<SenseFault> m_senseFaults;
    struct PendingFault {
        std::string name;
        bool never = false;
    };
    std::optional<PendingFault> m_pendingFault;
    // A transfer the driver still owes: where its answer goes and whom it
    // tells.
    struct PendingTransfer {
        std::uint32_t deviceId = 0;
        LvxEventRoutine onEvent = nullptr;
        std::uint8_t* data = nullptr;  // the caller's buffer (to the host), null if none
        std::vector<std::uint8_t> dataIn;
        std::uint8_t* sense = nullptr;  // the caller's sense buffer
        Sense senseBytes{};
    };
    std::vector<PendingTransfer> m_pending;  // oldest first
    struct Completion {
        LvxEventRoutine onEvent = nullptr;
        std::uint32_t result = 0;
    };
    std::optional<Completion> m_lastCompletion;
    bool m_closeCancelsPending = true;
    void CancelPending(std::uint32_t deviceId);  // 0: every device
};

// The process-wide simulator (created on first use with Reset's bus).
Simulator& Sim();

}  // namespace sim

extern "C" std::uint32_t SimLvDriverEntry(std::uint32_t selector, void* block, std::uint32_t driverHandle);
