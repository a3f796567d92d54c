#include "meter/meter_responses.h"

#include <numeric>

namespace zelmar::MeterResponses {

namespace {

void appendSum(Bytes& report, std::size_t from)
{
    const std::uint32_t sum = std::accumulate(report.begin() + static_cast<std::ptrdiff_t>(from), report.end(), 0u);
    report.push_back(static_cast<std::uint8_t>((sum >> 8) & 0xFF));
    report.push_back(static_cast<std::uint8_t>(sum & 0xFF));
}

} // namespace

FlagBytes flagBytes(const DMMStatusFlags& f) noexcept
{
    FlagBytes bytes;
    bytes.a = static_cast<std::uint8_t>(f.rel | f.hold << 1 | f.min << 2 | f.max << 3);
    bytes.b = static_cast<std::uint8_t>(f.hvWarning | f.lowBattery << 1 | f.manualRange << 2 | f.apo << 3);
    bytes.c = static_cast<std::uint8_t>(f.barNegative | f.peakMin << 1 | f.peakMax << 2 | f.acFlag << 3);
    return bytes;
}

Bytes displayReport(const DMMDisplayFrame& frame)
{
    Bytes report { 0x00, 0x00, 0xAB, 0xCD, 0x00, frame.functionCode,
        static_cast<std::uint8_t>('0' + frame.rangeIndex % 10) };
    std::string text = frame.displayText;
    text.resize(7, ' ');
    report.insert(report.end(), text.begin(), text.end());
    const int bar = frame.barGraph < 0 ? 0 : frame.barGraph;
    report.push_back(static_cast<std::uint8_t>(bar / 10));
    report.push_back(static_cast<std::uint8_t>(bar % 10));
    const FlagBytes flags = flagBytes(frame.flags);
    report.push_back(flags.a);
    report.push_back(flags.b);
    report.push_back(flags.c);
    appendSum(report, 2);
    return report;
}

Bytes modelReport(std::string_view model)
{
    Bytes report { 0x00, 0x00, 0xAB, 0xCD, static_cast<std::uint8_t>(model.size() + 2) };
    report.insert(report.end(), model.begin(), model.end());
    appendSum(report, 2);
    return report;
}

Bytes acknowledgeReport()
{
    Bytes report { 0x00, 0x00 };
    report.insert(report.end(), std::begin(DMMProtocol::acknowledgeFrame), std::end(DMMProtocol::acknowledgeFrame));
    return report;
}

} // namespace zelmar::MeterResponses
