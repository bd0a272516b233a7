#include "adjust/bc_adjust_dlg.h"

#include <algorithm>

#include "adjust/current_input_dlg.h"
#include "adjust/rounding.h"
#include "camera/usb_camera.h"
#include "platform/format.h"
#include "res/adjust_templates.h"
#include "res/prompts.h"
#include "res/strings.h"

namespace {

constexpr int kIntervalMs = 500;

constexpr const char* kBatteryToolQuestion =
    "電池工具（抵抗無し）を使用してますか？\r\nやりなおす場合はキャンセルを押してください。";
constexpr const char* kSupply72 = "電源電圧を７．２［Ｖ］に設定してください。";
constexpr const char* kSupply77 = "電源電圧を７．７［Ｖ］に設定してください。";
constexpr const char* kBattery9 = "電池電圧を９[V]に設定してください";
constexpr const char* kAmmeterPrompt = "下記に電流計の値[Ａ]を入力してください。";

constexpr int kCcdOn = 0;
constexpr int kCcdOff = 1;

// The four readings, in the order they are taken and stored.
struct Reading {
    const char* logLine;
    int ccdPower;
    const char* title;
    const char* recordName;
};
constexpr Reading kReadings[4] = {
    {"7.2[V]時の消費電流（CCD-OFF)\r\n", kCcdOff, "7.2[V] CCD-OFF", "7200mV CCD-OFF"},
    {"7.2[V]時の消費電流（CCD-ON)\r\n", kCcdOn, "7.2[V] CCD-ON", "7200mV CCD-ON"},
    {"7.7[V]時の消費電流（CCD-OFF)\r\n", kCcdOff, "7.7[V] CCD-OFF", "7700mV CCD-OFF"},
    {"7.7[V]時の消費電流（CCD-ON)\r\n", kCcdOn, "7.7[V] CCD-ON", "7700mV CCD-ON"},
};

// Each DRAM working copy sits at its EEPROM address + 1024.
constexpr std::uint32_t kAdValueAddress = 2;
constexpr std::uint32_t kCurrentsAddress = 259;
constexpr std::uint32_t kDramOffset = 1024;
constexpr std::uint32_t kAdReadingAddress = 2566;  // DRAM, after subroutine 37
constexpr std::uint8_t kAdSubroutine = 37;
constexpr int kInspectionAttempts = 3;

}  // namespace

CBcAdjustDlg::CBcAdjustDlg(ui::Host& host)
    : CAdjustDlg(host, res::BcAdjustTemplate(), {res::IDT_BC_ADJUST, kIntervalMs}) {}

std::uint8_t CBcAdjustDlg::CurrentByte(double amps) {
    // The input window holds an entry to 0..2.555 A; its rounding may not
    // step past the byte.
    return static_cast<std::uint8_t>(std::clamp(RoundToInt(amps / 0.01), 0, 255));
}

int CBcAdjustDlg::RunBcAdjustment() {
    ui::WaitCursor wait(GetHost());
    SetLog("ＢＣ調整\r\n");
    // Cancel is to start over: the run ends here with the camera unadjusted,
    // and must not count as passed.
    if (MessageBox(kBatteryToolQuestion, kCaptionMessage, ui::MbButtons::OkCancel) != ui::IDOK)
        return kErrBatteryCheckAdjust;

    int r = InputCurrents();
    if (r != 1) return r;

    CUsbCamera& camera = Camera();
    bool inspection = false;
    for (int attempt = 0; attempt < kInspectionAttempts && !inspection; ++attempt) {
        inspection = camera.SetInspectionMode() == 1;
        if (!inspection) Pause(300);
    }
    if (!inspection) return kErrUsbCommunication;
    Pause(200);

    r = AdjustAd();
    if (r != 1) return r;

    AppendLog("調整値書き込み\r\n");
    AppendLog(platform::Format("A/D値調整値= %d[LSB]\r\n", m_adValue));
    AppendLog("消費電流調整値\r\n");
    AppendLog(platform::Format("7200mV-OFF = %d  ON = %d  7700mV-OFF = %d  ON = %d[LSB]\r\n", m_currents[0],
                               m_currents[1], m_currents[2], m_currents[3]));

    r = WriteValues(CameraMemory::Dram);
    if (r != 1) return r;
    MessageBox(kBattery9, kCaptionMessage);
    Pause(100);
    r = WriteValues(CameraMemory::Eeprom);
    if (r != 1) return r;
    if (!Step(camera.CallChecksumSubroutine(), 50)) return kErrUsbCommunication;
    if (camera.CloseInspectionMode() != 1) return kErrUsbCommunication;
    return 1;
}

