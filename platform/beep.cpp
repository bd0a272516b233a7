#include "platform/beep.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/kd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/trace.h"

namespace platform {

namespace {
constexpr int kConsoleTickRate = 1193180;  // PIT clock of the console tone
}

SystemBeeper::SystemBeeper(Clock& clock) : clock_(clock) {
    // The input layer's PC speaker accepts tones from any process that may
    // open it; the console tone needs the console.
    fd_ = ::open("/dev/input/by-path/platform-pcspkr-event-spkr", O_WRONLY | O_CLOEXEC);
    if (fd_ >= 0) {
        evdev_ = true;
        return;
    }
    fd_ = ::open("/dev/console", O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ >= 0 && ::ioctl(fd_, KIOCSOUND, 0) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

SystemBeeper::~SystemBeeper() {
    if (fd_ >= 0) ::close(fd_);
}

void SystemBeeper::Beep(int frequencyHz, int durationMs) {
    if (fd_ < 0) {
        Trace("BEEP %d Hz %d ms (no sound device)\n", frequencyHz, durationMs);
        clock_.Sleep(durationMs);
        return;
    }
    auto tone = [this](int hz) {
        if (evdev_) {
            input_event ev{};
            ev.type = EV_SND;
            ev.code = SND_TONE;
            ev.value = hz;
            [[maybe_unused]] auto n = ::write(fd_, &ev, sizeof ev);
        } else {
            ::ioctl(fd_, KIOCSOUND, hz > 0 ? kConsoleTickRate / hz : 0);
        }
    };
    tone(frequencyHz);
    clock_.Sleep(durationMs);
    tone(0);
}

}  // namespace platform
