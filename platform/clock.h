#pragma once
// Every fixed wait of the station, and the local date, go through a Clock, so
// that tests and the headless line run can run in virtual time.

#include <cstdint>
#include <functional>
#include <map>

namespace platform {

struct LocalDate {
    int year = 0;   // with century
    int month = 0;  // 1 to 12
    int day = 0;    // 1 to 31
    bool operator==(const LocalDate&) const = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    // Blocks the caller for ms milliseconds (virtual clocks just move on).
    virtual void Sleep(int ms) = 0;
    // Milliseconds since an arbitrary fixed origin.
    virtual std::int64_t NowMs() const = 0;
    virtual LocalDate Today() const = 0;
};

// Wall-clock time and the machine's local date.
class RealClock : public Clock {
public:
    void Sleep(int ms) override;
    std::int64_t NowMs() const override;
    LocalDate Today() const override;
};

// Virtual time: Sleep returns at once after moving the time on. Alarms let a
// test make something happen at a given virtual time, for example a simulated
// transfer that completes while the station is polling for it.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(LocalDate today = {2002, 7, 5}) : today_(today) {}

    void Sleep(int ms) override;
    std::int64_t NowMs() const override { return now_; }
    LocalDate Today() const override { return today_; }

    void SetToday(LocalDate d) { today_ = d; }
    // Moves the time on to `t` (never back), running the alarms that fall due.
    void AdvanceTo(std::int64_t t);
    // Runs `action` once the virtual time reaches NowMs() + delayMs.
    void After(int delayMs, std::function<void()> action);
    // Total virtual time slept so far.
    std::int64_t SleptMs() const { return slept_; }

private:
    std::int64_t now_ = 0;
    std::int64_t slept_ = 0;
    LocalDate today_;
    std::multimap<std::int64_t, std::function<void()>> alarms_;
};

}  // namespace platform
