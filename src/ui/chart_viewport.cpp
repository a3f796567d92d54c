#include "ui/chart_viewport.h"

#include <algorithm>
#include <cmath>

namespace zelmar::ui {

namespace {

constexpr double shortestSpan = 1.0; // seconds: the meter's shortest interval

// The window moved inside the recording without changing its span. An end
// a hair from the recording's is put on it: steps of a pan add rounding,
// and the first or last sample must not drop out of the view for it.
TimeWindow inside(TimeWindow window, const TimeWindow& whole) noexcept
{
    if (window.span() >= whole.span())
        return whole;
    const double hair = 1e-6 * whole.span();
    if (window.start < whole.start + hair)
        window = { whole.start, whole.start + window.span() };
    if (window.end > whole.end - hair)
        window = { whole.end - window.span(), whole.end };
    return window;
}

} // namespace

std::optional<std::size_t> nearestSample(
    std::span<const ChartSample> samples, double t, int unit, const TimeWindow& window) noexcept
{
    const auto [first, last] = samplesInside(samples, window);
    const auto eligible = [&](std::size_t i) {
        const ChartSample& s = samples[i];
        return (s.valid || s.overload) && (unit == allUnits || s.unit == unit);
    };
    const std::size_t at = std::clamp(firstSampleAtOrAfter(samples, t), first, last);
    // Outwards from the time in both directions: the first eligible on each
    // side, the nearer of the two.
    std::optional<std::size_t> after;
    for (std::size_t i = at; i < last; ++i) {
        if (eligible(i)) {
            after = i;
            break;
        }
    }
    std::optional<std::size_t> before;
    for (std::size_t i = at; i > first; --i) {
        if (eligible(i - 1)) {
            before = i - 1;
            break;
        }
    }
    if (!before || !after)
        return before ? before : after;
    return t - samples[*before].t <= samples[*after].t - t ? before : after;
}

TimeWindow ChartViewport::window(std::span<const ChartSample> samples) const noexcept
{
    const TimeWindow whole = wholeWindow(samples);
    switch (mode_) {
    case Mode::held:
        return inside(held_, whole);
    case Mode::following:
        return inside({ whole.end - span_, whole.end }, whole);
    case Mode::whole:
        break;
    }
    return whole;
}

void ChartViewport::zoom(std::span<const ChartSample> samples, double factor, double anchor) noexcept
{
    const TimeWindow whole = wholeWindow(samples);
    if (!(whole.span() > 0) || !(factor > 0) || !std::isfinite(factor))
        return; // nothing to zoom: no samples, one, or all at one time
    const TimeWindow now = window(samples);
    anchor = std::clamp(anchor, now.start, now.end);
    // Never closer than the two samples around the anchor.
    const std::size_t at = std::clamp<std::size_t>(firstSampleAtOrAfter(samples, anchor), 1, samples.size() - 1);
    const double neighbours = samples[at].t - samples[at - 1].t;
    const double span = std::clamp(now.span() * factor, std::max(shortestSpan, neighbours), whole.span());
    if (span >= whole.span()) {
        mode_ = Mode::whole;
        return;
    }
    const double share = now.span() > 0 ? (anchor - now.start) / now.span() : 0.5;
    held_ = inside({ anchor - share * span, anchor - share * span + span }, whole);
    mode_ = Mode::held;
}

void ChartViewport::pan(std::span<const ChartSample> samples, double seconds) noexcept
{
    if (mode_ == Mode::whole || !std::isfinite(seconds))
        return; // the whole recording has nowhere to go
    const TimeWindow now = window(samples);
    held_ = inside({ now.start + seconds, now.end + seconds }, wholeWindow(samples));
    mode_ = Mode::held;
}

void ChartViewport::follow(std::span<const ChartSample> samples) noexcept
{
    if (mode_ == Mode::whole)
        return; // already moving with the recording
    span_ = window(samples).span();
    mode_ = Mode::following;
}

double xOfTime(const TimeWindow& window, const Rect& plot, double t) noexcept
{
    const double width = std::max(plot.width() - 1, 0);
    if (!(window.span() > 0))
        return plot.left;
    return plot.left + (t - window.start) * width / window.span();
}

double timeOfX(const TimeWindow& window, const Rect& plot, double x) noexcept
{
    const double width = std::max(plot.width() - 1, 1);
    return window.start + (x - plot.left) * window.span() / width;
}

Rect cursorLabelRect(const Rect& plot, int cursorX, int labelWidth, int labelHeight, int dpi) noexcept
{
    const int gap = scale(6, dpi);
    const int width = std::min(labelWidth, plot.width());
    const int height = std::min(labelHeight, plot.height());
    int left = cursorX + gap;
    if (left + width > plot.right)
        left = cursorX - gap - width;
    left = std::clamp(left, plot.left, plot.right - width);
    const int top = plot.top + scale(4, dpi);
    return { left, std::min(top, plot.bottom - height), left + width, std::min(top, plot.bottom - height) + height };
}

} // namespace zelmar::ui
