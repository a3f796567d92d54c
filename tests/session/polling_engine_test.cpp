#include "core/diagnostic_log.h"
#include "meter/simulator.h"
#include "session/polling_engine.h"
#include "support/scripted_port.h"

#include <gtest/gtest.h>

#include <atomic>

namespace zelmar {
namespace {

using namespace std::chrono_literals;
using testing::eventually;
using testing::PortScript;
using testing::ScriptedPort;
using Kind = SessionConnectionState::Kind;

const PollingTiming kFast { 5, 100, 5, 3, 5 };

// An engine over a scripted port that records every notification.
struct Rig {
    explicit Rig(int periodMs = 10, PollingTiming timing = kFast)
        : script(std::make_shared<PortScript>())
        , engine(std::make_unique<ScriptedPort>(script), periodMs, timing)
    {
        engine.setOnReading([this](const Reading&) { ++readings; });
        engine.setOnConnectionChanged([this](const SessionConnectionState& s) {
            std::lock_guard lock(mutex);
            changes.push_back(s);
        });
    }
    ~Rig() { engine.stop(3.0); }

    std::vector<SessionConnectionState> changesSoFar()
    {
        std::lock_guard lock(mutex);
        return changes;
    }
    int count(Kind kind)
    {
        int n = 0;
        for (const auto& c : changesSoFar())
            n += c.kind == kind;
        return n;
    }

    log::LogCapture log;
    std::shared_ptr<PortScript> script;
    PollingEngine engine;
    std::atomic<int> readings { 0 };
    std::mutex mutex;
    std::vector<SessionConnectionState> changes;
};

TEST(PollingEngine, FailuresBelowTheThresholdDoNotDisconnect)
{
    Rig rig;
    rig.script->model = std::string("M-1");
    rig.script->push({ testing::failedAnswer(), testing::failedAnswer(), testing::validAnswer() });
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(eventually([&] { return rig.readings >= 1; }));
    rig.engine.stop(3.0);
    EXPECT_EQ(rig.engine.state(), SessionConnectionState::connected("M-1"));
    EXPECT_EQ(rig.count(Kind::disconnected), 0);
    EXPECT_FALSE(rig.log.contains("判定斷線"));
    EXPECT_TRUE(rig.log.contains("[DMMSession] HID 已開啟，型號 M-1；等待電錶有效讀值\r\n"));
    EXPECT_TRUE(rig.log.contains("[DMMSession] 輪詢執行緒已啟動（週期 10 ms）\r\n"));
    EXPECT_TRUE(rig.log.contains("[DMMSession] 輪詢執行緒已停止\r\n"));
    EXPECT_EQ(rig.script->closes, 1); // the thread closes the port on its way out
}

TEST(PollingEngine, ThreeFailuresDisconnectOnceAndReopen)
{
    Rig rig;
    rig.script->push({ testing::validAnswer() });
    rig.script->whenEmpty = testing::failedAnswer();
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(eventually([&] { return rig.count(Kind::disconnected) == 1; }));
    EXPECT_EQ(rig.log.count("[DMMSession] 連續讀取失敗 3 次，判定斷線\r\n"), 1);
    EXPECT_FALSE(rig.engine.latestReading(PollingEngine::now(), 1.5));
    // After the reconnect wait the port is opened again.
    ASSERT_TRUE(eventually([&] { return rig.script->with([](PortScript& s) { return s.opens; }) >= 2; }));
    rig.engine.stop(3.0);
    const auto changes = rig.changesSoFar();
    ASSERT_GE(changes.size(), 2u);
    EXPECT_EQ(changes[0], SessionConnectionState::connected("DMM-5174K"));
    EXPECT_EQ(changes[1], SessionConnectionState::disconnected());
}

TEST(PollingEngine, FiveBadAnswersNotifyReadErrorOnce)
{
    Rig rig;
    rig.script->push({ testing::validAnswer(), testing::ackAnswer(), testing::garbageAnswer(), testing::ackAnswer(),
        testing::garbageAnswer(), testing::ackAnswer(), testing::ackAnswer(), testing::garbageAnswer(),
        testing::ackAnswer(), testing::validAnswer() });
    rig.script->whenEmpty = testing::validAnswer();
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(eventually([&] { return rig.changesSoFar().size() >= 3; }));
    rig.engine.stop(3.0);
    const auto changes = rig.changesSoFar();
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].kind, Kind::connected);
    EXPECT_EQ(changes[1].kind, Kind::readError);
    EXPECT_EQ(changes[2].kind, Kind::connected);
    EXPECT_EQ(rig.script->closes, 1); // garbage never closes the port; only the stop does
}

