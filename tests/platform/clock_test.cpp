#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

TEST(VirtualClock, SleepMovesTimeAndRunsAlarmsInOrder) {
    platform::VirtualClock clock;
    std::vector<std::int64_t> fired;
    clock.After(30, [&] { fired.push_back(clock.NowMs()); });
    clock.After(10, [&] { fired.push_back(clock.NowMs()); });
    clock.Sleep(5);
    EXPECT_TRUE(fired.empty());
    clock.Sleep(100);
    EXPECT_EQ(fired, (std::vector<std::int64_t>{10, 30}));
    EXPECT_EQ(clock.NowMs(), 105);
    EXPECT_EQ(clock.SleptMs(), 105);
}

TEST(VirtualClock, AlarmMayScheduleAnotherThatFallsDueInTheSameSleep) {
    platform::VirtualClock clock;
    int count = 0;
    clock.After(10, [&] {
        ++count;
        clock.After(10, [&] { ++count; });
    });
    clock.Sleep(50);
    EXPECT_EQ(count, 2);
}

TEST(VirtualClock, NegativeSleepIsNoOpAndDateIsSettable) {
    platform::VirtualClock clock;
    clock.Sleep(-3);
    EXPECT_EQ(clock.NowMs(), 0);
    EXPECT_EQ(clock.Today(), (platform::LocalDate{2002, 7, 5}));
    clock.SetToday({2026, 12, 8});
    EXPECT_EQ(clock.Today().day, 8);
}

TEST(VirtualClock, PacedByRealTimeWaitsForWhatItMovesOn) {
    using Steady = std::chrono::steady_clock;
    const Steady::time_point start = Steady::now();
    auto realMs = [start] { return std::chrono::duration<double, std::milli>(Steady::now() - start).count(); };
    using Pace = platform::VirtualClock::Pace;

    platform::VirtualClock clock;
    clock.Sleep(1000);
    ASSERT_LT(realMs(), 500);
    clock.SetPace(Pace::RealTime);
    EXPECT_GE(clock.NowMs(), 1000);  // the time so far is kept
    EXPECT_EQ(clock.Today(), platform::RealClock().Today());

    double alarmAfter = -1;
    const double setAt = realMs();
    clock.After(15, [&] { alarmAfter = realMs() - setAt; });
    const std::int64_t before = clock.NowMs();
    const double sleepFrom = realMs();
    clock.Sleep(25);
    const double slept = realMs() - sleepFrom;
    EXPECT_GE(slept, 25.0);
    EXPECT_GE(alarmAfter, 15.0);
    EXPECT_GE(clock.NowMs() - before, 25);

    const double advanceFrom = realMs();
    const std::int64_t target = clock.NowMs() + 20;
    clock.AdvanceTo(target);
    EXPECT_GE(realMs() - advanceFrom, 20.0);
    EXPECT_GE(clock.NowMs(), target);
    clock.AdvanceTo(0);  // never back
    EXPECT_GE(clock.NowMs(), target);

    clock.SetPace(Pace::Instant);
    const std::int64_t kept = clock.NowMs();
    const double instantFrom = realMs();
    clock.Sleep(60000);
    EXPECT_LT(realMs() - instantFrom, 500);
    EXPECT_EQ(clock.NowMs(), kept + 60000);
    EXPECT_EQ(clock.SleptMs(), 1000 + 25 + 60000);
}

TEST(RealClock, TodayIsAPlausibleDate) {
    platform::RealClock clock;
    auto d = clock.Today();
    EXPECT_GE(d.year, 2020);
    EXPECT_GE(d.month, 1);
    EXPECT_LE(d.month, 12);
    EXPECT_GE(d.day, 1);
    EXPECT_LE(d.day, 31);
}

}  // namespace

#include "platform/beep.h"

namespace {

TEST(SystemBeeper, DurationPassesOnTheClockWithOrWithoutSound) {
    platform::VirtualClock clock;
    platform::SystemBeeper beeper(clock);
    beeper.Beep(2000, 300);
    EXPECT_EQ(clock.NowMs(), 300);
}

}  // namespace
