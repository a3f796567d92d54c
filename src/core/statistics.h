#pragma once

// Count, extremes, mean and standard deviation of a run of readings, kept
// as running sums: one reading is added in constant time, and the figures
// are the same whoever computes them (the window's strip, `dmm5174k info`).

#include <cstdint>
#include <optional>

namespace zelmar {

class RunningStatistics {
public:
    // A reading with no value (an overload) is counted apart.
    void add(std::optional<double> value) noexcept;
    void clear() noexcept { *this = RunningStatistics(); }

    [[nodiscard]] std::int64_t count() const noexcept { return count_; } // values and overloads
    [[nodiscard]] std::int64_t overloads() const noexcept { return overloads_; }
    [[nodiscard]] std::int64_t values() const noexcept { return count_ - overloads_; }
    [[nodiscard]] double minimum() const noexcept { return minimum_; }
    [[nodiscard]] double maximum() const noexcept { return maximum_; }
    [[nodiscard]] double mean() const noexcept { return mean_; }
    // The sample standard deviation (n - 1); 0 below two values.
    [[nodiscard]] double deviation() const noexcept;

private:
    std::int64_t count_ = 0;
    std::int64_t overloads_ = 0;
    double minimum_ = 0;
    double maximum_ = 0;
    double mean_ = 0;
    double m2_ = 0; // Welford's sum of squared differences: stable for long runs
};

} // namespace zelmar
