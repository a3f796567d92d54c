// Writes PNG pictures of the drawing components in telling states, for a
// person to judge: ui_screenshots.exe OUTPUT-FOLDER. The UI DPI comes from
// ZELMAR_UI_DPI as in the program; the file names carry it.

#include "ui/button_icons_win32.h"
#include "ui/chart_view_win32.h"
#include "ui/icon_card_button_win32.h"
#include "ui/help_about_win32.h"
#include "ui/lcd_panel_win32.h"
#include "ui/main_window_win32.h"
#include "ui/png_encode.h"
#include "ui/theme_win32.h"
#include "ui/window_capture_win32.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

using namespace zelmar;
using namespace zelmar::ui;
using namespace zelmar::ui::win32;

namespace {

std::filesystem::path outputDir;
int failures = 0;

void save(const ClientImage& image, const std::string& name)
{
    const std::vector<std::uint8_t> png = encodePng(image.width, image.height, image.pixels);
    const std::filesystem::path path = outputDir / (name + "-" + std::to_string(uiDpi()) + "dpi.png");
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
        ++failures;
    }
}

void capture(HWND hwnd, const std::string& name)
{
    if (const auto image = captureClient(hwnd))
        save(*image, name);
    else
        ++failures;
}

LRESULT CALLBACK hostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND makeHost()
{
    WNDCLASSEXW wc {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = hostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ZelmarScreenshotHost";
    RegisterClassExW(&wc);
    // A popup is unmanaged under Wine: nothing waits on a window manager.
    const HWND host = CreateWindowExW(
        0, wc.lpszClassName, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 1200, 900, nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(host, SW_SHOWNOACTIVATE);
    return host;
}

Reading reading(std::string_view text, std::uint8_t code, int range, DmmFlags flags, int bar, double t = 1.7e9)
{
    return Reading(t, code, range, text, flags, bar);
}

void lcdPictures(HWND host)
{
    auto panel = LcdPanel::create(host, 1);
    if (!panel) {
        ++failures;
        return;
    }
    LcdPanel& lcd = **panel;
    MoveWindow(lcd.hwnd(), 0, 0, scale(520, uiDpi()), scale(260, uiDpi()), FALSE);
    const auto shot = [&](const std::string& name) {
        // The lamp's pulse would end by a timer; pictures show it lit.
        capture(lcd.hwnd(), "lcd-" + name);
    };
    shot("disconnected");
    DmmFlags autoRange;
    lcd.show(reading("1.234", 2, 0, autoRange, 12));
    shot("dc-volts");
    lcd.show(reading("12.34", 2, 1, autoRange, 40));
    shot("dc-volts-four-digits");
    lcd.show(reading("12.345", 2, 1, autoRange, 40));
    shot("dc-volts-five-digits");
    DmmFlags manual;
    manual.manualRange = true;
    lcd.show(reading(" OL.", 6, 4, manual, 30));
    shot("overload-megohm");
    DmmFlags rel;
    rel.rel = true;
    rel.hold = true;
    rel.barNegative = true;
    lcd.show(reading("-0.052", 3, 0, rel, 3));
    shot("negative-relative-millivolts");
    DmmFlags battery;
    battery.lowBattery = true;
    battery.apo = true;
    lcd.show(reading("123", 18, 0, battery, 0));
    shot("hfe-low-battery");
    lcd.show(reading("25.07", 0, 1, {}, 8));
    shot("ac-volts");
    MoveWindow(lcd.hwnd(), 0, 0, scale(260, uiDpi()), scale(170, uiDpi()), FALSE);
    shot("ac-volts-narrow");
}

void chartPictures(HWND host)
{
    auto created = ChartView::create(host, 2);
    if (!created) {
        ++failures;
        return;
    }
    ChartView& chart = **created;
    MoveWindow(chart.hwnd(), 0, 0, scale(640, uiDpi()), scale(300, uiDpi()), FALSE);
    capture(chart.hwnd(), "chart-empty");
    const double t0 = 1.7e9;
    char text[32];
    for (int i = 0; i < 120; ++i) { // volts, two minutes
        std::snprintf(text, sizeof text, "%.3f", 5.0 + 2.0 * std::sin(i / 10.0));
        chart.append(reading(text, 2, 0, {}, 0, t0 + i));
    }
    for (int i = 120; i < 135; ++i) // overload: a gap
        chart.append(reading("OL", 2, 0, {}, 0, t0 + i));
    for (int i = 135; i < 240; ++i) { // then millivolts: a new trace
        std::snprintf(text, sizeof text, "%.1f", 350.0 + 120.0 * std::cos(i / 7.0));
        chart.append(reading(text, 3, 0, {}, 0, t0 + i));
    }
    capture(chart.hwnd(), "chart-two-functions-overload-gap");
    chart.clear();
    for (int i = 0; i < 60; ++i) { // a steady 12.34 V: labels need more decimals
        std::snprintf(text, sizeof text, "%.3f", 12.342 + 0.006 * ((i * 7) % 11) / 10.0);
        chart.append(reading(text, 2, 1, {}, 0, t0 + i));
    }
    capture(chart.hwnd(), "chart-narrow-range");
    chart.clear();
    for (int i = 0; i < 90; ++i) { // volts, AC volts, then kilohms: one axis for the last
        std::snprintf(text, sizeof text, "%.3f", 5.0 + 0.01 * std::sin(i / 3.0));
        if (i < 30)
            chart.append(reading(text, 2, 1, {}, 0, t0 + i));
        else if (i < 60)
            chart.append(reading("230.1", 0, 2, {}, 0, t0 + i));
        else
            chart.append(reading(i % 9 == 0 ? "OL" : "4.700", 6, 1, {}, 0, t0 + i));
    }
    capture(chart.hwnd(), "chart-unit-change");
    chart.clear();
    for (int i = 0; i < 60; ++i) { // the meter lost twice at 1 s
        if ((i > 15 && i < 24) || (i > 40 && i < 47))
            continue;
        std::snprintf(text, sizeof text, "%.2f", 12.34 + 0.03 * std::sin(i / 4.0));
        chart.append(reading(text, 2, 1, {}, 0, t0 + i));
    }
    capture(chart.hwnd(), "chart-disconnection-gaps");
    chart.clear();
    chart.append(reading("1.000", 2, 0, {}, 0, t0));
    capture(chart.hwnd(), "chart-one-sample");
}

// The five cards side by side in one state.
void cardRow(HWND host, const std::string& name, const std::function<void(IconCardButton&)>& setState)
{
    const ButtonIconKind kinds[] = { ButtonIconKind::newFile, ButtonIconKind::open, ButtonIconKind::save,
        ButtonIconKind::play, ButtonIconKind::stop };
    const int dpi = uiDpi();
    const int w = scale(40, dpi);
    const int h = scale(36, dpi);
    const int gap = scale(8, dpi);
    ClientImage row;
    row.width = 5 * w + 6 * gap;
    row.height = h + 2 * gap;
    row.pixels.assign(static_cast<std::size_t>(row.width) * row.height, 0xFFFFFF);
    for (int i = 0; i < 5; ++i) {
        auto card = IconCardButton::create(host, GetModuleHandleW(nullptr), 1101 + i, kinds[i], std::nullopt, "card");
        if (!card) {
            ++failures;
            return;
        }
        MoveWindow((*card)->hwnd(), 0, 0, w, h, FALSE);
        setState(**card);
        const auto image = captureClient((*card)->hwnd());
        if (!image) {
            ++failures;
            return;
        }
        const int left = gap + i * (w + gap);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                row.pixels[static_cast<std::size_t>(y + gap) * row.width + left + x]
                    = image->pixels[static_cast<std::size_t>(y) * w + x];
        }
    }
    save(row, "cards-" + name);
}

void cardPictures(HWND host)
{
    cardRow(host, "normal", [](IconCardButton&) {});
    cardRow(host, "hot", [](IconCardButton& c) { SendMessageW(c.hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3)); });
    cardRow(host, "pressed", [](IconCardButton& c) {
        SendMessageW(c.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
        ReleaseCapture();
        SendMessageW(c.hwnd(), WM_KEYDOWN, VK_SPACE, 0); // pressed by the keyboard, no capture needed
    });
    cardRow(host, "disabled", [](IconCardButton& c) { EnableWindow(c.hwnd(), FALSE); });
    cardRow(host, "focused", [host](IconCardButton& c) {
        SetForegroundWindow(host);
        SetFocus(c.hwnd());
        SendMessageW(host, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    });
    _putenv_s("ZELMAR_UI_FORCE_ICON_FALLBACK", "1");
    ButtonIcons::instance().resetForTesting();
    cardRow(host, "normal-drawn-icons", [](IconCardButton&) {});
}

// Runs the thread's messages for a while so every child has painted.
void settle(HWND window)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    while (std::chrono::steady_clock::now() < until) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void captureWhole(HWND hwnd, const std::string& name)
{
    settle(hwnd);
    if (const auto image = captureOnScreen(hwnd, true))
        save(*image, name);
    else
        ++failures;
}

// The whole main window: empty, recording a few hundred rows, with the
// chart hidden, and the about window over it.
void mainWindowPictures(AppLanguage language)
{
    const std::string suffix = language == AppLanguage::enUS ? "-en" : "-zh";
    auto made = MainWindow::create(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE, language);
    if (!made) {
        std::fprintf(stderr, "main window: %s\n", made.error().c_str());
        ++failures;
        return;
    }
    auto& window = **made;
    window.setTitle(std::nullopt, false);
    captureWhole(window.hwnd(), "main-empty" + suffix);

    std::vector<Reading> rows;
    const double start = 1.7e9;
    for (int i = 0; i < 300; ++i) {
        const double v = 5.0 + 1.8 * std::sin(i / 23.0) + 0.4 * std::sin(i / 5.0);
        char text[16];
        std::snprintf(text, sizeof text, "%.3f", v);
        rows.push_back(reading(i == 150 ? "OL" : text, 2, 0, {}, 0, start + i));
    }
    window.setRowProvider([&rows](std::size_t i) -> std::optional<Reading> {
        if (i >= rows.size())
            return std::nullopt;
        return rows[i];
    });
    window.setConnection(ConnectionStatus::connected("DMM-5174K"));
    window.setChannelText(std::string(L10n::text(L10nKey::statusUsbHid, language)));
    window.reloadRecords(static_cast<std::int64_t>(rows.size()));
    window.setRecording(true);
    window.setTitle("bench-supply.zmd", true);
    window.lcdPanel().show(rows.back());
    window.setUpdateNotice(UpdateNotice { L10n::updateAvailable(language, "1.1.0"), true });
    captureWhole(window.hwnd(), "main-recording" + suffix);

    // An alarm in progress over the zoomed chart with its cursor: limits of
    // 4 V and 5.6 V, the display's frame, the status bar and the table red.
    {
        window.setLimits({ LimitsFor { 2, "V", { 4.0, 5.6, false } } });
        window.setAlarm(L10n::alarmStatus(language, "5.712", "V", true, "5.6"));
        const HWND chart = window.chartView().hwnd();
        RECT client {};
        GetClientRect(chart, &client);
        POINT at { client.right * 3 / 4, client.bottom / 2 };
        ClientToScreen(chart, &at);
        SendMessageW(chart, WM_MOUSEWHEEL, MAKEWPARAM(0, 3 * WHEEL_DELTA), MAKELPARAM(at.x, at.y));
        SendMessageW(chart, WM_TIMER, 1, 0); // at rest: antialiased
        SendMessageW(chart, WM_MOUSEMOVE, 0, MAKELPARAM(client.right * 2 / 3, client.bottom / 2));
        captureWhole(window.hwnd(), "main-alarm-zoomed" + suffix);
        // What File > Export Chart Image writes for that view.
        const std::vector<std::uint8_t> exported = window.chartPicture();
        std::ofstream picture(outputDir / ("chart-export" + suffix + "-" + std::to_string(uiDpi()) + "dpi.png"),
            std::ios::binary);
        picture.write(reinterpret_cast<const char*>(exported.data()), static_cast<std::streamsize>(exported.size()));
        if (exported.empty() || !picture)
            ++failures;
        SendMessageW(chart, WM_MOUSELEAVE, 0, 0);
        SendMessageW(chart, WM_LBUTTONDBLCLK, 0, 0);
        window.setAlarm(std::nullopt);
        window.setLimits({});
    }

    // The same under a dark high-contrast scheme, the chart with the focus.
    {
        constexpr std::array<int, 8> indices { COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_BTNFACE, COLOR_BTNTEXT,
            COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_GRAYTEXT, COLOR_HOTLIGHT };
        constexpr std::array<COLORREF, 8> dark { RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255),
            RGB(26, 235, 255), RGB(0, 0, 0), RGB(63, 242, 63), RGB(255, 255, 0) };
        std::array<COLORREF, 8> saved {};
        for (std::size_t i = 0; i < indices.size(); ++i)
            saved[i] = GetSysColor(indices[i]);
        SetEnvironmentVariableW(L"ZELMAR_TEST_HIGH_CONTRAST", L"1"); // Wine cannot switch the setting itself
        SetSysColors(static_cast<int>(indices.size()), indices.data(), dark.data());
        SetFocus(window.chartView().hwnd());
        SendMessageW(window.hwnd(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        captureWhole(window.hwnd(), "main-high-contrast" + suffix);
        SetEnvironmentVariableW(L"ZELMAR_TEST_HIGH_CONTRAST", nullptr);
        SetSysColors(static_cast<int>(indices.size()), indices.data(), saved.data());
    }

    window.setRecording(false);
    window.setUpdateNotice(std::nullopt);
    window.setChartVisible(false);
    captureWhole(window.hwnd(), "main-chart-hidden" + suffix);
    window.setChartVisible(true);

    AboutWindow::show(window.hwnd(), language, "1.0.0", [] {});
    if (HWND about = AboutWindow::openWindow()) {
        captureWhole(about, "about" + suffix);
        // Tab reaches the first link, which shows its focus.
        SendMessageW(about, WM_KEYDOWN, VK_TAB, 0);
        captureWhole(about, "about-focused-link" + suffix);
        DestroyWindow(about);
    }
    window.destroy();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: ui_screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    outputDir = argv[1];
    const HWND host = makeHost();
    lcdPictures(host);
    chartPictures(host);
    cardPictures(host);
    DestroyWindow(host);
    mainWindowPictures(AppLanguage::zhTW);
    mainWindowPictures(AppLanguage::enUS);
    return failures == 0 ? 0 : 1;
}
