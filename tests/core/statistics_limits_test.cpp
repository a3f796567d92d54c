#include "core/limits.h"
#include "core/statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using namespace zelmar;

// The running figures agree with a plain two-pass computation over random
// data of every scale, overloads counted apart.
TEST(RunningStatistics, AgreesWithTwoPassesOnRandomData)
{
    std::mt19937_64 random(20261207);
    for (const double scale : { 1e-6, 1.0, 1e3, 1e9 }) {
        std::normal_distribution<double> noise(5 * scale, scale);
        std::vector<double> values;
        RunningStatistics running;
        std::int64_t overloads = 0;
        for (int i = 0; i < 20'000; ++i) {
            if (i % 97 == 13) {
                running.add(std::nullopt);
                ++overloads;
                continue;
            }
            values.push_back(noise(random));
            running.add(values.back());
        }
        double sum = 0;
        double lo = values.front();
        double hi = values.front();
        for (const double v : values) {
            sum += v;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        const double mean = sum / static_cast<double>(values.size());
        double squares = 0;
        for (const double v : values)
            squares += (v - mean) * (v - mean);
        const double deviation = std::sqrt(squares / static_cast<double>(values.size() - 1));
        EXPECT_EQ(running.count(), static_cast<std::int64_t>(values.size()) + overloads);
        EXPECT_EQ(running.overloads(), overloads);
        EXPECT_EQ(running.minimum(), lo);
        EXPECT_EQ(running.maximum(), hi);
        EXPECT_NEAR(running.mean(), mean, 1e-12 * std::fabs(mean));
        EXPECT_NEAR(running.deviation(), deviation, 1e-9 * deviation);
    }
}

TEST(RunningStatistics, FewValues)
{
    RunningStatistics s;
    EXPECT_EQ(s.deviation(), 0);
    s.add(std::nullopt);
    EXPECT_EQ(s.values(), 0);
    s.add(-2.5);
    EXPECT_EQ(s.minimum(), -2.5);
    EXPECT_EQ(s.maximum(), -2.5);
    EXPECT_EQ(s.deviation(), 0);
    s.add(-0.5);
    EXPECT_DOUBLE_EQ(s.mean(), -1.5);
    EXPECT_DOUBLE_EQ(s.deviation(), std::sqrt(2.0));
}

// An alarm starts on the first value outside a limit and ends only once a
// value is back inside by the margin; an overload has no value and leaves
// it as it is; a change of limits, function or unit ends it.
TEST(AlarmMonitor, StartsOutsideEndsInsideTheMargin)
{
    AlarmMonitor alarm(Limits { 1.0, 2.0, false });
    EXPECT_DOUBLE_EQ(alarmHysteresis(alarm.limits()), 0.01);
    EXPECT_FALSE(alarm.update(1.5, 1));
    EXPECT_FALSE(alarm.update(2.0, 2)); // on the limit: inside
    auto started = alarm.update(2.004, 3);
    ASSERT_TRUE(started);
    EXPECT_TRUE(started->started);
    EXPECT_EQ(started->value, 2.004);
    EXPECT_EQ(started->at, 3);
    EXPECT_FALSE(alarm.update(2.5, 4)); // still outside: no second start
    EXPECT_FALSE(alarm.update(1.995, 5)); // inside, within the margin
    EXPECT_FALSE(alarm.update(std::nullopt, 6)); // an overload between
    EXPECT_TRUE(alarm.active());
    auto ended = alarm.update(1.99, 7);
    ASSERT_TRUE(ended);
    EXPECT_FALSE(ended->started);
    EXPECT_EQ(ended->value, 1.99);
    EXPECT_FALSE(alarm.update(std::nullopt, 8)); // an overload alone starts nothing
    ASSERT_TRUE(alarm.update(0.5, 9)); // below the low limit
    EXPECT_FALSE(alarm.update(1.005, 10));
    ASSERT_TRUE(alarm.update(1.01, 11));

    // A lone high limit: the margin is a hundredth of its size.
    AlarmMonitor high(Limits { std::nullopt, -10.0, true });
    EXPECT_DOUBLE_EQ(alarmHysteresis(high.limits()), 0.1);
    ASSERT_TRUE(high.update(-9.0, 1));
    EXPECT_FALSE(high.update(-10.05, 2));
    ASSERT_TRUE(high.update(-10.1, 3));

    // Limits removed or the function changed: an alarm in progress ends.
    ASSERT_TRUE(high.update(0, 4));
    const auto removed = high.setLimits(Limits {}, 5);
    ASSERT_TRUE(removed);
    EXPECT_FALSE(removed->started);
    EXPECT_FALSE(removed->value);
    EXPECT_FALSE(high.update(100, 6)); // no limits: nothing
    AlarmMonitor stopped(Limits { 0.0, 1.0, false });
    ASSERT_TRUE(stopped.update(5, 1));
    ASSERT_TRUE(stopped.stop(2));
    EXPECT_FALSE(stopped.stop(3));
}
