#include "ui/chart_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zelmar::ui {

static_assert(sizeof(ChartSample) == 24, "a chart sample stays 24 bytes: 600,000 of them are kept");

namespace {

// "OL" anywhere, in any case: the meter's overload.
bool showsOverload(std::string_view text) noexcept
{
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if ((text[i] == 'O' || text[i] == 'o') && (text[i + 1] == 'L' || text[i + 1] == 'l'))
            return true;
    }
    return false;
}

bool ofUnit(const ChartSample& s, int unit) noexcept
{
    return unit == allUnits || s.unit == unit;
}

std::size_t firstAfter(std::span<const ChartSample> samples, double t) noexcept
{
    return static_cast<std::size_t>(
        std::upper_bound(samples.begin(), samples.end(), t, [](double v, const ChartSample& s) { return v < s.t; })
        - samples.begin());
}

} // namespace

std::size_t firstSampleAtOrAfter(std::span<const ChartSample> samples, double t) noexcept
{
    return static_cast<std::size_t>(
        std::lower_bound(samples.begin(), samples.end(), t, [](const ChartSample& s, double v) { return s.t < v; })
        - samples.begin());
}

TimeWindow wholeWindow(std::span<const ChartSample> samples) noexcept
{
    if (samples.empty())
        return {};
    return { samples.front().t, samples.back().t };
}

std::pair<std::size_t, std::size_t> samplesInside(std::span<const ChartSample> samples, const TimeWindow& window) noexcept
{
    const std::size_t first = firstSampleAtOrAfter(samples, window.start);
    return { first, std::max(first, firstAfter(samples, window.end)) };
}

bool ChartSeries::isGap(double step, double smallestStep) noexcept
{
    // Samples are taken at the first 250 ms tick after each grid point, so
    // steps vary by up to a quarter second around the interval; one missed
    // grid point adds a whole interval.
    return step > smallestStep + std::max(0.5, 0.5 * smallestStep);
}

void ChartSeries::append(const Reading& reading)
{
    append(reading.timestamp(), reading.function().code(), reading.unit(), reading.value(), reading.text());
}

void ChartSeries::append(
    double t, std::uint8_t code, std::string_view unitText, std::optional<double> value, std::string_view text)
{
    // A new trace where the function or unit changes, after a sample with
    // no value, across a gap in time and where the caller asked for one:
    // no line is drawn where nothing was measured.
    bool breaks = breakPending_ || (currentKey_ && (currentKey_->first != code || currentKey_->second != unitText));
    if (!samples_.empty()) {
        const ChartSample& last = samples_.back();
        const double step = t - last.t;
        breaks = breaks || !last.valid || (smallestStep_ > 0 && isGap(step, smallestStep_));
        if (step > 0)
            smallestStep_ = smallestStep_ > 0 ? std::min(smallestStep_, step) : step;
        if (breaks)
            ++currentSegment_;
    }
    breakPending_ = false;
    if (!currentKey_ || currentKey_->second != unitText)
        currentKey_.emplace(code, std::string(unitText));
    else
        currentKey_->first = code;
    if (currentUnit_ != unitText)
        currentUnit_ = unitText;
    auto unit = std::find(units_.begin(), units_.end(), unitText);
    if (unit == units_.end() && units_.size() < 256) {
        units_.emplace_back(unitText);
        unit = units_.end() - 1;
    } else if (unit == units_.end()) {
        unit = units_.end() - 1;
    }
    const auto unitIndex = static_cast<std::uint8_t>(unit - units_.begin());
    const bool sameKey = !samples_.empty() && samples_.back().function == code && samples_.back().unit == unitIndex;
    samples_.push_back({ t, value.value_or(0.0), currentSegment_, value.has_value(),
        !value && showsOverload(text), unitIndex, code });
    if (!sameKey)
        statisticsStale_ = true;
    else if (!statisticsStale_)
        statistics_.add(value);
}

const RunningStatistics& ChartSeries::statistics() const
{
    if (statisticsStale_) {
        statistics_.clear();
        if (!samples_.empty())
            statistics_ = statisticsOf(samples_, samples_.back().function, samples_.back().unit, wholeWindow(samples_));
        statisticsStale_ = false;
    }
    return statistics_;
}

RunningStatistics statisticsOf(
    std::span<const ChartSample> samples, std::uint8_t function, int unit, const TimeWindow& window)
{
    RunningStatistics figures;
    const auto [first, last] = samplesInside(samples, window);
    for (const ChartSample& s : samples.subspan(first, last - first)) {
        if (s.function == function && s.unit == unit)
            figures.add(s.valid ? std::optional<double>(s.v) : std::nullopt);
    }
    return figures;
}