TEST(PollingEngine, FourBadAnswersAreNotAnError)
{
    Rig rig;
    rig.script->push({ testing::validAnswer(), testing::ackAnswer(), testing::ackAnswer(), testing::ackAnswer(),
        testing::ackAnswer(), testing::validAnswer(), testing::ackAnswer(), testing::ackAnswer(), testing::ackAnswer(),
        testing::ackAnswer() });
    rig.script->whenEmpty = testing::validAnswer();
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(eventually([&] { return rig.readings >= 5; }));
    rig.engine.stop(3.0);
    EXPECT_EQ(rig.count(Kind::readError), 0);
    EXPECT_EQ(rig.changesSoFar().size(), 1u);
}

TEST(PollingEngine, SilentModelQueryConnectsWithAnEmptyModel)
{
    Rig rig;
    rig.script->model = std::unexpected(DMMError::readTimeout());
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(eventually([&] { return rig.readings >= 1; }));
    rig.engine.stop(3.0);
    EXPECT_EQ(rig.changesSoFar().front(), SessionConnectionState::connected(""));
    EXPECT_TRUE(rig.log.contains("[DMMSession] HID 已開啟，型號 （未回應）；等待電錶有效讀值\r\n"));
}

TEST(PollingEngine, AbsentMeterIsTriedAgainAndNotifiedOnce)
{
    Rig rig;
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(eventually([&] { return rig.readings >= 1; }));
    rig.script->with([](PortScript& s) {
        s.present = false;
        return 0;
    });
    ASSERT_TRUE(eventually([&] { return rig.script->with([](PortScript& s) { return s.openAttempts; }) >= 4; }));
    rig.engine.stop(3.0);
    // The initial state is already disconnected: an absent meter from the
    // start changes nothing; losing it later is one notice, not one per try.
    EXPECT_EQ(rig.count(Kind::disconnected), 1);

    Rig absent;
    absent.script->present = false;
    ASSERT_TRUE(absent.engine.start());
    ASSERT_TRUE(eventually([&] { return absent.script->with([](PortScript& s) { return s.openAttempts; }) >= 3; }));
    absent.engine.stop(3.0);
    EXPECT_TRUE(absent.changesSoFar().empty());
}

TEST(PollingEngine, LatestReadingFreshness)
{
    Rig rig(500);
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(eventually([&] { return rig.readings >= 1; }));
    rig.engine.stop(3.0);
    const auto latest = rig.engine.latestReading(PollingEngine::now(), 1000.0);
    ASSERT_TRUE(latest);
    const double t = latest->timestamp();
    EXPECT_TRUE(rig.engine.latestReading(t + 0.7, 1.5));
    EXPECT_FALSE(rig.engine.latestReading(t + 0.8, 1.5));
    EXPECT_EQ(rig.engine.latestReading(t + 0.7, 1.5)->text(), "12.345");
}

