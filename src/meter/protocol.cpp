#include "meter/protocol.h"

#include <algorithm>
#include <numeric>

namespace zelmar {

namespace {

std::uint32_t sum(ByteView bytes) noexcept
{
    return std::accumulate(bytes.begin(), bytes.end(), std::uint32_t { 0 });
}

bool startsInnerFrame(ByteView report) noexcept
{
    return report.size() >= 4 && report[2] == 0xAB && report[3] == 0xCD;
}

std::optional<std::string> asciiText(ByteView bytes)
{
    if (std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b >= 0x80; }))
        return std::nullopt;
    return std::string(bytes.begin(), bytes.end());
}

bool bit(std::uint8_t byte, int index) noexcept
{
    return ((byte >> index) & 1u) != 0;
}

} // namespace

std::optional<DMMCommand> dmmCommandFromByte(std::uint8_t raw) noexcept
{
    switch (raw) {
    case 0x4B:
        return DMMCommand::backlight;
    case 0x5E:
        return DMMCommand::readDisplay;
    case 0x5F:
        return DMMCommand::readModel;
    default:
        return std::nullopt;
    }
}

namespace DMMProtocol {

Bytes commandFrame(std::uint8_t command)
{
    Bytes frame { 0xAB, 0xCD, 0x01, command };
    const std::uint32_t s = sum(frame);
    frame.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(s & 0xFF));
    return frame;
}

Bytes transportFrame(std::uint8_t transport, std::uint8_t command)
{
    const Bytes inner = commandFrame(command);
    Bytes frame(5 + inner.size() + 1);
    frame[0] = 0x57;
    frame[1] = 0xAB;
    frame[2] = 0x00;
    frame[3] = transport;
    frame[4] = static_cast<std::uint8_t>(inner.size());
    std::copy(inner.begin(), inner.end(), frame.begin() + 5);
    // The check byte is the high byte of the sum, not its low byte.
    frame.back() = static_cast<std::uint8_t>((sum(ByteView(frame).first(frame.size() - 1)) >> 8) & 0xFF);
    return frame;
}

Bytes outputReport(ByteView frame, std::uint16_t outputLength)
{
    Bytes report(std::max<std::size_t>(frame.size() + 1, outputLength), 0);
    std::copy(frame.begin(), frame.end(), report.begin() + 1);
    return report;
}

std::size_t inputBufferLength(std::uint16_t inputLength) noexcept
{
    return std::max<std::size_t>(inputLength, minimumReadBuffer);
}

DisplayCheck checkDisplay(ByteView report) noexcept
{
    if (report.size() < displayReportLength)
        return DisplayCheck::length;
    if (!startsInnerFrame(report))
        return DisplayCheck::header;
    const std::uint32_t expected = (std::uint32_t { report[19] } << 8) | report[20];
    if (sum(report.subspan(2, 17)) != expected)
        return DisplayCheck::checksum;
    if (report[6] < 0x30 || report[6] > 0x39)
        return DisplayCheck::range;
    const ByteView text = report.subspan(7, 7);
    if (std::any_of(text.begin(), text.end(), [](std::uint8_t b) { return b >= 0x80; }))
        return DisplayCheck::text;
    return DisplayCheck::passes;
}

std::optional<DMMDisplayFrame> decodeDisplay(ByteView report)
{
    if (checkDisplay(report) != DisplayCheck::passes)
        return std::nullopt;
    auto text = asciiText(report.subspan(7, 7));
    if (!text)
        return std::nullopt;
    DMMDisplayFrame frame;
    frame.functionCode = report[5];
    frame.rangeIndex = report[6] - 0x30;
    frame.displayText = std::move(*text);
    frame.barGraph = report[14] * 10 + report[15];
    frame.flags = statusFlags(report[16], report[17], report[18]);
    return frame;
}

std::optional<std::string> parseModel(ByteView report)
{
    if (report.size() < 7 || !startsInnerFrame(report))
        return std::nullopt;
    const std::size_t n = report[4];
    if (n < 3 || n > 66 || report.size() < n + 5)
        return std::nullopt;
    const std::uint32_t expected = (std::uint32_t { report[n + 3] } << 8) | report[n + 4];
    if (sum(report.subspan(2, n + 1)) != expected)
        return std::nullopt;
    const ByteView characters = report.subspan(5, n - 2);
    if (std::any_of(characters.begin(), characters.end(), [](std::uint8_t b) { return b < 0x20 || b > 0x7E; }))
        return std::nullopt;
    std::string text(characters.begin(), characters.end());
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::nullopt;
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool isAcknowledge(ByteView report) noexcept
{
    return report.size() >= 9
        && std::equal(std::begin(acknowledgeFrame), std::end(acknowledgeFrame), report.begin() + 2);
}

std::optional<std::string> displayText(ByteView report)
{
    if (report.size() < 15 || !startsInnerFrame(report))
        return std::nullopt;
    return asciiText(report.subspan(7, 7));
}

DMMStatusFlags statusFlags(std::uint8_t a, std::uint8_t b, std::uint8_t c) noexcept
{
    DMMStatusFlags flags;
    flags.rel = bit(a, 0);
    flags.hold = bit(a, 1);
    flags.min = bit(a, 2);
    flags.max = bit(a, 3);
    flags.apo = bit(b, 3);
    flags.manualRange = bit(b, 2);
    flags.lowBattery = bit(b, 1);
    flags.hvWarning = bit(b, 0);
    flags.acFlag = bit(c, 3);
    flags.peakMax = bit(c, 2);
    flags.peakMin = bit(c, 1);
    flags.barNegative = bit(c, 0);
    return flags;
}

} // namespace DMMProtocol

} // namespace zelmar
