#include "meter/dmm5174k.h"
#include "meter/meter_responses.h"
#include "support/scripted_hid.h"

#include <gtest/gtest.h>

namespace zelmar {
namespace {

using testing::ScriptedHid;

const Bytes kDisplay = MeterResponses::displayReport({ 2, 1, " 12.345", 0, {} });

TEST(DMM5174K, AbsentMeterIsFalseNotAnError)
{
    ScriptedHid hid;
    hid.present = false;
    DMM5174K device(hid);
    EXPECT_FALSE(device.open());
    EXPECT_FALSE(device.isOpen());
    EXPECT_EQ(device.requestDisplay(500).error(), DMMError::notConnected());
    EXPECT_EQ(device.readReport(500).error(), DMMError::notConnected());
    EXPECT_EQ(device.readModel(500).error(), DMMError::notConnected());
    EXPECT_TRUE(hid.writes.empty());
}

TEST(DMM5174K, OpenTwiceEnumeratesOnceAndCloseIsIdempotent)
{
    ScriptedHid hid;
    {
        DMM5174K device(hid);
        EXPECT_TRUE(device.open());
        EXPECT_TRUE(device.open());
        EXPECT_EQ(hid.opens, 1);
        device.close();
        device.close();
        EXPECT_EQ(hid.closes, 1);
        EXPECT_TRUE(device.open());
    }
    EXPECT_EQ(hid.closes, 2); // released with the device
}

TEST(DMM5174K, DisplayRequestFramesAndReadBuffers)
{
    ScriptedHid hid;
    hid.caps = { 9, 0 }; // a failed capability query leaves output_len 0
    hid.reads.push_back(kDisplay);
    DMM5174K device(hid);
    ASSERT_TRUE(device.open());
    auto report = device.requestDisplay(321);
    ASSERT_TRUE(report);
    EXPECT_EQ(*report, kDisplay); // cut to the 21 bytes read
    ASSERT_EQ(hid.writes.size(), 1u);
    const Bytes expected { 0x00, 0x57, 0xAB, 0x00, 0x87, 0x06, 0xAB, 0xCD, 0x01, 0x5E, 0x01, 0xD7, 0x04 };
    EXPECT_EQ(hid.writes[0], expected);
    EXPECT_EQ(hid.readLengths[0], 64u);
    EXPECT_EQ(hid.readTimeouts[0], 321u);

    hid.caps = { 65, 65 };
    device.close();
    ASSERT_TRUE(device.open());
    hid.reads.push_back(std::nullopt);
    EXPECT_EQ(device.requestDisplay(500).error(), DMMError::readTimeout());
    EXPECT_EQ(hid.writes.back().size(), 65u);
    EXPECT_EQ(hid.readLengths.back(), 65u);

    hid.failWrites = true;
    EXPECT_EQ(device.requestDisplay(500).error(), DMMError::writeFailed());
}

TEST(DMM5174K, ModelQueryRetriesWithTheSecondTransportCommand)
{
    ScriptedHid hid;
    // First attempt: three display frames, then the second attempt answers.
    hid.reads = { kDisplay, kDisplay, kDisplay, MeterResponses::modelReport(" DMM-5174K ") };
    DMM5174K device(hid);
    ASSERT_TRUE(device.open());
    EXPECT_EQ(device.readModel(500), "DMM-5174K");
    ASSERT_EQ(hid.writes.size(), 2u);
    EXPECT_EQ(hid.writes[0][4], 0x87);
    EXPECT_EQ(hid.writes[0][9], 0x5F);
    EXPECT_EQ(hid.writes[1][4], 0x06);
    EXPECT_EQ(hid.writes[1][12], 0x03);
    EXPECT_EQ(hid.readLengths.size(), 4u);
}

TEST(DMM5174K, EachModelAttemptReadsThreeReportsAtMost)
{
    // The third read of the first attempt still belongs to it.
    ScriptedHid third;
    third.reads = { kDisplay, kDisplay, MeterResponses::modelReport("DMM-5174K") };
    DMM5174K device(third);
    ASSERT_TRUE(device.open());
    EXPECT_EQ(device.readModel(500), "DMM-5174K");
    EXPECT_EQ(third.writes.size(), 1u);
    EXPECT_EQ(third.readLengths.size(), 3u);

    // Three display frames in each attempt: six reads, two writes, no model.
    ScriptedHid busy;
    busy.reads = { kDisplay, kDisplay, kDisplay, kDisplay, kDisplay, kDisplay, MeterResponses::modelReport("X") };
    DMM5174K other(busy);
    ASSERT_TRUE(other.open());
    EXPECT_EQ(other.readModel(500).error(), DMMError::readTimeout());
    EXPECT_EQ(busy.writes.size(), 2u);
    EXPECT_EQ(busy.readLengths.size(), 6u);
}

TEST(DMM5174K, SilentModelQueryEndsEachAttemptAtTheFirstSilence)
{
    ScriptedHid hid;
    DMM5174K device(hid);
    ASSERT_TRUE(device.open());
    EXPECT_EQ(device.readModel(500).error(), DMMError::readTimeout());
    EXPECT_EQ(hid.writes.size(), 2u);
    EXPECT_EQ(hid.readLengths.size(), 2u);

    ScriptedHid failing;
    failing.failWrites = true;
    DMM5174K other(failing);
    ASSERT_TRUE(other.open());
    EXPECT_EQ(other.readModel(500).error(), DMMError::writeFailed());
    EXPECT_EQ(failing.writes.size(), 1u); // no second attempt
}

TEST(DMM5174K, DisplayTextIsLenientButReportsGarbage)
{
    ScriptedHid hid;
    Bytes badSum = kDisplay;
    badSum[20] ^= 0xFF;
    hid.reads = { badSum, Bytes { 0x00, 0x00, 0x01, 0x02 } };
    DMM5174K device(hid);
    ASSERT_TRUE(device.open());
    EXPECT_EQ(device.readDisplayText(500), " 12.345");
    const auto garbage = device.readDisplayText(500);
    ASSERT_FALSE(garbage);
    EXPECT_EQ(garbage.error(), DMMError::badResponse({ 0x00, 0x00, 0x01, 0x02 }));
}

TEST(HIDDevicePort, ForwardsWithTheModelLimit)
{
    auto owned = std::make_unique<ScriptedHid>();
    ScriptedHid& hid = *owned;
    HIDDevicePort port(std::move(owned));
    EXPECT_FALSE(port.isOpen());
    ASSERT_TRUE(port.open());
    hid.reads = { MeterResponses::modelReport("X1"), kDisplay, kDisplay };
    EXPECT_EQ(port.readModel(), "X1");
    EXPECT_EQ(hid.readTimeouts.back(), 500u);
    EXPECT_EQ(port.requestDisplay(77), kDisplay);
    EXPECT_EQ(hid.readTimeouts.back(), 77u);
    EXPECT_EQ(port.read(88), kDisplay);
    EXPECT_EQ(hid.readTimeouts.back(), 88u);
    port.close();
    EXPECT_FALSE(port.isOpen());
}

} // namespace
} // namespace zelmar
