#include "session/polling_engine.h"

#include "core/diagnostic_log.h"
#include "core/named_thread.h"
#include "meter/protocol.h"

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

namespace zelmar {

// Four independent locks guard the four shared values; none is ever held
// across a port call, a callback or a sleep, and no two are held at once.
// A fifth, the callback gate, is held only while a callback runs, so that
// the destructor can wait out a running callback and silence later ones.
struct PollingEngine::Shared {
    Shared(std::unique_ptr<DMMDevicePort> p, int period, PollingTiming t)
        : pollPeriodMs(period)
        , timing(t)
        , port(std::move(p))
    {
    }

    const int pollPeriodMs;
    const PollingTiming timing;
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

    std::mutex callbackGate;
    std::function<void(const Reading&)> onReading;
    std::function<void(const SessionConnectionState&)> onConnectionChanged;

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
            std::this_thread::sleep_for(std::chrono::milliseconds(slice));
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
        std::lock_guard gate(callbackGate);
        if (onConnectionChanged)
            onConnectionChanged(next);
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
            const auto started = SteadyClock::now();
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
                const Reading reading(PollingEngine::now(), frame->functionCode, frame->rangeIndex, frame->displayText,
                    toFlags(frame->flags), frame->barGraph);
                {
                    std::lock_guard lock(latestMutex);
                    latest = reading;
                    latestTime = PollingEngine::now();
                }
                setState(SessionConnectionState::connected(model));
                {
                    std::lock_guard gate(callbackGate);
                    if (onReading)
                        onReading(reading);
                }
                failures = 0;
                badFrames = 0;
            } else {
                // A bad answer. The count is not reset at the threshold, so
                // later bad answers keep readError without a new notice.
                failures = 0;
                if (++badFrames >= timing.badFrameThreshold)
                    setState(SessionConnectionState::readError());
            }
            const auto elapsed
                = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - started).count();
            const auto remaining = pollPeriodMs - elapsed;
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
    // Wait out a callback in progress and silence the rest: the owner that
    // the callbacks reach back into may be gone after this returns.
    std::lock_guard gate(shared_->callbackGate);
    shared_->onReading = nullptr;
    shared_->onConnectionChanged = nullptr;
}

void PollingEngine::setOnReading(std::function<void(const Reading&)> callback)
{
    std::lock_guard gate(shared_->callbackGate);
    shared_->onReading = std::move(callback);
}

void PollingEngine::setOnConnectionChanged(std::function<void(const SessionConnectionState&)> callback)
{
    std::lock_guard gate(shared_->callbackGate);
    shared_->onConnectionChanged = std::move(callback);
}

void PollingEngine::start()
{
    {
        std::lock_guard lock(shared_->finishedMutex);
        if (!shared_->finished)
            return;
        shared_->finished = false;
    }
    {
        std::lock_guard lock(shared_->stopMutex);
        shared_->stopRequested = false;
    }
    const bool started = startDetachedThread("DMM5174K-Poll", threadStackSize, [shared = shared_] {
        shared->run();
        std::lock_guard lock(shared->finishedMutex);
        shared->finished = true;
    });
    if (!started) {
        std::lock_guard lock(shared_->finishedMutex);
        shared_->finished = true;
        return;
    }
    log::write(log::Module::session, "輪詢執行緒已啟動（週期 " + std::to_string(shared_->pollPeriodMs) + " ms）");
}

void PollingEngine::stop(double timeoutSeconds)
{
    {
        std::lock_guard lock(shared_->stopMutex);
        shared_->stopRequested = true;
    }
    const auto deadline = SteadyClock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (SteadyClock::now() < deadline) {
        if (shared_->isFinished())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
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
