// The simulated camera: its memories, checker commands, DCMD session,
// properties and picture store. The microcontroller's test channel is in
// camera_mcu.cpp.

#include <algorithm>
#include <cstring>

#include "platform/big_endian.h"
#include "sim/picture_file.h"
#include "sim/simulator.h"

namespace sim {

namespace {

// RAM configuration holds the CCD EEPROM's blocks at their address + 152.
constexpr std::size_t kRamMirrorOffset = 152;
struct Block {
    std::size_t address, size;
};
// Line crawl block, ISO gain table, defect table (up to the aperture
// table), aperture gain table: what the camera unpacks into RAM.
constexpr Block kMirroredBlocks[] = {{160, 12}, {248, 38}, {370, 1936 - 370}, {1936, 40}};
constexpr std::size_t kFpgainAddress = 2088;
constexpr std::size_t kFpgainSize = 40;
constexpr std::size_t kUnityGainAddress = 1552;
constexpr std::size_t kMcuDramMirror = 1024;  // EEPROM value's DRAM copy at its address + 1024
constexpr int kBusyPollsPerPicture = 3;

// The aperture gains the camera builds from RAM configuration and holds in force.
std::vector<std::uint8_t> FpgainTableOf(const std::vector<std::uint8_t>& ram) {
    return {ram.begin() + kFpgainAddress, ram.begin() + kFpgainAddress + kFpgainSize};
}

const char kFirmwareVersion[] = "M740 RISC FIRMWARE VER 1.00";

Camera::Reply Refuse(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq = 0) {
    Camera::Reply r;
    r.sense = MakeSense(key, asc, ascq);
    return r;
}
Camera::Reply Invalid() { return Refuse(kSenseIllegalRequest, kAscInvalidField); }
Camera::Reply Sequence() { return Refuse(kSenseIllegalRequest, kAscSequenceError); }
Camera::Reply Ok() { return {}; }

std::uint64_t Mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

}  // namespace

Sense MakeSense(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
    Sense s{};
    s[0] = 0x70;  // current error, fixed format
    s[2] = key;
    s[7] = 10;    // additional length
    s[12] = asc;
    s[13] = ascq;
    return s;
}

std::vector<std::uint8_t> InquiryData(const std::string& identity) {
    std::vector<std::uint8_t> d(36, 0);
    d[0] = 0x00;  // direct access device
    d[2] = 0x02;  // version
    d[3] = 0x02;  // response data format
    d[4] = 31;    // additional length
    for (std::size_t i = 0; i < 28; ++i) d[8 + i] = i < identity.size() ? identity[i] : ' ';
    return d;
}

std::uint16_t McuChecksum(const std::vector<std::uint8_t>& eeprom) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < kMcuChecksumEnd && i < eeprom.size(); ++i) sum += eeprom[i];
    return static_cast<std::uint16_t>(sum);
}

Camera::Camera(std::uint32_t deviceId, UnitProfile unit, const FactoryMemories& factory)
    : m_deviceId(deviceId), m_unit(std::move(unit)) {
    m_ccdFlash = factory.ccdEeprom;
    m_tftFlash = factory.tftEeprom;
    m_mcuEeprom = factory.mcuEeprom;
    m_ccdFlash.resize(kCcdEepromSize);
    m_tftFlash.resize(kTftEepromSize);
    m_mcuEeprom.resize(kMcuEepromSize);
    Start();
}

std::vector<std::uint8_t>& Camera::Mem(Memory which) {
    switch (which) {
        case Memory::CcdEeprom: return m_ccd;
        case Memory::CcdEepromFlash: return m_ccdFlash;
        case Memory::TftEeprom: return m_tft;
        case Memory::TftEepromFlash: return m_tftFlash;
        case Memory::RamConfig: return m_ram;
        case Memory::McuEeprom: return m_mcuEeprom;
        case Memory::McuDram: return m_mcuDram;
        case Memory::McuScratch: break;
    }
    return m_mcuScratch;
}
const std::vector<std::uint8_t>& Camera::Mem(Memory which) const { return const_cast<Camera*>(this)->Mem(which); }

bool Camera::WriteIgnored(std::optional<Memory> which, std::size_t address) {
    auto& u = m_faults.unstored;
    if (u.times <= 0 || (u.memory && (u.memory != which || u.address != address))) return false;
    --u.times;
    return true;
}

