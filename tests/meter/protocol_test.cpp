#include "meter/dmm_error.h"
#include "meter/meter_responses.h"
#include "meter/protocol.h"

#include <gtest/gtest.h>

namespace zelmar {
namespace {

using namespace DMMProtocol;

Bytes hex(std::initializer_list<int> values)
{
    Bytes bytes;
    for (int v : values)
        bytes.push_back(static_cast<std::uint8_t>(v));
    return bytes;
}

// 00 00 | AB CD 00 02 '1' " 12.345" 00 00 00 00 00 | 02 F8
Bytes sampleDisplayReport()
{
    return hex({ 0x00, 0x00, 0xAB, 0xCD, 0x00, 0x02, 0x31, 0x20, 0x31, 0x32, 0x2E, 0x33, 0x34, 0x35, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x02, 0xF8 });
}

void fixSum(Bytes& report)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 2; i <= 18; ++i)
        sum += report[i];
    report[19] = static_cast<std::uint8_t>(sum >> 8);
    report[20] = static_cast<std::uint8_t>(sum);
}

TEST(DMMCommand, OnlyTheThreeCommandBytes)
{
    EXPECT_EQ(dmmCommandFromByte(0x4B), DMMCommand::backlight);
    EXPECT_EQ(dmmCommandFromByte(0x5E), DMMCommand::readDisplay);
    EXPECT_EQ(dmmCommandFromByte(0x5F), DMMCommand::readModel);
    int commands = 0;
    for (int b = 0; b < 256; ++b)
        commands += dmmCommandFromByte(static_cast<std::uint8_t>(b)).has_value();
    EXPECT_EQ(commands, 3);
}

TEST(TransportFrames, WorkedFramesByteForByte)
{
    EXPECT_EQ(commandFrame(0x5E), hex({ 0xAB, 0xCD, 0x01, 0x5E, 0x01, 0xD7 }));
    EXPECT_EQ(
        transportFrame(0x87, 0x5E), hex({ 0x57, 0xAB, 0x00, 0x87, 0x06, 0xAB, 0xCD, 0x01, 0x5E, 0x01, 0xD7, 0x04 }));
    EXPECT_EQ(
        transportFrame(0x87, 0x5F), hex({ 0x57, 0xAB, 0x00, 0x87, 0x06, 0xAB, 0xCD, 0x01, 0x5F, 0x01, 0xD8, 0x04 }));
    EXPECT_EQ(
        transportFrame(0x06, 0x5F), hex({ 0x57, 0xAB, 0x00, 0x06, 0x06, 0xAB, 0xCD, 0x01, 0x5F, 0x01, 0xD8, 0x03 }));
    // The check byte is the sum's high byte (0x43E -> 0x04), never its low byte.
    EXPECT_NE(transportFrame(0x87, 0x5E).back(), 0x3E);
    EXPECT_EQ(commandFrame(0xFF), hex({ 0xAB, 0xCD, 0x01, 0xFF, 0x02, 0x78 }));
}

TEST(TransportFrames, OutputReportAndReadBufferSizes)
{
    const Bytes frame = transportFrame(0x87, 0x5E);
    const Bytes report65 = outputReport(frame, 65);
    ASSERT_EQ(report65.size(), 65u);
    EXPECT_EQ(report65[0], 0x00);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), report65.begin() + 1));
    EXPECT_TRUE(std::all_of(report65.begin() + 13, report65.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(outputReport(frame, 0).size(), 13u); // failed capability query
    EXPECT_EQ(outputReport(frame, 8).size(), 13u);

    EXPECT_EQ(inputBufferLength(9), 64u);
    EXPECT_EQ(inputBufferLength(0), 64u);
    EXPECT_EQ(inputBufferLength(64), 64u);
    EXPECT_EQ(inputBufferLength(65), 65u);
}

TEST(DecodeDisplay, WorkedReport)
{
    const auto frame = decodeDisplay(sampleDisplayReport());
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->functionCode, 2);
    EXPECT_EQ(frame->rangeIndex, 1);
    EXPECT_EQ(frame->displayText, " 12.345");
    EXPECT_EQ(frame->barGraph, 0);
    EXPECT_EQ(frame->flags, DMMStatusFlags {});
    // The responder produces the same bytes.
    EXPECT_EQ(MeterResponses::displayReport(*frame), sampleDisplayReport());
}

