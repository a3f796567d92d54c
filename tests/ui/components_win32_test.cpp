// The drawing components as real windows under Wine: each is rendered through
// WM_PRINTCLIENT and its pixels are checked where the portable geometry says
// they are. Runs at the process's UI DPI (CTest runs it at 96 and at 144).

#include "core/diagnostic_log.h"
#include "ui/button_icons_win32.h"
#include "ui/chart_view_win32.h"
#include "ui/gdiplus_canvas_win32.h"
#include "ui/icon_card_button_win32.h"
#include "ui/lcd_panel_win32.h"
#include "ui/theme_win32.h"
#include "ui/toolbar_tooltips_win32.h"
#include "ui/window_capture_win32.h"
#include "window_test_support_win32.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

using namespace zelmar;
using namespace zelmar::ui;
using namespace zelmar::ui::win32;
using namespace zelmar::ui::win32::testing;

namespace {

constexpr std::uint8_t acv = 0;
constexpr std::uint8_t dcv = 2;
constexpr std::uint8_t dcmV = 3;
constexpr std::uint8_t hfe = 18;

Reading reading(std::string_view text, std::uint8_t code = dcv, DmmFlags flags = {}, int bar = 0, double t = 1.7e9)
{
    return Reading(t, code, 0, text, flags, bar);
}

Point centre(const Rect& r)
{
    return { (r.left + r.right) / 2, (r.top + r.bottom) / 2 };
}

int distance(Rgb a, Rgb b)
{
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

// A top-level window that hosts one component and counts the clicks it gets.
class Host {
public:
    Host()
    {
        static const bool registered = [] {
            WNDCLASSEXW wc {};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = &Host::proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"ZelmarTestHost";
            return RegisterClassExW(&wc) != 0;
        }();
        EXPECT_TRUE(registered);
        // A popup: Wine leaves it unmanaged, so hiding it never waits on a
        // window manager that Xvfb does not run.
        hwnd = CreateWindowExW(0, L"ZelmarTestHost", L"host", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 900, 600, nullptr,
            nullptr, GetModuleHandleW(nullptr), nullptr);
        if (hwnd == nullptr)
            throw std::runtime_error("the host window cannot be created (no display?)");
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Host() { DestroyWindow(hwnd); }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HWND hwnd = nullptr;
    std::vector<int> clicks;

private:
    static LRESULT CALLBACK proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* host = reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == WM_COMMAND && host != nullptr && HIWORD(wParam) == BN_CLICKED) {
            host->clicks.push_back(LOWORD(wParam));
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
};

// The header labels' widths in the header's own font.
std::array<int, 4> headerWidths()
{
    std::array<int, 4> widths {};
    WindowDc screen(nullptr);
    SelectGuard font(screen.get(), themeFont(ThemeFont::header));
    for (std::size_t i = 0; i < 4; ++i) {
        SIZE size {};
        const std::wstring label(headerLabels[i].begin(), headerLabels[i].end());
        GetTextExtentPoint32W(screen.get(), label.c_str(), static_cast<int>(label.size()), &size);
        widths[i] = size.cx;
    }
    return widths;
}

struct PlacedLcd {
    Host host;
    std::unique_ptr<LcdPanel> panel;
    LcdGeometry geometry;

    explicit PlacedLcd(int width = 96 * 6, int height = 96 * 3)
    {
        panel = require(LcdPanel::create(host.hwnd, 2001));
        MoveWindow(panel->hwnd(), 0, 0, scale(width, uiDpi()), scale(height, uiDpi()), FALSE);
        ShowWindow(host.hwnd, SW_SHOWNOACTIVATE); // hidden windows collect no update region
        RECT client {};
        GetClientRect(panel->hwnd(), &client);
        geometry = lcdGeometry(fromRECT(client), uiDpi());
    }
    ClientImage capture() const { return picture(panel->hwnd()); }
};

} // namespace

TEST(LcdPanelWindow, PlaceholderIsAllUnlitWithGhostDigits)
{
    const PlacedLcd lcd;
    EXPECT_TRUE(lcd.panel->isShowingPlaceholder());
    const ClientImage image = lcd.capture();
    const LcdGeometry& g = lcd.geometry;
    EXPECT_EQ(image.at(0, 0), lcd_colors::frame);
    EXPECT_EQ(image.at(g.inner.left, g.inner.top), lcd_colors::background);
    const Point lamp = centre(g.lamp);
    EXPECT_EQ(image.at(lamp.x, lamp.y), lcd_colors::ghost);
    const BarGraphGeometry bar = barGraphGeometry(g.barStrip, uiDpi());
    for (const Rect& segment : bar.segments)
        EXPECT_EQ(image.at(centre(segment).x, centre(segment).y), lcd_colors::ghost);
    EXPECT_EQ(image.at(bar.ticks[0].left, bar.ticks[0].top), lcd_colors::tick);
    // Nothing lit but the "----" dashes in the digit area.
    EXPECT_EQ(count(image, g.header, lcd_colors::lit), 0);
    EXPECT_EQ(count(image, g.leftColumn, lcd_colors::lit), 0);
    EXPECT_EQ(count(image, g.unitRow1, lcd_colors::lit) + count(image, g.unitRow2, lcd_colors::lit), 0);
    EXPECT_GT(count(image, g.digits, lcd_colors::lit), 0);
    EXPECT_TRUE(lcdFaceIsSevenSegment()); // the font beside the executable was loaded
    EXPECT_GT(count(image, g.digits, lcd_colors::ghost), 50);
}

TEST(LcdPanelWindow, DcVoltsLightTheirSegmentsSymbolAndUnits)
{
    PlacedLcd lcd;
    DmmFlags flags;
    flags.hold = true;
    flags.lowBattery = true;
    lcd.panel->show(reading("1.234", dcv, flags, 10));
    const ClientImage image = lcd.capture();
    const LcdGeometry& g = lcd.geometry;
    const int dpi = uiDpi();
    const BarGraphGeometry bar = barGraphGeometry(g.barStrip, dpi);
    EXPECT_EQ(image.at(centre(bar.segments[9]).x, centre(bar.segments[9]).y), lcd_colors::lit);
    EXPECT_EQ(image.at(centre(bar.segments[10]).x, centre(bar.segments[10]).y), lcd_colors::ghost);

    const std::array<Rect, 5> rows = leftColumnRows(g.leftColumn);
    EXPECT_GT(count(image, rows[0], lcd_colors::lit), 20);
    EXPECT_EQ(count(image, rows[1], lcd_colors::lit), 0); // AC unlit
    EXPECT_GT(count(image, rows[1], lcd_colors::unlitText), 20);

    const StatusIconBoxes boxes = statusIconBoxes(g.inner, g.unitRow1, dpi);
    const BatterySymbol battery = batterySymbol(boxes.battery, true, dpi);
    EXPECT_EQ(image.at(centre(*battery.level).x, centre(*battery.level).y), lcd_colors::lit);
    // V is lit in row 2, nothing in row 1 but the battery.
    EXPECT_GT(count(image, g.unitRow2, lcd_colors::lit), 10);
    EXPECT_EQ(
        count(image, { g.unitRow1.left, g.unitRow1.top, boxes.battery.left, g.unitRow1.bottom }, lcd_colors::lit), 0);
    // AUTO and HOLD are lit, MAX and MIN are not: each label's own box.
    const std::array<int, 4> widths = headerWidths();
    const std::vector<int> xs = headerLabelPositions(g.header, widths, dpi);
    ASSERT_EQ(xs.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const Rect label { xs[i], g.header.top, xs[i] + widths[i], g.header.bottom };
        if (i < 2)
            EXPECT_GT(count(image, label, lcd_colors::lit), 5) << i;
        else
            EXPECT_EQ(count(image, label, lcd_colors::lit), 0) << i;
    }
    EXPECT_GT(count(image, g.digits, lcd_colors::lit), 200);

    // The lamp flashes and goes out by its timer.
    EXPECT_TRUE(lcd.panel->activityLit());
    const Point lamp = centre(g.lamp);
    EXPECT_EQ(image.at(lamp.x, lamp.y), lcd_colors::lampLit);
    EXPECT_TRUE(pumpUntil([&] { return !lcd.panel->activityLit(); }));
    EXPECT_EQ(lcd.capture().at(lamp.x, lamp.y), lcd_colors::ghost);
}

TEST(LcdPanelWindow, NegativeRelativeOverloadAndHfe)
{
    PlacedLcd lcd;
    const int dpi = uiDpi();
    DmmFlags rel;
    rel.rel = true;
    lcd.panel->show(reading("-0.052", dcv, rel));
    ClientImage image = lcd.capture();
    const LcdGeometry& g = lcd.geometry;
    // The minus bar lies left of the first digit; where exactly follows from
    // the font's metrics, so compare with the same text without its sign.
    const Rect leftHalf { g.digits.left, g.digits.top, (g.digits.left + g.digits.right) / 2, g.digits.bottom };
    const int withSign = count(image, leftHalf, lcd_colors::lit);
    EXPECT_GT(count(image, g.unitRow1, lcd_colors::lit), 3); // Δ
    lcd.panel->show(reading("0.052", dcv, rel));
    const int withoutSign = count(lcd.capture(), leftHalf, lcd_colors::lit);
    EXPECT_GT(withSign, withoutSign + 20);

    lcd.panel->show(reading("hFE", hfe)); // hFE: no unit annunciator
    image = lcd.capture();
    const StatusIconBoxes boxes = statusIconBoxes(g.inner, g.unitRow1, dpi);
    EXPECT_EQ(
        count(image, { g.unitRow1.left, g.unitRow1.top, boxes.battery.left, g.unitRow1.bottom }, lcd_colors::lit), 0);
    EXPECT_EQ(count(image, g.unitRow2, lcd_colors::lit), 0);

    lcd.panel->show(reading("12345", dcmV)); // five cells: a plain string, no ghosts
    image = lcd.capture();
    EXPECT_EQ(count(image, g.digits, lcd_colors::ghost), 0);
    EXPECT_GT(count(image, g.digits, lcd_colors::lit), 100);

    lcd.panel->show(reading("1.0", acv)); // AC
    image = lcd.capture();
    EXPECT_EQ(count(image, leftColumnRows(g.leftColumn)[0], lcd_colors::lit), 0);
    EXPECT_GT(count(image, leftColumnRows(g.leftColumn)[1], lcd_colors::lit), 20);

    lcd.panel->showDisconnected();
    EXPECT_TRUE(lcd.panel->isShowingPlaceholder());
    EXPECT_FALSE(lcd.panel->activityLit());
}

// The columns of a rectangle in which a colour appears, first and last.
std::pair<int, int> inkColumns(const ClientImage& image, const Rect& r, Rgb color)
{
    int first = -1;
    int last = -1;
    for (int x = r.left; x < r.right; ++x) {
        if (count(image, { x, r.top, x + 1, r.bottom }, color) > 0) {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    return { first, last };
}

// A reading of five cells is more than four digits hold: it is drawn whole,
// in a smaller face, inside the digit area and clear of the left column.
TEST(LcdPanelWindow, AFiveCellReadingIsDrawnWhole)
{
    for (const int width : { 96 * 6, 96 * 4 }) {
        SCOPED_TRACE(width);
        PlacedLcd lcd(width);
        const LcdGeometry& g = lcd.geometry;
        lcd.panel->show(reading("1.234"));
        const int leftColumnInk = count(lcd.capture(), g.leftColumn, lcd_colors::lit); // DC
        lcd.panel->show(reading("12.345"));
        const ClientImage image = lcd.capture();
        const auto [first, last] = inkColumns(image, g.digits, lcd_colors::lit);
        ASSERT_GE(first, 0);
        EXPECT_GE(first, g.digits.left);
        // Clipped text would run into the area's last column.
        EXPECT_LT(last, g.digits.right - 2);
        EXPECT_EQ(count(image, g.leftColumn, lcd_colors::lit), leftColumnInk);
        // Five glyphs side by side are wider than four of the ink seen in a
        // four-cell reading would be at most: a lot of ink, spread wide.
        EXPECT_GT(last - first, g.digits.width() / 2);
    }
}

// The unlit point after the last digit keeps its ink inside the area.
TEST(LcdPanelWindow, TheLastPointIsNotCut)
{
    PlacedLcd lcd;
    const LcdGeometry& g = lcd.geometry;
    lcd.panel->show(reading("1.234"));
    const ClientImage image = lcd.capture();
    const Rect lastColumns { g.digits.right - 2, g.digits.top, g.digits.right, g.digits.bottom };
    EXPECT_EQ(count(image, lastColumns, lcd_colors::ghost), 0);
    EXPECT_EQ(count(image, lastColumns, lcd_colors::lit), 0);
    // The point is there, left of the edge.
    const Rect nearEdge { g.digits.right - g.digits.width() / 12, g.digits.top, g.digits.right, g.digits.bottom };
    EXPECT_GT(count(image, nearEdge, lcd_colors::ghost), 4);
}

// What the window shows on the screen, as its own partial repaints left it.
ClientImage screenImage(HWND hwnd)
{
    auto image = captureOnScreen(hwnd, false);
    if (!image)
        throw std::runtime_error("the window cannot be captured from the screen");
    return std::move(*image);
}

TEST(LcdPanelWindow, TheLampGoesOutWithoutATrace)
{
    PlacedLcd lcd;
    lcd.panel->show(reading("1.000")); // a new state: the whole panel repaints with the lamp lit
    UpdateWindow(lcd.panel->hwnd());
    ASSERT_TRUE(pumpUntil([&] { return !lcd.panel->activityLit(); }));
    UpdateWindow(lcd.panel->hwnd()); // only the lamp's box repaints
    const ClientImage shown = screenImage(lcd.panel->hwnd());
    EXPECT_EQ(shown.at(centre(lcd.geometry.lamp).x, centre(lcd.geometry.lamp).y), lcd_colors::ghost);
    EXPECT_EQ(count(shown, lcd.geometry.lamp.inset(-scale(3, uiDpi())), lcd_colors::lampLit), 0);
}

TEST(LcdPanelWindow, TheSameReadingTwiceRepaintsOnlyTheLamp)
{
    PlacedLcd lcd;
    lcd.panel->show(reading("5.000"));
    ValidateRect(lcd.panel->hwnd(), nullptr);
    lcd.panel->show(reading("5.000"));
    RECT update {};
    ASSERT_TRUE(GetUpdateRect(lcd.panel->hwnd(), &update, FALSE));
    EXPECT_EQ(fromRECT(update), lcd.geometry.lamp);
    ValidateRect(lcd.panel->hwnd(), nullptr);
    lcd.panel->show(reading("5.001"));
    ASSERT_TRUE(GetUpdateRect(lcd.panel->hwnd(), &update, FALSE));
    EXPECT_EQ(fromRECT(update).width(), lcd.geometry.client.width());
}

TEST(LcdPanelWindow, NarrowPanelDropsMinAndTinyPanelDrawsOnlyItsFrame)
{
    // A panel whose header holds AUTO HOLD MAX and not MIN, measured with
    // the header's own font.
    const std::array<int, 4> widths = headerWidths();
    const int dpi = uiDpi();
    const int threeLabels = widths[0] + widths[1] + widths[2] + 2 * scale(12, dpi);
    // The header spans from inner left + 48 to the lamp's left edge - 6.
    const PlacedLcd probe(100, 150);
    const int overhead = probe.geometry.client.width() - probe.geometry.header.width();
    const int width = (threeLabels + overhead + scale(6, dpi)) * 96 / dpi;
    const PlacedLcd narrow(width, 150);
    ASSERT_EQ(headerLabelPositions(narrow.geometry.header, widths, dpi).size(), 3u);

    DmmFlags minOnly;
    minOnly.manualRange = true;
    minOnly.min = true;
    narrow.panel->show(reading("1.0", dcv, minOnly));
    EXPECT_EQ(count(narrow.capture(), narrow.geometry.header, lcd_colors::lit), 0);
    DmmFlags maxOnly;
    maxOnly.manualRange = true;
    maxOnly.max = true;
    narrow.panel->show(reading("1.0", dcv, maxOnly));
    EXPECT_GT(count(narrow.capture(), narrow.geometry.header, lcd_colors::lit), 5);

    const PlacedLcd tiny(12, 12);
    const ClientImage small = tiny.capture();
    EXPECT_EQ(small.at(0, 0), lcd_colors::frame);
}

namespace {

struct PlacedChart {
    Host host;
    std::unique_ptr<ChartView> chart;
    Rect client;
    Rect plot;

    explicit PlacedChart(int width = 600, int height = 300)
    {
        chart = require(ChartView::create(host.hwnd, 2002));
        MoveWindow(chart->hwnd(), 0, 0, width, height, FALSE);
        RECT r {};
        GetClientRect(chart->hwnd(), &r);
        client = fromRECT(r);
        plot = plotRect(client, uiDpi());
    }
    ClientImage capture() const { return picture(chart->hwnd()); }
    int rowOf(double v, ValueRange range) const
    {
        return plot.bottom - roundHalfAway((v - range.lo) / (range.hi - range.lo) * plot.height());
    }
};

} // namespace

TEST(ChartViewWindow, FrameGridAndATraceWhereTheColumnsSayItIs)
{
    PlacedChart c;
    for (int i = 0; i < 100; ++i)
        c.chart->append(reading(i < 50 ? "1.000" : "3.000", dcv, {}, 0, 1.7e9 + i));
    const ClientImage image = c.capture();
    EXPECT_EQ(image.at(0, 0), chart_colors::border);
    EXPECT_EQ(image.at(c.client.right - 1, c.client.bottom - 1), chart_colors::border);
    const ValueRange range = valueRange(c.chart->series().samples());
    const std::vector<GridLine> grid = gridLines(c.plot, range);
    EXPECT_EQ(image.at(c.plot.left + 3, grid[0].y), chart_colors::axis);
    EXPECT_EQ(image.at(c.plot.right - 3, grid[4].y), chart_colors::grid);
    EXPECT_EQ(image.at(c.plot.left, c.plot.top + 3), chart_colors::axis);

    // The trace is flat at 1 for the first half and at 3 for the second.
    const int x = c.plot.left + c.plot.width() / 4;
    EXPECT_LT(distance(image.at(x, c.rowOf(1, range)), chart_colors::trace), 90);
    EXPECT_EQ(image.at(x, c.rowOf(3, range)), chart_colors::background);
    EXPECT_LT(distance(image.at(c.plot.left + c.plot.width() * 3 / 4, c.rowOf(3, range)), chart_colors::trace), 90);
    // Both sets of labels: values left of the plot, times below it.
    EXPECT_GT(count(image, { c.client.left, c.client.top, c.plot.left, c.plot.bottom }, chart_colors::label), 0);
    EXPECT_GT(count(image, { c.plot.left, c.plot.bottom + 2, c.client.right, c.client.bottom }, chart_colors::label), 0);
}

TEST(ChartViewWindow, AFunctionChangeBreaksTheTraceAndOverloadsDrawNone)
{
    PlacedChart c;
    for (int i = 0; i <= 10; ++i)
        c.chart->append(reading("1.000", acv, {}, 0, 1.7e9 + i));
    for (int i = 11; i <= 21; ++i)
        c.chart->append(reading("3.000", dcv, {}, 0, 1.7e9 + i)); // DC volts: the same unit, a new trace
    const ValueRange range = valueRange(c.chart->series().samples(), c.chart->series().currentUnitIndex());
    ClientImage image = c.capture();
    // Both traces are drawn (one unit), with no line from one to the other.
    const int x10 = c.plot.left + roundHalfAway(10.0 / 21 * (c.plot.width() - 1));
    const int x11 = c.plot.left + roundHalfAway(11.0 / 21 * (c.plot.width() - 1));
    EXPECT_LT(distance(image.at(c.plot.left + 2, c.rowOf(1, range)), chart_colors::trace), 120);
    EXPECT_LT(distance(image.at(c.plot.right - 3, c.rowOf(3, range)), chart_colors::trace), 120);
    const int middleRow = c.rowOf(2, range);
    for (int x = x10 + 2; x < x11 - 1; ++x)
        EXPECT_GT(distance(image.at(x, middleRow), chart_colors::trace), 200) << x;
    EXPECT_EQ(c.chart->series().currentUnit(), "V");

    c.chart->clear();
    for (int i = 0; i < 10; ++i)
        c.chart->append(reading("OL", dcv, {}, 0, 1.7e9 + i));
    image = c.capture();
    int traced = 0;
    for (int y = c.plot.top; y < c.plot.bottom; ++y) {
        for (int x = c.plot.left + 2; x < c.plot.right; ++x)
            traced += distance(image.at(x, y), chart_colors::trace) < 200;
    }
    EXPECT_EQ(traced, 0);
    // The time axis is still there: a tick below the plot's left edge, under
    // the axis line (two pixels thick at 144 DPI), and none beside it.
    const int line = scaleAtLeastOne(1, uiDpi());
    EXPECT_EQ(image.at(c.plot.left, c.plot.bottom + line), chart_colors::axis);
    EXPECT_EQ(image.at(c.plot.left + c.plot.width() / 4, c.plot.bottom + line), chart_colors::background);
}

// Trace pixels in one column of the plot.
int tracedIn(const ClientImage& image, const Rect& plot, int x)
{
    int traced = 0;
    for (int y = plot.top; y < plot.bottom; ++y)
        traced += distance(image.at(x, y), chart_colors::trace) < 200;
    return traced;
}

TEST(ChartViewWindow, NoLineWhereNothingWasMeasuredAndOverloadsAreMarked)
{
    PlacedChart c;
    // The meter lost for ten seconds in the middle of a recording at 1 s.
    for (int i = 0; i <= 10; ++i)
        c.chart->append(reading("1.000", dcv, {}, 0, 1.7e9 + i));
    for (int i = 20; i <= 30; ++i)
        c.chart->append(reading("3.000", dcv, {}, 0, 1.7e9 + i));
    ClientImage image = c.capture();
    Rect plot = c.chart->lastPlot();
    EXPECT_EQ(tracedIn(image, plot, plot.left + plot.width() / 2), 0);
    EXPECT_GT(tracedIn(image, plot, plot.left + plot.width() / 4), 0);

    // Overloads in between: no line across them, a mark at the top edge.
    c.chart->clear();
    for (int i = 0; i <= 30; ++i)
        c.chart->append(reading(i >= 12 && i <= 18 ? "OL" : (i < 12 ? "1.000" : "3.000"), dcv, {}, 0, 1.7e9 + i));
    image = c.capture();
    plot = c.chart->lastPlot();
    const int middle = plot.left + plot.width() / 2;
    EXPECT_EQ(tracedIn(image, plot, middle), 0);
    EXPECT_EQ(image.at(middle, plot.top + 1), chart_colors::overload);
    EXPECT_NE(image.at(plot.left + plot.width() / 8, plot.top + 1), chart_colors::overload);
}

TEST(ChartViewWindow, AnotherUnitIsNotDrawnAgainstTheAxis)
{
    PlacedChart c;
    for (int i = 0; i < 20; ++i) // volts, then kilohms
        c.chart->append(reading("5.000", dcv, {}, 0, 1.7e9 + i));
    for (int i = 20; i < 40; ++i)
        c.chart->append(Reading(1.7e9 + i, 6, 1, "240.0", {}, 0));
    const ClientImage image = c.capture();
    const Rect plot = c.chart->lastPlot();
    for (int x = plot.left + 2; x < plot.left + plot.width() / 2 - 2; x += 3)
        EXPECT_EQ(tracedIn(image, plot, x), 0) << x;
    EXPECT_GT(tracedIn(image, plot, plot.left + plot.width() * 3 / 4), 0);
    // The caption names the unit and says others are hidden: wider than
    // the unit alone.
    int captionRight = 0;
    for (int x = plot.left; x < plot.right; ++x)
        if (count(image, { x, c.client.top, x + 1, plot.top }, chart_colors::caption) > 0)
            captionRight = x;
    EXPECT_GT(captionRight - plot.left, scale(60, uiDpi()));
}

TEST(ChartViewWindow, LabelsAreWholeAndTheCaptionClearsThem)
{
    PlacedChart c;
    for (int i = 0; i < 20; ++i) { // between 0 and 0.001: labels like "-5.0e-05"
        char text[16];
        std::snprintf(text, sizeof text, "%.4f", 0.001 * (i % 2));
        c.chart->append(reading(text, dcv, {}, 0, 1.7e9 + i));
    }
    ClientImage image = c.capture();
    Rect plot = c.chart->lastPlot();
    EXPECT_GT(plot.left, c.plot.left); // moved right for the labels
    // Nothing of a label on the border or in the column inside it.
    EXPECT_EQ(count(image, { 0, 0, 2, c.client.bottom }, chart_colors::label), 0);
    EXPECT_GT(count(image, { 2, plot.top, plot.left, plot.bottom }, chart_colors::label), 0);

    c.chart->clear();
    for (int i = 0; i < 20; ++i)
        c.chart->append(reading(i % 2 ? "12.35" : "12.34", dcv, {}, 0, 1.7e9 + i));
    image = c.capture();
    plot = c.chart->lastPlot();
    // The caption is right of the value axis; the top label left of it.
    EXPECT_EQ(count(image, { c.client.left, c.client.top, plot.left, plot.top }, chart_colors::caption), 0);
    EXPECT_GT(count(image, { plot.left, c.client.top, plot.right, plot.top }, chart_colors::caption), 0);
}

TEST(ChartViewWindow, APlotOfTwentyPixelsDrawsOnlyTheFrame)
{
    const int dpi = uiDpi();
    PlacedChart c(scale(44, dpi) + scale(10, dpi) + scale(20, dpi), 200);
    c.chart->append(reading("1.0"));
    const ClientImage image = c.capture();
    EXPECT_EQ(image.at(0, 0), chart_colors::border);
    EXPECT_EQ(count(image, c.client.inset(1), chart_colors::background),
        c.client.inset(1).width() * c.client.inset(1).height());
}

namespace {

// A pointer message at a client point of the chart, as the system sends it.
void mouse(const PlacedChart& c, UINT message, Point at, WPARAM keys = 0)
{
    SendMessageW(c.chart->hwnd(), message, keys, MAKELPARAM(at.x, at.y));
}

void wheel(const PlacedChart& c, Point at, int notches)
{
    POINT screen { at.x, at.y };
    ClientToScreen(c.chart->hwnd(), &screen);
    SendMessageW(c.chart->hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, notches * WHEEL_DELTA), MAKELPARAM(screen.x, screen.y));
}

// Trace pixels in a band of columns.
int traceIn(const ClientImage& image, const Rect& plot, double from, double to)
{
    const Rect band { plot.left + static_cast<int>(from * plot.width()), plot.top,
        plot.left + static_cast<int>(to * plot.width()), plot.bottom };
    int n = 0;
    for (int y = band.top; y < band.bottom; ++y) {
        for (int x = band.left; x < band.right; ++x)
            n += distance(image.at(x, y), chart_colors::trace) < 90;
    }
    return n;
}

} // namespace

// Real wheel, drag, double-click and key messages change what is drawn: 600
// samples at 1 then at 3, zoomed into the first half, dragged, and back.
TEST(ChartViewWindow, WheelDragDoubleClickAndKeysChangeWhatIsDrawn)
{
    PlacedChart c;
    for (int i = 0; i < 600; ++i)
        c.chart->append(reading(i < 300 ? "1.000" : (i % 2 ? "3.000" : "2.000"), dcv, {}, 0, 1.7e9 + i));
    int changes = 0;
    c.chart->onViewChanged = [&] { ++changes; };
    ClientImage image = c.capture();
    const Rect plot = c.chart->lastPlot();
    // The whole: a flat line on the left half, a zigzag on the right.
    const int flatRight = traceIn(image, plot, 0.05, 0.45);
    const int zigzagRight = traceIn(image, plot, 0.55, 0.95);
    EXPECT_GT(zigzagRight, 3 * flatRight);

    // Five notches closer about a quarter of the way in: only the flat part.
    wheel(c, { plot.left + plot.width() / 4, (plot.top + plot.bottom) / 2 }, 5);
    EXPECT_TRUE(c.chart->viewport().isZoomed());
    EXPECT_EQ(changes, 1);
    const TimeWindow zoomed = c.chart->window();
    EXPECT_NEAR(zoomed.span(), 599 * std::pow(0.8, 5), 1e-6);
    EXPECT_LT(zoomed.end, 1.7e9 + 300);
    image = c.capture();
    EXPECT_LT(traceIn(image, plot, 0.55, 0.95), zigzagRight / 4); // the zigzag is gone
    EXPECT_GT(traceIn(image, plot, 0.55, 0.95), 0); // the flat line goes across
    ASSERT_FALSE(c.chart->liveControl().empty()); // held: the live control shows
    EXPECT_GT(count(image, c.chart->liveControl(), chart_colors::trace), 20);

    // Dragging right shows what came earlier, by the pixels dragged.
    const Point from { plot.left + plot.width() / 2, plot.top + 10 };
    mouse(c, WM_LBUTTONDOWN, from, MK_LBUTTON);
    mouse(c, WM_MOUSEMOVE, { from.x + 100, from.y }, MK_LBUTTON);
    mouse(c, WM_LBUTTONUP, { from.x + 100, from.y });
    const TimeWindow dragged = c.chart->window();
    EXPECT_NEAR(dragged.start - zoomed.start, -100 * zoomed.span() / (plot.width() - 1), 1e-6);
    // Dragging far left stops at the newest sample.
    mouse(c, WM_LBUTTONDOWN, from, MK_LBUTTON);
    mouse(c, WM_MOUSEMOVE, { from.x - 5000, from.y }, MK_LBUTTON);
    mouse(c, WM_LBUTTONUP, { from.x - 5000, from.y });
    EXPECT_DOUBLE_EQ(c.chart->window().end, 1.7e9 + 599);
    EXPECT_GT(traceIn(c.capture(), plot, 0.55, 0.95), zigzagRight / 2); // the zigzag is back

    // A double click: the whole recording.
    mouse(c, WM_LBUTTONDBLCLK, from);
    EXPECT_FALSE(c.chart->viewport().isZoomed());
    EXPECT_EQ(c.chart->window(), (TimeWindow { 1.7e9, 1.7e9 + 599 }));
    EXPECT_TRUE(c.chart->liveControl().empty() || (c.capture(), c.chart->liveControl().empty()));

    // Keys: + closer about the middle, End follows the newest, Home the whole.
    SendMessageW(c.chart->hwnd(), WM_KEYDOWN, VK_ADD, 0);
    EXPECT_NEAR(c.chart->window().span(), 599 * 0.5, 1e-6);
    SendMessageW(c.chart->hwnd(), WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_NEAR(c.chart->window().start, 1.7e9 + 149.75 - 29.95, 1e-6);
    SendMessageW(c.chart->hwnd(), WM_KEYDOWN, VK_END, 0);
    EXPECT_EQ(c.chart->viewport().mode(), ChartViewport::Mode::following);
    c.chart->append(reading("2.000", dcv, {}, 0, 1.7e9 + 600));
    EXPECT_DOUBLE_EQ(c.chart->window().end, 1.7e9 + 600);
    SendMessageW(c.chart->hwnd(), WM_KEYDOWN, VK_HOME, 0);
    EXPECT_FALSE(c.chart->viewport().isZoomed());
}

// The cursor names the nearest sample in a label that stays inside the
// plot at both edges; away from the chart it goes.
TEST(ChartViewWindow, TheCursorLabelStaysInsideThePlot)
{
    PlacedChart c;
    for (int i = 0; i < 50; ++i)
        c.chart->append(reading(i % 2 ? "1.500" : "2.500", dcv, {}, 0, 1.7e9 + i));
    c.capture();
    const Rect plot = c.chart->lastPlot();
    const Rgb cursor = standardPalette().chart.cursor;
    for (const int x : { plot.left + 1, plot.left + plot.width() / 2, plot.right - 2 }) {
        mouse(c, WM_MOUSEMOVE, { x, plot.top + plot.height() / 2 });
        const ClientImage image = c.capture();
        // The line and the label's frame are drawn in the cursor colour,
        // inside the plot only.
        EXPECT_GT(count(image, plot, cursor), plot.height() / 2) << x;
        const Rect everything { 0, 0, image.width, image.height };
        EXPECT_EQ(count(image, everything, cursor) - count(image, plot, cursor), 0) << x;
        // The label: the frame's top edge is a row of the cursor colour.
        int longestRow = 0;
        for (int y = plot.top; y < plot.top + scale(30, uiDpi()); ++y)
            longestRow = std::max(longestRow, count(image, { plot.left, y, plot.right, y + 1 }, cursor));
        EXPECT_GT(longestRow, scale(60, uiDpi())) << x;
    }
    mouse(c, WM_MOUSELEAVE, { 0, 0 });
    EXPECT_EQ(count(c.capture(), plot, cursor), 0);
}

// Limits of the function and unit drawn are dashed lines, inside the axis
// even when no value comes near them.
TEST(ChartViewWindow, LimitsAreDashedLinesInsideTheAxis)
{
    PlacedChart c;
    for (int i = 0; i < 50; ++i)
        c.chart->append(reading("2.000", dcv, {}, 0, 1.7e9 + i));
    const Rgb limit = standardPalette().chart.limit;
    EXPECT_EQ(count(c.capture(), c.plot, limit), 0);
    c.chart->setLimits({ LimitsFor { dcv, "V", { 1.0, 5.0, false } } });
    const ClientImage image = c.capture();
    const Rect plot = c.chart->lastPlot();
    int rows = 0;
    for (int y = plot.top; y < plot.bottom; ++y) {
        const int n = count(image, { plot.left, y, plot.right, y + 1 }, limit);
        if (n > 0) {
            ++rows;
            EXPECT_GT(n, plot.width() / 3); // dashes across
            EXPECT_LT(n, plot.width() * 2 / 3);
        }
    }
    EXPECT_EQ(rows, 2 * scaleAtLeastOne(1, uiDpi()));
    c.chart->setLimits({ LimitsFor { acv, "V", { 1.0, 5.0, false } } }); // another function's
    EXPECT_EQ(count(c.capture(), c.chart->lastPlot(), limit), 0);
}

TEST(ChartViewWindow, WithoutGdiPlusTheTraceIsAPlainTwoPixelLine)
{
    log::LogCapture capture;
    GdiPlusCanvas::resetForTesting(L"zelmar-no-such-gdiplus.dll");
    {
        PlacedChart c;
        for (int i = 0; i < 20; ++i)
            c.chart->append(reading("2.000", dcv, {}, 0, 1.7e9 + i));
        const ValueRange range = valueRange(c.chart->series().samples());
        const ClientImage image = c.capture();
        const int x = c.plot.left + c.plot.width() / 2;
        const int y = c.rowOf(2, range);
        EXPECT_EQ(image.at(x, y), chart_colors::trace);
        // Two pixels wide: one more row of the trace colour beside it.
        EXPECT_TRUE(image.at(x, y - 1) == chart_colors::trace || image.at(x, y + 1) == chart_colors::trace);
        c.capture(); // a second paint tries nothing again

        // The cards draw their rounded shape with GDI.
        auto card = IconCardButton::create(
            c.host.hwnd, GetModuleHandleW(nullptr), 1102, ButtonIconKind::play, std::nullopt, "Start");
        ASSERT_TRUE(card);
        MoveWindow((*card)->hwnd(), 0, 0, scale(40, uiDpi()), scale(36, uiDpi()), FALSE);
        const ClientImage cardImage = picture((*card)->hwnd());
        EXPECT_EQ(cardImage.at(cardImage.width / 2, 0), cardColors(CardLook::normal).border);
        EXPECT_EQ(cardImage.at(scale(4, uiDpi()), cardImage.height / 2), cardColors(CardLook::normal).fill);
    }
    EXPECT_EQ(capture.count("gdiplus.dll 載入失敗，曲線與商標改走 GDI 後援"), 1);
    GdiPlusCanvas::resetForTesting(L"gdiplus.dll");
    EXPECT_TRUE(GdiPlusCanvas::ensureAvailable());
}

TEST(GdiPlusCanvas, APolylineOfOnePointDrawsNothing)
{
    Host host;
    auto created = ChartView::create(host.hwnd, 1);
    ASSERT_TRUE(created);
    WindowDc screen((*created)->hwnd());
    UniqueMemoryDc dc(CreateCompatibleDC(screen.get()));
    UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), 20, 20));
    SelectGuard selected(dc.get(), bitmap.get());
    fillRect(dc.get(), { 0, 0, 20, 20 }, Rgb { 255, 255, 255 });
    {
        auto canvas = GdiPlusCanvas::create(dc.get());
        ASSERT_TRUE(canvas);
        canvas->setPen(chart_colors::trace, 3);
        const Point one[] = { { 10, 10 } };
        canvas->drawPolyline(one);
    }
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(GetPixel(dc.get(), x, y) & 0xFFFFFF, 0xFFFFFFu);
    }
}

