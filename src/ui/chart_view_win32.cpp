#include "ui/chart_view_win32.h"

#include "core/text_encoding.h"
#include "core/win32_error.h"
#include "session/session_time_format.h"
#include "ui/gdi_objects_win32.h"
#include "ui/gdiplus_canvas_win32.h"
#include "ui/theme_win32.h"
#include "ui/window_binding_win32.h"

#include <oleacc.h>

#include <algorithm>
#include <cstddef>
#include <span>

namespace zelmar::ui::win32 {

namespace {

constexpr wchar_t className[] = L"DMM5174KChartViewClass";

void drawText(HDC dc, const std::string& utf8, Rect box, UINT format)
{
    const std::wstring text = text::utf8ToWide(utf8);
    RECT r = toRECT(box);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
}

} // namespace

std::expected<std::unique_ptr<ChartView>, std::string> ChartView::create(HWND parent, int controlId)
{
    std::unique_ptr<ChartView> chart(new ChartView());
    const ChildWindowClass windowClass { className, CS_HREDRAW | CS_VREDRAW,
        nullptr, "chart" };
    if (auto created = createChildWindow(
            *chart, windowClass, GetModuleHandleW(nullptr), parent, controlId, WS_CHILD | WS_VISIBLE | WS_TABSTOP, L"", 100,
            100);
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
    switch (message) {
    case WM_GETOBJECT:
        if (LRESULT result = 0; accessible_ && accessible_->answer(wParam, lParam, result))
            return result;
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
        invalidate();
        break;
    case WM_LBUTTONDOWN:
        SetFocus(hwnd_);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

AccessibleFacts ChartView::accessibleFacts() const
{
    AccessibleFacts facts;
    facts.name = text::utf8ToWide(L10n::text(L10nKey::accessibleTrendChart, language_));
    facts.role = ROLE_SYSTEM_CHART;
    facts.description = text::utf8ToWide(
        chartDescription(series_, language_, [](double t) { return SessionTimeFormat::time(t); }));
    facts.state = STATE_SYSTEM_READONLY;
    return facts;
}

void ChartView::invalidate()
{
    if (hwnd_ != nullptr)
        InvalidateRect(hwnd_, nullptr, FALSE);
}

void ChartView::append(const Reading& reading)
{
    series_.append(reading);
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
    invalidate();
}

void ChartView::clear()
{
    series_.clear();
    invalidate();
}

void ChartView::paint(HDC dc, const Rect& client)
{
    const int dpi = uiDpi();
    palette_ = activePalette();
    paintChart(dc, client, dpi);
    if (showsKeyboardFocus(hwnd_))
        drawFocusFrame(dc, client, palette_.chart.focus, dpi);
}

void ChartView::paintChart(HDC dc, const Rect& client, int dpi)
{
    fillRect(dc, client, palette_.chart.background);
    frameRect(dc, client, 1, palette_.chart.border);
    SetBkMode(dc, TRANSPARENT);
    SelectGuard font(dc, themeFont(ThemeFont::chart));
    // One value axis: the current unit's samples only.
    const int unit = series_.currentUnitIndex();
    const ValueRange range = valueRange(series_.samples(), unit);
    const std::vector<std::string> labels = valueLabels(gridValues(range));
    int labelWidth = 0;
    for (const std::string& label : labels) {
        const std::wstring text = text::utf8ToWide(label);
        SIZE size {};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        labelWidth = std::max<int>(labelWidth, size.cx);
    }
    const Rect plot = plotRect(client, dpi, labelWidth);
    lastPlot_ = plot;
    if (!plotIsDrawable(plot, dpi))
        return;
    // The caption starts right of the value axis, clear of the top label.
    if (!series_.currentUnit().empty() || series_.hidesOtherUnits()) {
        std::string caption = series_.currentUnit();
        if (series_.hidesOtherUnits())
            caption += (caption.empty() ? "" : "  ") + std::string(L10n::text(L10nKey::chartOtherUnitsHidden, language_));
        SetTextColor(dc, colorRef(palette_.chart.caption));
        drawText(dc, caption, { plot.left + scale(4, dpi), client.top + scale(2, dpi), plot.right, plot.top },
            DT_LEFT | DT_VCENTER);
    }
    paintAxes(dc, client, plot, range, labels, dpi);
    paintTrace(dc, plot, range, unit, dpi);
}

void ChartView::paintAxes(
    HDC dc, const Rect& client, const Rect& plot, ValueRange range, std::span<const std::string> labels, int dpi)
{
    const int line = scaleAtLeastOne(1, dpi);
    TEXTMETRICW metrics {};
    GetTextMetricsW(dc, &metrics);
    const int textHeight = metrics.tmHeight;
    SetTextColor(dc, colorRef(palette_.chart.label));
    const std::vector<GridLine> grid = gridLines(plot, range);
    for (std::size_t i = 0; i < grid.size(); ++i) {
        fillRect(dc, { plot.left, grid[i].y, plot.right, grid[i].y + line },
            grid[i].isAxis ? palette_.chart.axis : palette_.chart.grid);
        if (i < labels.size())
            drawText(dc, labels[i],
                { client.left, grid[i].y - textHeight / 2, plot.left - scale(4, dpi),
                    grid[i].y - textHeight / 2 + textHeight },
                DT_RIGHT);
    }
    fillRect(dc, { plot.left, plot.top, plot.left + line, plot.bottom }, palette_.chart.axis);

    const auto format = [](double t) { return SessionTimeFormat::time(t); };
    const int tickLength = scale(3, dpi);
    const int textTop = plot.bottom + scale(3, dpi);
    for (const TimeLabel& label : timeLabels(series_.samples(), plot, format)) {
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

void ChartView::paintTrace(HDC dc, const Rect& plot, ValueRange range, int unit, int dpi)
{
    reduceToColumns(series_.samples(), range, plot, columns_, unit);
    // Overloads have no value to draw: a short mark at the top edge says
    // where they were.
    const int markWidth = scaleAtLeastOne(1, dpi);
    const int markHeight = scale(6, dpi);
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].overload) {
            const int x = plot.left + static_cast<int>(i);
            fillRect(dc, { x, plot.top, x + markWidth, plot.top + markHeight }, palette_.chart.overload);
        }
    }
    const std::vector<std::vector<Point>> lines = tracePolylines(columns_, plot.left);
    if (lines.empty())
        return;
    // A sample alone between gaps or overloads is a dot that can be seen.
    const int dot = scaleAtLeastOne(3, dpi);
    for (const std::vector<Point>& line : lines) {
        if (line.size() == 2 && line[0].x == line[1].x && line[1].y - line[0].y == 1)
            fillRect(dc, { line[0].x - dot / 2, line[0].y - dot / 2, line[0].x - dot / 2 + dot, line[0].y - dot / 2 + dot },
                palette_.chart.trace);
    }
    if (auto canvas = GdiPlusCanvas::create(dc)) {
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

} // namespace zelmar::ui::win32
