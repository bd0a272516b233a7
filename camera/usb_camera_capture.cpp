// Shooting conditions, taking a picture and waiting for it, the camera's own
// area measurement of it, averaging several shots, and transferring a
// picture.

#include <cstring>

#include "camera/usb_camera.h"
#include "platform/clock.h"
#include "platform/trace.h"

namespace {

constexpr std::uint8_t kPropertyImageCount = 88;
constexpr std::uint8_t kPropertyConditionA = 11;
constexpr std::uint8_t kPropertyConditionB = 12;
constexpr std::uint8_t kPropertyConditionD = 2;
constexpr std::uint8_t kPropertyConditionC = 5;

constexpr int kReadyPolls = 100;
constexpr int kReadyPollWaitMs = 100;
constexpr int kVerifyWaitMs = 100;
constexpr int kConditionStepWaitMs = 50;
constexpr int kMaxAveragedShots = 5;
constexpr std::uint32_t kPartZeroBlock = 65536;

}  // namespace

int CUsbCamera::SetPropertyVerified(std::uint8_t id, std::uint8_t* value) {
    if (!value) return kLinkBadArgument;
    int r = DcmdSetProperty(id, *value);
    if (r != 1) return r;
    m_clock.Sleep(kVerifyWaitMs);
    std::uint8_t held = 0;
    r = DcmdGetProperty(id, &held);
    if (r != 1) return r;
    if (held == *value) return 1;
    *value = held;
    return kLinkValueNotTaken;
}

int CUsbCamera::SetShootingConditions(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    int r = SetPropertyVerified(kPropertyConditionA, &a);
    if (r != 1) return r;
    m_clock.Sleep(kConditionStepWaitMs);
    if (b != 0) {
        r = DcmdSetProperty(kPropertyConditionB, b);
        if (r != 1) return r;
        m_clock.Sleep(kConditionStepWaitMs);
    }
    r = SetPropertyVerified(kPropertyConditionD, &d);
    if (r != 1) return r;
    m_clock.Sleep(kConditionStepWaitMs);
    r = SetPropertyVerified(kPropertyConditionC, &c);
    if (r != 1) return r;
    m_clock.Sleep(kConditionStepWaitMs);
    return 1;
}

int CUsbCamera::ResumeSession() {
    int r = DcmdOpenSession();
    if (r != 1) return r;
    m_clock.Sleep(20);
    return DcmdChangeMode(1);
}

int CUsbCamera::CapturePreamble(ImageFileInfo* info, int infoWaitMs, std::uint8_t* imageCount) {
    int r = DcmdTakePicture(0);
    if (r != 1) return r;

    bool ready = false;
    for (int i = 0; i < kReadyPolls && !ready; ++i) {
        ready = DcmdDeviceReady() == 1;
        if (!ready) m_clock.Sleep(kReadyPollWaitMs);
    }
    if (!ready) return kLinkNoPicture;

    m_clock.Sleep(20);
    std::uint8_t count = 0;
    r = DcmdGetProperty(kPropertyImageCount, &count);
    if (r != 1) return r;
    if (count == 0) return kLinkNoPicture;
    if (imageCount) *imageCount = count;

    m_clock.Sleep(infoWaitMs);
    r = DcmdGetImageFileInfo(info);
    if (r != 1) return r;
    if (info->totalSize == 0 || info->status != 0) return kLinkNoPicture;
    m_clock.Sleep(infoWaitMs);
    return 1;
}

int CUsbCamera::CaptureImageInfo(ImageFileInfo* info) {
    if (!info) return kLinkBadArgument;
    ImageFileInfo taken;
    int r = CapturePreamble(&taken, 20);
    if (r != 1) return r;
    r = DcmdCloseSession();
    if (r != 1) return r;
    m_clock.Sleep(10);
    r = ResumeSession();
    if (r != 1) return r;
    *info = taken;
    return 1;
}

int CUsbCamera::CaptureAndMeasure(const MeasureArea& area, AreaMeasurement* out) {
    if (!out) return kLinkBadArgument;
    ImageFileInfo info;
    std::uint8_t count = 0;
    int r = CapturePreamble(&info, 10, &count);
    if (r != 1) return r;
    platform::Trace("IMAGE COUNT = %d\r\n", count);
    r = ReadCcdAdjustData(area, out);
    if (r != 1) return r;
    m_clock.Sleep(10);
    r = DcmdCloseSession();
    if (r != 1) return r;
    m_clock.Sleep(10);
    return ResumeSession();
}

int CUsbCamera::CaptureAndMeasureAveraged(int count, const MeasureArea& area, AreaMeasurement* out) {
    if (!out || count < 1 || count > kMaxAveragedShots) return kLinkBadArgument;
    std::uint32_t sums[16] = {};
    for (int shot = 0; shot < count; ++shot) {
        AreaMeasurement m;
        int r = CaptureAndMeasure(area, &m);
        if (r != 1) return r;
        for (int i = 0; i < 16; ++i) sums[i] += m.m[i];
        m_clock.Sleep(100);
    }
    // Rounded half up: floor(sum / count + 0.5), in integers.
    const auto n = static_cast<std::uint32_t>(count);
    for (int i = 0; i < 16; ++i) out->m[i] = static_cast<std::uint16_t>((2 * sums[i] + n) / (2 * n));
    return 1;
}

int CUsbCamera::CaptureRawImage(std::uint8_t* buffer, std::uint32_t bufferSize, ImageFileInfo* info) {
    if (!buffer || !info) return kLinkBadArgument;
    ImageFileInfo taken;
    int r = CapturePreamble(&taken, 20);
    if (r != 1) return r;
    // Sizes that the buffer cannot hold or that cannot be split into blocks
    // are refused before anything is transferred.
    if (taken.totalSize > bufferSize || taken.firstPartSize > taken.totalSize || taken.blockSize == 0)
        return kLinkNoPicture;

    std::uint8_t* p = buffer;
    for (std::uint32_t left = taken.firstPartSize; left > 0;) {
        const std::uint32_t n = left < kPartZeroBlock ? left : kPartZeroBlock;
        if (DcmdGetImage(0, n, p) != 1) return 0;
        p += n;
        left -= n;
    }
    int block = 0;
    for (std::uint32_t left = taken.totalSize - taken.firstPartSize; left > 0;) {
        const std::uint32_t n = left < taken.blockSize ? left : taken.blockSize;
        platform::Trace("COUNT = %d\r\n", ++block);
        if (DcmdGetImage(1, n, p) != 1) return 0;
        p += n;
        left -= n;
    }
    *info = taken;
    return 1;
}