namespace {

struct PlacedCards {
    Host host;
    std::vector<std::unique_ptr<IconCardButton>> cards;

    PlacedCards()
    {
        const int dpi = uiDpi();
        const ButtonIconKind kinds[] = { ButtonIconKind::newFile, ButtonIconKind::open, ButtonIconKind::save,
            ButtonIconKind::play, ButtonIconKind::stop };
        for (int i = 0; i < 5; ++i) {
            auto card = require(
                IconCardButton::create(host.hwnd, GetModuleHandleW(nullptr), 1101 + i, kinds[i], std::nullopt, "card"));
            MoveWindow(card->hwnd(), scale(8 + 48 * i, dpi), scale(8, dpi), scale(40, dpi), scale(36, dpi), FALSE);
            cards.push_back(std::move(card));
        }
        ShowWindow(host.hwnd, SW_SHOWNOACTIVATE);
    }
    HWND at(int i) const { return cards[i]->hwnd(); }
    static LPARAM point(int x, int y) { return MAKELPARAM(x, y); }
};

Rgb fillOf(const ClientImage& image)
{
    // Left of the icon, away from the border and the corners.
    return image.at(scale(4, uiDpi()), image.height / 2);
}

int inkInIcon(const ClientImage& image, Rgb fill, bool pressed = false)
{
    const Rect icon = cardIconRect({ 0, 0, image.width, image.height }, uiDpi(), pressed);
    int ink = 0;
    for (int y = icon.top; y < icon.bottom; ++y) {
        for (int x = icon.left; x < icon.right; ++x)
            ink += distance(image.at(x, y), fill) > 60;
    }
    return ink;
}

} // namespace