TEST(DecodeDisplay, EveryCheckRefusesItsFault)
{
    Bytes report = sampleDisplayReport();
    EXPECT_FALSE(decodeDisplay(ByteView(report).first(20)));

    Bytes badMarker = report;
    badMarker[3] = 0xCE;
    fixSum(badMarker);
    EXPECT_FALSE(decodeDisplay(badMarker));

    Bytes sumTooHigh = report;
    sumTooHigh[20] += 1;
    EXPECT_FALSE(decodeDisplay(sumTooHigh));

    // Offset 4 is not decoded but the sum covers it.
    Bytes offset4 = report;
    offset4[4] = 0x11;
    EXPECT_FALSE(decodeDisplay(offset4));
    fixSum(offset4);
    EXPECT_TRUE(decodeDisplay(offset4));

    Bytes rangeA = report;
    rangeA[6] = 'A';
    fixSum(rangeA);
    EXPECT_FALSE(decodeDisplay(rangeA));
    Bytes range7 = report;
    range7[6] = '7';
    fixSum(range7);
    ASSERT_TRUE(decodeDisplay(range7));
    EXPECT_EQ(decodeDisplay(range7)->rangeIndex, 7);

    // The sum is two bytes: a wrong high byte alone is refused too.
    Bytes sumHigh = report;
    sumHigh[19] ^= 0x01;
    EXPECT_FALSE(decodeDisplay(sumHigh));
    Bytes sumHighOnly = report;
    sumHighOnly[19] = 0x00; // the low byte still matches
    EXPECT_FALSE(decodeDisplay(sumHighOnly));

    // The range digit runs from '0' to '9'; the bytes either side are refused.
    for (const auto& [digit, index] : { std::pair { '0', 0 }, std::pair { '9', 9 } }) {
        Bytes range = report;
        range[6] = static_cast<std::uint8_t>(digit);
        fixSum(range);
        ASSERT_TRUE(decodeDisplay(range)) << digit;
        EXPECT_EQ(decodeDisplay(range)->rangeIndex, index);
    }
    for (const char digit : { '/', ':' }) {
        Bytes range = report;
        range[6] = static_cast<std::uint8_t>(digit);
        fixSum(range);
        EXPECT_FALSE(decodeDisplay(range)) << digit;
    }

    Bytes highByte = report;
    highByte[9] = 0x80;
    fixSum(highByte);
    EXPECT_FALSE(decodeDisplay(highByte));

    Bytes spaces = report;
    std::fill(spaces.begin() + 7, spaces.begin() + 14, ' ');
    fixSum(spaces);
    ASSERT_TRUE(decodeDisplay(spaces));
    EXPECT_EQ(decodeDisplay(spaces)->displayText, "       ");

    // Offsets 0 and 1 are never examined; longer reports are fine.
    Bytes prefixed = report;
    prefixed[0] = 0x01;
    prefixed[1] = 0xEE;
    prefixed.resize(64, 0);
    EXPECT_TRUE(decodeDisplay(prefixed));
}

TEST(DecodeDisplay, BarGraphAndFlags)
{
    Bytes report = sampleDisplayReport();
    report[14] = 9;
    report[15] = 9;
    fixSum(report);
    EXPECT_EQ(decodeDisplay(report)->barGraph, 99);
    report[14] = 12;
    report[15] = 3;
    fixSum(report);
    EXPECT_EQ(decodeDisplay(report)->barGraph, 123);

    report[16] = report[17] = report[18] = 0x0F;
    fixSum(report);
    const DMMStatusFlags all = decodeDisplay(report)->flags;
    EXPECT_TRUE(all.rel && all.hold && all.min && all.max && all.apo && all.manualRange && all.lowBattery
        && all.hvWarning && all.acFlag && all.peakMax && all.peakMin && all.barNegative);
    report[16] = report[17] = report[18] = 0xF0;
    fixSum(report);
    EXPECT_EQ(decodeDisplay(report)->flags, DMMStatusFlags {});
}

TEST(StatusFlags, EachBitItsField)
{
    EXPECT_TRUE(statusFlags(0x01, 0, 0).rel);
    EXPECT_TRUE(statusFlags(0x02, 0, 0).hold);
    EXPECT_TRUE(statusFlags(0x04, 0, 0).min);
    EXPECT_TRUE(statusFlags(0x08, 0, 0).max);
    EXPECT_TRUE(statusFlags(0, 0x08, 0).apo);
    EXPECT_TRUE(statusFlags(0, 0x04, 0).manualRange);
    EXPECT_TRUE(statusFlags(0, 0x02, 0).lowBattery);
    EXPECT_TRUE(statusFlags(0, 0x01, 0).hvWarning);
    EXPECT_TRUE(statusFlags(0, 0, 0x08).acFlag);
    EXPECT_TRUE(statusFlags(0, 0, 0x04).peakMax);
    EXPECT_TRUE(statusFlags(0, 0, 0x02).peakMin);
    EXPECT_TRUE(statusFlags(0, 0, 0x01).barNegative);
    // Every combination of the low nibbles survives the round trip through
    // the responder's encoder.
    for (int a = 0; a < 16; ++a)
        for (int b = 0; b < 16; ++b)
            for (int c = 0; c < 16; ++c) {
                const DMMStatusFlags f = statusFlags(std::uint8_t(a), std::uint8_t(b), std::uint8_t(c));
                const auto bytes = MeterResponses::flagBytes(f);
                ASSERT_EQ(bytes.a, a);
                ASSERT_EQ(bytes.b, b);
                ASSERT_EQ(bytes.c, c);
            }
}

