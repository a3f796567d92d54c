#pragma once

// The trend chart without a window: the light copy of the recorded samples,
// split into segments where the function or unit changes, and everything a
// paint needs from it (value range, axis labels, the reduction of any number
// of samples to one column per pixel, and the trace as polylines). The Win32
// chart (chart_view_win32.cpp) only draws what this computes.

#include "core/reading.h"
#include "core/statistics.h"
#include "localization/localization.h"
#include "ui/geometry.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zelmar::ui {

struct ChartSample {
    double t = 0; // seconds since 1970-01-01 UTC
    double v = 0; // 0 when the reading has no value
    std::int32_t segment = 0;
    bool valid = false;
    bool overload = false; // no value because the display read "OL"
    std::uint8_t unit = 0; // index into the series' units
    std::uint8_t function = 0; // the meter's function code
};

// Samples of every unit are kept; only those of the current unit (the last
// reading's) are drawn, against one value axis.
inline constexpr int allUnits = -1;

class ChartSeries {
public:
    void append(const Reading& reading);
    // The same from a stored record's fields, without making a reading.
    void append(double t, std::uint8_t function, std::string_view unit, std::optional<double> value,
        std::string_view text);
    // Empties the samples and keeps their capacity, so a rebuild of a large
    // recording does not allocate again.
    void clear();
    // The next sample starts a new trace (a new recording, a lost meter).
    void breakTrace() noexcept { breakPending_ = true; }

    [[nodiscard]] std::span<const ChartSample> samples() const noexcept { return samples_; }
    // The unit of the last appended reading, the axis caption.
    [[nodiscard]] const std::string& currentUnit() const noexcept { return currentUnit_; }
    // Its index in the samples; allUnits when there are none.
    [[nodiscard]] int currentUnitIndex() const noexcept { return samples_.empty() ? allUnits : samples_.back().unit; }
    // Whether samples of another unit are kept but not drawn.
    [[nodiscard]] bool hidesOtherUnits() const noexcept;
    // The figures of the whole recording's readings of the last reading's
    // function and unit: kept up by each append while those stay, counted
    // again in one pass when they change.
    [[nodiscard]] const RunningStatistics& statistics() const;
    void reserve(std::size_t count) { samples_.reserve(count); }

    // Two samples further apart than this, for the smallest step seen so far,
    // are not joined: the meter was lost, or recording stopped in between.
    [[nodiscard]] static bool isGap(double step, double smallestStep) noexcept;

private:
    std::vector<ChartSample> samples_;
    std::vector<std::string> units_; // at most 256: after that the last is reused
    std::optional<std::pair<std::uint8_t, std::string>> currentKey_;
    std::int32_t currentSegment_ = 0;
    std::string currentUnit_;
    double smallestStep_ = 0;
    bool breakPending_ = false;
    mutable RunningStatistics statistics_;
    mutable bool statisticsStale_ = false;
};

// A stretch of time the chart shows, in seconds since 1970.
struct TimeWindow {
    double start = 0;
    double end = 0;
    [[nodiscard]] double span() const noexcept { return end - start; }
    friend bool operator==(const TimeWindow&, const TimeWindow&) = default;
};
// The samples' own first to last time; {0, 0} when there are none.
[[nodiscard]] TimeWindow wholeWindow(std::span<const ChartSample> samples) noexcept;
// The figures of the samples of one function and unit inside a window.
[[nodiscard]] RunningStatistics statisticsOf(
    std::span<const ChartSample> samples, std::uint8_t function, int unit, const TimeWindow& window);
// The index of the first sample at or after t (samples are in time order).
[[nodiscard]] std::size_t firstSampleAtOrAfter(std::span<const ChartSample> samples, double t) noexcept;
// The index range [first, last) of the samples inside the window.
[[nodiscard]] std::pair<std::size_t, std::size_t> samplesInside(
    std::span<const ChartSample> samples, const TimeWindow& window) noexcept;

struct ValueRange {
    double lo = 0;
    double hi = 1;
};
// The range of the valid samples of one unit (or of all), padded.
[[nodiscard]] ValueRange valueRange(std::span<const ChartSample> samples, int unit = allUnits) noexcept;

