#pragma once
// Every fixed wait of the station, and the local date, go through a Clock, so
// that tests and the headless line run can run in virtual time.

#include <chrono>
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
    // The time of day as a calendar knows it: Unix time in milliseconds, for
    // the records a run leaves behind.
    virtual std::int64_t UnixMs() const = 0;
};

// Wall-clock time and the machine's local date.
class RealClock : public Clock {
public:
    void Sleep(int ms) override;
    std::int64_t NowMs() const override;
    LocalDate Today() const override;
    std::int64_t UnixMs() const override;
};

// Virtual time. At the instant pace, Sleep returns at once after moving the
// time on, and alarms let a test make something happen at a given virtual
// time, for example a simulated transfer that completes while the station is
// polling for it.
//
// Paced by real time, the same clock is the real time under another name:
// the time is the real time passed, Sleep(ms) lasts at least ms, AdvanceTo(t)
// returns no earlier than the real moment t, alarms run once their real
// moment has come, and the date is the machine's. A host built on a virtual
// clock then waits as the station does, for a camera that is not simulated.
class VirtualClock : public Clock {
public:
    enum class Pace {
        Instant,   // time moves on as it is asked to
        RealTime,  // time passes as it does; moving it on waits for it
    };

    explicit VirtualClock(LocalDate today = {2002, 7, 5}, Pace pace = Pace::Instant);

    void Sleep(int ms) override;
    std::int64_t NowMs() const override;
    LocalDate Today() const override;
    // At the instant pace: eight in the morning of Today(), local time, when
    // the virtual time was 0, plus the virtual time since.
    std::int64_t UnixMs() const override;

    // Changes the pace from now on; the time so far is kept.
    void SetPace(Pace pace);
    Pace GetPace() const { return pace_; }

    // The date at the instant pace.
    void SetToday(LocalDate d) { today_ = d; }
    // Moves the time on to `t` (never back), running the alarms that fall due.
    void AdvanceTo(std::int64_t t);
    // Runs `action` once the virtual time reaches NowMs() + delayMs.
    void After(int delayMs, std::function<void()> action);
    // Total virtual time slept so far.
    std::int64_t SleptMs() const { return slept_; }

private:
    using Steady = std::chrono::steady_clock;

    // Moves the time on to `t` without the alarms.
    void WaitUntil(std::int64_t t);

    Pace pace_;
    std::int64_t now_ = 0;       // the time at the instant pace
    Steady::time_point origin_;  // the real moment of time 0, paced by real time
    std::int64_t slept_ = 0;
    LocalDate today_;
    std::multimap<std::int64_t, std::function<void()>> alarms_;
};

}  // namespace platform