bool ChartSeries::hidesOtherUnits() const noexcept
{
    return units_.size() > 1;
}

void ChartSeries::clear()
{
    samples_.clear();
    units_.clear();
    currentKey_.reset();
    currentSegment_ = 0;
    currentUnit_.clear();
    smallestStep_ = 0;
    breakPending_ = false;
    statistics_.clear();
    statisticsStale_ = false;
}

ValueRange valueRange(std::span<const ChartSample> samples, int unit) noexcept
{
    bool any = false;
    double lo = 0;
    double hi = 0;
    for (const ChartSample& s : samples) {
        if (!s.valid || !ofUnit(s, unit))
            continue;
        if (!any) {
            lo = hi = s.v;
            any = true;
        } else {
            lo = std::min(lo, s.v);
            hi = std::max(hi, s.v);
        }
    }
    if (!any)
        return { 0, 1 };
    const double pad = lo == hi ? std::max(0.5, 0.05 * std::fabs(lo)) : 0.05 * (hi - lo);
    return { lo - pad, hi + pad };
}

std::string valueLabel(double value, int extraDecimals)
{
    if (value == 0)
        return "0";
    const double magnitude = std::fabs(value);
    const bool exponent = magnitude >= 1e6 || magnitude < 0.001;
    const int decimals = (exponent ? 1
                             : magnitude >= 1000 ? 0
                             : magnitude >= 100  ? 1
                             : magnitude >= 10   ? 2
                                                 : 3)
        + std::clamp(extraDecimals, 0, 12);
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, exponent ? "%.*e" : "%.*f", decimals, value);
    return std::string(buffer, n > 0 ? static_cast<std::size_t>(std::min<int>(n, sizeof buffer - 1)) : 0);
}

std::vector<std::string> valueLabels(std::span<const double> values)
{
    std::vector<std::string> labels;
    for (int extra = 0; extra <= 12; ++extra) {
        labels.clear();
        for (const double v : values)
            labels.push_back(valueLabel(v, extra));
        if (std::adjacent_find(labels.begin(), labels.end()) == labels.end())
            break;
    }
    return labels;
}

Rect plotRect(const Rect& client, int dpi, int labelWidth) noexcept
{
    // The labels end 4 px left of the plot and start clear of the border.
    const int left = std::max(scale(44, dpi), std::max(labelWidth, 0) + scale(4, dpi) + scale(2, dpi));
    return { client.left + left, client.top + scale(18, dpi), client.right - scale(10, dpi),
        client.bottom - scale(18, dpi) };
}

bool plotIsDrawable(const Rect& plot, int dpi) noexcept
{
    const int minimum = scale(20, dpi);
    return plot.width() > minimum && plot.height() > minimum;
}

namespace {
constexpr double gridFractions[] = { 0.0, 0.25, 0.5, 0.75, 1.0 };
}

std::vector<GridLine> gridLines(const Rect& plot, ValueRange range)
{
    std::vector<GridLine> lines;
    for (const double fraction : gridFractions) {
        lines.push_back({ plot.bottom - roundHalfAway(fraction * plot.height()),
            range.lo + fraction * (range.hi - range.lo), fraction == 0.0 });
    }
    return lines;
}

std::vector<double> gridValues(ValueRange range)
{
    std::vector<double> values;
    for (const double fraction : gridFractions)
        values.push_back(range.lo + fraction * (range.hi - range.lo));
    return values;
}

std::vector<TimeLabel> timeLabels(
    std::span<const ChartSample> samples, const Rect& plot, const std::function<std::string(double)>& format)
{
    if (samples.empty())
        return {};
    return timeLabels(wholeWindow(samples), plot, format);
}

std::vector<TimeLabel> timeLabels(
    const TimeWindow& window, const Rect& plot, const std::function<std::string(double)>& format)
{
    std::vector<TimeLabel> labels;
    const double tFirst = window.start;
    const double tLast = window.end;
    std::string first = format(tFirst);
    if (!(tLast > tFirst) || format(tLast) == first) {
        labels.push_back({ plot.left, std::move(first), LabelAlign::left });
        return labels;
    }
    const int n = plot.width() < 1024 ? 3 : plot.width() < 1920 ? 4 : 5;
    for (int i = 0; i < n; ++i) {
        const double fraction = static_cast<double>(i) / (n - 1);
        const LabelAlign align = i == 0 ? LabelAlign::left : i == n - 1 ? LabelAlign::right : LabelAlign::centre;
        labels.push_back({ plot.left + roundHalfAway(fraction * plot.width()),
            i == 0 ? first : format(tFirst + fraction * (tLast - tFirst)), align });
    }
    return labels;
}

