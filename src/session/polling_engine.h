#pragma once

// PollingEngine owns the meter connection. On its own thread,
// "DMM5174K-Poll", it opens the meter when it is plugged in, asks for the
// display once per period, turns each valid answer into a Reading, keeps
// the latest one and reports readings and connection changes through two
// callbacks, which run on the polling thread. It reconnects by itself.
//
// The thread shares ownership of everything it touches, so destroying the
// engine while a stop that timed out is still winding down is safe; after
// the destructor returns no callback is running and none will run (but the
// one that destroyed it, when a callback does that). Callbacks run with no
// lock of the engine held and may call any of its members.

#include "core/reading.h"
#include "meter/dmm5174k.h"
#include "session/connection_state.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace zelmar {

// The engine's view of time: the wall clock that stamps readings, a
// monotonic clock that paces requests, and sleeping. The application uses
// the system's (systemClock()); tests put in a clock of their own so that
// no result depends on how busy the machine is.
class PollingClock {
public:
    virtual ~PollingClock() = default;
    // Seconds since 1970.
    [[nodiscard]] virtual double wallSeconds() = 0;
    [[nodiscard]] virtual std::int64_t monotonicMilliseconds() = 0;
    virtual void sleepMilliseconds(int duration) = 0;
};

[[nodiscard]] std::shared_ptr<PollingClock> systemClock();

// The engine's fixed numbers. The application always uses these defaults;
// tests shorten them to run fast.
struct PollingTiming {
    std::uint32_t readTimeoutMs = 500;
    int reconnectDelayMs = 2000;
    int sleepSliceMs = 50;
    int disconnectThreshold = 3;
    int badFrameThreshold = 5;
    std::shared_ptr<PollingClock> clock = systemClock();
};

class PollingEngine {
public:
    static constexpr std::size_t threadStackSize = 524'288;

    PollingEngine(std::unique_ptr<DMMDevicePort> port, int pollPeriodMs, PollingTiming timing = {});
    ~PollingEngine();
    PollingEngine(const PollingEngine&) = delete;
    PollingEngine& operator=(const PollingEngine&) = delete;

    // Both are called on the polling thread; they may be changed at any time.
    void setOnReading(std::function<void(const Reading&)> callback);
    void setOnConnectionChanged(std::function<void(const SessionConnectionState&)> callback);

    // Starts the polling thread unless one is running. False (and logged)
    // when the platform could not start it, or when the thread of a stop
    // that timed out has not ended yet.
    [[nodiscard]] bool start();
    // Asks the thread to end and waits for it at most timeoutSeconds.
    void stop(double timeoutSeconds);

    [[nodiscard]] SessionConnectionState state() const;
    // The latest reading when it was stored at most
    // maxAgeFactor x pollPeriod before `now` (seconds since 1970).
    [[nodiscard]] std::optional<Reading> latestReading(double now, double maxAgeFactor) const;
    [[nodiscard]] bool isRunning() const;
    [[nodiscard]] int pollPeriodMs() const noexcept;

    // Wall-clock seconds since 1970, the time base of readings.
    [[nodiscard]] static double now();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace zelmar
