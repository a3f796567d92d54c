// Painting costs of the drawing components under Wine (Windows build):
//   - one full ChartView paint with 600,000 samples at 1,000 × 400 pixels,
//     a wheel zoom and a cursor move over them;
//   - one LCD repaint per new reading, and the heap allocations it makes,
//     which must not grow with the number of readings shown before it.
// Each paint goes through WM_PRINTCLIENT into a 32-bit DIB, the same drawing
// the window does for WM_PAINT. Prints the median and best of the runs.

#include "ui/chart_view_win32.h"
#include "ui/gdi_objects_win32.h"
#include "ui/gdiplus_canvas_win32.h"
#include "ui/lcd_panel_win32.h"
#include "ui/theme_win32.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::atomic<long long> allocations { 0 };

} // namespace

void* operator new(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

using namespace zelmar;
using namespace zelmar::ui;
using namespace zelmar::ui::win32;

namespace {

LRESULT CALLBACK hostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

struct Canvas {
    UniqueMemoryDc dc;
    UniqueBitmap bitmap;
    std::optional<SelectGuard> selected;

    Canvas(int width, int height)
        : dc(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info {};
        info.bmiHeader = { sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0 };
        void* bits = nullptr;
        bitmap.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        selected.emplace(dc.get(), bitmap.get());
    }
};

template <typename F> std::vector<double> timeRuns(int runs, F&& paint)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        paint();
        GdiFlush();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

void report(const char* what, const std::vector<double>& ms)
{
    std::printf("%-52s median %7.2f ms   best %7.2f ms   (%zu runs)\n", what, ms[ms.size() / 2], ms.front(), ms.size());
}

} // namespace

int main()
{
    WNDCLASSEXW wc {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = hostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZelmarBenchHost";
    RegisterClassExW(&wc);
    const HWND host
        = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1200, 900, nullptr, nullptr, wc.hInstance, nullptr);

    auto chart = ChartView::create(host, 1);
    if (!chart) {
        std::fprintf(stderr, "%s\n", chart.error().c_str());
        return 1;
    }
    MoveWindow((*chart)->hwnd(), 0, 0, 1000, 400, FALSE);
    Canvas chartCanvas(1000, 400);
    const Rect chartClient { 0, 0, 1000, 400 };
    std::vector<Reading> readings;
    readings.reserve(600'000);
    const auto chartFigures = [&](const char* name, auto&& value) {
        readings.clear();
        char text[16];
        for (int i = 0; i < 600'000; ++i) {
            std::snprintf(text, sizeof text, "%.3f", value(i));
            readings.emplace_back(1.7e9 + i, i < 300'000 ? 2 : 3, 0, i % 997 == 0 ? "OL" : text, DmmFlags {}, 0);
        }
        (*chart)->rebuild([&](std::size_t i) { return std::optional<Reading>(readings[i]); }, readings.size());
        std::printf("ChartView full paint, 600,000 samples, 1000 x 400, %s:\n", name);
        const auto fullPaint = [&] {
            (*chart)->invalidate();
            (*chart)->paint(chartCanvas.dc.get(), chartClient);
        };
        report("  antialiased trace (GDI+)", timeRuns(30, fullPaint));
        GdiPlusCanvas::resetForTesting(L"zelmar-no-gdiplus.dll");
        report("  plain GDI trace (GDI+ unavailable)", timeRuns(30, fullPaint));
        GdiPlusCanvas::resetForTesting(L"gdiplus.dll");
        // The interaction: a wheel notch closer or further about the pointer
        // and a repaint, alternately (the view stays between two zooms); a
        // pointer move, which redraws only the cursor over the kept chart.
        const HWND view = (*chart)->hwnd();
        POINT at { 500, 200 };
        ClientToScreen(view, &at);
        int notch = 0;
        report("  wheel zoom + repaint", timeRuns(30, [&] {
            const int delta = (notch++ % 4 < 2 ? 1 : -1) * WHEEL_DELTA;
            SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(at.x, at.y));
            (*chart)->paint(chartCanvas.dc.get(), chartClient);
        }));
        // Once the view rests, the trace is drawn antialiased again.
        report("  the view at rest again (antialiased)", timeRuns(10, [&] {
            SendMessageW(view, WM_TIMER, 1, 0);
            (*chart)->paint(chartCanvas.dc.get(), chartClient);
        }));
        SendMessageW(view, WM_LBUTTONDBLCLK, 0, 0);
        (*chart)->paint(chartCanvas.dc.get(), chartClient);
        int x = 100;
        report("  cursor move + repaint", timeRuns(100, [&] {
            x = x >= 900 ? 100 : x + 7;
            SendMessageW(view, WM_MOUSEMOVE, 0, MAKELPARAM(x, 200));
            (*chart)->paint(chartCanvas.dc.get(), chartClient);
        }));
    };
    // A slow drift with noise, as a recording mostly is; then the worst case,
    // a signal swinging across the whole plot within every pixel column.
    unsigned noise = 12345;
    double level = 5.0;
    chartFigures("slow drift", [&](int) {
        noise = noise * 1103515245u + 12345u;
        level += ((noise >> 16) % 1001 - 500) / 1e5;
        return level;
    });
    chartFigures("full swing in every column", [](int i) { return 5.0 + std::sin(i / 100.0); });

    auto lcd = LcdPanel::create(host, 2);
    if (!lcd) {
        std::fprintf(stderr, "%s\n", lcd.error().c_str());
        return 1;
    }
    const int width = scale(520, uiDpi());
    const int height = scale(260, uiDpi());
    MoveWindow((*lcd)->hwnd(), 0, 0, width, height, FALSE);
    Canvas lcdCanvas(width, height);
    const Rect lcdClient { 0, 0, width, height };
    (*lcd)->paint(lcdCanvas.dc.get(), lcdClient); // builds the digit layout once
    long long perRepaint[2] = {};
    for (int round = 0; round < 2; ++round) {
        // After 1,000 and then 100,000 readings the cost of one more is the same.
        const int before = round == 0 ? 1'000 : 100'000;
        for (int i = 0; i < before; ++i)
            (*lcd)->show(readings[static_cast<std::size_t>(i)]);
        const long long start = allocations.load();
        (*lcd)->show(readings[static_cast<std::size_t>(before)]);
        (*lcd)->paint(lcdCanvas.dc.get(), lcdClient);
        perRepaint[round] = allocations.load() - start;
    }
    int next = 0;
    report("LcdPanel show + full repaint", timeRuns(200, [&] {
        (*lcd)->show(readings[static_cast<std::size_t>(next++)]);
        (*lcd)->paint(lcdCanvas.dc.get(), lcdClient);
    }));
    std::printf("LcdPanel heap allocations per reading: %lld after 1,000 readings, %lld after 100,000\n", perRepaint[0],
        perRepaint[1]);
    DestroyWindow(host);
    return perRepaint[0] == perRepaint[1] ? 0 : 1;
}
