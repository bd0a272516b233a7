#include "adjust/inside_sb_dlg.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "adjust/read_back.h"
#include "adjust/rounding.h"
#include "camera/shooting.h"
#include "camera/usb_camera.h"
#include "platform/format.h"
#include "res/adjust_templates.h"
#include "res/strings.h"

namespace {

constexpr int kIntervalMs = 500;

constexpr const char* kConditions =
    "・レンズ　：　50mm　F1.4K\r\n"
    "・ＮＤフィルター：　無し\r\n"
    "・被写体　：　標準反射紙\r\n"
    "・カメラ  --  被写体距離：1.414m\r\n"
    "・レンズ距離間位置：1.4m\r\n"
    "・内蔵SBポップパップ　：　有り";

// Camera properties the item tests or holds.
constexpr std::uint8_t kPropertyFlashUp = 76;  // 1: popped up
constexpr std::uint8_t kPropertyLens = 78;     // 0: a lens is mounted
constexpr std::uint8_t kPropertyImageCount = 88;
constexpr std::uint8_t kPropertyFlashSetting = 139;  // 1 for the whole adjustment

constexpr std::uint32_t kEepromValues = 243;  // pre, main
constexpr std::uint32_t kDramValues = 1267;   // their working copies

constexpr std::uint16_t kFireWidth = 1800;
constexpr double kMaxSpreadEv = 0.3;
constexpr int kStepsPerEv = 24;
constexpr int kReadyPolls = 100;
constexpr int kReadyPollWaitMs = 100;

// The green level of a flash picture: the integer half of Gr + Gb.
int FlashGreen(const AreaMeasurement& m) { return (m.Gr() + m.Gb()) >> 1; }

}  // namespace

struct CInsideSbDlg::Mode {
    const char* heading;
    const char* diffName;    // names in the run record
    const char* spreadName;
    std::uint8_t a, b;       // shooting conditions
    int conditionsWaitMs;
    int passes;
    std::uint32_t dramAddress;
    bool preFlash;           // SendPreFlash, else SendMainFlash
    std::uint8_t level;
    int flashWaitMs;         // after the flash command
    int closeWaitMs;         // after closing inspection mode
    int countWaitMs;         // before the image count
    int pictureWaitMs;       // after each flash picture
    int low, high;           // range of the value
    int rangeError, noSuccessError;
    int successWaitMs;
};

const CInsideSbDlg::Mode CInsideSbDlg::kPreFlash{
    .heading = "プリ発光ＧＮレベル調整\r\n", .diffName = "PRE DIFF", .spreadName = "PRE MAX-MIN",
    .a = kFlashShutter, .b = kPreFlashAperture, .conditionsWaitMs = 50, .passes = 5, .dramAddress = 1267,
    .preFlash = true, .level = 36,
    .flashWaitMs = 10, .closeWaitMs = 20, .countWaitMs = 0, .pictureWaitMs = 0, .low = -30, .high = 30,
    .rangeError = kErrPreFlashData, .noSuccessError = kErrPreFlashAdjust, .successWaitMs = 0};
const CInsideSbDlg::Mode CInsideSbDlg::kMainFlash{
    .heading = "\r\n本発光ＧＮレベル調整\r\n", .diffName = "MAIN DIFF", .spreadName = "MAIN MAX-MIN",
    .a = kFlashShutter, .b = kMainFlashAperture, .conditionsWaitMs = 0, .passes = 7, .dramAddress = 1268,
    .preFlash = false, .level = 60,
    .flashWaitMs = 100, .closeWaitMs = 50, .countWaitMs = 20, .pictureWaitMs = 100, .low = -50, .high = 10,
    .rangeError = kErrMainFlashData, .noSuccessError = kErrMainFlashAdjust, .successWaitMs = 200};

CInsideSbDlg::CInsideSbDlg(ui::Host& host)
    : CAdjustDlg(host, res::InsideSbTemplate(), {res::IDT_INSIDE_SB, kIntervalMs}) {}