TEST(IconCardButtonWindow, LooksFollowPointerAndEnabling)
{
    PlacedCards p;
    const HWND card = p.at(3);
    ClientImage image = picture(card);
    EXPECT_EQ(fillOf(image), cardColors(CardLook::normal).fill);
    EXPECT_EQ(image.at(image.width / 2, 0), cardColors(CardLook::normal).border);
    EXPECT_GT(inkInIcon(image, cardColors(CardLook::normal).fill), 20);

    SendMessageW(card, WM_MOUSEMOVE, 0, PlacedCards::point(5, 5));
    EXPECT_EQ(p.cards[3]->look(), CardLook::hot);
    EXPECT_EQ(fillOf(picture(card)), cardColors(CardLook::hot).fill);
    SendMessageW(card, WM_LBUTTONDOWN, MK_LBUTTON, PlacedCards::point(5, 5));
    image = picture(card);
    EXPECT_EQ(fillOf(image), cardColors(CardLook::pressed).fill);
    EXPECT_GT(inkInIcon(image, cardColors(CardLook::pressed).fill, true), 20);
    SendMessageW(card, WM_LBUTTONUP, 0, PlacedCards::point(5, 5));
    EXPECT_EQ(p.host.clicks, std::vector { 1104 });

    EnableWindow(card, FALSE);
    image = picture(card);
    EXPECT_EQ(fillOf(image), cardColors(CardLook::disabled).fill);
    const Rect icon = cardIconRect({ 0, 0, image.width, image.height }, uiDpi(), false);
    EXPECT_EQ(count(image, icon, defaultIconColor(ButtonIconKind::play)), 0); // the icon is grey
}