void Camera::StickRead(Memory which, std::size_t address, std::vector<std::uint8_t>& data) const {
    const auto& stuck = m_faults.stuckRead;
    if (stuck && stuck->memory == which && stuck->address >= address && stuck->address - address < data.size())
        data[stuck->address - address] ^= stuck->flip;
}

CameraMemories Camera::ModelMemories() const {
    CameraMemories m;
    m.ccdEeprom = m_ccd;
    m.tftEeprom = m_tft;
    m.ramConfig = m_ram;
    std::copy(m_builtFpgain.begin(), m_builtFpgain.end(), m.ramConfig.begin() + kFpgainAddress);
    m.mcuEeprom = m_mcuEeprom;
    m.mcuDram = m_mcuDram;
    return m;
}

void Camera::PowerCycle() { Start(); }

void Camera::Start() {
    m_modes = CameraModes{};
    m_ccd = m_ccdFlash;
    m_tft = m_tftFlash;
    // RAM configuration: the unity gain block at its default, the CCD
    // EEPROM's blocks unpacked from flash.
    m_ram.assign(kRamConfigSize, 0);
    for (int i = 0; i < 4; ++i) platform::PutBe16(&m_ram[kUnityGainAddress + 2 * i], 256);
    for (const Block& b : kMirroredBlocks)
        std::copy_n(m_ccdFlash.begin() + b.address, b.size, m_ram.begin() + b.address + kRamMirrorOffset);
    m_builtFpgain = FpgainTableOf(m_ram);
    m_mcuDram.assign(kMcuDramSize, 0);
    for (std::size_t a = 0; a < kMcuEepromSize && a + kMcuDramMirror < kMcuDramSize; ++a)
        m_mcuDram[a + kMcuDramMirror] = m_mcuEeprom[a];
    m_mcuScratch.assign(kMcuScratchSize, 0);
    m_mcuChecksumBad = McuChecksum(m_mcuEeprom) != platform::GetBe16(&m_mcuEeprom[kMcuChecksumEnd]);
    m_busyPolls = 0;
    m_pictureQueued = false;
    m_pictureCount = 0;
    m_picture.reset();
    m_exposure = Exposure{};
    m_file.clear();
    m_part0Offset = m_part1Offset = 0;
    m_mcuResponse.clear();
}

std::uint8_t Camera::Property(std::uint8_t id) const {
    auto stored = [&](std::uint8_t pid, std::uint8_t def) {
        auto it = m_properties.find(pid);
        return it == m_properties.end() ? def : it->second;
    };
    const SimBench& bench = Sim().Bench();
    switch (id) {
        case 64: return bench.afMode == SIM_MODE_MANUAL && !m_unit.afStuckAuto ? 0 : 1;
        case 10: return bench.exposureMode == SIM_MODE_MANUAL ? 3 : 0;
        case 71: return m_mcuChecksumBad ? 3 : m_unit.batteryState;
        case 76: return bench.flashPoppedUp ? 1 : 0;
        case 78: return bench.lens == SIM_LENS_NONE ? 1 : 0;
        case 88:
            return m_faults.imageCountZero ? 0 : static_cast<std::uint8_t>(std::min(m_pictureCount, 255));
        case 5: return stored(5, 72);
        default: return stored(id, 0);
    }
}

PictureFileLayout Camera::FileLayout() const { return PictureLayout(); }

const std::vector<std::uint8_t>& Camera::PictureFile() {
    if (m_file.empty() && m_picture) m_file = RenderPictureFile(*m_picture);
    return m_file;
}

Exposure Camera::ExposureNow() const {
    Exposure e;
    e.conditions.p11 = Property(11);
    e.conditions.p12 = Property(12);
    e.conditions.p5 = Property(5);
    e.conditions.p2 = Property(2);
    e.obClamp = m_modes.ob;
    return e;
}

void Camera::QueuePicture(Exposure exposure) {
    exposure.seed = Mix(m_unit.seed ^ Mix(++m_picturesEver));
    m_queuedExposure = std::move(exposure);
    m_pictureQueued = true;
    m_busyPolls = kBusyPollsPerPicture;
}

void Camera::StorePendingPicture(const SimBench& bench) {
    m_picture = TakePicture(m_unit, bench, ModelMemories(), m_queuedExposure);
    m_exposure = m_queuedExposure;
    m_pictureQueued = false;
    m_file.clear();
    ++m_pictureCount;
    m_part0Offset = 0;
    m_part1Offset = PictureLayout().firstPartSize;
}

