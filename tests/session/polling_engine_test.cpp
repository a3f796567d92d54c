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

constexpr PollingTiming kFast { 5, 100, 5, 3, 5 };

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
    rig.engine.start();
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
    rig.engine.start();
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
    rig.engine.start();
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
    rig.engine.start();
    ASSERT_TRUE(eventually([&] { return rig.readings >= 5; }));
    rig.engine.stop(3.0);
    EXPECT_EQ(rig.count(Kind::readError), 0);
    EXPECT_EQ(rig.changesSoFar().size(), 1u);
}

TEST(PollingEngine, SilentModelQueryConnectsWithAnEmptyModel)
{
    Rig rig;
    rig.script->model = std::unexpected(DMMError::readTimeout());
    rig.engine.start();
    ASSERT_TRUE(eventually([&] { return rig.readings >= 1; }));
    rig.engine.stop(3.0);
    EXPECT_EQ(rig.changesSoFar().front(), SessionConnectionState::connected(""));
    EXPECT_TRUE(rig.log.contains("[DMMSession] HID 已開啟，型號 （未回應）；等待電錶有效讀值\r\n"));
}

TEST(PollingEngine, AbsentMeterIsTriedAgainAndNotifiedOnce)
{
    Rig rig;
    rig.engine.start();
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
    absent.engine.start();
    ASSERT_TRUE(eventually([&] { return absent.script->with([](PortScript& s) { return s.openAttempts; }) >= 3; }));
    absent.engine.stop(3.0);
    EXPECT_TRUE(absent.changesSoFar().empty());
}

TEST(PollingEngine, LatestReadingFreshness)
{
    Rig rig(500);
    rig.engine.start();
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
    rig.engine.start();
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
    rig.engine.start();
    rig.engine.start();
    EXPECT_EQ(rig.log.count("輪詢執行緒已啟動"), 1);
    ASSERT_TRUE(eventually([&] { return rig.script->with([](PortScript& s) { return s.opens; }) >= 1; }));
    rig.engine.stop(3.0);
    EXPECT_FALSE(rig.engine.isRunning());
    rig.engine.start();
    EXPECT_EQ(rig.log.count("輪詢執行緒已啟動"), 2);
    ASSERT_TRUE(eventually([&] { return rig.script->with([](PortScript& s) { return s.opens; }) >= 2; }));
}

TEST(PollingEngine, PeriodIsMeasuredStartToStart)
{
    Rig rig(100);
    rig.script->requestDelayMs = 30;
    rig.engine.start();
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
        engine->start();
        ASSERT_TRUE(
            eventually([&] { return script->with([](PortScript& s) { return s.requestStarts.size(); }) >= 1; }));
        engine->stop(0.01); // gives up while the request is in progress
        EXPECT_TRUE(engine->isRunning());
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
    engine.start();
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
