#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace platform {

void RealClock::Sleep(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t RealClock::NowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

LocalDate RealClock::Today() const {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

void VirtualClock::Sleep(int ms) {
    if (ms <= 0) return;
    slept_ += ms;
    AdvanceTo(now_ + ms);
}

void VirtualClock::AdvanceTo(std::int64_t t) {
    while (!alarms_.empty() && alarms_.begin()->first <= t) {
        auto node = alarms_.extract(alarms_.begin());
        if (node.key() > now_) now_ = node.key();
        node.mapped()();
    }
    if (t > now_) now_ = t;
}

void VirtualClock::After(int delayMs, std::function<void()> action) {
    alarms_.emplace(now_ + (delayMs > 0 ? delayMs : 0), std::move(action));
}

}  // namespace platform
