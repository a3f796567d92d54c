#pragma once

// Plain-GDI drawing of the LCD's symbols from their computed shapes
// (Windows build only).

#include "ui/lcd_model.h"

#include <array>

#include <windows.h>

#include <string_view>

namespace zelmar::ui::win32 {

void fillEllipse(HDC dc, const Rect& box, Rgb color, int penWidth);
// One line of text centred both ways in the box, in the DC's text colour.
void drawCentredText(HDC dc, std::wstring_view text, const Rect& box);

void drawDcSymbol(HDC dc, const DcSymbol& symbol, Rgb color);
void drawAcSymbol(HDC dc, const AcSymbol& symbol, Rgb color);
void drawDiodeSymbol(HDC dc, const DiodeSymbol& symbol, Rgb color);
void drawContinuitySymbol(HDC dc, const ContinuitySymbol& symbol, Rgb color);
void drawBatterySymbol(HDC dc, const BatterySymbol& symbol, Rgb color);
void drawApoSymbol(HDC dc, const ApoSymbol& symbol, Rgb color);

} // namespace zelmar::ui::win32
