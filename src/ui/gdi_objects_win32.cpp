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

} // namespace zelmar::ui::win32
