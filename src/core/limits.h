#pragma once

// Optional low and high limits for readings of one function and unit, and
// the alarm they raise: it starts when a value lies outside and ends when
// values are back inside by a margin, so a reading trembling at a limit
// does not start and end it twice a second.

#include <cstdint>
#include <optional>
#include <string>

namespace zelmar {

struct Limits {
    std::optional<double> low;
    std::optional<double> high;
    bool beep = false;

    [[nodiscard]] bool any() const noexcept { return low.has_value() || high.has_value(); }
    [[nodiscard]] bool outside(double value) const noexcept
    {
        return (low && value < *low) || (high && value > *high);
    }
    friend bool operator==(const Limits&, const Limits&) = default;
};

// The limits set for one function and unit (the settings keep a list).
struct LimitsFor {
    std::uint8_t function = 0;
    std::string unit;
    Limits limits;
    friend bool operator==(const LimitsFor&, const LimitsFor&) = default;
};

// One percent of the band between the limits, or of a lone limit's size.
[[nodiscard]] double alarmHysteresis(const Limits& limits) noexcept;

struct AlarmChange {
    bool started = false; // else ended
    std::optional<double> value; // the value that started or ended it; none when limits or function changed
    double at = 0; // seconds since 1970
};

class AlarmMonitor {
public:
    explicit AlarmMonitor(Limits limits = {}) noexcept
        : limits_(limits)
    {
    }
    // New limits apply from the next value; an alarm they no longer cover
    // ends at once.
    std::optional<AlarmChange> setLimits(Limits limits, double at) noexcept;
    [[nodiscard]] const Limits& limits() const noexcept { return limits_; }
    // A reading of the limits' function and unit: none is an overload, which
    // has no value to compare and leaves the alarm as it is.
    std::optional<AlarmChange> update(std::optional<double> value, double at) noexcept;
    // The meter moved to another function or unit, or the recording was
    // replaced: an alarm in progress ends.
    std::optional<AlarmChange> stop(double at) noexcept;
    [[nodiscard]] bool active() const noexcept { return active_; }

private:
    Limits limits_;
    bool active_ = false;
};

} // namespace zelmar
