// The simulated camera: its memories, modes, properties and picture store.
// Its command table and handlers are in camera_commands.cpp, the
// microcontroller's test channel in camera_mcu.cpp.

#include <algorithm>

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
    UnpackCcdFlashIntoRam();
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

void Camera::UnpackCcdFlashIntoRam() {
    for (const Block& b : kMirroredBlocks)
        std::copy_n(m_ccdFlash.begin() + b.address, b.size, m_ram.begin() + b.address + kRamMirrorOffset);
    m_builtFpgain = RamFpgainTable();
}

void Camera::PackRamIntoCcd() {
    for (const Block& b : kMirroredBlocks)
        std::copy_n(m_ram.begin() + b.address + kRamMirrorOffset, b.size, m_ccd.begin() + b.address);
}

std::vector<std::uint8_t> Camera::RamFpgainTable() const {
    return {m_ram.begin() + kFpgainAddress, m_ram.begin() + kFpgainAddress + kFpgainSize};
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

}  // namespace sim