CInsideSbDlg::PassJudgement CInsideSbDlg::JudgePass(std::int8_t adj, const std::array<int, 3>& greens, int target,
                                                    double tolerance, int low, int high) {
    PassJudgement j;
    j.adj = adj;
    const int sum = greens[0] + greens[1] + greens[2];
    const auto [min, max] = std::minmax({greens[0], greens[1], greens[2]});
    constexpr double kUnlit = std::numeric_limits<double>::infinity();  // no light to compare with
    j.average = sum / 3.0;
    j.diff = j.average > 0 ? std::log2(target / j.average) : kUnlit;
    j.spread = min > 0 ? std::log2(static_cast<double>(max) / min) : kUnlit;
    if (!(j.spread <= kMaxSpreadEv)) return j;  // the three flashes disagree
    if (std::fabs(j.diff) < tolerance) {
        j.outcome = PassJudgement::kOnTarget;
        return j;
    }
    const double v = adj + j.diff * kStepsPerEv;
    if (!(v >= low && v <= high)) {
        j.outcome = PassJudgement::kOutOfRange;
        return j;
    }
    j.outcome = PassJudgement::kCorrected;
    j.adj = static_cast<std::int8_t>(RoundToInt(v));  // -2.7 gives -2
    return j;
}

int CInsideSbDlg::RunInsideSbAdjustment() {
    SetLog("内蔵ＳＢ調整\r\n");
    ShowConditions(kConditions);
    Pause(1000);
    CUsbCamera& camera = Camera();

    std::uint8_t value = 0;
    if (camera.DcmdGetProperty(kPropertyFlashUp, &value) != 1) return kErrUsbCommunication;
    if (value != 1) return kErrFlashPopUp;
    Pause(20);
    if (camera.DcmdGetProperty(kPropertyLens, &value) != 1) return kErrUsbCommunication;
    if (value != 0) return kErrNoLens;
    Pause(20);
    // Kept and restored once both values are in; a failure leaves it at 1.
    std::uint8_t kept = 0;
    if (!Step(camera.DcmdGetProperty(kPropertyFlashSetting, &kept), 100)) return kErrUsbCommunication;
    std::uint8_t one = 1;
    if (!Step(camera.SetPropertyVerified(kPropertyFlashSetting, &one), 100)) return kErrUsbCommunication;

    int r = AdjustMode(kPreFlash, m_preInitial, m_preTarget, m_preTolerance, m_preResult);
    if (!Step(r, 100)) return r;
    r = AdjustMode(kMainFlash, m_mainInitial, m_mainTarget, m_mainTolerance, m_mainResult);
    if (!Step(r, 100)) return r;
    r = WriteValues();
    if (!Step(r, 100)) return r;
    if (!Step(camera.SetPropertyVerified(kPropertyFlashSetting, &kept), 100)) return kErrUsbCommunication;
    return 1;
}

int CInsideSbDlg::AdjustMode(const Mode& mode, std::int8_t initial, int target, double tolerance,
                             std::int8_t& result) {
    AppendLog(mode.heading);
    if (!Step(Camera().SetShootingConditions(mode.a, mode.b, kIso200, 0), mode.conditionsWaitMs))
        return kErrUsbReleaseConditions;

    std::int8_t adj = initial;
    for (int pass = 1; pass <= mode.passes; ++pass) {
        std::array<int, 3> greens{};
        for (int n = 0; n < 3; ++n) {
            AreaMeasurement m;
            // A value the camera does not hold is reported as such: the
            // flash would fire with another.
            if (const int r = TakeFlashPicture(mode, adj, m); !Step(r, mode.pictureWaitMs))
                return r == kErrUsbMainRamWrite ? r : kErrUsbRelease;
            const int green = greens[static_cast<std::size_t>(n)] = FlashGreen(m);
            AppendLog(platform::Format("  [%d] GREEN : %5d[LSB]  RED : %5d[LSB]  BLUE : %5d[LSB]\r\n", n + 1,
                                       green, m.R(), m.B()));
        }
        const PassJudgement j = JudgePass(adj, greens, target, tolerance, mode.low, mode.high);
        AppendLog(platform::Format("差分 = %2.3f[EV] TARGET=%d[LSB]  GLEVEL=%d[LSB]\r\n", j.diff, target,
                                   static_cast<int>(j.average)));
        AppendLog(platform::Format("(MAX-MIN = %2.3f[EV]\r\n", j.spread));
        Record({.pass = pass, .name = mode.spreadName, .value = j.spread, .high = kMaxSpreadEv, .unit = "EV",
                .passed = j.outcome != PassJudgement::kSpread});
        if (j.outcome == PassJudgement::kSpread) continue;  // a pass used up, the value kept
        Record({.pass = pass, .name = mode.diffName, .value = j.diff, .low = -tolerance, .high = tolerance,
                .unit = "EV", .passed = j.outcome == PassJudgement::kOnTarget});
        if (j.outcome == PassJudgement::kOnTarget) {
            result = adj;  // the value these three flashes were fired with
            Pause(mode.successWaitMs);
            return 1;
        }
        if (j.outcome == PassJudgement::kOutOfRange) return mode.rangeError;
        adj = j.adj;
        AppendLog(platform::Format("調整値= %02X[HEX}\r\n\r\n", static_cast<unsigned>(static_cast<std::uint8_t>(adj))));
    }
    return mode.noSuccessError;
}

