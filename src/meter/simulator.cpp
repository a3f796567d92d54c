#include "meter/simulator.h"
#include "meter/meter_responses.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <thread>

namespace zelmar {

namespace {

constexpr std::array kScenarioNames {
    std::pair { SimScenario::steadyDc, std::string_view("dcv") },
    std::pair { SimScenario::rangeChange, std::string_view("range") },
    std::pair { SimScenario::overload, std::string_view("overload") },
    std::pair { SimScenario::negative, std::string_view("negative") },
    std::pair { SimScenario::flags, std::string_view("flags") },
    std::pair { SimScenario::barGraph, std::string_view("bargraph") },
    std::pair { SimScenario::acknowledge, std::string_view("ack") },
    std::pair { SimScenario::badSum, std::string_view("badsum") },
    std::pair { SimScenario::silent, std::string_view("silent") },
    std::pair { SimScenario::writeFail, std::string_view("write-fail") },
    std::pair { SimScenario::unplug, std::string_view("unplug") },
    std::pair { SimScenario::wide, std::string_view("wide") },
};

constexpr int kReadingsBeforeUnplug = 10;
constexpr int kFailedOpensWhileUnplugged = 2;

// Deterministic noise in [-1, 1] for the n-th reading.
double noise(int n)
{
    std::uint32_t x = static_cast<std::uint32_t>(n) * 2654435761u + 0x9E3779B9u;
    x ^= x >> 15;
    x *= 0x2C1B3C6Du;
    x ^= x >> 12;
    return static_cast<double>(x % 2001) / 1000.0 - 1.0;
}

// The seven display characters for a value with a fixed number of decimals,
// right-aligned as the meter shows them.
std::string displayText(double value, int decimals)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%7.*f", decimals, value);
    std::string text(buffer);
    if (text.size() > 7)
        text = text.substr(0, 7);
    return text;
}

DMMDisplayFrame frame(std::uint8_t function, int range, std::string text)
{
    DMMDisplayFrame f;
    f.functionCode = function;
    f.rangeIndex = range;
    f.displayText = std::move(text);
    return f;
}

} // namespace

std::string_view simScenarioName(SimScenario scenario) noexcept
{
    for (const auto& [s, name] : kScenarioNames)
        if (s == scenario)
            return name;
    return "dcv";
}

std::expected<SimScenario, std::string> parseSimScenario(std::string_view name)
{
    for (const auto& [s, n] : kScenarioNames)
        if (n == name)
            return s;
    std::string known;
    for (const auto& [s, n] : kScenarioNames)
        known.append(known.empty() ? "" : ", ").append(n);
    return std::unexpected("unknown simulator scenario \"" + std::string(name) + "\" (known: " + known + ")");
}

const std::vector<SimScenario>& allSimScenarios()
{
    static const std::vector<SimScenario> all = [] {
        std::vector<SimScenario> v;
        for (const auto& [s, n] : kScenarioNames)
            v.push_back(s);
        return v;
    }();
    return all;
}

MeterSimulator::MeterSimulator(SimScenario scenario)
    : scenario_(scenario)
{
}

DMMDisplayFrame MeterSimulator::frameFor(SimScenario scenario, int n)
{
    switch (scenario) {
    case SimScenario::rangeChange: {
        const int phase = (n / 10) % 4;
        if (phase == 0)
            return frame(2, 1, displayText(5.0 + 0.002 * noise(n), 3));
        if (phase == 1)
            return frame(2, 2, displayText(50.0 + 0.02 * noise(n), 2));
        if (phase == 2)
            return frame(6, 1, displayText(4.7 + 0.001 * noise(n), 3));
        DMMDisplayFrame f = frame(0, 2, displayText(230.0 + 0.5 * noise(n), 1));
        f.flags.acFlag = true;
        return f;
    }
    case SimScenario::overload:
        return n % 4 == 3 ? frame(6, 4, "   OL  ") : frame(6, 4, displayText(1.5 + 0.01 * noise(n), 3));
    case SimScenario::negative:
        return frame(3, 0, displayText(-52.4 + 0.05 * noise(n), 1));
    case SimScenario::flags: {
        DMMDisplayFrame f = frame(2, 1, displayText(1.234, 3));
        switch (n % 6) {
        case 1:
            f.flags.hold = true;
            break;
        case 2:
            f.flags.rel = true;
            break;
        case 3:
            f.flags.min = true;
            break;
        case 4:
            f.flags.max = true;
            break;
        case 5:
            f.flags.lowBattery = true;
            f.flags.manualRange = true;
            break;
        default:
            break;
        }
        return f;
    }
    case SimScenario::barGraph: {
        const int step = n % 40;
        const int bar = step < 20 ? step * 3 : (40 - step) * 3;
        DMMDisplayFrame f = frame(2, 1, displayText((n % 80 < 40 ? 1 : -1) * bar / 10.0, 3));
        f.barGraph = bar;
        f.flags.barNegative = n % 80 >= 40;
        return f;
    }
    case SimScenario::wide:
        return frame(2, 1, displayText(12.345 + 0.003 * noise(n), 3));
    case SimScenario::steadyDc:
    default:
        return frame(2, 1, displayText(12.34 + 0.03 * noise(n), 2));
    }
}

