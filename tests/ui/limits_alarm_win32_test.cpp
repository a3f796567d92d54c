// Limits, the alarm and the statistics in the real main window under Wine:
// the limits dialog answered by a user's keys and clicks (a field that is no
// number, the limits in the wrong order, Cancel), an alarm turning the
// display's frame and the status bar red and a value cell of the table, the
// statistics line for the whole recording and for a zoomed view, and the
// chart's picture as a PNG of the chart's size.

#include "core/text_encoding.h"
#include "ui/chart_view_win32.h"
#include "ui/lcd_panel_win32.h"
#include "ui/limits_dialog_win32.h"
#include "ui/main_window_win32.h"
#include "ui/record_table_view_win32.h"
#include "main_window_fixture_win32.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#undef interface // objbase.h's, which the theme's font names use

#include <atomic>
#include <cstring>
#include <thread>

using namespace zelmar;
using namespace zelmar::ui;
using namespace zelmar::ui::win32;
using namespace zelmar::ui::win32::testing;

namespace {

// The limits dialog or a message box over it, as another thread sees them.
HWND limitsDialogOf(DWORD thread, bool wantMessageBox)
{
    struct Search {
        bool messageBox;
        HWND found = nullptr;
    } search { wantMessageBox };
    EnumThreadWindows(
        thread,
        [](HWND hwnd, LPARAM p) {
            auto& s = *reinterpret_cast<Search*>(p);
            wchar_t cls[16] {};
            GetClassNameW(hwnd, cls, 16);
            if (std::wstring_view(cls) != L"#32770" || !IsWindowVisible(hwnd))
                return TRUE;
            if ((GetDlgItem(hwnd, limitsLowField) != nullptr) != s.messageBox) {
                s.found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

template <typename Find> HWND waitFor(Find find)
{
    for (int i = 0; i < 2000; ++i) {
        if (HWND hwnd = find())
            return hwnd;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return nullptr;
}

Rgb alarmColour()
{
    return standardPalette().window.alarm;
}

} // namespace

// The user types, clicks OK on a wrong entry and is told why, mends it and
// the dialog answers; Cancel answers nothing.
TEST(LimitsDialog, AnswersWhatWasEnteredAndRefusesWhatIsNoLimit)
{
    Fixture f(AppLanguage::enUS);
    const DWORD ui = GetCurrentThreadId();
    std::atomic<int> refusals = 0;
    std::wstring shownLow;
    std::thread user([&] {
        HWND dialog = waitFor([&] { return limitsDialogOf(ui, false); });
        if (dialog == nullptr)
            return;
        wchar_t low[32] {};
        GetDlgItemTextW(dialog, limitsLowField, low, 32);
        shownLow = low;
        SetDlgItemTextW(dialog, limitsLowField, L" 1.5 ");
        SetDlgItemTextW(dialog, limitsHighField, L"two");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        for (const wchar_t* high : { L"1.0", L"2.5e0" }) {
            if (HWND box = waitFor([&] { return limitsDialogOf(ui, true); })) {
                ++refusals;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                waitFor([&] { return limitsDialogOf(ui, true) == nullptr ? dialog : nullptr; });
            }
            SetDlgItemTextW(dialog, limitsHighField, high);
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        }
    });
    const auto answer = askLimits(f.window->hwnd(), AppLanguage::enUS, "For DC Voltage [V]", Limits { 0.25, {}, true });
    user.join();
    EXPECT_EQ(shownLow, L"0.25"); // the dialog starts from the limits set
    EXPECT_EQ(refusals, 2); // "two" is no number; 1.5 above 1.0
    ASSERT_TRUE(answer);
    EXPECT_EQ(*answer, (Limits { 1.5, 2.5, true }));

    std::thread cancel([&] {
        if (HWND dialog = waitFor([&] { return limitsDialogOf(ui, false); }))
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(askLimits(f.window->hwnd(), AppLanguage::enUS, "For DC Voltage [V]", Limits {}));
    cancel.join();
}

// An alarm turns the display's frame and the status bar's alarm part red,
// and the values outside the limits in the table; it ends as it came.
TEST(Alarm, TheFrameTheStatusBarAndTheTableCellTurnRed)
{
    Fixture f(AppLanguage::enUS, 12); // rows of 1.234 V, some OL
    auto& w = *f.window;
    w.lcdPanel().show(volts(1.7e9, "14.00"));
    const Rgb alarm = alarmColour();
    EXPECT_EQ(count(picture(w.lcdPanel().hwnd()), { 0, 0, 4000, 4000 }, alarm), 0);
    w.setAlarm("Alarm: 14 V above the high limit 13 V");
    f.pump();
    const ClientImage lcd = picture(w.lcdPanel().hwnd());
    EXPECT_EQ(lcd.at(1, lcd.height / 2), alarm);
    EXPECT_EQ(lcd.at(lcd.width - 2, 1), alarm);
    EXPECT_EQ(w.statusText(1), "Alarm: 14 V above the high limit 13 V");
    RECT part {};
    SendMessageW(w.statusBar(), SB_GETRECT, 1, reinterpret_cast<LPARAM>(&part));
    const Rect alarmPart = fromRECT(part);
    EXPECT_GT(count(picture(w.statusBar()), alarmPart, alarm), alarmPart.width() * alarmPart.height() / 2);
    w.setAlarm(std::nullopt);
    f.pump();
    EXPECT_EQ(count(picture(w.lcdPanel().hwnd()), { 0, 0, 4000, 4000 }, alarm), 0);
    EXPECT_EQ(count(picture(w.statusBar()), alarmPart, alarm), 0);

    // The table marks the values above 1.0 V: the 1.234 rows, not the OL ones.
    const HWND list = w.recordTable().hwnd();
    RECT value {};
    ListView_GetSubItemRect(list, 0, valueColumn, LVIR_BOUNDS, &value);
    const auto markedIn = [&](int row) {
        RECT cell {};
        ListView_GetSubItemRect(list, row, valueColumn, LVIR_BOUNDS, &cell);
        return count(picture(list), fromRECT(cell), alarm);
    };
    EXPECT_EQ(markedIn(0), 0);
    w.setLimits({ LimitsFor { 2, "V", { std::nullopt, 1.0, false } } });
    f.pump();
    EXPECT_GT(markedIn(0), (value.right - value.left) * (value.bottom - value.top) / 3);
    EXPECT_EQ(markedIn(3), 0); // row 3 reads OL: no value to be outside
    w.setLimits({ LimitsFor { 2, "V", { std::nullopt, 2.0, false } } });
    f.pump();
    EXPECT_EQ(markedIn(0), 0);
}

// The statistics line says what the chart shows: the whole recording, or
// the zoomed view; the same figures as the logger's info.
TEST(Statistics, TheLineFollowsTheChartsView)
{
    Fixture f(AppLanguage::enUS);
    auto& w = *f.window;
    EXPECT_EQ(w.statisticsText(), "Statistics: no samples recorded yet.");
    const char* values[] = { "1.000", "2.000", "OL", "3.000", "6.000" };
    for (int i = 0; i < 5; ++i) {
        f.readings.push_back(volts(1.7e9 + i * 10, values[i]));
        w.appendRecord(f.readings.back(), i + 1);
    }
    EXPECT_EQ(w.statisticsText(),
        "Statistics (whole recording)  DC Voltage [V]:  count 5  min 1  max 6  mean 3  sd 2.16025  OL 1");
    f.pump();
    const Rect strip = w.contentLayout()->statistics;
    const ClientImage whole = picture(w.hwnd());
    EXPECT_GT(count(whole, strip, standardPalette().window.text), 50); // drawn
    // Zoomed into the first two samples: the figures of those alone.
    auto& chart = w.chartView();
    SendMessageW(chart.hwnd(), WM_KEYDOWN, VK_ADD, 0);
    SendMessageW(chart.hwnd(), WM_KEYDOWN, VK_ADD, 0);
    SendMessageW(chart.hwnd(), WM_KEYDOWN, VK_HOME, 0);
    EXPECT_NE(w.statisticsText().find("(whole recording)"), std::string::npos);
    for (int i = 0; i < 3; ++i)
        SendMessageW(chart.hwnd(), WM_KEYDOWN, VK_ADD, 0);
    for (int i = 0; i < 20; ++i) // a tenth of the view each, past the start
        SendMessageW(chart.hwnd(), WM_KEYDOWN, VK_LEFT, 0);
    EXPECT_EQ(chart.window().start, 1.7e9);
    EXPECT_EQ(w.statisticsText().substr(0, 26), "Statistics (visible range)");
    // Ten seconds at the start: the first two samples.
    EXPECT_NE(w.statisticsText().find("count 2  min 1  max 2  mean 1.5"), std::string::npos) << w.statisticsText();
}

// The chart's picture: a PNG of the chart's client size, without the
// cursor under the pointer.
TEST(ChartPicture, APngOfTheChartAsDrawn)
{
    Fixture f(AppLanguage::enUS, 40);
    auto& w = *f.window;
    const auto png = w.chartPicture();
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
    RECT client {};
    GetClientRect(w.chartView().hwnd(), &client);
    const auto big = [&](std::size_t at) {
        return static_cast<long>(png[at]) << 24 | static_cast<long>(png[at + 1]) << 16
            | static_cast<long>(png[at + 2]) << 8 | png[at + 3];
    };
    EXPECT_EQ(big(16), client.right);
    EXPECT_EQ(big(20), client.bottom);
    // The same picture with the pointer over the plot.
    const Rect plot = w.chartView().lastPlot();
    SendMessageW(w.chartView().hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(plot.left + 20, plot.top + 20));
    EXPECT_EQ(w.chartPicture(), png);
}