TEST(IconCardButtonWindow, ClicksFromPointerAndKeys)
{
    PlacedCards p;
    const HWND start = p.at(3);
    const int outside = scale(200, uiDpi());
    // Pressed, dragged out, released outside: no click.
    SendMessageW(start, WM_LBUTTONDOWN, MK_LBUTTON, PlacedCards::point(5, 5));
    SendMessageW(start, WM_MOUSEMOVE, MK_LBUTTON, PlacedCards::point(outside, 5));
    EXPECT_EQ(p.cards[3]->look(), CardLook::normal);
    SendMessageW(start, WM_LBUTTONUP, 0, PlacedCards::point(outside, 5));
    EXPECT_TRUE(p.host.clicks.empty());
    // A double click counts as a press.
    SendMessageW(start, WM_LBUTTONDBLCLK, MK_LBUTTON, PlacedCards::point(5, 5));
    SendMessageW(start, WM_LBUTTONUP, 0, PlacedCards::point(5, 5));
    EXPECT_EQ(p.host.clicks.size(), 1u);

    // Space: pressed while held (repeats ignored), one click on release.
    p.host.clicks.clear();
    SendMessageW(start, WM_KEYDOWN, VK_SPACE, 0);
    SendMessageW(start, WM_KEYDOWN, VK_SPACE, 1 << 30);
    EXPECT_EQ(p.cards[3]->look(), CardLook::pressed);
    EXPECT_TRUE(p.host.clicks.empty());
    SendMessageW(start, WM_KEYUP, VK_SPACE, 0);
    EXPECT_EQ(p.host.clicks, std::vector { 1104 });
    // Enter: one click on the press.
    SendMessageW(start, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(p.host.clicks, (std::vector { 1104, 1104 }));
    // A disabled card sends nothing.
    EnableWindow(start, FALSE);
    SendMessageW(start, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(start, WM_LBUTTONDOWN, MK_LBUTTON, PlacedCards::point(5, 5));
    SendMessageW(start, WM_LBUTTONUP, 0, PlacedCards::point(5, 5));
    EXPECT_EQ(p.host.clicks.size(), 2u);
}

TEST(IconCardButtonWindow, ArrowKeysMoveTheFocusAndTheRingShows)
{
    PlacedCards p;
    SetForegroundWindow(p.host.hwnd);
    SetFocus(p.at(4));
    ASSERT_EQ(GetFocus(), p.at(4));
    SendMessageW(p.at(4), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(GetFocus(), p.at(0)); // wraps
    SendMessageW(p.at(0), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(GetFocus(), p.at(4));

    // While recording only Stop is enabled: the focus stays on it.
    for (int i = 0; i < 4; ++i)
        EnableWindow(p.at(i), FALSE);
    SendMessageW(p.at(4), WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(GetFocus(), p.at(4));
    SendMessageW(p.at(4), WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(GetFocus(), p.at(4));

    SendMessageW(p.host.hwnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    const ClientImage image = picture(p.at(4));
    const auto ring = focusRing({ 0, 0, image.width, image.height }, uiDpi());
    int dark = 0;
    for (int x = ring->rect.left; x < ring->rect.right; ++x)
        dark += distance(image.at(x, ring->rect.top), focusRingColor) < 120;
    EXPECT_GT(dark, 3);
}

TEST(ButtonIcons, TheFontDrawsEveryIconAndTheForcedFallbackToo)
{
    ButtonIcons& icons = ButtonIcons::instance();
    icons.resetForTesting();
    _putenv_s("ZELMAR_UI_FORCE_ICON_FALLBACK", "0");
    for (int k = 0; k < buttonIconKindCount; ++k)
        EXPECT_TRUE(icons.usesFont(static_cast<ButtonIconKind>(k))) << k;

    log::LogCapture capture;
    icons.resetForTesting();
    _putenv_s("ZELMAR_UI_FORCE_ICON_FALLBACK", "1");
    for (int k = 0; k < buttonIconKindCount; ++k) {
        const auto kind = static_cast<ButtonIconKind>(k);
        EXPECT_FALSE(icons.usesFont(kind));
        const std::vector<std::uint8_t> coverage = geometricIconCoverage(kind, 20);
        const auto inked = std::count_if(coverage.begin(), coverage.end(), [](std::uint8_t c) { return c > 128; });
        EXPECT_GT(inked, 30) << k;
        EXPECT_LT(inked, 400) << k;
        EXPECT_NE(icons.draw(kind, 20, Rgb { 0, 0, 0 }), nullptr);
    }
    EXPECT_EQ(capture.count("按鈕圖示：ZELMAR_UI_FORCE_ICON_FALLBACK=1，強制走幾何後援"), 1);
    _putenv_s("ZELMAR_UI_FORCE_ICON_FALLBACK", "");
    icons.resetForTesting();
}

TEST(ToolbarTooltips, OneTipPerCardFollowsItsText)
{
    PlacedCards p;
    auto tips = ToolbarTooltips::create(p.host.hwnd);
    ASSERT_NE(tips->hwnd(), nullptr);
    tips->add(1101, p.at(0), "New file");
    tips->add(1102, p.at(3), "Start");
    EXPECT_EQ(SendMessageW(tips->hwnd(), TTM_GETTOOLCOUNT, 0, 0), 4); // each card as window and as rectangle
    tips->setText(1102, "Start recording");
    wchar_t text[80] = {};
    TTTOOLINFOW info {};
    info.cbSize = sizeof info;
    info.hwnd = p.host.hwnd;
    info.uId = 1102;
    info.lpszText = text;
    SendMessageW(tips->hwnd(), TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
    EXPECT_STREQ(text, L"Start recording");
    tips->updateRects();
    tips->dismiss();
}