TEST(ParseModel, AHandMadeReport)
{
    // Written out by hand, not by the responder the simulator uses:
    // AB CD, n = 11, "DMM-5174K", sum of AB CD 0B and the nine characters.
    const Bytes report = hex({ 0x00, 0x00, 0xAB, 0xCD, 0x0B, 'D', 'M', 'M', '-', '5', '1', '7', '4', 'K', 0x03, 0xAA });
    EXPECT_EQ(parseModel(report), "DMM-5174K");
    EXPECT_EQ(MeterResponses::modelReport("DMM-5174K"), report);
    Bytes wrongHigh = report;
    wrongHigh[14] = 0x02;
    EXPECT_FALSE(parseModel(wrongHigh));
}

TEST(ParseModel, ChecksInOrder)
{
    EXPECT_EQ(parseModel(MeterResponses::modelReport("DMM-5174K")), "DMM-5174K");
    EXPECT_EQ(parseModel(MeterResponses::modelReport(" DMM-5174K ")), "DMM-5174K");
    EXPECT_EQ(parseModel(MeterResponses::modelReport("    ")), std::nullopt);
    EXPECT_EQ(parseModel(MeterResponses::modelReport("A\x7F"
                                                     "B")),
        std::nullopt);
    EXPECT_EQ(parseModel(MeterResponses::modelReport("A\x1F"
                                                     "B")),
        std::nullopt);
    EXPECT_EQ(parseModel(MeterResponses::modelReport("X")), "X"); // n = 3
    EXPECT_EQ(parseModel(MeterResponses::modelReport("")), std::nullopt); // n = 2
    EXPECT_EQ(parseModel(MeterResponses::modelReport(std::string(64, 'M'))), std::string(64, 'M')); // n = 66
    EXPECT_EQ(parseModel(MeterResponses::modelReport(std::string(65, 'M'))), std::nullopt); // n = 67

    // n = 10 needs 15 bytes; a 14-byte report is too short.
    Bytes ten = MeterResponses::modelReport("ABCDEFGH");
    ASSERT_EQ(ten.size(), 15u);
    EXPECT_TRUE(parseModel(ten));
    EXPECT_FALSE(parseModel(ByteView(ten).first(14)));
    ten[14] ^= 1;
    EXPECT_FALSE(parseModel(ten));
    EXPECT_FALSE(parseModel(hex({ 0, 0, 0xAB, 0xCD, 3, 'A' })));
    // A display report is not a model report.
    EXPECT_FALSE(parseModel(sampleDisplayReport()));
}

TEST(Acknowledge, NeedsNineBytes)
{
    const Bytes ack = MeterResponses::acknowledgeReport();
    ASSERT_EQ(ack, hex({ 0, 0, 0xAB, 0xCD, 0x04, 0xFF, 0x00, 0x02, 0x7B }));
    EXPECT_TRUE(isAcknowledge(ack));
    EXPECT_FALSE(isAcknowledge(ByteView(ack).first(8)));
    Bytes longer = ack;
    longer.resize(64, 0);
    EXPECT_TRUE(isAcknowledge(longer));
    longer[8] = 0x7C;
    EXPECT_FALSE(isAcknowledge(longer));
    EXPECT_FALSE(isAcknowledge(sampleDisplayReport()));
    EXPECT_FALSE(decodeDisplay(longer));
}

TEST(DisplayText, LenientDecode)
{
    Bytes report = sampleDisplayReport();
    report[20] ^= 0xFF; // no sum check
    report[6] = 'Z'; // no range check
    EXPECT_EQ(displayText(report), " 12.345");
    EXPECT_EQ(displayText(ByteView(report).first(15)), " 12.345");
    EXPECT_EQ(displayText(ByteView(report).first(14)), std::nullopt);
    report[8] = 0x80;
    EXPECT_EQ(displayText(report), std::nullopt);
    EXPECT_EQ(displayText(hex({ 0, 0, 0xAB })), std::nullopt);
}

TEST(DMMError, Texts)
{
    EXPECT_EQ(DMMError::badResponse({}).text(), "回應格式錯誤: ");
    EXPECT_EQ(DMMError::badResponse({ 0x0A, 0xFF }).text(), "回應格式錯誤: 0A FF");
    Bytes many(25);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(DMMError::badResponse(many).text(),
        "回應格式錯誤: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13");
    EXPECT_EQ(DMMError::deviceNotFound().text(), "找不到 DMM-5174K（VID 0x1A86 / PID 0xE429）");
    EXPECT_EQ(DMMError::notConnected().text(), "尚未連線");
    EXPECT_EQ(DMMError::writeFailed().text(), "HID 寫入失敗");
    EXPECT_EQ(DMMError::readTimeout().text(), "讀取逾時");
}

} // namespace
} // namespace zelmar