int CInsideSbDlg::TakeFlashPicture(const Mode& mode, std::int8_t adj, AreaMeasurement& m) {
    CUsbCamera& camera = Camera();
    std::uint8_t value = static_cast<std::uint8_t>(adj);
    if (!Step(camera.SetInspectionMode(), 50)) return kErrUsbCommunication;
    if (!Step(camera.AccessCameraMemory(CameraMemory::Dram, MemoryDirection::Write, mode.dramAddress, 1, &value, 1),
              20))
        return kErrUsbCommunication;
    if (const int r = HeldResult(camera.CameraMemoryHolds(CameraMemory::Dram, mode.dramAddress, 1, &value),
                                 kErrUsbMainRamWrite);
        r != 1)
        return r;
    if (!Step(camera.FireInsideSb(kFireWidth), 300)) return kErrUsbCommunication;
    if (!Step(camera.ChargeInsideSb(m_chargeVolts), 50)) return kErrUsbCommunication;
    const int flash = mode.preFlash ? camera.SendPreFlash(mode.level, 0) : camera.SendMainFlash(mode.level, 0);
    if (!Step(flash, mode.flashWaitMs)) return kErrUsbCommunication;
    if (!Step(camera.CloseInspectionMode(), mode.closeWaitMs)) return kErrUsbCommunication;

    // As the link's capture waits for a picture (and reports none as it does).
    bool ready = false;
    for (int i = 0; i < kReadyPolls && !ready; ++i) {
        ready = camera.DcmdDeviceReady() == 1;
        if (!ready) Pause(kReadyPollWaitMs);
    }
    if (!ready) return kLinkNoPicture;
    Pause(mode.countWaitMs);
    std::uint8_t count = 0;
    if (camera.DcmdGetProperty(kPropertyImageCount, &count) != 1) return kErrUsbCommunication;
    if (count == 0) return kLinkNoPicture;
    Pause(10);
    ImageFileInfo info;
    if (camera.DcmdGetImageFileInfo(&info) != 1) return kErrUsbCommunication;
    if (info.totalSize == 0 || info.status != 0) return kLinkNoPicture;
    Pause(10);
    if (!Step(camera.ReadCcdAdjustData(kLensArea, &m), 10)) return kErrUsbCommunication;
    if (!Step(camera.DcmdCloseSession(), 50)) return kErrUsbCommunication;
    return camera.ResumeSession() == 1 ? 1 : kErrUsbCommunication;
}

int CInsideSbDlg::WriteValues() {
    CUsbCamera& camera = Camera();
    // A read answers two bytes more than it asks for.
    std::uint8_t before[4] = {};
    std::uint8_t values[2] = {static_cast<std::uint8_t>(m_preResult), static_cast<std::uint8_t>(m_mainResult)};
    std::uint8_t readBack[4] = {};
    const auto access = [&](CameraMemory area, MemoryDirection mode, std::uint32_t address, std::uint8_t* data,
                            std::uint32_t size) {
        return Step(camera.AccessCameraMemory(area, mode, address, 2, data, size), 20);
    };
    if (!Step(camera.OpenChecker(), 20)) return kErrUsbCommunication;
    if (!Step(camera.SetInspectionMode(), 20)) return kErrUsbCommunication;
    if (!access(CameraMemory::Eeprom, MemoryDirection::Read, kEepromValues, before, sizeof before) ||
        !access(CameraMemory::Eeprom, MemoryDirection::Write, kEepromValues, values, sizeof values) ||
        !access(CameraMemory::Dram, MemoryDirection::Write, kDramValues, values, sizeof values) ||
        !access(CameraMemory::Eeprom, MemoryDirection::Read, kEepromValues, readBack, sizeof readBack))
        return kErrUsbCommunication;
    if (readBack[0] != values[0] || readBack[1] != values[1]) return kErrUsbMainEepromWrite;
    AppendLog(platform::Format("プリ調整値：%02X  本調整値：%02X\r\n", values[0], values[1]));
    if (!Step(camera.CallChecksumSubroutine(), 20)) return kErrUsbCommunication;
    return camera.CloseInspectionMode() == 1 ? 1 : kErrUsbCommunication;
}
