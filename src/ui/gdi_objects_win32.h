#pragma once

// One owner per GDI object and device context (Windows build only), and the
// scope guards for selecting objects, borrowing a window's DC and painting.

#include "core/win32_handle.h"
#include "ui/geometry.h"

#include <windows.h>

#include <utility>

namespace zelmar::ui::win32 {

template <typename T> struct GdiObjectTraits {
    using Handle = T;
    static Handle invalid() noexcept { return nullptr; }
    static bool valid(Handle h) noexcept { return h != nullptr; }
    static void close(Handle h) noexcept { DeleteObject(h); }
};
using UniqueFont = zelmar::win32::UniqueHandle<GdiObjectTraits<HFONT>>;
using UniqueBrush = zelmar::win32::UniqueHandle<GdiObjectTraits<HBRUSH>>;
using UniquePen = zelmar::win32::UniqueHandle<GdiObjectTraits<HPEN>>;
using UniqueBitmap = zelmar::win32::UniqueHandle<GdiObjectTraits<HBITMAP>>;

struct MemoryDcTraits {
    using Handle = HDC;
    static Handle invalid() noexcept { return nullptr; }
    static bool valid(Handle h) noexcept { return h != nullptr; }
    static void close(Handle h) noexcept { DeleteDC(h); }
};
using UniqueMemoryDc = zelmar::win32::UniqueHandle<MemoryDcTraits>;

// Selects an object into a DC and puts the previous one back at scope end.
class SelectGuard {
public:
    SelectGuard(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc)
        , previous_(object != nullptr ? SelectObject(dc, object) : nullptr)
    {
    }
    ~SelectGuard()
    {
        if (previous_ != nullptr)
            SelectObject(dc_, previous_);
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A window's client DC for the length of a scope.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) noexcept
        : hwnd_(hwnd)
        , dc_(GetDC(hwnd))
    {
    }
    ~WindowDc()
    {
        if (dc_ != nullptr)
            ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    [[nodiscard]] HDC get() const noexcept { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

class PaintGuard {
public:
    explicit PaintGuard(HWND hwnd) noexcept
        : hwnd_(hwnd)
        , dc_(BeginPaint(hwnd, &ps_))
    {
    }
    ~PaintGuard() { EndPaint(hwnd_, &ps_); }
    PaintGuard(const PaintGuard&) = delete;
    PaintGuard& operator=(const PaintGuard&) = delete;
    [[nodiscard]] HDC get() const noexcept { return dc_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_ {};
    HDC dc_;
};

[[nodiscard]] inline RECT toRECT(const Rect& r) noexcept
{
    return { r.left, r.top, r.right, r.bottom };
}
[[nodiscard]] inline Rect fromRECT(const RECT& r) noexcept
{
    return { r.left, r.top, r.right, r.bottom };
}
[[nodiscard]] inline COLORREF colorRef(Rgb c) noexcept
{
    return c.colorRef();
}

void fillRect(HDC dc, const Rect& r, Rgb color);
// A frame `thickness` wide along the inside of the rectangle.
void frameRect(HDC dc, const Rect& r, int thickness, Rgb color);
// The keyboard focus of a custom window: a dotted rectangle just inside its
// client edge, in a colour the palette pairs with the window's background.
void drawFocusFrame(HDC dc, const Rect& client, Rgb color, int dpi);

// Paints the window's client through an off-screen bitmap copied in one
// BitBlt; paints straight into the window's DC when the client is empty or
// the bitmap cannot be made. `draw` paints into the DC it is given.
template <typename Draw> void paintBuffered(HWND hwnd, Draw&& draw)
{
    PaintGuard paint(hwnd);
    RECT client {};
    GetClientRect(hwnd, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width > 0 && height > 0) {
        UniqueMemoryDc memory(CreateCompatibleDC(paint.get()));
        UniqueBitmap bitmap(memory ? CreateCompatibleBitmap(paint.get(), width, height) : nullptr);
        if (bitmap) {
            {
                SelectGuard selected(memory.get(), bitmap.get());
                draw(memory.get(), fromRECT(client));
                BitBlt(paint.get(), 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
            }
            return;
        }
    }
    draw(paint.get(), fromRECT(client));
}

} // namespace zelmar::ui::win32
