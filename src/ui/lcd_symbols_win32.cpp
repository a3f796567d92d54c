#include "ui/lcd_symbols_win32.h"

#include "ui/gdi_objects_win32.h"

namespace zelmar::ui::win32 {

namespace {

POINT toPOINT(Point p)
{
    return { p.x, p.y };
}

} // namespace

void fillEllipse(HDC dc, const Rect& box, Rgb color, int penWidth)
{
    // Inside the frame: a wider pen would spill past the box, and the lamp
    // repaints only its box when it goes out.
    const UniquePen pen(CreatePen(PS_INSIDEFRAME, penWidth, colorRef(color)));
    const UniqueBrush brush(CreateSolidBrush(colorRef(color)));
    SelectGuard selectedPen(dc, pen.get());
    SelectGuard selectedBrush(dc, brush.get());
    Ellipse(dc, box.left, box.top, box.right, box.bottom);
}

void drawCentredText(HDC dc, std::wstring_view text, const Rect& box)
{
    RECT r = toRECT(box);
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
}

void drawDcSymbol(HDC dc, const DcSymbol& symbol, Rgb color)
{
    fillRect(dc, symbol.bar, color);
    for (const Rect& dash : symbol.dashes)
        fillRect(dc, dash, color);
}

void drawAcSymbol(HDC dc, const AcSymbol& symbol, Rgb color)
{
    const UniquePen pen(CreatePen(PS_SOLID, symbol.penWidth, colorRef(color)));
    SelectGuard selected(dc, pen.get());
    std::array<POINT, 33> points {};
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = toPOINT(symbol.points[i]);
    Polyline(dc, points.data(), static_cast<int>(points.size()));
}

void drawDiodeSymbol(HDC dc, const DiodeSymbol& symbol, Rgb color)
{
    fillRect(dc, symbol.line, color);
    const UniquePen pen(CreatePen(PS_SOLID, 1, colorRef(color)));
    const UniqueBrush brush(CreateSolidBrush(colorRef(color)));
    {
        SelectGuard selectedPen(dc, pen.get());
        SelectGuard selectedBrush(dc, brush.get());
        const POINT corners[3]
            = { toPOINT(symbol.triangle[0]), toPOINT(symbol.triangle[1]), toPOINT(symbol.triangle[2]) };
        Polygon(dc, corners, 3);
    }
    fillRect(dc, symbol.bar, color);
}

void drawContinuitySymbol(HDC dc, const ContinuitySymbol& symbol, Rgb color)
{
    fillRect(dc, symbol.dot, color);
    const UniquePen pen(CreatePen(PS_SOLID, symbol.penWidth, colorRef(color)));
    SelectGuard selected(dc, pen.get());
    const int cx = symbol.centre.x;
    const int cy = symbol.centre.y;
    for (const int r : symbol.radii) {
        // Counterclockwise from 45° below the horizontal to 45° above it.
        Arc(dc, cx - r, cy - r, cx + r, cy + r, cx + r, cy + r, cx + r, cy - r);
    }
}

void drawBatterySymbol(HDC dc, const BatterySymbol& symbol, Rgb color)
{
    frameRect(dc, symbol.body, symbol.outline, color);
    fillRect(dc, symbol.nub, color);
    if (symbol.level)
        fillRect(dc, *symbol.level, color);
}

void drawApoSymbol(HDC dc, const ApoSymbol& symbol, Rgb color)
{
    const UniquePen pen(CreatePen(PS_SOLID, symbol.penWidth, colorRef(color)));
    SelectGuard selected(dc, pen.get());
    const Rect& s = symbol.square;
    Arc(dc, s.left, s.top, s.right, s.bottom, symbol.arcStart.x, symbol.arcStart.y, symbol.arcEnd.x, symbol.arcEnd.y);
    MoveToEx(dc, symbol.strokeTop.x, symbol.strokeTop.y, nullptr);
    LineTo(dc, symbol.strokeBottom.x, symbol.strokeBottom.y);
}

} // namespace zelmar::ui::win32
