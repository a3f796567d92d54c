#include "ui/chart_view_win32.h"

#include "core/text_encoding.h"
#include "core/win32_error.h"
#include "session/session_time_format.h"
#include "ui/gdiplus_canvas_win32.h"
#include "ui/theme_win32.h"
#include "ui/window_binding_win32.h"

#include <oleacc.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <utility>

namespace zelmar::ui::win32 {

namespace {

constexpr wchar_t className[] = L"DMM5174KChartViewClass";
constexpr double wheelStep = 0.8; // one notch closer shows 80 % of the span
constexpr double keyZoom = 0.5;
constexpr double keyPan = 0.1; // of the span
constexpr UINT_PTR restTimer = 1;
constexpr UINT restMs = 200; // after the last wheel notch, drag step or key

void drawText(HDC dc, const std::string& utf8, Rect box, UINT format)
{
    const std::wstring text = text::utf8ToWide(utf8);
    RECT r = toRECT(box);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
}

SIZE textSize(HDC dc, std::string_view utf8)
{
    const std::wstring text = text::utf8ToWide(utf8);
    SIZE size {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

std::string formatClock(double t)
{
    return SessionTimeFormat::time(t);
}

} // namespace

std::expected<std::unique_ptr<ChartView>, std::string> ChartView::create(HWND parent, int controlId)
{
    std::unique_ptr<ChartView> chart(new ChartView());
    const ChildWindowClass windowClass { className, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, nullptr, "chart" };
    if (auto created = createChildWindow(*chart, windowClass, GetModuleHandleW(nullptr), parent, controlId,
            WS_CHILD | WS_VISIBLE | WS_TABSTOP, L"", 100, 100);
        !created)
        return std::unexpected(created.error());
    chart->accessible_ = std::make_unique<AccessibleWindow>(chart->hwnd_, [self = chart.get()] {
        return self->accessibleFacts();
    });
    return chart;
}

ChartView::~ChartView()
{
    accessible_.reset();
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

LRESULT ChartView::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LRESULT result = 0; answerPaintMessage(*this, hwnd_, message, wParam, result))
        return result;
    const Point at { GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam) };
    switch (message) {
    case WM_GETOBJECT:
        if (LRESULT result = 0; accessible_ && accessible_->answer(wParam, lParam, result))
            return result;
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
    case WM_SIZE:
        invalidate();
        break;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        if (onKey(wParam))
            return 0;
        break;
    case WM_MOUSEWHEEL: {
        POINT screen { GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam) };
        ScreenToClient(hwnd_, &screen);
        const int notches = GET_WHEEL_DELTA_WPARAM(wParam);
        zoomAt(std::pow(wheelStep, notches / static_cast<double>(WHEEL_DELTA)), static_cast<int>(screen.x));
        return 0;
    }
    case WM_LBUTTONDOWN:
        SetFocus(hwnd_);
        if (liveRect_.contains(at)) {
            viewport_.follow(series_.samples());
            viewChanged();
            return 0;
        }
        if (lastPlot_.contains(at) && viewport_.isZoomed()) {
            dragX_ = at.x;
            SetCapture(hwnd_);
        }
        return 0;
    case WM_LBUTTONUP:
        if (dragX_) {
            dragX_.reset();
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        dragX_.reset();
        return 0;
    case WM_LBUTTONDBLCLK:
        viewport_.showWhole();
        viewChanged();
        return 0;
    case WM_MOUSEMOVE:
        onMouseMove(at);
        return 0;
    case WM_TIMER:
        if (wParam == restTimer) {
            KillTimer(hwnd_, restTimer);
            draft_ = false;
            invalidate();
            return 0;
        }
        break;
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        if (pointer_) {
            pointer_.reset();
            InvalidateRect(hwnd_, nullptr, FALSE);
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool ChartView::onKey(WPARAM key)
{
    const auto samples = series_.samples();
    const double span = window().span();
    switch (key) {
    case VK_ADD:
    case VK_OEM_PLUS:
        zoomAt(keyZoom, std::nullopt);
        return true;
    case VK_SUBTRACT:
    case VK_OEM_MINUS:
        zoomAt(1 / keyZoom, std::nullopt);
        return true;
    case VK_LEFT:
        viewport_.pan(samples, -keyPan * span);
        moved();
        return true;
    case VK_RIGHT:
        viewport_.pan(samples, keyPan * span);
        moved();
        return true;
    case VK_HOME:
        viewport_.showWhole();
        break;
    case VK_END:
        viewport_.follow(samples);
        break;
    default:
        return false;
    }
    viewChanged();
    return true;
}

void ChartView::onMouseMove(Point at)
{
    if (!trackingLeave_) {
        TRACKMOUSEEVENT track { sizeof track, TME_LEAVE, hwnd_, 0 };
        trackingLeave_ = TrackMouseEvent(&track) != FALSE;
    }
    if (dragX_) {
        // The samples move with the pointer.
        const double secondsPerPixel = window().span() / std::max(lastPlot_.width() - 1, 1);
        viewport_.pan(series_.samples(), (*dragX_ - at.x) * secondsPerPixel);
        dragX_ = at.x;
        pointer_ = at;
        moved();
        return;
    }
    pointer_ = at;
    InvalidateRect(hwnd_, nullptr, FALSE); // the cached chart and a new cursor
}

void ChartView::zoomAt(double factor, std::optional<int> x)
{
    const TimeWindow now = window();
    const double anchor = x && lastPlot_.width() > 1 && *x >= lastPlot_.left && *x < lastPlot_.right
        ? timeOfX(now, lastPlot_, *x)
        : (now.start + now.end) / 2;
    viewport_.zoom(series_.samples(), factor, anchor);
    moved();
}

void ChartView::moved()
{
    draft_ = true;
    if (hwnd_ != nullptr)
        SetTimer(hwnd_, restTimer, restMs, nullptr);
    viewChanged();
}

void ChartView::viewChanged()
{
    invalidate();
    if (onViewChanged)
        onViewChanged();
}

void ChartView::invalidate()
{
    cacheValid_ = false;
    if (hwnd_ != nullptr)
        InvalidateRect(hwnd_, nullptr, FALSE);
}

void ChartView::append(const Reading& reading)
{
    series_.append(reading);
    // Held still, a new sample outside the view changes nothing drawn but
    // the statistics of the whole recording.
    invalidate();
}

void ChartView::rebuild(const RowProvider& rowAt, std::size_t count)
{
    series_.clear();
    series_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (const std::optional<Reading> reading = rowAt(i))
            series_.append(*reading);
    }
    viewport_.showWhole();
    draft_ = false;
    viewChanged();
}

void ChartView::clear()
{
    series_.clear();
    viewport_.showWhole();
    draft_ = false;
    viewChanged();
}

void ChartView::setLanguage(AppLanguage language)
{
    language_ = language;
    invalidate();
}

void ChartView::setLimits(std::vector<LimitsFor> limits)
{
    if (limits == limits_)
        return;
    limits_ = std::move(limits);
    invalidate();
}

std::optional<Limits> ChartView::shownLimits() const
{
    const auto samples = series_.samples();
    if (samples.empty())
        return std::nullopt;
    for (const LimitsFor& l : limits_) {
        if (l.function == samples.back().function && l.unit == series_.currentUnit())
            return l.limits;
    }
    return std::nullopt;
}

std::optional<ClientImage> ChartView::picture()
{
    // The chart as the user sees it, antialiased, without what only the
    // window needs: the cursor, the focus frame and the live control.
    draft_ = false;
    picturing_ = true;
    invalidate();
    const std::optional<Point> pointer = std::exchange(pointer_, std::nullopt);
    auto image = captureClient(hwnd_);
    pointer_ = pointer;
    picturing_ = false;
    invalidate();
    return image;
}

std::string ChartView::statisticsText(AppLanguage language) const
{
    const auto samples = series_.samples();
    if (samples.empty())
        return L10n::statisticsNone(language);
    const ChartSample& last = samples.back();
    const bool zoomed = viewport_.isZoomed();
    const RunningStatistics figures
        = zoomed ? statisticsOf(samples, last.function, last.unit, window()) : series_.statistics();
    return L10n::statisticsStrip(language, zoomed, L10n::functionName(DmmFunction(last.function), language),
        series_.currentUnit(), figures);
}

AccessibleFacts ChartView::accessibleFacts() const
{
    AccessibleFacts facts;
    facts.name = text::utf8ToWide(L10n::text(L10nKey::accessibleTrendChart, language_));
    facts.role = ROLE_SYSTEM_CHART;
    // What the chart shows, then the statistics line under it, which is
    // painted text a reader cannot reach otherwise.
    facts.description = text::utf8ToWide(
        chartDescription(series_, language_, formatClock) + "  " + statisticsText(language_));
    facts.state = STATE_SYSTEM_READONLY;
    return facts;
}

void ChartView::paint(HDC dc, const Rect& client)
{
    const int dpi = uiDpi();
    // A change of high contrast or of a system colour redraws the chart.
    if (Palette now = activePalette(); !(now == palette_)) {
        palette_ = now;
        cacheValid_ = false;
    }
    if (!cacheValid_ || !(cacheClient_ == client) || !cache_) {
        cache_.reset(CreateCompatibleBitmap(dc, std::max(client.width(), 1), std::max(client.height(), 1)));
        UniqueMemoryDc memory(CreateCompatibleDC(dc));
        if (!cache_ || !memory) {
            renderChart(dc, client, dpi); // no memory for the cache: draw directly
            paintCursor(dc, dpi);
            return;
        }
        SelectGuard selected(memory.get(), cache_.get());
        SetViewportOrgEx(memory.get(), -client.left, -client.top, nullptr);
        renderChart(memory.get(), client, dpi);
        cacheClient_ = client;
        cacheValid_ = true;
    }
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    SelectGuard selected(memory.get(), cache_.get());
    BitBlt(dc, client.left, client.top, client.width(), client.height(), memory.get(), 0, 0, SRCCOPY);
    paintCursor(dc, dpi);
}

void ChartView::renderChart(HDC dc, const Rect& client, int dpi)
{
    fillRect(dc, client, palette_.chart.background);
    frameRect(dc, client, 1, palette_.chart.border);
    SetBkMode(dc, TRANSPARENT);
    SelectGuard font(dc, themeFont(ThemeFont::chart));
    TEXTMETRICW metrics {};
    GetTextMetricsW(dc, &metrics);
    const ChartScene scene = chartScene(
        {
            .series = &series_,
            .window = window(),
            .zoomed = viewport_.isZoomed(),
            .limits = shownLimits(),
            .client = client,
            .dpi = dpi,
            .language = language_,
            .textWidth = [dc](std::string_view text) { return static_cast<int>(textSize(dc, text).cx); },
            .textHeight = metrics.tmHeight,
            .formatTime = formatClock,
        },
        columns_);
    lastPlot_ = scene.plot;
    lastWindow_ = scene.window;
    liveRect_ = {};
    if (plotIsDrawable(scene.plot, dpi)) {
        // The caption starts right of the value axis, clear of the top label.
        if (!scene.caption.empty()) {
            SetTextColor(dc, colorRef(palette_.chart.caption));
            drawText(dc, scene.caption,
                { scene.plot.left + scale(4, dpi), client.top + scale(2, dpi), scene.plot.right, scene.plot.top },
                DT_LEFT | DT_VCENTER);
        }
        paintAxes(dc, scene, dpi);
        paintLimits(dc, scene, dpi);
        paintTrace(dc, scene, dpi);
        if (!picturing_)
            paintLiveControl(dc, scene, dpi);
    }
    if (showsKeyboardFocus(hwnd_) && !picturing_)
        drawFocusFrame(dc, client, palette_.chart.focus, dpi);
}

void ChartView::paintAxes(HDC dc, const ChartScene& scene, int dpi)
{
    const Rect& plot = scene.plot;
    const Rect& client = scene.client;
    const int line = scaleAtLeastOne(1, dpi);
    const int textHeight = scene.textHeight;
    SetTextColor(dc, colorRef(palette_.chart.label));
    for (std::size_t i = 0; i < scene.grid.size(); ++i) {
        const GridLine& grid = scene.grid[i];
        fillRect(dc, { plot.left, grid.y, plot.right, grid.y + line },
            grid.isAxis ? palette_.chart.axis : palette_.chart.grid);
        if (i < scene.valueLabels.size())
            drawText(dc, scene.valueLabels[i],
                { client.left, grid.y - textHeight / 2, plot.left - scale(4, dpi),
                    grid.y - textHeight / 2 + textHeight },
                DT_RIGHT);
    }
    fillRect(dc, { plot.left, plot.top, plot.left + line, plot.bottom }, palette_.chart.axis);

    const int tickLength = scale(3, dpi);
    const int textTop = plot.bottom + scale(3, dpi);
    for (const TimeLabel& label : scene.timeLabels) {
        const int x = std::min(label.x, plot.right - line);
        fillRect(dc, { x, plot.bottom, x + line, plot.bottom + tickLength }, palette_.chart.axis);
        const int room = 1000 * dpi / 96; // any width beyond the label's own
        switch (label.align) {
        case LabelAlign::left:
            drawText(dc, label.text, { x, textTop, x + room, textTop + textHeight }, DT_LEFT);
            break;
        case LabelAlign::right:
            drawText(dc, label.text, { plot.right - room, textTop, plot.right, textTop + textHeight }, DT_RIGHT);
            break;
        case LabelAlign::centre:
            drawText(dc, label.text, { x - room, textTop, x + room, textTop + textHeight }, DT_CENTER);
            break;
        }
    }
}

void ChartView::paintLimits(HDC dc, const ChartScene& scene, int dpi)
{
    const int line = scaleAtLeastOne(1, dpi);
    const int dash = scale(6, dpi);
    for (const ChartScene::LimitLine& limit : scene.limitLines) {
        for (int x = scene.plot.left; x < scene.plot.right; x += 2 * dash)
            fillRect(dc, { x, limit.y, std::min(x + dash, scene.plot.right), limit.y + line }, palette_.chart.limit);
    }
}

namespace {

// Long polylines are drawn in pieces that share their end points: Wine's
// rasterizer for wide and antialiased lines grows faster than linearly with
// the points of one call (a 3,000-point trace took 130 ms with a 2-pixel GDI
// pen and 450 ms through GDI+; in pieces of 48, 2 ms and 21 ms). The round
// caps and joins make the seams invisible.
constexpr std::size_t tracePiece = 48;

template <typename Draw> void drawInPieces(const std::vector<Point>& line, Draw&& draw)
{
    for (std::size_t at = 0; at + 1 < line.size(); at += tracePiece - 1)
        draw(std::span<const Point>(line.data() + at, std::min(tracePiece, line.size() - at)));
}

} // namespace

void ChartView::paintTrace(HDC dc, const ChartScene& scene, int dpi)
{
    // Overloads have no value to draw: a short mark at the top edge says
    // where they were.
    const int markWidth = scaleAtLeastOne(1, dpi);
    const int markHeight = scale(6, dpi);
    for (const int x : scene.overloadColumns)
        fillRect(dc, { x, scene.plot.top, x + markWidth, scene.plot.top + markHeight }, palette_.chart.overload);
    const auto& lines = scene.trace;
    if (lines.empty())
        return;
    // A sample alone between gaps or overloads is a dot that can be seen.
    const int dot = scaleAtLeastOne(3, dpi);
    for (const std::vector<Point>& line : lines) {
        if (line.size() == 2 && line[0].x == line[1].x && line[1].y - line[0].y == 1)
            fillRect(dc, { line[0].x - dot / 2, line[0].y - dot / 2, line[0].x - dot / 2 + dot, line[0].y - dot / 2 + dot },
                palette_.chart.trace);
    }
    if (auto canvas = draft_ ? std::nullopt : GdiPlusCanvas::create(dc)) {
        canvas->setPen(palette_.chart.trace, 1.5f * static_cast<float>(dpi) / 96.0f);
        for (const std::vector<Point>& line : lines)
            drawInPieces(line, [&](std::span<const Point> piece) { canvas->drawPolyline(piece); });
        return;
    }
    const UniquePen pen(CreatePen(PS_SOLID, 2, colorRef(palette_.chart.trace)));
    SelectGuard selected(dc, pen.get());
    static_assert(sizeof(POINT) == sizeof(Point) && offsetof(POINT, y) == offsetof(Point, y));
    for (const std::vector<Point>& line : lines) {
        drawInPieces(line, [dc](std::span<const Point> piece) {
            Polyline(dc, reinterpret_cast<const POINT*>(piece.data()), static_cast<int>(piece.size()));
        });
    }
}

void ChartView::paintLiveControl(HDC dc, const ChartScene& scene, int dpi)
{
    if (viewport_.mode() != ChartViewport::Mode::held)
        return;
    // Top right, in the caption's row: back to the newest samples.
    const std::string text = std::string(L10n::text(L10nKey::chartLive, language_)) + " \u25B8";
    const SIZE size = textSize(dc, text);
    const int width = static_cast<int>(size.cx);
    const int height = static_cast<int>(size.cy);
    const int pad = scale(4, dpi);
    const int right = scene.plot.right;
    const int top = scene.client.top + scale(2, dpi);
    liveRect_ = { right - width - 2 * pad, top, right, std::min(top + height + 2, scene.plot.top - 1) };
    fillRect(dc, liveRect_, palette_.chart.trace);
    SetTextColor(dc, colorRef(palette_.chart.background));
    drawText(dc, text, liveRect_, DT_CENTER | DT_VCENTER);
}

void ChartView::paintCursor(HDC dc, int dpi)
{
    if (!pointer_ || dragX_ || !lastPlot_.contains(*pointer_) || !plotIsDrawable(lastPlot_, dpi))
        return;
    const auto samples = series_.samples();
    const double t = timeOfX(lastWindow_, lastPlot_, pointer_->x);
    const auto nearest = nearestSample(samples, t, series_.currentUnitIndex(), lastWindow_);
    if (!nearest)
        return;
    const ChartSample& s = samples[*nearest];
    const int line = scaleAtLeastOne(1, dpi);
    const int x = std::min(static_cast<int>(std::lround(xOfTime(lastWindow_, lastPlot_, s.t))), lastPlot_.right - line);
    fillRect(dc, { x, lastPlot_.top, x + line, lastPlot_.bottom }, palette_.chart.cursor);

    SelectGuard font(dc, themeFont(ThemeFont::chart));
    SetBkMode(dc, TRANSPARENT);
    const std::string value = s.valid ? valueLabel(s.v, 1) + " " + series_.currentUnit()
                                      : std::string(L10n::text(L10nKey::overload, language_));
    const std::string text = formatClock(s.t) + "  " + value;
    const SIZE size = textSize(dc, text);
    const int pad = scale(4, dpi);
    const Rect label = cursorLabelRect(
        lastPlot_, x, static_cast<int>(size.cx) + 2 * pad, static_cast<int>(size.cy) + pad, dpi);
    fillRect(dc, label, palette_.chart.background);
    frameRect(dc, label, line, palette_.chart.cursor);
    SetTextColor(dc, colorRef(palette_.chart.caption));
    drawText(dc, text, label, DT_CENTER | DT_VCENTER);
}

} // namespace zelmar::ui::win32
