// The simulator stands below the real device object, so these tests run
// DMM5174K's own framing and retry code against it.

#include "core/reading.h"
#include "meter/dmm5174k.h"
#include "meter/meter_source.h"
#include "meter/simulator.h"

#include <gtest/gtest.h>

#include <set>

namespace zelmar {
namespace {

struct SimulatedMeter {
    explicit SimulatedMeter(SimScenario scenario)
        : sim(scenario)
        , device(sim)
    {
        sim.setRealTimeouts(false);
    }
    std::optional<DMMDisplayFrame> poll()
    {
        auto report = device.requestDisplay(10);
        return report ? DMMProtocol::decodeDisplay(*report) : std::nullopt;
    }
    MeterSimulator sim;
    DMM5174K device;
};

TEST(MeterSimulator, AnswersModelAndSteadyDisplay)
{
    SimulatedMeter meter(SimScenario::steadyDc);
    ASSERT_TRUE(meter.device.open());
    EXPECT_EQ(meter.device.caps().input_len, 65);
    EXPECT_EQ(meter.device.readModel(10), "DMM-5174K");
    for (int i = 0; i < 50; ++i) {
        const auto frame = meter.poll();
        ASSERT_TRUE(frame);
        const Reading r(0, frame->functionCode, frame->rangeIndex, frame->displayText, {}, frame->barGraph);
        EXPECT_EQ(r.unit(), "V");
        ASSERT_TRUE(r.value());
        EXPECT_NEAR(*r.value(), 12.34, 0.031);
        // At most four digits, as the meter's display holds.
        EXPECT_LE(std::count_if(r.text().begin(), r.text().end(), [](char c) { return c >= '0' && c <= '9'; }), 4);
    }
    EXPECT_EQ(meter.sim.displayRequests(), 50);
    meter.sim.setScenario(SimScenario::wide);
    const auto wide = meter.poll();
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->displayText.size(), 7u);
    EXPECT_NEAR(std::stod(wide->displayText), 12.345, 0.0031);
}

TEST(MeterSimulator, ScenariosShowWhatTheyName)
{
    bool sawOverload = false, sawValue = false;
    SimulatedMeter overload(SimScenario::overload);
    ASSERT_TRUE(overload.device.open());
    for (int i = 0; i < 8; ++i) {
        const auto f = overload.poll();
        ASSERT_TRUE(f);
        const Reading r(0, f->functionCode, f->rangeIndex, f->displayText, {}, 0);
        (r.value() ? sawValue : sawOverload) = true;
        EXPECT_EQ(r.unit(), "M\u03A9");
    }
    EXPECT_TRUE(sawOverload && sawValue);

    SimulatedMeter negative(SimScenario::negative);
    ASSERT_TRUE(negative.device.open());
    const auto f = negative.poll();
    ASSERT_TRUE(f);
    EXPECT_LT(*Reading(0, f->functionCode, f->rangeIndex, f->displayText, {}, 0).value(), -50.0);

    std::set<std::uint8_t> functions;
    SimulatedMeter range(SimScenario::rangeChange);
    ASSERT_TRUE(range.device.open());
    for (int i = 0; i < 40; ++i)
        functions.insert(range.poll()->functionCode);
    EXPECT_EQ(functions, (std::set<std::uint8_t> { 0, 2, 6 }));

    int holds = 0, lowBattery = 0;
    SimulatedMeter flags(SimScenario::flags);
    ASSERT_TRUE(flags.device.open());
    for (int i = 0; i < 12; ++i) {
        const auto frame = flags.poll();
        holds += frame->flags.hold;
        lowBattery += frame->flags.lowBattery;
    }
    EXPECT_EQ(holds, 2);
    EXPECT_EQ(lowBattery, 2);

    int maxBar = 0, negativeBars = 0;
    SimulatedMeter bar(SimScenario::barGraph);
    ASSERT_TRUE(bar.device.open());
    for (int i = 0; i < 80; ++i) {
        const auto frame = bar.poll();
        maxBar = std::max(maxBar, frame->barGraph);
        negativeBars += frame->flags.barNegative;
    }
    EXPECT_EQ(maxBar, 60);
    EXPECT_EQ(negativeBars, 40);
}

TEST(MeterSimulator, Faults)
{
    SimulatedMeter ack(SimScenario::acknowledge);
    ASSERT_TRUE(ack.device.open());
    auto report = ack.device.requestDisplay(10);
    ASSERT_TRUE(report);
    EXPECT_TRUE(DMMProtocol::isAcknowledge(*report));

    SimulatedMeter badSum(SimScenario::badSum);
    ASSERT_TRUE(badSum.device.open());
    report = badSum.device.requestDisplay(10);
    ASSERT_TRUE(report);
    EXPECT_FALSE(DMMProtocol::decodeDisplay(*report));
    EXPECT_TRUE(DMMProtocol::displayText(*report));

    SimulatedMeter silent(SimScenario::silent);
    ASSERT_TRUE(silent.device.open());
    EXPECT_EQ(silent.device.requestDisplay(10).error(), DMMError::readTimeout());
    EXPECT_EQ(silent.device.readModel(10).error(), DMMError::readTimeout());

    SimulatedMeter writeFail(SimScenario::writeFail);
    ASSERT_TRUE(writeFail.device.open());
    EXPECT_EQ(writeFail.device.requestDisplay(10).error(), DMMError::writeFailed());
}

TEST(MeterSimulator, UnplugAndReplug)
{
    SimulatedMeter meter(SimScenario::unplug);
    ASSERT_TRUE(meter.device.open());
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(meter.poll());
    EXPECT_FALSE(meter.poll()); // unplugged now
    EXPECT_EQ(meter.device.requestDisplay(10).error(), DMMError::writeFailed());
    meter.device.close();
    EXPECT_FALSE(meter.device.open());
    EXPECT_FALSE(meter.device.open());
    EXPECT_TRUE(meter.device.open()); // back
    EXPECT_TRUE(meter.poll());

    // A handle from before an unplug stays dead after the replug.
    meter.sim.setScenario(SimScenario::steadyDc);
    EXPECT_TRUE(meter.sim.hasOpenHandle());
    meter.sim.setPlugged(false);
    EXPECT_FALSE(meter.sim.hasOpenHandle());
    meter.sim.setPlugged(true);
    EXPECT_EQ(meter.device.requestDisplay(10).error(), DMMError::writeFailed());
    meter.device.close();
    ASSERT_TRUE(meter.device.open());
    EXPECT_TRUE(meter.poll());
}

TEST(MeterSource, SelectionTexts)
{
    EXPECT_TRUE(makeMeterPort("sim"));
    EXPECT_TRUE(makeMeterPort("sim:ack"));
    EXPECT_TRUE(makeMeterPort("sim:write-fail"));
    EXPECT_TRUE(makeMeterPort("")); // the real meter; opening it is another matter
    const auto unknown = makeMeterPort("sim:nope");
    ASSERT_FALSE(unknown);
    EXPECT_NE(unknown.error().find("bargraph"), std::string::npos);
    EXPECT_FALSE(makeMeterPort("simulator"));
    for (SimScenario s : allSimScenarios())
        EXPECT_EQ(parseSimScenario(simScenarioName(s)), s);

    auto port = makeMeterPort("sim:negative");
    ASSERT_TRUE(port);
    ASSERT_TRUE((*port)->open());
    EXPECT_EQ((*port)->readModel(), "DMM-5174K");
}

} // namespace
} // namespace zelmar
