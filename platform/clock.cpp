#include "platform/clock.h"

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

std::int64_t RealClock::UnixMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

VirtualClock::VirtualClock(LocalDate today, Pace pace) : pace_(Pace::Instant), today_(today) { SetPace(pace); }

void VirtualClock::SetPace(Pace pace) {
    now_ = NowMs();
    origin_ = Steady::now() - std::chrono::milliseconds(now_);
    pace_ = pace;
}

std::int64_t VirtualClock::NowMs() const {
    if (pace_ == Pace::Instant) return now_;
    // The millisecond under way counts as begun: a wait measured from this
    // time then never ends before its length has really passed.
    return std::chrono::ceil<std::chrono::milliseconds>(Steady::now() - origin_).count();
}

std::int64_t VirtualClock::UnixMs() const {
    if (pace_ == Pace::RealTime) return RealClock().UnixMs();
    std::tm tm{};
    tm.tm_year = today_.year - 1900;
    tm.tm_mon = today_.month - 1;
    tm.tm_mday = today_.day;
    tm.tm_hour = 8;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm)) * 1000 + now_;
}

LocalDate VirtualClock::Today() const { return pace_ == Pace::Instant ? today_ : RealClock().Today(); }

void VirtualClock::Sleep(int ms) {
    if (ms <= 0) return;
    slept_ += ms;
    AdvanceTo(NowMs() + ms);
}

void VirtualClock::AdvanceTo(std::int64_t t) {
    while (!alarms_.empty() && alarms_.begin()->first <= t) {
        auto node = alarms_.extract(alarms_.begin());
        WaitUntil(node.key());
        node.mapped()();
    }
    WaitUntil(t);
}

void VirtualClock::WaitUntil(std::int64_t t) {
    if (pace_ == Pace::Instant) {
        if (t > now_) now_ = t;
    } else {
        std::this_thread::sleep_until(origin_ + std::chrono::milliseconds(t));
    }
}

void VirtualClock::After(int delayMs, std::function<void()> action) {
    alarms_.emplace(NowMs() + (delayMs > 0 ? delayMs : 0), std::move(action));
}

}  // namespace platform
