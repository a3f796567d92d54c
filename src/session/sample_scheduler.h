#pragma once

// Samples on a fixed grid of whole intervals anchored at the start of
// recording: due times are computed from the anchor, never from the last
// sample, so the grid never drifts; grid points missed during a stall are
// skipped, not made up.

#include <cstdint>

namespace zelmar {

class SampleScheduler {
public:
    // interval: seconds, above 0 (anything else is a programming error).
    SampleScheduler(double interval, double anchor);

    [[nodiscard]] double nextDueTime() const noexcept { return anchor_ + interval_ * static_cast<double>(nextIndex_); }
    // True when a sample is due at `now`; advances the grid past `now`.
    [[nodiscard]] bool consumeIfDue(double now) noexcept;

    // The UI timer period for an interval: floor(interval x 1000) ms,
    // clamped to 1..250.
    [[nodiscard]] static std::uint32_t tickMilliseconds(double interval) noexcept;

private:
    double interval_;
    double anchor_;
    std::int64_t nextIndex_ = 1; // index 0 is the sample taken at the start
};

} // namespace zelmar
