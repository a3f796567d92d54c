#include "core/statistics.h"

#include <algorithm>
#include <cmath>

namespace zelmar {

void RunningStatistics::add(std::optional<double> value) noexcept
{
    ++count_;
    if (!value) {
        ++overloads_;
        return;
    }
    const double v = *value;
    const auto n = static_cast<double>(values());
    if (n == 1) {
        minimum_ = maximum_ = v;
    } else {
        minimum_ = std::min(minimum_, v);
        maximum_ = std::max(maximum_, v);
    }
    const double delta = v - mean_;
    mean_ += delta / n;
    m2_ += delta * (v - mean_);
}

double RunningStatistics::deviation() const noexcept
{
    return values() > 1 ? std::sqrt(m2_ / static_cast<double>(values() - 1)) : 0;
}

} // namespace zelmar