TEST(PollingEngine, StopIsPromptDuringTheReconnectWait)
{
    PollingTiming timing;
    timing.readTimeoutMs = 5; // the application's reconnect wait and slices
    Rig rig(500, timing);
    rig.script->present = false;
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(eventually([&] { return rig.script->with([](PortScript& s) { return s.openAttempts; }) >= 1; }));
    std::this_thread::sleep_for(100ms); // well inside the 2 s wait
    const auto started = std::chrono::steady_clock::now();
    rig.engine.stop(3.0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_FALSE(rig.engine.isRunning());
}

TEST(PollingEngine, StartTwiceStartsOneThreadAndRestartsAfterStop)
{
    Rig rig;
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(rig.engine.start());
    EXPECT_EQ(rig.log.count("輪詢執行緒已啟動"), 1);
    ASSERT_TRUE(eventually([&] { return rig.script->with([](PortScript& s) { return s.opens; }) >= 1; }));
    rig.engine.stop(3.0);
    EXPECT_FALSE(rig.engine.isRunning());
    ASSERT_TRUE(rig.engine.start());
    EXPECT_EQ(rig.log.count("輪詢執行緒已啟動"), 2);
    ASSERT_TRUE(eventually([&] { return rig.script->with([](PortScript& s) { return s.opens; }) >= 2; }));
}

// A rig whose engine and port run on a manual clock.
struct TimedRig : Rig {
    static PollingTiming withClock(PollingTiming timing, std::shared_ptr<testing::ManualClock> clock)
    {
        timing.clock = std::move(clock);
        return timing;
    }
    explicit TimedRig(int periodMs, PollingTiming timing = kFast,
        std::shared_ptr<testing::ManualClock> c = std::make_shared<testing::ManualClock>())
        : Rig(periodMs, withClock(timing, c))
        , clock(std::move(c))
    {
        script->clock = clock;
    }
    std::vector<std::int64_t> requestTimes()
    {
        return script->with([](PortScript& s) { return s.requestStartsMs; });
    }
    std::shared_ptr<testing::ManualClock> clock;
};

TEST(PollingEngine, PacingIsOnePeriodStartToStartNoMoreNoLess)
{
    TimedRig rig(100);
    rig.script->requestDelayMs = 30; // a slow meter: the wait is what remains
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(eventually([&] { return rig.requestTimes().size() >= 6; }));
    rig.engine.stop(3.0);
    const auto starts = rig.requestTimes();
    for (std::size_t i = 1; i < starts.size(); ++i)
        EXPECT_EQ(starts[i] - starts[i - 1], 100) << i;

    // An answer slower than the period: the next request follows at once.
    TimedRig slow(100);
    slow.script->requestDelayMs = 130;
    ASSERT_TRUE(slow.engine.start());
    ASSERT_TRUE(eventually([&] { return slow.requestTimes().size() >= 4; }));
    slow.engine.stop(3.0);
    const auto slowStarts = slow.requestTimes();
    for (std::size_t i = 1; i < slowStarts.size(); ++i)
        EXPECT_EQ(slowStarts[i] - slowStarts[i - 1], 130) << i;
}

TEST(PollingEngine, AnAbsentMeterIsLookedForEveryTwoSeconds)
{
    PollingTiming timing; // the application's own numbers
    TimedRig rig(500, timing);
    rig.script->present = false;
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(
        eventually([&] { return rig.script->with([](PortScript& s) { return s.openAttemptsMs.size(); }) >= 4; }));
    rig.engine.stop(3.0);
    const auto attempts = rig.script->with([](PortScript& s) { return s.openAttemptsMs; });
    for (std::size_t i = 1; i < attempts.size(); ++i)
        EXPECT_EQ(attempts[i] - attempts[i - 1], 2000) << i;
}

TEST(PollingEngine, TheLatestReadingGoesWithTheMeter)
{
    // A long period, and an age limit far beyond it: only the disconnect
    // itself can clear the reading.
    PollingTiming timing = kFast;
    timing.sleepSliceMs = 1000;
    TimedRig rig(60'000, timing);
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(eventually([&] { return rig.readings >= 1; }));
    EXPECT_TRUE(rig.engine.latestReading(rig.clock->wallSeconds(), 1e6));
    rig.script->with([](PortScript& s) {
        s.whenEmpty = testing::failedAnswer();
        return 0;
    });
    ASSERT_TRUE(eventually([&] { return rig.count(Kind::disconnected) == 1; }, 20s));
    EXPECT_FALSE(rig.engine.latestReading(rig.clock->wallSeconds(), 1e6));
}

TEST(PollingEngine, ExactlyFiveBadAnswersMakeAReadError)
{
    Rig five;
    five.script->push({ testing::validAnswer(), testing::ackAnswer(), testing::garbageAnswer(), testing::ackAnswer(),
        testing::garbageAnswer(), testing::ackAnswer() });
    five.script->whenEmpty = testing::validAnswer();
    ASSERT_TRUE(five.engine.start());
    ASSERT_TRUE(eventually([&] { return five.changesSoFar().size() >= 3; }));
    five.engine.stop(3.0);
    const auto changes = five.changesSoFar();
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[1].kind, Kind::readError);
    EXPECT_EQ(changes[2].kind, Kind::connected);

    // A valid answer starts the count of bad ones again.
    Rig reset;
    reset.script->push({ testing::validAnswer(), testing::ackAnswer(), testing::ackAnswer(), testing::ackAnswer(),
        testing::ackAnswer(), testing::validAnswer(), testing::ackAnswer(), testing::ackAnswer(), testing::ackAnswer(),
        testing::ackAnswer(), testing::validAnswer() });
    reset.script->whenEmpty = testing::validAnswer();
    ASSERT_TRUE(reset.engine.start());
    ASSERT_TRUE(eventually([&] { return reset.readings >= 5; }));
    reset.engine.stop(3.0);
    EXPECT_EQ(reset.count(Kind::readError), 0);
}

TEST(PollingEngine, AnyAnswerStartsTheCountOfFailuresAgain)
{
    // Two failures, an answer, two failures: never three in a row, whether
    // the answer in between is valid or bad.
    for (const auto& between : { testing::validAnswer(), testing::garbageAnswer(), testing::ackAnswer() }) {
        Rig rig;
        rig.script->push({ testing::validAnswer(), testing::failedAnswer(), testing::failedAnswer(), between,
            testing::failedAnswer(), testing::failedAnswer(), testing::validAnswer() });
        rig.script->whenEmpty = testing::validAnswer();
        ASSERT_TRUE(rig.engine.start());
        ASSERT_TRUE(eventually([&] { return rig.script->with([](PortScript& s) { return s.answers.empty(); }); }));
        ASSERT_TRUE(eventually([&] { return rig.readings >= 4; }));
        rig.engine.stop(3.0);
        EXPECT_EQ(rig.count(Kind::disconnected), 0);
    }
}

TEST(PollingEngine, CallbacksMayCallBackIntoTheEngine)
{
    // Setting a callback from inside one, and destroying the engine from
    // inside one: neither may hang.
    auto script = std::make_shared<PortScript>();
    std::atomic<int> replaced { 0 };
    std::atomic<bool> destroyed { false };
    auto engine = std::make_unique<PollingEngine>(std::make_unique<ScriptedPort>(script), 10, kFast);
    PollingEngine* raw = engine.get();
    engine->setOnReading([raw, &replaced](const Reading&) {
        raw->setOnReading([&replaced](const Reading&) { ++replaced; });
        raw->setOnConnectionChanged(nullptr);
    });
    ASSERT_TRUE(engine->start());
    ASSERT_TRUE(eventually([&] { return replaced >= 2; }));

    std::unique_ptr<PollingEngine> owner = std::move(engine);
    raw->setOnReading([&owner, &destroyed](const Reading&) {
        if (owner) {
            owner.reset();
            destroyed = true;
        }
    });
    ASSERT_TRUE(eventually([&] { return destroyed.load(); }));
    // The thread sees the stop and closes the port on its way out.
    ASSERT_TRUE(eventually([&] { return script->with([](PortScript& s) { return s.closes; }) == 1; }));
}

TEST(PollingEngine, AnExceptionFromACallbackIsLoggedAndPollingGoesOn)
{
    Rig rig;
    std::atomic<int> calls { 0 };
    rig.engine.setOnReading([&](const Reading&) {
        if (++calls == 1)
            throw std::runtime_error("boom");
    });
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(eventually([&] { return calls >= 3; }));
    rig.engine.stop(3.0);
    EXPECT_TRUE(rig.log.contains("[DMMSession] 回呼函式擲出例外：boom\r\n"));
}

TEST(PollingEngine, PeriodIsMeasuredStartToStart)
{
    Rig rig(100);
    rig.script->requestDelayMs = 30;
    ASSERT_TRUE(rig.engine.start());
    ASSERT_TRUE(
        eventually([&] { return rig.script->with([](PortScript& s) { return s.requestStarts.size(); }) >= 5; }));
    rig.engine.stop(3.0);
    const auto starts = rig.script->requestStarts;
    for (std::size_t i = 1; i < starts.size(); ++i)
        EXPECT_GE(starts[i] - starts[i - 1], 95ms) << i;
}

// Destroying the engine right after a stop that timed out: the thread is
// still inside a port call. It must neither touch freed memory (checked by
// ASan in the sanitizer build) nor call back into its destroyed owner.
TEST(PollingEngine, DestroyWhileTheThreadIsStillRunning)
{
    auto script = std::make_shared<PortScript>();
    script->requestDelayMs = 200;
    std::atomic<int> callbacks { 0 };
    {
        auto engine = std::make_unique<PollingEngine>(std::make_unique<ScriptedPort>(script), 10, kFast);
        engine->setOnReading([&](const Reading&) { ++callbacks; });
        engine->setOnConnectionChanged([&](const SessionConnectionState&) { ++callbacks; });
        ASSERT_TRUE(engine->start());
        ASSERT_TRUE(
            eventually([&] { return script->with([](PortScript& s) { return s.requestStarts.size(); }) >= 1; }));
        engine->stop(0.01); // gives up while the request is in progress
        EXPECT_TRUE(engine->isRunning());
        EXPECT_FALSE(engine->start()); // that thread is leaving: no restart until it has
    }
    const int atDestruction = callbacks;
    // The thread finishes its request, sees the stop, closes the port.
    ASSERT_TRUE(eventually([&] { return script->with([](PortScript& s) { return s.closes; }) == 1; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(callbacks, atDestruction);
}

TEST(PollingEngine, RunsAgainstTheSimulator)
{
    auto sim = std::make_unique<MeterSimulator>(SimScenario::unplug);
    sim->setRealTimeouts(false);
    PollingEngine engine(std::make_unique<HIDDevicePort>(std::move(sim)), 10, kFast);
    std::mutex mutex;
    std::vector<SessionConnectionState> changes;
    engine.setOnConnectionChanged([&](const SessionConnectionState& s) {
        std::lock_guard lock(mutex);
        changes.push_back(s);
    });
    ASSERT_TRUE(engine.start());
    // Ten readings, unplugged, two failed opens, replugged, connected again.
    ASSERT_TRUE(eventually([&] {
        std::lock_guard lock(mutex);
        return changes.size() >= 3;
    }));
    engine.stop(3.0);
    std::lock_guard lock(mutex);
    EXPECT_EQ(changes[0], SessionConnectionState::connected("DMM-5174K"));
    EXPECT_EQ(changes[1], SessionConnectionState::disconnected());
    EXPECT_EQ(changes[2], SessionConnectionState::connected("DMM-5174K"));
}

} // namespace
} // namespace zelmar
