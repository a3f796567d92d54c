#pragma once

// The trend chart child window (Windows build only): keeps a ChartSeries of
// the recorded readings and paints it with axes, one column per pixel, the
// trace antialiased through GDI+ or with a plain GDI pen when GDI+ is absent.
// It takes the keyboard focus by Tab and tells screen readers what it shows.

#include "core/reading.h"
#include "localization/localization.h"
#include "ui/accessible_win32.h"
#include "ui/chart_model.h"
#include "ui/palette.h"

#include <windows.h>

#include <cstddef>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zelmar::ui::win32 {

class ChartView {
public:
    using RowProvider = std::function<std::optional<Reading>(std::size_t index)>;

    [[nodiscard]] static std::expected<std::unique_ptr<ChartView>, std::string> create(HWND parent, int controlId);
    ~ChartView();
    ChartView(const ChartView&) = delete;
    ChartView& operator=(const ChartView&) = delete;

    [[nodiscard]] HWND hwnd() const noexcept { return hwnd_; }
    void append(const Reading& reading);
    // Replaces the samples with rows 0 to count - 1 of the provider.
    void rebuild(const RowProvider& rowAt, std::size_t count);
    void clear();
    // The next reading starts a new trace (recording started again, the
    // meter was lost).
    void breakTrace() noexcept { series_.breakTrace(); }
    void setLanguage(AppLanguage language) noexcept { language_ = language; }
    [[nodiscard]] const ChartSeries& series() const noexcept { return series_; }
    // The plot of the last paint (it moves right for wide value labels).
    [[nodiscard]] const Rect& lastPlot() const noexcept { return lastPlot_; }

    void paint(HDC dc, const Rect& client);

private:
    ChartView() = default;
    template <typename Window> friend LRESULT CALLBACK boundWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void invalidate();
    void paintChart(HDC dc, const Rect& client, int dpi);
    void paintAxes(
        HDC dc, const Rect& client, const Rect& plot, ValueRange range, std::span<const std::string> labels, int dpi);
    void paintTrace(HDC dc, const Rect& plot, ValueRange range, int unit, int dpi);

    AccessibleFacts accessibleFacts() const;

    HWND hwnd_ = nullptr;
    std::unique_ptr<AccessibleWindow> accessible_;
    Palette palette_; // of the paint in progress
    ChartSeries series_;
    AppLanguage language_ = AppLanguage::zhTW;
    std::vector<ChartColumn> columns_; // reused by every paint
    Rect lastPlot_;
};

} // namespace zelmar::ui::win32
