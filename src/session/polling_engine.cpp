#include "session/polling_engine.h"

#include "core/diagnostic_log.h"
#include "core/named_thread.h"
#include "meter/protocol.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace zelmar {

// Four independent locks guard the four shared values; none is ever held
// across a port call, a callback or a sleep, and no two are held at once.
// A fifth guards the callbacks themselves and a count of those running; it
// too is released before a callback is called, so a callback may set a
// callback or destroy the engine. The destructor waits for the count to
// reach zero (unless it runs inside a callback, on the polling thread).
struct PollingEngine::Shared {
    Shared(std::unique_ptr<DMMDevicePort> p, int period, PollingTiming t)
        : pollPeriodMs(period)
        , timing(t)
        , clock(timing.clock ? timing.clock : systemClock())
        , port(std::move(p))
    {
    }

    const int pollPeriodMs;
    const PollingTiming timing;
    const std::shared_ptr<PollingClock> clock;
    const std::unique_ptr<DMMDevicePort> port; // touched by the polling thread only

    mutable std::mutex latestMutex;
    std::optional<Reading> latest;
    double latestTime = 0;

    mutable std::mutex stateMutex;
    SessionConnectionState state;

    mutable std::mutex stopMutex;
    bool stopRequested = false;

    mutable std::mutex finishedMutex;
    bool finished = true;

    std::mutex callbackMutex;
    std::condition_variable callbacksIdle;
    std::function<void(const Reading&)> onReading;
    std::function<void(const SessionConnectionState&)> onConnectionChanged;
    int callbacksRunning = 0;
    bool silenced = false;
    std::thread::id pollingThread;

    // Calls the callback in `slot` (a copy, taken under the lock) with no
    // lock held. An exception from it is logged, not let loose on the thread.
    template <typename Argument>
    void invoke(std::function<void(const Argument&)> Shared::*slot, const Argument& argument)
    {
        std::function<void(const Argument&)> callback;
        {
            std::lock_guard lock(callbackMutex);
            if (silenced || !(this->*slot))
                return;
            callback = this->*slot;
            ++callbacksRunning;
        }
        try {
            callback(argument);
        } catch (const std::exception& e) {
            log::write(log::Module::session, std::string("回呼函式擲出例外：") + e.what());
        } catch (...) {
            log::write(log::Module::session, "回呼函式擲出例外");
        }
        callback = nullptr; // release what it captured before the count drops
        {
            std::lock_guard lock(callbackMutex);
            --callbacksRunning;
        }
        callbacksIdle.notify_all();
    }

    bool isStopRequested() const
    {
        std::lock_guard lock(stopMutex);
        return stopRequested;
    }

    bool isFinished() const
    {
        std::lock_guard lock(finishedMutex);
        return finished;
    }

    void sleepInSlices(int durationMs) const
    {
        while (durationMs > 0) {
            if (isStopRequested())
                return;
            const int slice = std::min(durationMs, timing.sleepSliceMs);
            clock->sleepMilliseconds(slice);
            durationMs -= slice;
        }
    }

    void setState(const SessionConnectionState& next)
    {
        {
            std::lock_guard lock(stateMutex);
            if (state == next)
                return;
            state = next;
        }
        invoke(&Shared::onConnectionChanged, next);
    }

    void clearLatest()
    {
        std::lock_guard lock(latestMutex);
        latest.reset();
        latestTime = 0;
    }

    void run();
};

namespace {

using SteadyClock = std::chrono::steady_clock;

class SystemClock final : public PollingClock {
public:
    double wallSeconds() override { return PollingEngine::now(); }
    std::int64_t monotonicMilliseconds() override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now().time_since_epoch()).count();
    }
    void sleepMilliseconds(int duration) override { std::this_thread::sleep_for(std::chrono::milliseconds(duration)); }
};

DmmFlags toFlags(const DMMStatusFlags& f)
{
    return DmmFlags { f.rel, f.hold, f.min, f.max, f.apo, f.manualRange, f.lowBattery, f.hvWarning, f.acFlag, f.peakMax,
        f.peakMin, f.barNegative };
}

} // namespace

void PollingEngine::Shared::run()
{
    int failures = 0;
    int badFrames = 0;
    std::string model;

    for (;;) {
        if (isStopRequested()) {
            port->close();
            return;
        }

        if (port->isOpen()) {
            const std::int64_t started = clock->monotonicMilliseconds();
            auto answer = port->requestDisplay(timing.readTimeoutMs);
            if (!answer) {
                if (++failures >= timing.disconnectThreshold) {
                    log::write(log::Module::session, "連續讀取失敗 " + std::to_string(failures) + " 次，判定斷線");
                    port->close();
                    clearLatest();
                    setState(SessionConnectionState::disconnected());
                    sleepInSlices(timing.reconnectDelayMs);
                    failures = 0;
                    continue;
                }
            } else if (auto frame
                = DMMProtocol::isAcknowledge(*answer) ? std::nullopt : DMMProtocol::decodeDisplay(*answer)) {
                const double at = clock->wallSeconds();
                const Reading reading(at, frame->functionCode, frame->rangeIndex, frame->displayText,
                    toFlags(frame->flags), frame->barGraph);
                {
                    std::lock_guard lock(latestMutex);
                    latest = reading;
                    latestTime = at;
                }
                setState(SessionConnectionState::connected(model));
                invoke(&Shared::onReading, reading);
                failures = 0;
                badFrames = 0;
            } else {
                // A bad answer. The count is not reset at the threshold, so
                // later bad answers keep readError without a new notice.
                failures = 0;
                if (++badFrames >= timing.badFrameThreshold)
                    setState(SessionConnectionState::readError());
            }
            const std::int64_t remaining = pollPeriodMs - (clock->monotonicMilliseconds() - started);
            if (remaining > 0)
                sleepInSlices(static_cast<int>(remaining));
        } else if (port->open()) {
            auto queried = port->readModel();
            model = queried ? *queried : std::string();
            log::write(log::Module::session,
                "HID 已開啟，型號 " + (model.empty() ? std::string("（未回應）") : model) + "；等待電錶有效讀值");
            failures = 0;
            badFrames = 0;
        } else {
            setState(SessionConnectionState::disconnected());
            sleepInSlices(timing.reconnectDelayMs);
        }
    }
}

