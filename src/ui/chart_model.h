#pragma once

// The trend chart without a window: the light copy of the recorded samples,
// split into segments where the function or unit changes, and everything a
// paint needs from it (value range, axis labels, the reduction of any number
// of samples to one column per pixel, and the trace as polylines). The Win32
// chart (chart_view_win32.cpp) only draws what this computes.

#include "core/reading.h"
#include "ui/geometry.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace zelmar::ui {

struct ChartSample {
    double t = 0; // seconds since 1970-01-01 UTC
    double v = 0; // 0 when the reading has no value
    std::int32_t segment = 0;
    bool valid = false;
};

class ChartSeries {
public:
    void append(const Reading& reading);
    // Empties the samples and keeps their capacity, so a rebuild of a large
    // recording does not allocate again.
    void clear();

    [[nodiscard]] std::span<const ChartSample> samples() const noexcept { return samples_; }
    // The unit of the last appended reading, the axis caption.
    [[nodiscard]] const std::string& currentUnit() const noexcept { return currentUnit_; }
    void reserve(std::size_t count) { samples_.reserve(count); }

private:
    std::vector<ChartSample> samples_;
    std::optional<std::pair<std::uint8_t, std::string>> currentKey_;
    std::int32_t currentSegment_ = 0;
    std::string currentUnit_;
};

struct ValueRange {
    double lo = 0;
    double hi = 1;
};
[[nodiscard]] ValueRange valueRange(std::span<const ChartSample> samples) noexcept;

// "0", "%.1e", "%.0f", "%.1f", "%.2f" or "%.3f" by magnitude.
[[nodiscard]] std::string valueLabel(double value);

// The plot inside the client; empty when 20 pixels or less either way.
[[nodiscard]] Rect plotRect(const Rect& client, int dpi) noexcept;
[[nodiscard]] bool plotIsDrawable(const Rect& plot, int dpi) noexcept;

struct GridLine {
    int y = 0;
    double value = 0;
    bool isAxis = false; // the bottom line, drawn in the axis colour
};
[[nodiscard]] std::vector<GridLine> gridLines(const Rect& plot, ValueRange range);

enum class LabelAlign { left, centre, right };
struct TimeLabel {
    int x = 0; // the tick's column
    std::string text;
    LabelAlign align = LabelAlign::left;
};
// The time axis labels; `format` turns seconds since 1970 into "HH:MM:SS".
[[nodiscard]] std::vector<TimeLabel> timeLabels(
    std::span<const ChartSample> samples, const Rect& plot, const std::function<std::string(double)>& format);

struct ChartColumn {
    std::int32_t minY = 0;
    std::int32_t maxY = 0;
    std::int32_t firstY = 0;
    std::int32_t lastY = 0;
    std::int32_t segment = -1;
    bool hasData = false;
};
// One column per pixel of the plot's width; `columns` is reused between calls.
void reduceToColumns(
    std::span<const ChartSample> samples, ValueRange range, const Rect& plot, std::vector<ChartColumn>& columns);

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
} // namespace chart_colors

} // namespace zelmar::ui
