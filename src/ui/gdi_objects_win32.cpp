#include "ui/gdi_objects_win32.h"

#include <algorithm>

namespace zelmar::ui::win32 {

void fillRect(HDC dc, const Rect& r, Rgb color)
{
    if (r.empty())
        return;
    // ExtTextOut with an opaque rectangle fills without creating a brush.
    const COLORREF previous = SetBkColor(dc, colorRef(color));
    const RECT rect = toRECT(r);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    SetBkColor(dc, previous);
}

void frameRect(HDC dc, const Rect& r, int thickness, Rgb color)
{
    const int t = std::max(thickness, 1);
    fillRect(dc, { r.left, r.top, r.right, std::min(r.top + t, r.bottom) }, color);
    fillRect(dc, { r.left, std::max(r.bottom - t, r.top), r.right, r.bottom }, color);
    fillRect(dc, { r.left, r.top, std::min(r.left + t, r.right), r.bottom }, color);
    fillRect(dc, { std::max(r.right - t, r.left), r.top, r.right, r.bottom }, color);
}

void drawFocusFrame(HDC dc, const Rect& client, Rgb color, int dpi)
{
    const int inset = scale(3, dpi);
    const Rect r { client.left + inset, client.top + inset, client.right - inset, client.bottom - inset };
    if (r.width() < 4 || r.height() < 4)
        return;
    // Dashes two pixels long on a one-pixel grid: as plain as the system's
    // focus rectangle, but in a colour of the window's own palette.
    const int dash = std::max(2, scale(2, dpi));
    const int line = scaleAtLeastOne(1, dpi);
    for (int x = r.left; x < r.right; x += 2 * dash) {
        const int end = std::min(x + dash, r.right);
        fillRect(dc, { x, r.top, end, r.top + line }, color);
        fillRect(dc, { x, r.bottom - line, end, r.bottom }, color);
    }
    for (int y = r.top; y < r.bottom; y += 2 * dash) {
        const int end = std::min(y + dash, r.bottom);
        fillRect(dc, { r.left, y, r.left + line, end }, color);
        fillRect(dc, { r.right - line, y, r.right, end }, color);
    }
}

} // namespace zelmar::ui::win32
