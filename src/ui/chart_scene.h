#pragma once

// Everything the trend chart draws, worked out before any drawing: the
// plot, the value axis with its labels, the time labels, the caption, the
// trace, the overload marks and the limit lines, for a window of time. The
// window's chart (chart_view_win32.cpp) draws it with GDI and GDI+; the
// command-line logger's `plot` draws the same scene into a PNG or an SVG.

#include "core/limits.h"
#include "localization/localization.h"
#include "ui/chart_model.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar::ui {

struct ChartScene {
    Rect client;
    Rect plot; // not drawable (plotIsDrawable) when the client is too small
    TimeWindow window;
    int unit = allUnits;
    ValueRange range;
    std::vector<GridLine> grid; // bottom to top, the first the axis
    std::vector<std::string> valueLabels; // one per grid line
    std::vector<TimeLabel> timeLabels;
    int textHeight = 0;
    std::string caption; // empty: none
    std::vector<int> overloadColumns; // x of each column with an overload
    std::vector<std::vector<Point>> trace;
    struct LimitLine {
        int y = 0;
        bool high = false;
    };
    std::vector<LimitLine> limitLines;
};

struct ChartSceneInput {
    const ChartSeries* series = nullptr;
    TimeWindow window; // usually wholeWindow(samples) or a viewport's
    bool zoomed = false; // the value axis fits the samples inside the window
    std::optional<Limits> limits; // of the current function and unit: drawn, and kept inside the axis
    Rect client;
    int dpi = 96;
    AppLanguage language = AppLanguage::zhTW;
    std::function<int(std::string_view)> textWidth; // in the chart's font
    int textHeight = 0;
    std::function<std::string(double)> formatTime; // "HH:MM:SS"
};

// `columns` is reused between calls.
[[nodiscard]] ChartScene chartScene(const ChartSceneInput& input, std::vector<ChartColumn>& columns);

// The y of a value in the plot, as the trace places it.
[[nodiscard]] int yOfValue(const ValueRange& range, const Rect& plot, double value) noexcept;

} // namespace zelmar::ui
