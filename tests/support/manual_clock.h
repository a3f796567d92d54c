#pragma once

// A clock for the polling engine whose time moves only when the engine
// sleeps (or the test advances it). Periods, waits and the age of readings
// then come out exactly, however busy the machine is; each sleep still
// yields for a moment of real time so that other threads run.

#include "session/polling_engine.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace zelmar::testing {

class ManualClock final : public PollingClock {
public:
    explicit ManualClock(double wallStart = PollingEngine::now())
        : wallStart_(wallStart)
    {
    }
    double wallSeconds() override { return wallStart_ + static_cast<double>(milliseconds_.load()) / 1000.0; }
    std::int64_t monotonicMilliseconds() override { return milliseconds_.load(); }
    void sleepMilliseconds(int duration) override
    {
        milliseconds_ += duration;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    void advance(int duration) { milliseconds_ += duration; }

private:
    const double wallStart_;
    std::atomic<std::int64_t> milliseconds_ { 0 };
};

} // namespace zelmar::testing
