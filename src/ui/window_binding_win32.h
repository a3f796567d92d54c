#pragma once

// The one way the drawing components bind their C++ object to their window
// (Windows build only): the object comes in lpCreateParams, is stored in
// GWLP_USERDATA at WM_NCCREATE and dropped at WM_NCDESTROY; every message in
// between goes to its onMessage. Also the paint messages all of them answer
// the same way: WM_PAINT through a back buffer, WM_PRINTCLIENT into the DC
// given, and no background erase.

#include "core/diagnostic_log.h"
#include "core/win32_error.h"
#include "ui/gdi_objects_win32.h"

#include <windows.h>

#include <exception>
#include <expected>
#include <string>

namespace zelmar::ui::win32 {

// Window must have `HWND hwnd_` and `LRESULT onMessage(UINT, WPARAM, LPARAM)`
// and befriend this function.
template <typename Window> LRESULT CALLBACK boundWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (self == nullptr)
            return FALSE; // created by class name alone: nothing to bind
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    try {
        return self->onMessage(message, wParam, lParam);
    } catch (const std::exception& e) {
        // Never unwind through the system's frames; the message gets its default.
        log::write(log::Module::ui, std::string("視窗訊息處理時發生例外：") + e.what());
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

struct ChildWindowClass {
    const wchar_t* name;
    UINT style;
    HBRUSH background; // null: none
    const char* what; // for error texts: "LCD panel", "chart", "card"
};

// Registers the class once per process (for this Window type) and creates
// the child bound to `self`; the error says which step failed and why.
template <typename Window>
std::expected<void, std::string> createChildWindow(Window& self, const ChildWindowClass& windowClass,
    HINSTANCE instance, HWND parent, int controlId, DWORD style, const wchar_t* text, int width, int height)
{
    static const bool registered = [&] {
        WNDCLASSEXW wc {};
        wc.cbSize = sizeof wc;
        wc.style = windowClass.style;
        wc.lpfnWndProc = &boundWindowProc<Window>;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = windowClass.background;
        wc.lpszClassName = windowClass.name;
        return RegisterClassExW(&wc) != 0;
    }();
    if (!registered)
        return std::unexpected(std::string(windowClass.what) + " class: " + zelmar::win32::lastErrorText());
    if (CreateWindowExW(0, windowClass.name, text, style, 0, 0, width, height, parent,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)), instance, &self)
        == nullptr)
        return std::unexpected(std::string(windowClass.what) + " window: " + zelmar::win32::lastErrorText());
    return {};
}

// Whether a window that has the focus draws it: always, once the user
// has used the keyboard in the window (the system hides focus cues until then).
inline bool showsKeyboardFocus(HWND hwnd) noexcept
{
    if (GetFocus() != hwnd)
        return false;
    return (SendMessageW(hwnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

// Answers WM_PAINT, WM_PRINTCLIENT and WM_ERASEBKGND for a window that
// paints itself with paint(dc, client); true when the message was one of them.
template <typename Window>
bool answerPaintMessage(Window& window, HWND hwnd, UINT message, WPARAM wParam, LRESULT& result)
{
    switch (message) {
    case WM_PAINT:
        paintBuffered(hwnd, [&window](HDC dc, const Rect& client) { window.paint(dc, client); });
        result = 0;
        return true;
    case WM_PRINTCLIENT: {
        RECT client {};
        GetClientRect(hwnd, &client);
        window.paint(reinterpret_cast<HDC>(wParam), fromRECT(client));
        result = 0;
        return true;
    }
    case WM_ERASEBKGND:
        result = 1;
        return true;
    default:
        return false;
    }
}

} // namespace zelmar::ui::win32
