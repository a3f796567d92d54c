#pragma once

// A main window of its own for a window test, with a row source of
// generated readings, and the thread's messages pumped through its keys.

#include "core/reading.h"
#include "ui/geometry.h"
#include "ui/main_window_win32.h"
#include "ui/theme_win32.h"
#include "window_test_support_win32.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace zelmar::ui::win32::testing {

inline Reading volts(double t, std::string_view text = "1.234")
{
    return Reading(t, 2, 0, text, {}, 0);
}

// A main window with a row source of `rows` generated readings.
struct Fixture {
    explicit Fixture(AppLanguage language = AppLanguage::zhTW, std::size_t rows = 0)
        : window(require(MainWindow::create(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE, language)))
    {
        for (std::size_t i = 0; i < rows; ++i)
            readings.push_back(volts(1.7e9 + static_cast<double>(i), i % 7 == 3 ? "OL" : "1.234"));
        window->setRowProvider([this](std::size_t row) -> std::optional<Reading> {
            if (row >= readings.size())
                return std::nullopt;
            return readings[row];
        });
        if (rows != 0)
            window->reloadRecords(static_cast<std::int64_t>(rows));
        resizeClient(1200, 820);
    }

    void resizeClient(int width, int height)
    {
        RECT r { 0, 0, scale(width, uiDpi()), scale(height, uiDpi()) };
        AdjustWindowRectEx(&r, GetWindowLongW(window->hwnd(), GWL_STYLE), TRUE, 0);
        SetWindowPos(window->hwnd(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
            SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        pump();
    }

    void pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (window->preTranslate(msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    std::vector<Reading> readings;
    std::unique_ptr<MainWindow> window;
};


} // namespace zelmar::ui::win32::testing
