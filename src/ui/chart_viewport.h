#pragma once

// Which stretch of time the trend chart shows, and what lies under the
// pointer. Without interaction the chart shows the whole recording and
// grows with it; zoomed or panned it holds still; following, it keeps its
// span and moves with the newest sample. All of it works on the samples as
// stored (in time order), by binary search, so a zoomed view of 600,000
// samples costs only what it shows.

#include "ui/chart_model.h"
#include "ui/geometry.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace zelmar::ui {

// The sample of the unit (drawn or an overload) nearest in time to t inside
// the window; none when the window holds none.
[[nodiscard]] std::optional<std::size_t> nearestSample(
    std::span<const ChartSample> samples, double t, int unit, const TimeWindow& window) noexcept;

class ChartViewport {
public:
    enum class Mode { whole, held, following };

    [[nodiscard]] Mode mode() const noexcept { return mode_; }
    [[nodiscard]] bool isZoomed() const noexcept { return mode_ != Mode::whole; }
    // What the chart shows of these samples now.
    [[nodiscard]] TimeWindow window(std::span<const ChartSample> samples) const noexcept;

    // By `factor` (below 1 closer, above 1 further) with time `anchor` kept
    // where it is. Never closer than the two samples around the anchor, or
    // a second; out to the whole recording at most, which follows again.
    void zoom(std::span<const ChartSample> samples, double factor, double anchor) noexcept;
    // By `seconds` (later when positive), stopping at either end.
    void pan(std::span<const ChartSample> samples, double seconds) noexcept;
    // Home, a double click: the whole recording, growing with it.
    void showWhole() noexcept { mode_ = Mode::whole; }
    // End, the live control: the same span, at the newest sample, moving on
    // with every new one.
    void follow(std::span<const ChartSample> samples) noexcept;

private:
    Mode mode_ = Mode::whole;
    TimeWindow held_; // while held
    double span_ = 0; // while following
};

// x of a time in the plot and back; the window's ends map to the plot's
// first and last column.
[[nodiscard]] double xOfTime(const TimeWindow& window, const Rect& plot, double t) noexcept;
[[nodiscard]] double timeOfX(const TimeWindow& window, const Rect& plot, double x) noexcept;

// The cursor's label beside its line: right of it, or left where it would
// leave the plot, and always inside the plot (clipped when the plot is
// smaller than the label).
[[nodiscard]] Rect cursorLabelRect(const Rect& plot, int cursorX, int labelWidth, int labelHeight, int dpi) noexcept;

} // namespace zelmar::ui