// "0", "%.1e", "%.0f", "%.1f", "%.2f" or "%.3f" by magnitude, with
// `extraDecimals` more digits after the point.
[[nodiscard]] std::string valueLabel(double value, int extraDecimals = 0);
// The labels of values in order: each by valueLabel, with more decimals
// for all when two neighbours would read alike.
[[nodiscard]] std::vector<std::string> valueLabels(std::span<const double> values);

// The plot inside the client; empty when 20 pixels or less either way. The
// value labels, `labelWidth` wide at the most, stand left of it in full.
[[nodiscard]] Rect plotRect(const Rect& client, int dpi, int labelWidth = 0) noexcept;
[[nodiscard]] bool plotIsDrawable(const Rect& plot, int dpi) noexcept;

struct GridLine {
    int y = 0;
    double value = 0;
    bool isAxis = false; // the bottom line, drawn in the axis colour
};
[[nodiscard]] std::vector<GridLine> gridLines(const Rect& plot, ValueRange range);
// The values of those lines, bottom to top, which do not depend on the plot.
[[nodiscard]] std::vector<double> gridValues(ValueRange range);

enum class LabelAlign { left, centre, right };
struct TimeLabel {
    int x = 0; // the tick's column
    std::string text;
    LabelAlign align = LabelAlign::left;
};
// The time axis labels; `format` turns seconds since 1970 into "HH:MM:SS".
[[nodiscard]] std::vector<TimeLabel> timeLabels(
    std::span<const ChartSample> samples, const Rect& plot, const std::function<std::string(double)>& format);
// The same for a window of time.
[[nodiscard]] std::vector<TimeLabel> timeLabels(
    const TimeWindow& window, const Rect& plot, const std::function<std::string(double)>& format);

// What a screen reader is told the chart shows: how many samples of the
// unit drawn, from when to when, and their extremes; `format` as above.
[[nodiscard]] std::string chartDescription(
    const ChartSeries& series, AppLanguage language, const std::function<std::string(double)>& format);

struct ChartColumn {
    std::int32_t minY = 0;
    std::int32_t maxY = 0;
    std::int32_t firstY = 0;
    std::int32_t lastY = 0;
    std::int32_t segment = -1;
    bool hasData = false;
    bool overload = false; // an overload of the unit drawn falls here
};
// One column per pixel of the plot's width, from the samples of one unit
// (or of all) inside the window (by default all of them), in one pass over
// those samples; `columns` is reused between calls.
void reduceToColumns(std::span<const ChartSample> samples, ValueRange range, const Rect& plot,
    std::vector<ChartColumn>& columns, int unit = allUnits, std::optional<TimeWindow> window = std::nullopt);

// The trace as connected polylines: columns of one segment that follow each
// other with data between them are joined; segments never are. Each column
// adds its first row, both extremes and its last row, which draws the joins and the
// column's vertical span in one stroke. A lone point becomes a one-pixel
// stroke so that it shows.
[[nodiscard]] std::vector<std::vector<Point>> tracePolylines(std::span<const ChartColumn> columns, int plotLeft);

namespace chart_colors {
inline constexpr Rgb background = Rgb::fromHex(0xFFFFFF);
inline constexpr Rgb border = Rgb::fromHex(0xB0B4BA);
inline constexpr Rgb grid = Rgb::fromHex(0xE2E5E9);
inline constexpr Rgb axis = Rgb::fromHex(0x787E86);
inline constexpr Rgb label = Rgb::fromHex(0x50565E);
inline constexpr Rgb caption = Rgb::fromHex(0x1C1E22);
inline constexpr Rgb trace = Rgb::fromHex(0x1565C0);
inline constexpr Rgb overload = Rgb::fromHex(0xC62828);
inline constexpr Rgb limit = Rgb::fromHex(0xE65100);
inline constexpr Rgb cursor = Rgb::fromHex(0x455A64);
} // namespace chart_colors

} // namespace zelmar::ui