void reduceToColumns(std::span<const ChartSample> samples, ValueRange range, const Rect& plot,
    std::vector<ChartColumn>& columns, int unit, std::optional<TimeWindow> window)
{
    const int width = std::max(plot.width(), 0);
    columns.assign(static_cast<std::size_t>(width), ChartColumn {});
    if (samples.empty() || width == 0)
        return;
    if (window) {
        const auto [first, last] = samplesInside(samples, *window);
        samples = samples.subspan(first, last - first);
    }
    const TimeWindow shown = window.value_or(wholeWindow(samples));
    const double tFirst = shown.start;
    const double span = shown.span();
    const double spanScale = span > 0 ? (width - 1) / span : 0.0;
    const double extent = range.hi - range.lo;
    const double height = plot.height();
    for (const ChartSample& s : samples) {
        if (!s.valid && !s.overload)
            continue;
        if (!ofUnit(s, unit))
            continue;
        const double fx = std::clamp((s.t - tFirst) * spanScale, 0.0, static_cast<double>(width - 1));
        const int index = static_cast<int>(fx + 0.5); // fx is never negative
        if (!s.valid) {
            columns[static_cast<std::size_t>(index)].overload = true;
            continue;
        }
        const double fy = extent > 0 ? std::clamp((s.v - range.lo) / extent, 0.0, 1.0) : 0.5;
        const std::int32_t y = plot.bottom - static_cast<std::int32_t>(fy * height + 0.5);
        ChartColumn& c = columns[static_cast<std::size_t>(index)];
        if (c.hasData && c.segment == s.segment) {
            c.minY = std::min(c.minY, y);
            c.maxY = std::max(c.maxY, y);
            c.lastY = y;
        } else {
            c = { y, y, y, y, s.segment, true, c.overload };
        }
    }
}

std::vector<std::vector<Point>> tracePolylines(std::span<const ChartColumn> columns, int plotLeft)
{
    std::vector<std::vector<Point>> lines;
    const ChartColumn* previous = nullptr;
    const auto add = [&lines](Point p) {
        if (lines.back().empty() || lines.back().back() != p)
            lines.back().push_back(p);
    };
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const ChartColumn& c = columns[i];
        if (!c.hasData)
            continue;
        if (previous == nullptr || previous->segment != c.segment)
            lines.emplace_back();
        const int x = plotLeft + static_cast<int>(i);
        // Through both extremes in the order that retraces the least: an
        // antialiased stroke costs by its length.
        const bool minFirst = std::abs(c.firstY - c.minY) + std::abs(c.maxY - c.lastY)
            <= std::abs(c.firstY - c.maxY) + std::abs(c.minY - c.lastY);
        add({ x, c.firstY });
        add({ x, minFirst ? c.minY : c.maxY });
        add({ x, minFirst ? c.maxY : c.minY });
        add({ x, c.lastY });
        previous = &c;
    }
    // A lone sample would be a line of no length, which draws nothing; a
    // one-pixel stroke keeps it visible.
    for (std::vector<Point>& line : lines) {
        if (line.size() == 1)
            line.push_back({ line.front().x, line.front().y + 1 });
    }
    return lines;
}

std::string chartDescription(
    const ChartSeries& series, AppLanguage language, const std::function<std::string(double)>& format)
{
    const int unit = series.currentUnitIndex();
    std::int64_t count = 0;
    double first = 0;
    double last = 0;
    double lo = 0;
    double hi = 0;
    for (const ChartSample& s : series.samples()) {
        if (s.unit != unit || !s.valid)
            continue;
        if (count++ == 0) {
            first = s.t;
            lo = hi = s.v;
        }
        last = s.t;
        lo = std::min(lo, s.v);
        hi = std::max(hi, s.v);
    }
    std::string described = series.hidesOtherUnits()
        ? std::string(L10n::text(L10nKey::chartOtherUnitsHidden, language)) + " "
        : std::string();
    if (count == 0)
        return described + std::string(L10n::text(L10nKey::accessibleNoSamples, language));
    return described
        + L10n::chartDescription(language, count, series.currentUnit(), format(first), format(last),
            valueLabel(lo), valueLabel(hi));
}

} // namespace zelmar::ui
