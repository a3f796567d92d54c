#pragma once

// PollingEngine owns the meter connection. On its own thread,
// "DMM5174K-Poll", it opens the meter when it is plugged in, asks for the
// display once per period, turns each valid answer into a Reading, keeps
// the latest one and reports readings and connection changes through two
// callbacks, which run on the polling thread. It reconnects by itself.
//
// The thread shares ownership of everything it touches, so destroying the
// engine while a stop that timed out is still winding down is safe; after
// the destructor returns no callback is running and none will run.

#include "core/reading.h"
#include "meter/dmm5174k.h"
#include "session/connection_state.h"

#include <functional>
#include <memory>
#include <optional>

namespace zelmar {

// The engine's fixed numbers. The application always uses these defaults;
// tests shorten them to run fast.
struct PollingTiming {
    std::uint32_t readTimeoutMs = 500;
    int reconnectDelayMs = 2000;
    int sleepSliceMs = 50;
    int disconnectThreshold = 3;
    int badFrameThreshold = 5;
};

class PollingEngine {
public:
    static constexpr std::size_t threadStackSize = 524'288;

    PollingEngine(std::unique_ptr<DMMDevicePort> port, int pollPeriodMs, PollingTiming timing = {});
    ~PollingEngine();
    PollingEngine(const PollingEngine&) = delete;
    PollingEngine& operator=(const PollingEngine&) = delete;

    // Set before start(); both are called on the polling thread.
    void setOnReading(std::function<void(const Reading&)> callback);
    void setOnConnectionChanged(std::function<void(const SessionConnectionState&)> callback);

    // Starts the polling thread unless one is running.
    void start();
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