Camera::Reply Camera::Execute(const std::uint8_t* cdb, std::size_t cdbLength, std::uint32_t direction,
                              const std::uint8_t* dataOut, std::uint32_t length, const SimBench& bench) {
    if (cdbLength == 6) {
        if (cdb[0] != 0x12) return Refuse(kSenseIllegalRequest, kAscInvalidOpcode);
        if (direction != LVX_DIR_IN || length > 255) return Invalid();
        Reply r;
        r.dataIn = InquiryData(kCameraIdentity);
        r.dataIn.resize(std::min<std::size_t>(length, cdb[4]), 0);
        return r;
    }
    const std::uint8_t op = cdb[0];
    const bool checker = (op == 0xFC || op == 0xFD || op == 0xFE) && cdb[1] == 0;
    const bool dcmd = op >= 0xE0 && op <= 0xF0;
    if (!checker && !dcmd) return Refuse(kSenseIllegalRequest, kAscInvalidOpcode);

    if (checker) {
        const std::uint16_t code = platform::GetBe16(cdb + 2);
        const std::uint32_t address = platform::GetBe32(cdb + 4);
        if (platform::GetBe32(cdb + 8) != length) return Invalid();
        const std::uint32_t expectDir = op == 0xFE ? LVX_DIR_IN : (length > 0 ? LVX_DIR_OUT : LVX_DIR_NONE);
        if (direction != expectDir) return Invalid();
        if (!m_modes.checkerOpen && !(op == 0xFC && code == 0x1001))
            return Sequence();

        // Configuration memory transfers.
        if ((op == 0xFD || op == 0xFE) && (code == 0x2081 || code == 0x2080 || code == 0x3081 || code == 0x3080 ||
                                            code == 0x5081 || code == 0x5080)) {
            const int family = code >> 12;
            if (family == 2 && !m_modes.ccdPower) return Refuse(kSenseNotReady, kAscNotReady, 0x02);
            std::vector<std::uint8_t>& mem = family == 2 ? m_ccd : family == 3 ? m_tft : m_ram;
            const bool write = (code & 0xFF) == 0x81;
            if (write != (op == 0xFD)) return Refuse(kSenseIllegalRequest, kAscInvalidOpcode);
            if (length == 0 || address > mem.size() || length > mem.size() - address)
                return Refuse(kSenseIllegalRequest, kAscOutOfRange);
            Reply r;
            const Memory which = family == 2 ? Memory::CcdEeprom : family == 3 ? Memory::TftEeprom : Memory::RamConfig;
            if (write) {
                if (!WriteIgnored(which, address)) std::memcpy(mem.data() + address, dataOut, length);
                return r;
            }
            r.dataIn.assign(mem.begin() + address, mem.begin() + address + length);
            StickRead(which, address, r.dataIn);
            auto& glitch = m_faults.configRead;
            if (glitch.times > 0 && (!glitch.memory || *glitch.memory == which) && glitch.byte < length) {
                --glitch.times;
                r.dataIn[glitch.byte] ^= glitch.flip;
            }
            return r;
        }

        if (op == 0xFC) {
            if (length != 0) return Invalid();
            const std::uint8_t lo = code & 0xFF;
            switch (code >> 8) {
                case 0x10:
                    if (lo > 1) break;
                    m_modes.checkerOpen = lo == 1;
                    return Ok();
                case 0x62:
                    if (lo > 1) break;
                    m_modes.playMode = lo == 1;
                    return Ok();
                case 0x63:
                    if (lo > 1) break;
                    m_modes.videoMode = lo;
                    return Ok();
                case 0x64:
                    if (lo > 16 && !(lo >= 0x20 && lo <= 0x60 && (lo & 0x0F) == 0)) break;
                    m_modes.testPattern = lo;
                    return Ok();
                case 0x60:
                    if (lo > 1) break;
                    m_modes.ccdPower = lo == 1;
                    return Ok();
                case 0x85:
                    m_modes.opaline = lo;
                    return Ok();
                case 0x22:
                    if (lo != 0) break;
                    m_builtFpgain = FpgainTableOf(m_ram);
                    ++m_modes.fpgainBuilds;
                    return Ok();
                default: break;
            }
            // Update commands. The CCD EEPROM sits on the sensor board: its
            // commands (and unpacking it into RAM) need the CCD power.
            switch (code) {
                case 0x2101:  // discard edits: working copy reloaded from flash
                case 0x2102:  // commit the working copy to flash
                case 0x2F00:  // unpack flash into the working copy and RAM
                case 0x5F00:  // unpack flash into RAM only
                case 0x5E00:  // pack RAM's blocks back into the working copy
                    if (!m_modes.ccdPower) return Refuse(kSenseNotReady, kAscNotReady, 0x02);
                    if (WriteIgnored()) return Ok();
                    if (code == 0x2101 || code == 0x2F00) m_ccd = m_ccdFlash;
                    if (code == 0x2102) m_ccdFlash = m_ccd;
                    for (const Block& b : kMirroredBlocks) {
                        if (code == 0x2F00 || code == 0x5F00)
                            std::copy_n(m_ccdFlash.begin() + b.address, b.size,
                                        m_ram.begin() + b.address + kRamMirrorOffset);
                        if (code == 0x5E00)
                            std::copy_n(m_ram.begin() + b.address + kRamMirrorOffset, b.size,
                                        m_ccd.begin() + b.address);
                    }
                    // As at start: the aperture gains just unpacked are the ones in force.
                    if (code == 0x2F00 || code == 0x5F00) m_builtFpgain = FpgainTableOf(m_ram);
                    return Ok();
                case 0x3101:  // discard edits
                case 0x3F00:  // unpack flash into the working copy (the display follows it)
                    if (!WriteIgnored()) m_tft = m_tftFlash;
                    return Ok();
                case 0x3102:
                    if (!WriteIgnored()) m_tftFlash = m_tft;
                    return Ok();
                default: break;
            }
            return Refuse(kSenseIllegalRequest, kAscInvalidOpcode);
        }

        if (op == 0xFD) {
            switch (code) {
                case 0x7081:
                    if (length != 1 || dataOut[0] > 1) return Invalid();
                    if (!WriteIgnored()) m_modes.ob = dataOut[0] == 1;
                    return Ok();
                case 0x7100:
                    if (length != 1) return Invalid();
                    m_modes.language = dataOut[0];
                    return Ok();
                case 0x6500:
                    if (length != 22) return Invalid();
                    m_modes.menu.assign(dataOut, dataOut + length);
                    ++m_modes.menuResets;
                    return Ok();
                case 0x8400:
                case 0x8401:
                    if (length != 0) return Invalid();
                    m_modes.cfLed = code & 1;
                    return Ok();
                case 0x9181: {
                    if (length == 0) return Invalid();
                    m_mcuResponse = McuRespond(std::vector<std::uint8_t>(dataOut, dataOut + length), bench);
                    return Ok();
                }
                default: return Refuse(kSenseIllegalRequest, kAscInvalidOpcode);
            }
        }

        // 0xFE: reads.
        Reply r;
        switch (code) {
            case 0x1180:
                if (length != 128) return Invalid();
                r.dataIn.assign(128, 0);
                std::memcpy(r.dataIn.data(), kFirmwareVersion, sizeof kFirmwareVersion - 1);
                return r;
            case 0x8680:
                if (length != 1) return Invalid();
                r.dataIn.assign(1, m_modes.tftSwitch);
                return r;
            case 0x9180: {
                // A response is read once; without one the channel answers "n".
                std::vector<std::uint8_t> resp = m_mcuResponse.empty() ? std::vector<std::uint8_t>{'n', 0x04, 0}
                                                                       : m_mcuResponse;
                m_mcuResponse.clear();
                if (m_faults.mcuReply.times > 0) {
                    --m_faults.mcuReply.times;
                    resp[0] = m_faults.mcuReply.first;
                }
                resp.resize(length, 0);
                r.dataIn = resp;
                return r;
            }
            case 0x6280: {
                if (length != 32) return Invalid();
                if (!m_picture) return Sequence();
                const auto m = MeasureArea(*m_picture, platform::GetBe16(cdb + 4), platform::GetBe16(cdb + 6),
                                           platform::GetBe16(cdb + 12), platform::GetBe16(cdb + 14));
                if (!m) return Invalid();
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
            default: return Refuse(kSenseIllegalRequest, kAscInvalidOpcode);
        }
    }

    // DCMD commands: byte 1 parameter, bytes 6-9 length, the rest 0.
    const std::uint8_t param = cdb[1];
    if (platform::GetBe32(cdb + 6) != length) return Invalid();
    if (op != 0xE0 && !m_modes.session) return Sequence();
    auto expect = [&](std::uint32_t dir, std::uint32_t len) { return direction == dir && length == len; };
    switch (op) {
        case 0xE0:
            if (!expect(LVX_DIR_NONE, 0)) return Invalid();
            m_modes.session = true;
            return Ok();
        case 0xE1:
            if (!expect(LVX_DIR_NONE, 0)) return Invalid();
            m_modes.session = false;
            m_modes.sessionMode = 0;
            return Ok();
        case 0xE2:
            if (!expect(LVX_DIR_NONE, 0) || param > 1) return Invalid();
            m_modes.sessionMode = param;
            return Ok();
        case 0xE3:
            if (!expect(LVX_DIR_NONE, 0) || param > 1) return Invalid();
            if (m_modes.sessionMode != 1) return Sequence();
            if (m_pictureQueued) return Refuse(kSenseNotReady, kAscNotReady, 0x01);
            QueuePicture(ExposureNow());
            return Ok();
        case 0xF0:
            if (!expect(LVX_DIR_NONE, 0)) return Invalid();
            if (m_faults.neverReady) return Refuse(kSenseNotReady, kAscNotReady, 0x01);
            if (m_busyPolls > 0) {
                if (--m_busyPolls == 0 && m_pictureQueued) StorePendingPicture(bench);
                return Refuse(kSenseNotReady, kAscNotReady, 0x01);
            }
            return Ok();
        case 0xEA: {
            if (!expect(LVX_DIR_IN, 4)) return Invalid();
            Reply r;
            r.dataIn = {0x00, 0x04, param, Property(param)};
            auto& f = m_faults.propertyReply;
            if (f.times > 0) {
                --f.times;
                if (f.length) platform::PutBe16(r.dataIn.data(), *f.length);
                if (f.echo) r.dataIn[2] = *f.echo;
            }
            return r;
        }
        case 0xEB: {
            if (!expect(LVX_DIR_OUT, 4)) return Invalid();
            if (platform::GetBe16(dataOut) != 4 || dataOut[2] != param) return Invalid();
            // What the camera measures or the bench decides cannot be set.
            if (param == 64 || param == 10 || param == 71 || param == 76 || param == 78 || param == 88)
                return Invalid();
            if (WriteIgnored()) return Ok();
            m_properties[param] = dataOut[3];
            // A new shutter speed gives the aperture back to the lens.
            if (param == 11) m_properties[12] = 0;
            return Ok();
        }
        case 0xE5: {
            if (!expect(LVX_DIR_IN, 31)) return Invalid();
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
        case 0xE6:
        case 0xE7: {
            if (direction != LVX_DIR_IN || length == 0 || param > 1) return Invalid();
            if (!m_picture) return Sequence();
            std::uint32_t total = PictureLayout().totalSize, first = PictureLayout().firstPartSize;
            if (m_faults.imageInfo) {
                total = m_faults.imageInfo->totalSize;
                first = m_faults.imageInfo->firstPartSize;
            }
            std::uint32_t& offset = param == 0 ? m_part0Offset : m_part1Offset;
            const std::uint32_t end = param == 0 ? first : total;
            if (offset > end || length > end - offset) return Refuse(kSenseIllegalRequest, kAscOutOfRange);
            const std::vector<std::uint8_t>& file = PictureFile();
            Reply r;
            r.dataIn.assign(length, 0);
            if (offset < file.size())
                std::copy_n(file.begin() + offset, std::min<std::size_t>(length, file.size() - offset),
                            r.dataIn.begin());
            offset += length;
            return r;
        }
        case 0xEE: {
            if (!expect(LVX_DIR_IN, 9)) return Invalid();
            Reply r;
            r.dataIn = m_dateTime;
            return r;
        }
        case 0xEF:
            if (!expect(LVX_DIR_OUT, 9)) return Invalid();
            m_dateTime.assign(dataOut, dataOut + 9);
            return Ok();
        default: return Refuse(kSenseIllegalRequest, kAscInvalidOpcode);
    }
}

}  // namespace sim
