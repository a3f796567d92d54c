#pragma once

// The trend chart drawn without a window, for the command-line logger's
// `plot`: the same scene the window draws (the whole recording, its value
// and time axes, overload marks, the trace and the limits), as pixels for a
// PNG or as an SVG document. The pixels use a built-in 5 × 7 font, which has
// no Chinese: their captions are in English whatever the language.

#include "core/limits.h"
#include "localization/localization.h"
#include "ui/chart_model.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zelmar::ui {

struct ChartPictureRequest {
    const ChartSeries* series = nullptr;
    int width = 1000;
    int height = 400;
    std::optional<Limits> limits; // of the last reading's function and unit
    AppLanguage language = AppLanguage::enUS;
    std::function<std::string(double)> formatTime; // "HH:MM:SS"
};

struct ChartPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, rows from the top (encodePng's layout)
};

// The smallest and largest picture drawn.
inline constexpr int minimumPictureSide = 100;
inline constexpr int maximumPictureSide = 8000;

[[nodiscard]] ChartPixels drawChartPixels(const ChartPictureRequest& request);
[[nodiscard]] std::string drawChartSvg(const ChartPictureRequest& request);

} // namespace zelmar::ui