int CBcAdjustDlg::InputCurrents() {
    CUsbCamera& camera = Camera();
    AppendLog("消費電流値調整\r\n");
    MessageBox(kSupply72, kCaptionMessage);
    Pause(300);

    std::array<double, 4> amps{};
    for (std::size_t i = 0; i < amps.size(); ++i) {
        const Reading& reading = kReadings[i];
        if (i == 2) MessageBox(kSupply77, kCaptionMessage);
        AppendLog(reading.logLine);
        if (!Step(camera.SetCcdPower(reading.ccdPower), 200)) return kErrUsbCommunication;
        CCurrentInputDlg input(GetHost());
        input.m_title = reading.title;
        input.m_prompt = kAmmeterPrompt;
        // A window closed without a confirmed reading (nobody there to read
        // the ammeter) has no current to store.
        if (input.DoModal() != ui::IDOK || !input.m_current) return kErrBatteryCheckAdjust;
        amps[i] = *input.m_current;
        Record({.name = reading.recordName, .value = amps[i], .unit = "A", .passed = true});
        Pause(1000);
    }
    if (!Step(camera.SetCcdPower(kCcdOff), 200)) return kErrUsbCommunication;
    for (std::size_t i = 0; i < amps.size(); ++i) m_currents[i] = CurrentByte(amps[i]);
    return 1;
}

int CBcAdjustDlg::AdjustAd() {
    CUsbCamera& camera = Camera();
    AppendLog("A/D値調整\r\n");
    MessageBox(kSupply72, kCaptionMessage);
    Pause(1000);

    std::uint32_t sum = 0;
    for (int i = 0; i < 3; ++i) {
        if (!Step(camera.CallSubroutine(kAdSubroutine), 120)) return kErrUsbCommunication;
        std::uint8_t answer[4] = {};  // the two bytes and what the camera adds
        if (camera.AccessCameraMemory(CameraMemory::Dram, MemoryDirection::Read, kAdReadingAddress, 2, answer,
                                      sizeof answer) != 1)
            return kErrUsbCommunication;
        const std::uint32_t reading = answer[1] * 256u + answer[0];
        sum += reading;
        AppendLog(platform::Format("[%d] BC AD = %d[LSB] \r\n", i, static_cast<int>(reading)));
        Pause(50);
        const bool inLimits = reading >= m_adMin && reading <= m_adMax;
        Record({.pass = i + 1, .name = "BC AD", .value = static_cast<double>(reading),
                .low = static_cast<double>(m_adMin), .high = static_cast<double>(m_adMax), .unit = "LSB",
                .passed = inLimits});
        if (!inLimits) return kErrAdValue;
    }
    m_adValue = static_cast<std::uint16_t>(RoundToInt(sum / 3.0));
    AppendLog(platform::Format("AVE BC AD = %d[LSB] \r\n", m_adValue));
    Record({.name = "AVE BC AD", .value = static_cast<double>(m_adValue), .unit = "LSB", .passed = true});
    return 1;
}

int CBcAdjustDlg::WriteValues(CameraMemory area) {
    CUsbCamera& camera = Camera();
    // Both are read back and compared; a read-back that differs names the memory.
    const bool dram = area == CameraMemory::Dram;
    const int notHeld = dram ? kErrUsbMainRamWrite : kErrUsbMainEepromWrite;
    const std::uint32_t offset = dram ? kDramOffset : 0;
    const auto write = [&](std::uint32_t address, std::uint8_t* data, std::uint32_t n) {
        return Step(camera.AccessCameraMemory(area, MemoryDirection::Write, address + offset, n, data, n), 20);
    };
    const auto read = [&](std::uint32_t address, std::uint8_t* data, std::uint32_t n, std::uint32_t size) {
        return camera.AccessCameraMemory(area, MemoryDirection::Read, address + offset, n, data, size) == 1;
    };

    const std::uint8_t ad[2] = {static_cast<std::uint8_t>(m_adValue), static_cast<std::uint8_t>(m_adValue >> 8)};
    std::uint8_t out[4] = {ad[0], ad[1]};
    std::uint8_t back[6] = {};  // a read answers two bytes more than it asks for
    if (!write(kAdValueAddress, out, 2) || !read(kAdValueAddress, back, 2, sizeof back)) return kErrUsbCommunication;
    if (!std::equal(ad, ad + 2, back)) return notHeld;
    Pause(20);

    std::copy(m_currents.begin(), m_currents.end(), out);
    if (!write(kCurrentsAddress, out, 4) || !read(kCurrentsAddress, back, 4, sizeof back)) return kErrUsbCommunication;
    if (!std::equal(m_currents.begin(), m_currents.end(), back)) return notHeld;
    return 1;
}
