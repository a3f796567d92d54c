#pragma once

// A simulated DMM-5174K that stands below the device object: a backend of
// the four HID primitives that answers display requests with valid display
// reports and model queries with a model report, and plays named scenarios,
// faults included. The tests, the command-line logger and the GUI (through
// ZELMAR_TEST_METER=sim or sim:<scenario>) all use this one simulator.

#include "meter/hid.h"
#include "meter/protocol.h"

#include <chrono>
#include <deque>
#include <expected>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar {

enum class SimScenario {
    steadyDc, // "dcv": about 12.34 V DC with a little noise, four digits as the meter shows them
    rangeChange, // "range": DC volts across two ranges, then ohms, then AC volts
    overload, // "overload": ohms alternating between values and "OL"
    negative, // "negative": negative DC millivolts
    flags, // "flags": hold, relative, min, max and low battery in turn
    barGraph, // "bargraph": the bar graph ramps up and down, both signs
    acknowledge, // "ack": display requests answered with acknowledge frames
    badSum, // "badsum": display reports with a wrong sum
    silent, // "silent": nothing is ever answered (reads time out)
    writeFail, // "write-fail": every write fails
    unplug, // "unplug": unplugged after a few readings, back two opens later
    wide, // "wide": five-digit texts (about 12.345 V DC), more than the meter's display holds
};

[[nodiscard]] std::string_view simScenarioName(SimScenario scenario) noexcept;
[[nodiscard]] std::expected<SimScenario, std::string> parseSimScenario(std::string_view name);
[[nodiscard]] const std::vector<SimScenario>& allSimScenarios();

class MeterSimulator final : public HidBackend {
public:
    static constexpr std::string_view modelName = "DMM-5174K";
    static constexpr std::uint16_t reportLength = 65;

    explicit MeterSimulator(SimScenario scenario = SimScenario::steadyDc);

    HidHandle open(std::uint16_t vid, std::uint16_t pid, dmm_caps* caps) override;
    std::int32_t write(HidHandle handle, const std::uint8_t* buffer, std::uint32_t length) override;
    std::int32_t read(HidHandle handle, std::uint8_t* buffer, std::uint32_t length, std::uint32_t timeoutMs) override;
    void close(HidHandle handle) override;

    // Test controls; safe from any thread.
    void setScenario(SimScenario scenario);
    void setPlugged(bool plugged);
    // Whether silence really waits for the read's limit (the default), or
    // answers at once, for fast tests.
    void setRealTimeouts(bool real);
    [[nodiscard]] int displayRequests() const;
    [[nodiscard]] int openCalls() const;
    [[nodiscard]] bool hasOpenHandle() const;

    // The display frame the scenario shows for the n-th display request.
    [[nodiscard]] static DMMDisplayFrame frameFor(SimScenario scenario, int n);

private:
    void answer(std::uint8_t transport, std::uint8_t command);

    mutable std::mutex mutex_;
    SimScenario scenario_;
    bool plugged_ = true;
    bool realTimeouts_ = true;
    int generation_ = 0; // a handle from an earlier plug-in is stale
    int openHandle_ = 0; // the generation of the open handle, 0 when none
    int displayRequests_ = 0;
    int openCalls_ = 0;
    int unpluggedOpens_ = 0;
    std::deque<Bytes> pending_;
};

} // namespace zelmar
