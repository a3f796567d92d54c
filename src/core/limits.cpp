#include "core/limits.h"

#include <cmath>

namespace zelmar {

double alarmHysteresis(const Limits& limits) noexcept
{
    if (limits.low && limits.high)
        return 0.01 * std::fabs(*limits.high - *limits.low);
    if (limits.high)
        return 0.01 * std::fabs(*limits.high);
    if (limits.low)
        return 0.01 * std::fabs(*limits.low);
    return 0;
}

std::optional<AlarmChange> AlarmMonitor::setLimits(Limits limits, double at) noexcept
{
    limits_ = limits;
    if (active_ && !limits_.any())
        return stop(at);
    return std::nullopt;
}

std::optional<AlarmChange> AlarmMonitor::update(std::optional<double> value, double at) noexcept
{
    if (!value || !limits_.any())
        return std::nullopt;
    const double v = *value;
    if (!active_) {
        if (!limits_.outside(v))
            return std::nullopt;
        active_ = true;
        return AlarmChange { true, v, at };
    }
    const double margin = alarmHysteresis(limits_);
    const bool backInside = (!limits_.low || v >= *limits_.low + margin) && (!limits_.high || v <= *limits_.high - margin);
    if (!backInside)
        return std::nullopt;
    active_ = false;
    return AlarmChange { false, v, at };
}

std::optional<AlarmChange> AlarmMonitor::stop(double at) noexcept
{
    if (!active_)
        return std::nullopt;
    active_ = false;
    return AlarmChange { false, std::nullopt, at };
}

} // namespace zelmar
