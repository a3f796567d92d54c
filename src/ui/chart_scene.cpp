#include "ui/chart_scene.h"

#include <algorithm>

namespace zelmar::ui {

int yOfValue(const ValueRange& range, const Rect& plot, double value) noexcept
{
    const double extent = range.hi - range.lo;
    const double fy = extent > 0 ? std::clamp((value - range.lo) / extent, 0.0, 1.0) : 0.5;
    return plot.bottom - static_cast<int>(fy * plot.height() + 0.5);
}

ChartScene chartScene(const ChartSceneInput& in, std::vector<ChartColumn>& columns)
{
    ChartScene scene;
    const ChartSeries& series = *in.series;
    const std::span<const ChartSample> samples = series.samples();
    scene.client = in.client;
    scene.window = in.window;
    scene.unit = series.currentUnitIndex();
    scene.textHeight = in.textHeight;
    // One value axis: the current unit's samples only; zoomed, those shown.
    std::span<const ChartSample> ranged = samples;
    if (in.zoomed) {
        const auto [first, last] = samplesInside(samples, in.window);
        ranged = samples.subspan(first, last - first);
    }
    scene.range = valueRange(ranged, scene.unit);
    if (in.limits) {
        // The limits stand inside the axis, with the same padding as values.
        double lo = scene.range.lo;
        double hi = scene.range.hi;
        for (const std::optional<double>& limit : { in.limits->low, in.limits->high }) {
            if (limit) {
                lo = std::min(lo, *limit);
                hi = std::max(hi, *limit);
            }
        }
        if (lo < scene.range.lo || hi > scene.range.hi) {
            const double pad = 0.05 * (hi - lo);
            scene.range = { lo < scene.range.lo ? lo - pad : scene.range.lo, hi > scene.range.hi ? hi + pad : scene.range.hi };
        }
    }
    scene.valueLabels = valueLabels(gridValues(scene.range));
    int labelWidth = 0;
    for (const std::string& label : scene.valueLabels)
        labelWidth = std::max(labelWidth, in.textWidth(label));
    scene.plot = plotRect(in.client, in.dpi, labelWidth);
    if (!plotIsDrawable(scene.plot, in.dpi))
        return scene;
    if (!series.currentUnit().empty() || series.hidesOtherUnits()) {
        scene.caption = series.currentUnit();
        if (series.hidesOtherUnits())
            scene.caption += (scene.caption.empty() ? "" : "  ")
                + std::string(L10n::text(L10nKey::chartOtherUnitsHidden, in.language));
    }
    scene.grid = gridLines(scene.plot, scene.range);
    if (!samples.empty())
        scene.timeLabels = timeLabels(in.window, scene.plot, in.formatTime);
    reduceToColumns(samples, scene.range, scene.plot, columns, scene.unit,
        in.zoomed ? std::optional<TimeWindow>(in.window) : std::nullopt);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].overload)
            scene.overloadColumns.push_back(scene.plot.left + static_cast<int>(i));
    }
    scene.trace = tracePolylines(columns, scene.plot.left);
    if (in.limits) {
        if (in.limits->low)
            scene.limitLines.push_back({ yOfValue(scene.range, scene.plot, *in.limits->low), false });
        if (in.limits->high)
            scene.limitLines.push_back({ yOfValue(scene.range, scene.plot, *in.limits->high), true });
    }
    return scene;
}

} // namespace zelmar::ui
