#pragma once

// What the window tests share: pixel counting, pictures, and pumping the
// thread's messages until something has happened.

#include "ui/window_capture_win32.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <expected>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

namespace zelmar::ui::win32::testing {

inline int count(const ClientImage& image, const Rect& r, Rgb color)
{
    int n = 0;
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, image.height); ++y) {
        for (int x = std::max(r.left, 0); x < std::min(r.right, image.width); ++x)
            n += image.at(x, y) == color;
    }
    return n;
}

// A component or window the test cannot go on without: a failure to make it
// ends the test with the reason instead of a crash further on.
template <typename T> T require(std::expected<T, std::string> made)
{
    if (!made)
        throw std::runtime_error(made.error());
    return std::move(*made);
}

inline ClientImage picture(HWND hwnd)
{
    auto image = captureClient(hwnd);
    if (!image)
        throw std::runtime_error("the window cannot be captured");
    return std::move(*image);
}

// Runs the thread's messages until the condition holds or a long deadline
// passes; the deadline only stops a broken test, it measures nothing.
template <typename Condition> bool pumpUntil(Condition done, const std::function<bool(MSG&)>& preTranslate = {})
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (preTranslate && preTranslate(msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

// A visible dialog ("#32770") of the given thread, as a helper thread sees
// it; only this process's windows are looked at.
inline HWND visibleDialogOf(DWORD threadId)
{
    HWND dialog = nullptr;
    EnumThreadWindows(
        threadId,
        [](HWND hwnd, LPARAM found) {
            wchar_t cls[16] {};
            GetClassNameW(hwnd, cls, 16);
            if (std::wstring_view(cls) == L"#32770" && IsWindowVisible(hwnd)) {
                *reinterpret_cast<HWND*>(found) = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&dialog));
    return dialog;
}

} // namespace zelmar::ui::win32::testing
