// The simulated camera's command table and its handlers. The memories,
// modes and pictures they work on are in camera.cpp, the microcontroller's
// test channel in camera_mcu.cpp.

#include "sim/camera_commands.h"

#include <algorithm>
#include <cstring>

#include "platform/big_endian.h"
#include "sim/picture_file.h"

namespace sim {

namespace {

const char kFirmwareVersion[] = "M740 RISC FIRMWARE VER 1.00";

Camera::Reply Refuse(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq = 0) {
    Camera::Reply r;
    r.sense = MakeSense(key, asc, ascq);
    return r;
}
Camera::Reply Invalid() { return Refuse(kSenseIllegalRequest, kAscInvalidField); }
Camera::Reply Sequence() { return Refuse(kSenseIllegalRequest, kAscSequenceError); }
Camera::Reply UnknownOpcode() { return Refuse(kSenseIllegalRequest, kAscInvalidOpcode); }
// Not ready: 0x01 busy with a picture, 0x02 the CCD power off.
Camera::Reply NotReady(std::uint8_t ascq) { return Refuse(kSenseNotReady, kAscNotReady, ascq); }
Camera::Reply Ok() { return {}; }

constexpr std::uint8_t kCheckerNone = 0xFC, kCheckerOut = 0xFD, kCheckerIn = 0xFE;

bool IsCheckerBlock(const std::uint8_t* cdb) {
    return (cdb[0] == kCheckerNone || cdb[0] == kCheckerOut || cdb[0] == kCheckerIn) && cdb[1] == 0;
}
bool IsDcmdBlock(const std::uint8_t* cdb) { return cdb[0] >= 0xE0 && cdb[0] <= 0xF0; }

using C = Camera;
using Id = CommandId;
using enum BlockForm;
// Which bits of a checker code name the command; the rest are its argument.
constexpr std::uint16_t kExact = 0xFFFF, kArgByte = 0xFF00, kArgBit = 0xFFFE;

}  // namespace

// clang-format off
const CameraCommand Camera::kCommands[] = {
    // id                     form     op    code    mask      name                         direction     length      handler
    {Id::Inquiry,             Short,   0x12, 0,      0,        "INQUIRY",                   LVX_DIR_IN,   kAnyLength, &C::OnInquiry},
    {Id::OpenChecker,         Checker, 0xFC, 0x1001, kExact,   "DXC_OPEN_CHECKER",          LVX_DIR_NONE, 0,          &C::OnChecker},
    {Id::CloseChecker,        Checker, 0xFC, 0x1000, kExact,   "DXC_CLOSE_CHECKER",         LVX_DIR_NONE, 0,          &C::OnChecker},
    {Id::PlayOn,              Checker, 0xFC, 0x6201, kExact,   "DXC_PLAY_ON",               LVX_DIR_NONE, 0,          &C::OnPlayMode},
    {Id::PlayOff,             Checker, 0xFC, 0x6200, kExact,   "DXC_PLAY_OFF",              LVX_DIR_NONE, 0,          &C::OnPlayMode},
    {Id::NtscMode,            Checker, 0xFC, 0x6300, kExact,   "DXC_NTSC_MODE",             LVX_DIR_NONE, 0,          &C::OnVideoMode},
    {Id::PalMode,             Checker, 0xFC, 0x6301, kExact,   "DXC_PAL_MODE",              LVX_DIR_NONE, 0,          &C::OnVideoMode},
    {Id::TestPattern,         Checker, 0xFC, 0x6400, kArgByte, "DXC_TESTPATTAN_DISP",       LVX_DIR_NONE, 0,          &C::OnTestPattern},
    {Id::CcdPowerOn,          Checker, 0xFC, 0x6001, kExact,   "DXC_CCD_POWERON",           LVX_DIR_NONE, 0,          &C::OnCcdPower},
    {Id::CcdPowerOff,         Checker, 0xFC, 0x6000, kExact,   "DXC_CCD_POWEROFF",          LVX_DIR_NONE, 0,          &C::OnCcdPower},
    {Id::CheckOpaline,        Checker, 0xFC, 0x8500, kArgByte, "DXC_CHECK_CHECK_OPALINE",   LVX_DIR_NONE, 0,          &C::OnCheckOpaline},
    {Id::MakeFpgainTable,     Checker, 0xFC, 0x2200, kExact,   "DXC_MAKE_FPGAIN_TABLE",     LVX_DIR_NONE, 0,          &C::OnMakeFpgainTable},
    // The update commands (what each code does: sim/simulator.h).
    {Id::UpdateCommand,       Checker, 0xFC, 0x2101, kExact,   "DXC_UPDATECOMMAND",         LVX_DIR_NONE, 0,          &C::OnUpdateCommand},
    {Id::UpdateCommand,       Checker, 0xFC, 0x2102, kExact,   "DXC_UPDATECOMMAND",         LVX_DIR_NONE, 0,          &C::OnUpdateCommand},
    {Id::UpdateCommand,       Checker, 0xFC, 0x2F00, kExact,   "DXC_UPDATECOMMAND",         LVX_DIR_NONE, 0,          &C::OnUpdateCommand},
    {Id::UpdateCommand,       Checker, 0xFC, 0x3101, kExact,   "DXC_UPDATECOMMAND",         LVX_DIR_NONE, 0,          &C::OnUpdateCommand},
    {Id::UpdateCommand,       Checker, 0xFC, 0x3102, kExact,   "DXC_UPDATECOMMAND",         LVX_DIR_NONE, 0,          &C::OnUpdateCommand},
    {Id::UpdateCommand,       Checker, 0xFC, 0x3F00, kExact,   "DXC_UPDATECOMMAND",         LVX_DIR_NONE, 0,          &C::OnUpdateCommand},
    {Id::UpdateCommand,       Checker, 0xFC, 0x5F00, kExact,   "DXC_UPDATECOMMAND",         LVX_DIR_NONE, 0,          &C::OnUpdateCommand},
    {Id::UpdateCommand,       Checker, 0xFC, 0x5E00, kExact,   "DXC_UPDATECOMMAND",         LVX_DIR_NONE, 0,          &C::OnUpdateCommand},
    {Id::CcdEepromWrite,      Checker, 0xFD, 0x2081, kExact,   "DXC_CCDEEPROM_DATAWRITE",   LVX_DIR_OUT,  kAnyLength, &C::OnConfigWrite},
    {Id::TftEepromWrite,      Checker, 0xFD, 0x3081, kExact,   "DXC_TFTEEPROM_DATAWRITE",   LVX_DIR_OUT,  kAnyLength, &C::OnConfigWrite},
    {Id::RamConfigWrite,      Checker, 0xFD, 0x5081, kExact,   "DXC_RAMCONFIG_DATAWRITE",   LVX_DIR_OUT,  kAnyLength, &C::OnConfigWrite},
    {Id::SetOb,               Checker, 0xFD, 0x7081, kExact,   "DXC_SET_OB",                LVX_DIR_OUT,  1,          &C::OnSetOb},
    {Id::SetLanguage,         Checker, 0xFD, 0x7100, kExact,   "DXC_SET_LANGE",             LVX_DIR_OUT,  1,          &C::OnSetLanguage},
    {Id::MenuReset,           Checker, 0xFD, 0x6500, kExact,   "DXC_MENU_RESET",            LVX_DIR_OUT,  22,         &C::OnMenuReset},
    {Id::CheckCfLed,          Checker, 0xFD, 0x8400, kArgBit,  "DXC_CHECK_CFLED",           LVX_DIR_NONE, 0,          &C::OnCfLed},
    {Id::McuCommandSend,      Checker, 0xFD, 0x9181, kExact,   "DXC_CAMMCU_TESTCMD_SEND",   LVX_DIR_OUT,  kAnyLength, &C::OnMcuSend},
    {Id::FirmwareVersion,     Checker, 0xFE, 0x1180, kExact,   "DXC_RISC_FIRMWARE_VERSION", LVX_DIR_IN,   128,        &C::OnFirmwareVersion},
    {Id::CcdEepromRead,       Checker, 0xFE, 0x2080, kExact,   "DXC_CCDEEPROM_DATAREAD",    LVX_DIR_IN,   kAnyLength, &C::OnConfigRead},
    {Id::TftEepromRead,       Checker, 0xFE, 0x3080, kExact,   "DXC_TFTEEPROM_DATAREAD",    LVX_DIR_IN,   kAnyLength, &C::OnConfigRead},
    {Id::RamConfigRead,       Checker, 0xFE, 0x5080, kExact,   "DXC_RAMCONFIG_DATAREAD",    LVX_DIR_IN,   kAnyLength, &C::OnConfigRead},
    {Id::CcdAdjustDataIn,     Checker, 0xFE, 0x6280, kExact,   "DXC_CCD_ADJUST_DATA_IN",    LVX_DIR_IN,   32,         &C::OnCcdAdjustData},
    {Id::CheckTftSwitch,      Checker, 0xFE, 0x8680, kExact,   "DXC_CHECK_TFTSW",           LVX_DIR_IN,   1,          &C::OnTftSwitch},
    {Id::McuCommandResponse,  Checker, 0xFE, 0x9180, kExact,   "DXC_CAMMCU_TESTCMD_RESP",   LVX_DIR_IN,   kAnyLength, &C::OnMcuResponse},
    {Id::OpenSession,         Dcmd,    0xE0, 0,      0,        "DCMD_OPEN_SESSION",         LVX_DIR_NONE, 0,          &C::OnOpenSession},
    {Id::CloseSession,        Dcmd,    0xE1, 0,      0,        "DCMD_CLOSE_SESSION",        LVX_DIR_NONE, 0,          &C::OnCloseSession},
    {Id::ChangeMode,          Dcmd,    0xE2, 0,      0,        "DCMD_CHANGE_MODE",          LVX_DIR_NONE, 0,          &C::OnChangeMode},
    {Id::TakePicture,         Dcmd,    0xE3, 0,      0,        "DCMD_TAKE_PICTURE",         LVX_DIR_NONE, 0,          &C::OnTakePicture},
    {Id::GetImageFileInfo,    Dcmd,    0xE5, 0,      0,        "DCMD_GET_IMAGE_FILE_INFO",  LVX_DIR_IN,   31,         &C::OnImageFileInfo},
    {Id::GetImage,            Dcmd,    0xE6, 0,      0,        "DCMD_GET_IMAGE",            LVX_DIR_IN,   kAnyLength, &C::OnGetImage},
    {Id::GetImage,            Dcmd,    0xE7, 0,      0,        "DCMD_GET_IMAGE",            LVX_DIR_IN,   kAnyLength, &C::OnGetImage},
    {Id::GetProperty,         Dcmd,    0xEA, 0,      0,        "DCMD_GET_PROPERTY",         LVX_DIR_IN,   4,          &C::OnGetProperty},
    {Id::SetProperty,         Dcmd,    0xEB, 0,      0,        "DCMD_SET_PROPERTY",         LVX_DIR_OUT,  4,          &C::OnSetProperty},
    {Id::GetDateTime,         Dcmd,    0xEE, 0,      0,        "DCMD_GET_DATE_TIME",        LVX_DIR_IN,   9,          &C::OnGetDateTime},
    {Id::SetDateTime,         Dcmd,    0xEF, 0,      0,        "DCMD_SET_DATETIME",         LVX_DIR_OUT,  9,          &C::OnSetDateTime},
    {Id::DeviceReady,         Dcmd,    0xF0, 0,      0,        "DCMD_DEVICE_READY",         LVX_DIR_NONE, 0,          &C::OnDeviceReady},
};
// clang-format on

namespace {

bool Matches(const CameraCommand& c, const std::uint8_t* cdb, std::size_t cdbLength) {
    if (cdb[0] != c.op) return false;
    switch (c.form) {
        case BlockForm::Short: return cdbLength == 6;
        case BlockForm::Checker:
            return cdbLength == 16 && IsCheckerBlock(cdb) && (platform::GetBe16(cdb + 2) & c.mask) == c.code;
        case BlockForm::Dcmd: return cdbLength == 16;
    }
    return false;
}

}  // namespace

std::span<const CameraCommand> Camera::Commands() { return kCommands; }

const CameraCommand* FindCameraCommand(const std::uint8_t* cdb, std::size_t cdbLength) {
    for (const CameraCommand& c : Camera::Commands())
        if (Matches(c, cdb, cdbLength)) return &c;
    return nullptr;
}

const CameraCommand& CameraCommandOf(CommandId id) {
    const auto rows = Camera::Commands();
    return *std::find_if(rows.begin(), rows.end(), [id](const CameraCommand& c) { return c.id == id; });
}

std::string CommandName(const std::uint8_t* cdb, std::size_t length) {
    const CameraCommand* c = FindCameraCommand(cdb, length);
    return c ? c->name : "UNKNOWN";
}

Camera::Reply Camera::Execute(const std::uint8_t* cdb, std::size_t cdbLength, std::uint32_t direction,
                              const std::uint8_t* dataOut, std::uint32_t length, const SimBench& bench) {
    const CameraCommand* command = FindCameraCommand(cdb, cdbLength);
    CommandRequest rq{.cdb = cdb, .direction = direction, .dataOut = dataOut, .length = length, .bench = bench};
    if (cdbLength == 6) return command ? (this->*command->handler)(rq) : UnknownOpcode();

    const auto is = [command](CommandId id) { return command && command->id == id; };
    if (IsCheckerBlock(cdb)) {
        if (platform::GetBe32(cdb + 8) != length) return Invalid();
        const std::uint32_t expected =
            cdb[0] == kCheckerIn ? LVX_DIR_IN : (length > 0 ? LVX_DIR_OUT : LVX_DIR_NONE);
        if (direction != expected) return Invalid();
        if (!m_modes.checkerOpen && !is(CommandId::OpenChecker)) return Sequence();
        if (cdb[0] == kCheckerNone && length != 0) return Invalid();
        rq.code = platform::GetBe16(cdb + 2);
        rq.param = rq.code & 0xFF;
    } else if (IsDcmdBlock(cdb)) {
        if (platform::GetBe32(cdb + 6) != length) return Invalid();
        if (!m_modes.session && !is(CommandId::OpenSession)) return Sequence();
        rq.param = cdb[1];
    }
    if (!command) return UnknownOpcode();
    if (command->length != kAnyLength &&
        (direction != command->direction || length != static_cast<std::uint32_t>(command->length)))
        return Invalid();
    return (this->*command->handler)(rq);
}

// ---- the handlers, in the table's order ------------------------------------

Camera::Reply Camera::OnInquiry(const CommandRequest& rq) {
    if (rq.direction != LVX_DIR_IN || rq.length > 255) return Invalid();
    Reply r;
    r.dataIn = InquiryData(kCameraIdentity);
    r.dataIn.resize(std::min<std::size_t>(rq.length, rq.cdb[4]), 0);
    return r;
}

Camera::Reply Camera::OnChecker(const CommandRequest& rq) {
    m_modes.checkerOpen = rq.param == 1;
    return Ok();
}

Camera::Reply Camera::OnPlayMode(const CommandRequest& rq) {
    m_modes.playMode = rq.param == 1;
    return Ok();
}

Camera::Reply Camera::OnVideoMode(const CommandRequest& rq) {
    m_modes.videoMode = rq.param;
    return Ok();
}

Camera::Reply Camera::OnTestPattern(const CommandRequest& rq) {
    // Patterns 0..16; those above travel as 0x20, 0x30 .. 0x60.
    const std::uint8_t pattern = rq.param;
    if (pattern > 16 && !(pattern >= 0x20 && pattern <= 0x60 && (pattern & 0x0F) == 0)) return UnknownOpcode();
    m_modes.testPattern = pattern;
    return Ok();
}

Camera::Reply Camera::OnCcdPower(const CommandRequest& rq) {
    m_modes.ccdPower = rq.param == 1;
    return Ok();
}

Camera::Reply Camera::OnCheckOpaline(const CommandRequest& rq) {
    m_modes.opaline = rq.param;
    return Ok();
}

Camera::Reply Camera::OnMakeFpgainTable(const CommandRequest&) {
    m_builtFpgain = RamFpgainTable();
    ++m_modes.fpgainBuilds;
    return Ok();
}

Camera::Reply Camera::OnUpdateCommand(const CommandRequest& rq) {
    if ((rq.code >> 12) == 3) {
        // TFT EEPROM: 0x3101 discards edits and 0x3F00 unpacks flash into
        // the working copy (the display follows it); 0x3102 commits.
        if (WriteIgnored()) return Ok();
        if (rq.code == 0x3102)
            m_tftFlash = m_tft;
        else
            m_tft = m_tftFlash;
        return Ok();
    }
    // The CCD EEPROM sits on the sensor board: its commands (and unpacking
    // it into RAM) need the CCD power.
    if (!m_modes.ccdPower) return NotReady(0x02);
    if (WriteIgnored()) return Ok();
    switch (rq.code) {
        case 0x2101: m_ccd = m_ccdFlash; break;  // discard edits: working copy reloaded from flash
        case 0x2102: m_ccdFlash = m_ccd; break;  // commit the working copy to flash
        case 0x2F00:                              // unpack flash into the working copy and RAM
            m_ccd = m_ccdFlash;
            UnpackCcdFlashIntoRam();
            break;
        case 0x5F00: UnpackCcdFlashIntoRam(); break;  // unpack flash into RAM only
        case 0x5E00: PackRamIntoCcd(); break;         // pack RAM's blocks back into the working copy
        default: break;
    }
    return Ok();
}

namespace {

// The configuration memory a transfer code names: 0x2... CCD EEPROM,
// 0x3... TFT EEPROM, 0x5... RAM configuration.
Memory ConfigMemoryOf(std::uint16_t code) {
    switch (code >> 12) {
        case 2: return Memory::CcdEeprom;
        case 3: return Memory::TftEeprom;
        default: return Memory::RamConfig;
    }
}

}  // namespace

Camera::Reply Camera::OnConfigWrite(const CommandRequest& rq) {
    const Memory which = ConfigMemoryOf(rq.code);
    if (which == Memory::CcdEeprom && !m_modes.ccdPower) return NotReady(0x02);
    std::vector<std::uint8_t>& mem = Mem(which);
    const std::uint32_t address = platform::GetBe32(rq.cdb + 4);
    if (rq.length == 0 || address > mem.size() || rq.length > mem.size() - address)
        return Refuse(kSenseIllegalRequest, kAscOutOfRange);
    if (!WriteIgnored(which, address)) std::memcpy(mem.data() + address, rq.dataOut, rq.length);
    return Ok();
}

Camera::Reply Camera::OnConfigRead(const CommandRequest& rq) {
    const Memory which = ConfigMemoryOf(rq.code);
    if (which == Memory::CcdEeprom && !m_modes.ccdPower) return NotReady(0x02);
    const std::vector<std::uint8_t>& mem = Mem(which);
    const std::uint32_t address = platform::GetBe32(rq.cdb + 4);
    if (rq.length == 0 || address > mem.size() || rq.length > mem.size() - address)
        return Refuse(kSenseIllegalRequest, kAscOutOfRange);
    Reply r;
    r.dataIn.assign(mem.begin() + address, mem.begin() + address + rq.length);
    StickRead(which, address, r.dataIn);
    auto& glitch = m_faults.configRead;
    if (glitch.times > 0 && (!glitch.memory || *glitch.memory == which) && glitch.byte < rq.length) {
        --glitch.times;
        r.dataIn[glitch.byte] ^= glitch.flip;
    }
    return r;
}

Camera::Reply Camera::OnSetOb(const CommandRequest& rq) {
    if (rq.dataOut[0] > 1) return Invalid();
    if (!WriteIgnored()) m_modes.ob = rq.dataOut[0] == 1;
    return Ok();
}

Camera::Reply Camera::OnSetLanguage(const CommandRequest& rq) {
    m_modes.language = rq.dataOut[0];
    return Ok();
}

Camera::Reply Camera::OnMenuReset(const CommandRequest& rq) {
    m_modes.menu.assign(rq.dataOut, rq.dataOut + rq.length);
    ++m_modes.menuResets;
    return Ok();
}

Camera::Reply Camera::OnCfLed(const CommandRequest& rq) {
    m_modes.cfLed = rq.code & 1;
    return Ok();
}

Camera::Reply Camera::OnMcuSend(const CommandRequest& rq) {
    if (rq.length == 0) return Invalid();
    m_mcuResponse = McuRespond(std::vector<std::uint8_t>(rq.dataOut, rq.dataOut + rq.length), rq.bench);
    return Ok();
}

Camera::Reply Camera::OnFirmwareVersion(const CommandRequest&) {
    Reply r;
    r.dataIn.assign(128, 0);
    std::memcpy(r.dataIn.data(), kFirmwareVersion, sizeof kFirmwareVersion - 1);
    return r;
}

Camera::Reply Camera::OnCcdAdjustData(const CommandRequest& rq) {
    if (!m_picture) return Sequence();
    const auto m = MeasureArea(*m_picture, platform::GetBe16(rq.cdb + 4), platform::GetBe16(rq.cdb + 6),
                               platform::GetBe16(rq.cdb + 12), platform::GetBe16(rq.cdb + 14));
    if (!m) return Invalid();
    Reply r;
    r.dataIn.assign(32, 0);
    auto values = *m;
    if (m_faults.shiftedGreen.times > 0) {
        --m_faults.shiftedGreen.times;
        for (std::size_t green : {std::size_t{0}, std::size_t{2}})
            values[green] = static_cast<std::uint16_t>(
                std::min(values[green] * m_faults.shiftedGreen.scale + 0.5, 65535.0));
    }
    for (int i = 0; i < 16; ++i) platform::PutBe16(&r.dataIn[2 * i], values[static_cast<std::size_t>(i)]);
    return r;
}

Camera::Reply Camera::OnTftSwitch(const CommandRequest&) {
    Reply r;
    r.dataIn.assign(1, m_modes.tftSwitch);
    return r;
}

Camera::Reply Camera::OnMcuResponse(const CommandRequest& rq) {
    // A response is read once; without one the channel answers "n".
    std::vector<std::uint8_t> resp =
        m_mcuResponse.empty() ? std::vector<std::uint8_t>{'n', 0x04, 0} : m_mcuResponse;
    m_mcuResponse.clear();
    if (m_faults.mcuReply.times > 0) {
        --m_faults.mcuReply.times;
        resp[0] = m_faults.mcuReply.first;
    }
    resp.resize(rq.length, 0);
    Reply r;
    r.dataIn = std::move(resp);
    return r;
}

Camera::Reply Camera::OnOpenSession(const CommandRequest&) {
    m_modes.session = true;
    return Ok();
}

Camera::Reply Camera::OnCloseSession(const CommandRequest&) {
    m_modes.session = false;
    m_modes.sessionMode = 0;
    return Ok();
}

Camera::Reply Camera::OnChangeMode(const CommandRequest& rq) {
    if (rq.param > 1) return Invalid();
    m_modes.sessionMode = rq.param;
    return Ok();
}

Camera::Reply Camera::OnTakePicture(const CommandRequest& rq) {
    if (rq.param > 1) return Invalid();
    if (m_modes.sessionMode != 1) return Sequence();
    if (m_pictureQueued) return NotReady(0x01);
    QueuePicture(ExposureNow());
    return Ok();
}

Camera::Reply Camera::OnImageFileInfo(const CommandRequest&) {
    Reply r;
    r.dataIn.assign(31, 0);
    platform::PutBe16(&r.dataIn[0], 31);
    if (m_picture) {
        PictureFileLayout l = PictureLayout();
        std::uint8_t status = 0;
        if (m_faults.imageInfo) {
            l.totalSize = m_faults.imageInfo->totalSize;
            l.firstPartSize = m_faults.imageInfo->firstPartSize;
            l.blockSize = m_faults.imageInfo->blockSize;
            status = m_faults.imageInfo->status;
        }
        platform::PutBe32(&r.dataIn[2], l.totalSize);
        platform::PutBe32(&r.dataIn[6], l.firstPartSize);
        platform::PutBe32(&r.dataIn[10], l.blockSize);
        platform::PutBe32(&r.dataIn[14], static_cast<std::uint32_t>(m_pictureCount));
        r.dataIn[22] = status;
        // A new transfer starts.
        m_part0Offset = 0;
        m_part1Offset = l.firstPartSize;
    }
    return r;
}

Camera::Reply Camera::OnGetImage(const CommandRequest& rq) {
    if (rq.direction != LVX_DIR_IN || rq.length == 0 || rq.param > 1) return Invalid();
    if (!m_picture) return Sequence();
    std::uint32_t total = PictureLayout().totalSize, first = PictureLayout().firstPartSize;
    if (m_faults.imageInfo) {
        total = m_faults.imageInfo->totalSize;
        first = m_faults.imageInfo->firstPartSize;
    }
    // Part 0 is the header and directories, part 1 the rest of the file.
    std::uint32_t& offset = rq.param == 0 ? m_part0Offset : m_part1Offset;
    const std::uint32_t end = rq.param == 0 ? first : total;
    if (offset > end || rq.length > end - offset) return Refuse(kSenseIllegalRequest, kAscOutOfRange);
    const std::vector<std::uint8_t>& file = PictureFile();
    Reply r;
    r.dataIn.assign(rq.length, 0);
    if (offset < file.size())
        std::copy_n(file.begin() + offset, std::min<std::size_t>(rq.length, file.size() - offset),
                    r.dataIn.begin());
    offset += rq.length;
    return r;
}

Camera::Reply Camera::OnGetProperty(const CommandRequest& rq) {
    Reply r;
    r.dataIn = {0x00, 0x04, rq.param, Property(rq.param)};
    auto& f = m_faults.propertyReply;
    if (f.times > 0) {
        --f.times;
        if (f.length) platform::PutBe16(r.dataIn.data(), *f.length);
        if (f.echo) r.dataIn[2] = *f.echo;
    }
    return r;
}

Camera::Reply Camera::OnSetProperty(const CommandRequest& rq) {
    const std::uint8_t id = rq.param;
    if (platform::GetBe16(rq.dataOut) != 4 || rq.dataOut[2] != id) return Invalid();
    // What the camera measures or the bench decides cannot be set.
    if (id == 64 || id == 10 || id == 71 || id == 76 || id == 78 || id == 88) return Invalid();
    if (WriteIgnored()) return Ok();
    m_properties[id] = rq.dataOut[3];
    // A new shutter speed gives the aperture back to the lens.
    if (id == 11) m_properties[12] = 0;
    return Ok();
}

Camera::Reply Camera::OnGetDateTime(const CommandRequest&) {
    Reply r;
    r.dataIn = m_dateTime;
    return r;
}

Camera::Reply Camera::OnSetDateTime(const CommandRequest& rq) {
    m_dateTime.assign(rq.dataOut, rq.dataOut + 9);
    return Ok();
}

Camera::Reply Camera::OnDeviceReady(const CommandRequest& rq) {
    if (m_faults.neverReady) return NotReady(0x01);
    if (m_busyPolls > 0) {
        if (--m_busyPolls == 0 && m_pictureQueued) StorePendingPicture(rq.bench);
        return NotReady(0x01);
    }
    return Ok();
}

}  // namespace sim