HidHandle MeterSimulator::open(std::uint16_t vid, std::uint16_t pid, dmm_caps* caps)
{
    std::lock_guard lock(mutex_);
    ++openCalls_;
    if (scenario_ == SimScenario::unplug && !plugged_ && ++unpluggedOpens_ > kFailedOpensWhileUnplugged) {
        plugged_ = true; // replugged
        unpluggedOpens_ = 0;
        displayRequests_ = 0;
    }
    if (!plugged_ || vid != 0x1A86 || pid != 0xE429)
        return nullptr;
    if (caps != nullptr)
        *caps = { reportLength, reportLength };
    openHandle_ = ++generation_;
    pending_.clear();
    // The handle is only a token; its value tells stale handles apart.
    return reinterpret_cast<HidHandle>(static_cast<std::uintptr_t>(openHandle_));
}

std::int32_t MeterSimulator::write(HidHandle handle, const std::uint8_t* buffer, std::uint32_t length)
{
    std::lock_guard lock(mutex_);
    const int token = static_cast<int>(reinterpret_cast<std::uintptr_t>(handle));
    if (!plugged_ || token != openHandle_ || scenario_ == SimScenario::writeFail || length < 13)
        return -1;
    // A well-formed transport frame after the report-ID byte, or no answer.
    const ByteView report(buffer, length);
    const std::uint8_t transport = report[4];
    const std::uint8_t command = report[1 + 8];
    if (DMMProtocol::transportFrame(transport, command) == Bytes(report.begin() + 1, report.begin() + 13))
        answer(transport, command);
    return static_cast<std::int32_t>(length);
}

void MeterSimulator::answer(std::uint8_t transport, std::uint8_t command)
{
    if (scenario_ == SimScenario::silent)
        return;
    if (command == 0x5F && transport == DMMProtocol::transportCommand) {
        pending_.push_back(MeterResponses::modelReport(modelName));
        return;
    }
    if (command != 0x5E)
        return;
    const int n = displayRequests_++;
    if (scenario_ == SimScenario::unplug && n >= kReadingsBeforeUnplug) {
        plugged_ = false;
        openHandle_ = 0; // the open handle dies with the device
        return;
    }
    if (scenario_ == SimScenario::acknowledge) {
        pending_.push_back(MeterResponses::acknowledgeReport());
        return;
    }
    Bytes report = MeterResponses::displayReport(frameFor(scenario_, n));
    if (scenario_ == SimScenario::badSum)
        report[20] ^= 0x01;
    pending_.push_back(std::move(report));
}

std::int32_t MeterSimulator::read(HidHandle handle, std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs)
{
    bool wait = false;
    {
        std::lock_guard lock(mutex_);
        const int token = static_cast<int>(reinterpret_cast<std::uintptr_t>(handle));
        if (plugged_ && token == openHandle_ && !pending_.empty()) {
            const Bytes report = std::move(pending_.front());
            pending_.pop_front();
            const std::size_t n = std::min<std::size_t>(report.size(), length);
            std::copy_n(report.begin(), n, buffer);
            return static_cast<std::int32_t>(n);
        }
        wait = realTimeouts_ && plugged_ && token == openHandle_;
    }
    // Silence lasts the whole limit, as it would with a real meter.
    if (wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
    return -1;
}

void MeterSimulator::close(HidHandle handle)
{
    std::lock_guard lock(mutex_);
    if (static_cast<int>(reinterpret_cast<std::uintptr_t>(handle)) == openHandle_)
        openHandle_ = 0;
}

void MeterSimulator::setScenario(SimScenario scenario)
{
    std::lock_guard lock(mutex_);
    scenario_ = scenario;
}

void MeterSimulator::setPlugged(bool plugged)
{
    std::lock_guard lock(mutex_);
    plugged_ = plugged;
    if (!plugged) {
        pending_.clear();
        openHandle_ = 0; // the open handle dies with the device
    }
}

void MeterSimulator::setRealTimeouts(bool real)
{
    std::lock_guard lock(mutex_);
    realTimeouts_ = real;
}

int MeterSimulator::displayRequests() const
{
    std::lock_guard lock(mutex_);
    return displayRequests_;
}

int MeterSimulator::openCalls() const
{
    std::lock_guard lock(mutex_);
    return openCalls_;
}

bool MeterSimulator::hasOpenHandle() const
{
    std::lock_guard lock(mutex_);
    return openHandle_ != 0;
}

} // namespace zelmar