std::shared_ptr<PollingClock> systemClock()
{
    static const auto clock = std::make_shared<SystemClock>();
    return clock;
}

PollingEngine::PollingEngine(std::unique_ptr<DMMDevicePort> port, int pollPeriodMs, PollingTiming timing)
    : shared_(std::make_shared<Shared>(std::move(port), pollPeriodMs, timing))
{
}

PollingEngine::~PollingEngine()
{
    {
        std::lock_guard lock(shared_->stopMutex);
        shared_->stopRequested = true;
    }
    // Silence later callbacks and wait out the ones running: the owner that
    // they reach back into may be gone after this returns. Inside a callback
    // on the polling thread that one is still running; it is not waited for.
    std::function<void(const Reading&)> reading;
    std::function<void(const SessionConnectionState&)> connection;
    {
        std::unique_lock lock(shared_->callbackMutex);
        shared_->silenced = true;
        reading = std::move(shared_->onReading);
        connection = std::move(shared_->onConnectionChanged);
        if (std::this_thread::get_id() != shared_->pollingThread)
            shared_->callbacksIdle.wait(lock, [this] { return shared_->callbacksRunning == 0; });
    }
}

void PollingEngine::setOnReading(std::function<void(const Reading&)> callback)
{
    std::lock_guard lock(shared_->callbackMutex);
    shared_->onReading = std::move(callback);
}

void PollingEngine::setOnConnectionChanged(std::function<void(const SessionConnectionState&)> callback)
{
    std::lock_guard lock(shared_->callbackMutex);
    shared_->onConnectionChanged = std::move(callback);
}

bool PollingEngine::start()
{
    const bool stopping = shared_->isStopRequested();
    {
        std::lock_guard lock(shared_->finishedMutex);
        if (!shared_->finished) {
            // Running: nothing to do. Still winding down after a stop that
            // timed out: that thread is leaving and no new one may start yet.
            if (stopping)
                log::write(log::Module::session, "輪詢執行緒仍在結束中，無法重新啟動");
            return !stopping;
        }
        shared_->finished = false;
    }
    {
        std::lock_guard lock(shared_->stopMutex);
        shared_->stopRequested = false;
    }
    const bool started = startDetachedThread("DMM5174K-Poll", threadStackSize, [shared = shared_] {
        {
            std::lock_guard lock(shared->callbackMutex);
            shared->pollingThread = std::this_thread::get_id();
        }
        // The thread's barrier: whatever escapes ends polling, not the process.
        try {
            shared->run();
        } catch (const std::exception& e) {
            log::write(log::Module::session, std::string("輪詢執行緒因例外而結束：") + e.what());
        } catch (...) {
            log::write(log::Module::session, "輪詢執行緒因例外而結束");
        }
        shared->port->close();
        std::lock_guard lock(shared->finishedMutex);
        shared->finished = true;
    });
    if (!started) {
        log::write(log::Module::session, "輪詢執行緒無法啟動");
        std::lock_guard lock(shared_->finishedMutex);
        shared_->finished = true;
        return false;
    }
    log::write(log::Module::session, "輪詢執行緒已啟動（週期 " + std::to_string(shared_->pollPeriodMs) + " ms）");
    return true;
}

void PollingEngine::stop(double timeoutSeconds)
{
    bool alreadyStopped = false;
    {
        std::lock_guard lock(shared_->stopMutex);
        alreadyStopped = std::exchange(shared_->stopRequested, true);
    }
    const auto deadline = SteadyClock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (SteadyClock::now() < deadline) {
        if (shared_->isFinished())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!alreadyStopped) // shut-down paths may stop twice; the line tells of the one stop
        log::writeRaw("[DMMSession] 輪詢執行緒已停止\r\n");
}

SessionConnectionState PollingEngine::state() const
{
    std::lock_guard lock(shared_->stateMutex);
    return shared_->state;
}

std::optional<Reading> PollingEngine::latestReading(double now, double maxAgeFactor) const
{
    std::optional<Reading> reading;
    double storedAt = 0;
    {
        std::lock_guard lock(shared_->latestMutex);
        reading = shared_->latest;
        storedAt = shared_->latestTime;
    }
    if (!reading)
        return std::nullopt;
    if (now - storedAt > maxAgeFactor * shared_->pollPeriodMs / 1000.0)
        return std::nullopt;
    return reading;
}

bool PollingEngine::isRunning() const
{
    return !shared_->isFinished();
}

int PollingEngine::pollPeriodMs() const noexcept
{
    return shared_->pollPeriodMs;
}

double PollingEngine::now()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

} // namespace zelmar
