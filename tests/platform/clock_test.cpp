#include "platform/clock.h"

#include <gtest/gtest.h>

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
