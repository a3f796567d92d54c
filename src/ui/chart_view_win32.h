#pragma once

// The trend chart child window (Windows build only): keeps a ChartSeries of
// the recorded readings and paints it with axes, one column per pixel, the
// trace antialiased through GDI+ or with a plain GDI pen when GDI+ is absent.
// It takes the keyboard focus by Tab and tells screen readers what it shows.
//
// The wheel zooms the time axis about the pointer, dragging pans, a double
// click or Home shows the whole recording again, + and - zoom, the arrow
// keys pan, End or the live control follows the newest sample; a cursor
// under the pointer names the nearest sample. The chart without the cursor
// is kept in a bitmap, so moving the pointer redraws only the cursor; while
// the view moves, the trace is drawn with a plain pen until it rests.

#include "core/limits.h"
#include "core/reading.h"
#include "localization/localization.h"
#include "ui/accessible_win32.h"
#include "ui/chart_model.h"
#include "ui/chart_scene.h"
#include "ui/chart_viewport.h"
#include "ui/gdi_objects_win32.h"
#include "ui/palette.h"
#include "ui/window_capture_win32.h"

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
    // Replaces the samples with rows 0 to count - 1 of the provider; the
    // view shows the whole recording again.
    void rebuild(const RowProvider& rowAt, std::size_t count);
    void clear();
    // The next reading starts a new trace (recording started again, the
    // meter was lost).
    void breakTrace() noexcept { series_.breakTrace(); }
    void setLanguage(AppLanguage language);
    // The limits set: those of the function and unit the chart shows are
    // drawn as dashed lines.
    void setLimits(std::vector<LimitsFor> limits);
    [[nodiscard]] const ChartSeries& series() const noexcept { return series_; }
    [[nodiscard]] const ChartViewport& viewport() const noexcept { return viewport_; }
    [[nodiscard]] TimeWindow window() const noexcept { return viewport_.window(series_.samples()); }
    // The plot of the last paint (it moves right for wide value labels).
    [[nodiscard]] const Rect& lastPlot() const noexcept { return lastPlot_; }
    // The live control while the view is held; empty otherwise.
    [[nodiscard]] const Rect& liveControl() const noexcept { return liveRect_; }
    // The chart as drawn, without the cursor; none when it cannot be drawn.
    [[nodiscard]] std::optional<ClientImage> picture();
    // The statistics of what the chart shows, for the strip under it.
    [[nodiscard]] std::string statisticsText(AppLanguage language) const;
    // Called after the view or its samples changed (the strip follows).
    std::function<void()> onViewChanged;

    void paint(HDC dc, const Rect& client);
    // Everything is drawn again at the next paint (the kept chart too).
    void invalidate();

private:
    ChartView() = default;
    template <typename Window> friend LRESULT CALLBACK boundWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    bool onKey(WPARAM key);
    void onMouseMove(Point at);
    void zoomAt(double factor, std::optional<int> x);
    void viewChanged();
    void moved(); // by the user: zoomed or panned
    void renderChart(HDC dc, const Rect& client, int dpi);
    void paintAxes(HDC dc, const ChartScene& scene, int dpi);
    void paintTrace(HDC dc, const ChartScene& scene, int dpi);
    void paintLimits(HDC dc, const ChartScene& scene, int dpi);
    void paintLiveControl(HDC dc, const ChartScene& scene, int dpi);
    void paintCursor(HDC dc, int dpi);
    [[nodiscard]] std::optional<Limits> shownLimits() const;
    AccessibleFacts accessibleFacts() const;

    HWND hwnd_ = nullptr;
    std::unique_ptr<AccessibleWindow> accessible_;
    Palette palette_; // of the paint in progress
    ChartSeries series_;
    ChartViewport viewport_;
    std::vector<LimitsFor> limits_;
    AppLanguage language_ = AppLanguage::zhTW;
    std::vector<ChartColumn> columns_; // reused by every paint
    Rect lastPlot_;
    TimeWindow lastWindow_;
    Rect liveRect_;
    // The pointer over the chart, and the last x of a drag in progress.
    std::optional<Point> pointer_;
    std::optional<int> dragX_;
    bool trackingLeave_ = false;
    // While the user zooms and pans the trace is drawn with a plain pen,
    // several times faster under Wine; once the view rests a moment it is
    // drawn antialiased again.
    bool draft_ = false;
    bool picturing_ = false; // no cursor, focus frame or live control in a picture
    // The chart without the cursor, valid until something it shows changes.
    UniqueBitmap cache_;
    Rect cacheClient_;
    bool cacheValid_ = false;
};

} // namespace zelmar::ui::win32
