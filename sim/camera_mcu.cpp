// The camera microcontroller's test channel: a command string sent with
// DXC_CAMMCU_TESTCMD_SEND, its answer read with DXC_CAMMCU_TESTCMD_RESP.
//
// Answers:
//   done          'a', the command's two letters
//   memory read   the n data bytes, 'a', the 8-bit sum of the data
//   refused       'n', a reason (1 not in inspection mode, 2 unknown command,
//                 3 bad argument or address, 4 nothing asked), 0
// Apart from "SS" and "QQ" the channel serves commands only in inspection
// mode.
//
// The built-in flash takes its picture in four steps (sim/README.md): "Gy"
// opens the shutter for a flash exposure, "Gw" charges the flash capacitor,
// "G{" (pre-flash) or "G}" (main flash) fires the flash at its level from
// that charge, and leaving inspection mode ends the exposure, after which the
// camera reads the picture out and stores it.

#include <algorithm>
#include <numeric>

#include "platform/big_endian.h"
#include "sim/simulator.h"

namespace sim {

namespace {

constexpr std::size_t kDramMirror = 1024;
constexpr std::size_t kBatteryReadingAddress = 2566;
constexpr std::size_t kPreFlashValue = 1267;  // DRAM: the adjustment value of each flash mode
constexpr std::size_t kMainFlashValue = 1268;
// The flash tube goes out when the capacitor has fallen to this share of its
// charge; what the tube does not take stays on it.
constexpr double kFlashTubeExtinction = 0.3;

std::vector<std::uint8_t> Done(const std::vector<std::uint8_t>& cmd) {
    return {'a', cmd[0], cmd.size() > 1 ? cmd[1] : std::uint8_t{0}};
}
std::vector<std::uint8_t> Refused(std::uint8_t reason) { return {'n', reason, 0}; }
std::vector<std::uint8_t> ReadAnswer(const std::uint8_t* data, std::size_t n) {
    std::vector<std::uint8_t> r(data, data + n);
    r.push_back('a');
    r.push_back(static_cast<std::uint8_t>(std::accumulate(data, data + n, 0u)));
    return r;
}

}  // namespace

std::vector<std::uint8_t> Camera::McuRespond(const std::vector<std::uint8_t>& cmd, const SimBench& bench) {
    if (cmd.size() < 2) return Refused(2);
    const char c0 = static_cast<char>(cmd[0]), c1 = static_cast<char>(cmd[1]);
    const std::string name{c0, c1};
    if (name == "SS") {
        m_modes.inspection = true;
        return Done(cmd);
    }
    if (name == "QQ") {
        // The release sequence waits for the microcontroller: a flash
        // exposure ends as inspection mode does.
        if (m_modes.flashShot) {
            QueuePicture(std::move(*m_modes.flashShot));
            m_modes.flashShot.reset();
        }
        m_modes.inspection = false;
        return Done(cmd);
    }
    if (!m_modes.inspection) return Refused(1);

    // Memory access: prefix, address (3 bytes for "AR", else 2), n[, data].
    struct Area {
        const char* read;
        const char* write;
        std::vector<std::uint8_t>* mem;
        Memory which;
    };
    const Area areas[] = {{"AR", "AS", &m_mcuDram, Memory::McuDram},
                          {"AU", "AW", &m_mcuEeprom, Memory::McuEeprom},
                          {"MA", "MC", &m_mcuScratch, Memory::McuScratch}};
    for (const Area& a : areas) {
        const bool read = name == a.read, write = name == a.write;
        if (!read && !write) continue;
        const std::size_t width = name == "AR" ? 3 : 2;
        if (cmd.size() < 2 + width + 1) return Refused(3);
        std::size_t address = 0;
        for (std::size_t i = 0; i < width; ++i) address = (address << 8) | cmd[2 + i];
        const std::size_t n = cmd[2 + width];
        std::vector<std::uint8_t>& mem = *a.mem;
        if (n == 0 || address > mem.size() || n > mem.size() - address) return Refused(3);
        if (read) {
            // The microcontroller sums what it read.
            std::vector<std::uint8_t> data(mem.begin() + static_cast<std::ptrdiff_t>(address),
                                           mem.begin() + static_cast<std::ptrdiff_t>(address + n));
            StickRead(a.which, address, data);
            std::vector<std::uint8_t> answer = ReadAnswer(data.data(), n);
            auto& fault = m_faults.mcuReadCorrupted;
            if (fault.times > 0 && fault.prefix == name && fault.address == address) {
                --fault.times;
                answer[0] = static_cast<std::uint8_t>(~answer[0]);
            }
            return answer;
        }
        if (cmd.size() != 2 + width + 1 + n) return Refused(3);
        if (!WriteIgnored(a.which, address))
            std::copy_n(cmd.begin() + 3 + static_cast<std::ptrdiff_t>(width), n, mem.begin() + address);
        return Done(cmd);
    }

    auto word = [&](std::size_t at) { return static_cast<std::uint16_t>((cmd[at] << 8) | cmd[at + 1]); };
    if (name == "ES") {
        if (cmd.size() != 3) return Refused(3);
        if (cmd[2] != 37) return Refused(2);
        // Subroutine 37: an A/D reading of the supply, low byte first.
        const std::uint16_t v = BatteryAdReading(m_unit, bench, m_unit.seed ^ (0xAD00000000ull + ++m_adReadings));
        m_mcuDram[kBatteryReadingAddress] = static_cast<std::uint8_t>(v);
        m_mcuDram[kBatteryReadingAddress + 1] = static_cast<std::uint8_t>(v >> 8);
        return Done(cmd);
    }
    if (name == "Gq") {
        platform::PutBe16(&m_mcuEeprom[kMcuChecksumEnd], McuChecksum(m_mcuEeprom));
        return Done(cmd);
    }
    if (name == "GA") {
        if (m_pictureQueued || m_modes.flashShot) return Refused(3);
        QueuePicture(ExposureNow());
        return Done(cmd);
    }
    if (name == "Gy") {
        // The shutter opens for a flash exposure; one at a time, and not
        // while the last picture is still being read out.
        if (cmd.size() != 4 || word(2) == 0) return Refused(3);
        if (m_pictureQueued || m_modes.flashShot) return Refused(3);
        m_modes.fireWidth = word(2);
        m_modes.flashShot = ExposureNow();
        return Done(cmd);
    }
    if (name == "Gw") {
        // The charger only ever raises the capacitor's voltage.
        if (cmd.size() != 4) return Refused(3);
        m_modes.chargeVolts = std::max(m_modes.chargeVolts, word(2) / 10.0);
        return Done(cmd);
    }
    if (name == "G{" || name == "G}") {
        // The flash fires now, from the charge there is; its light reaches
        // a picture only while a flash exposure is open.
        if (cmd.size() != 5) return Refused(3);
        const bool pre = name == "G{";
        FlashEmission flash;
        flash.kind = pre ? FlashKind::Pre : FlashKind::Main;
        flash.level = cmd[2];
        flash.adj = static_cast<std::int8_t>(m_mcuDram[pre ? kPreFlashValue : kMainFlashValue]);
        flash.volts = m_modes.chargeVolts;
        if (m_modes.flashShot) m_modes.flashShot->flashes.push_back(flash);
        m_modes.chargeVolts *= kFlashTubeExtinction;
        m_modes.flashLevel = cmd[2];
        return Done(cmd);
    }
    if (name == "AY" || name == "AZ") {
        // Copy between EEPROM values and their DRAM working copies for the
        // EEPROM addresses p..q: "AY" EEPROM to DRAM, "AZ" DRAM to EEPROM.
        if (cmd.size() != 6) return Refused(3);
        const std::size_t p = word(2), q = word(4);
        if (p > q || q >= m_mcuEeprom.size() || q + kDramMirror >= m_mcuDram.size()) return Refused(3);
        for (std::size_t i = p; i <= q; ++i) {
            if (name == "AY")
                m_mcuDram[i + kDramMirror] = m_mcuEeprom[i];
            else
                m_mcuEeprom[i] = m_mcuDram[i + kDramMirror];
        }
        return Done(cmd);
    }
    if (name == "CQ") {
        // The big-endian DRAM word at 2 n.
        if (cmd.size() != 3) return Refused(3);
        const std::size_t at = 2u * cmd[2];
        return ReadAnswer(m_mcuDram.data() + at, 2);
    }
    return Refused(2);
}

}  // namespace sim
