#include "session/sample_scheduler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zelmar {

SampleScheduler::SampleScheduler(double interval, double anchor)
    : interval_(interval)
    , anchor_(anchor)
{
    if (!(interval > 0))
        std::abort(); // a caller bug, never user input: intervals are validated before
}

bool SampleScheduler::consumeIfDue(double now) noexcept
{
    if (now < nextDueTime())
        return false;
    const auto k = static_cast<std::int64_t>(std::floor((now - anchor_) / interval_));
    nextIndex_ = std::max(k, nextIndex_) + 1;
    return true;
}

std::uint32_t SampleScheduler::tickMilliseconds(double interval) noexcept
{
    const double t = std::floor(interval * 1000.0);
    return static_cast<std::uint32_t>(std::clamp(t, 1.0, 250.0));
}

} // namespace zelmar
