#include "ui/lcd_panel_win32.h"

#include "core/text_encoding.h"
#include "core/win32_error.h"
#include "ui/lcd_symbols_win32.h"
#include "ui/theme_win32.h"
#include "ui/window_binding_win32.h"

#include <oleacc.h>

#include <algorithm>
#include <array>

namespace zelmar::ui::win32 {

namespace {

constexpr wchar_t className[] = L"DMM5174KLcdPanelClass";
constexpr UINT_PTR lampTimer = 1;
constexpr UINT lampPulseMs = 130;

Rgb litOr(const Palette::Lcd& colors, bool lit, Rgb unlit)
{
    return lit ? colors.lit : unlit;
}

SIZE textSize(HDC dc, std::wstring_view text)
{
    SIZE size {};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size;
}

// The panel's labels as UTF-16, converted once.
const std::wstring& headerLabel(std::size_t i)
{
    static const auto labels = [] {
        std::array<std::wstring, headerLabels.size()> out;
        for (std::size_t k = 0; k < out.size(); ++k)
            out[k] = text::utf8ToWide(headerLabels[k]);
        return out;
    }();
    return labels[i];
}

const std::wstring& unitText(UnitFlag flag)
{
    static const auto labels = [] {
        std::array<std::wstring, unitFlagCount> out;
        for (int k = 0; k < unitFlagCount; ++k)
            out[k] = text::utf8ToWide(unitLabel(static_cast<UnitFlag>(k)));
        return out;
    }();
    return labels[static_cast<std::size_t>(flag)];
}

std::wstring glyphText(char32_t c)
{
    if (c < 0x10000)
        return std::wstring(1, static_cast<wchar_t>(c));
    const char32_t v = c - 0x10000;
    return { static_cast<wchar_t>(0xD800 + (v >> 10)), static_cast<wchar_t>(0xDC00 + (v & 0x3FF)) };
}

} // namespace

std::expected<std::unique_ptr<LcdPanel>, std::string> LcdPanel::create(HWND parent, int controlId)
{
    std::unique_ptr<LcdPanel> panel(new LcdPanel());
    const ChildWindowClass windowClass { className, CS_HREDRAW | CS_VREDRAW, nullptr, "LCD panel" };
    if (auto created = createChildWindow(*panel, windowClass, GetModuleHandleW(nullptr), parent, controlId,
            WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP, L"", 100, 100);
        !created)
        return std::unexpected(created.error());
    panel->accessible_ = std::make_unique<AccessibleWindow>(panel->hwnd_, [self = panel.get()] {
        return self->accessibleFacts();
    });
    return panel;
}

LcdPanel::~LcdPanel()
{
    accessible_.reset();
    if (hwnd_ != nullptr)
        DestroyWindow(hwnd_);
}

LRESULT LcdPanel::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LRESULT result = 0; answerPaintMessage(*this, hwnd_, message, wParam, result))
        return result;
    switch (message) {
    case WM_TIMER:
        if (wParam == lampTimer) {
            endPulse();
            return 0;
        }
        break;
    case WM_GETOBJECT:
        if (LRESULT result = 0; accessible_ && accessible_->answer(wParam, lParam, result))
            return result;
        break;
    case WM_SETFOCUS:
        announcer_.reset();
        InvalidateRect(hwnd_, nullptr, FALSE);
        break;
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE:
        InvalidateRect(hwnd_, nullptr, FALSE);
        break;
    case WM_LBUTTONDOWN:
        SetFocus(hwnd_);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void LcdPanel::show(const Reading& reading)
{
    setState(lcdStateFrom(reading));
    activityLit_ = true;
    invalidateLamp();
    if (hwnd_ != nullptr)
        SetTimer(hwnd_, lampTimer, lampPulseMs, nullptr);
}

void LcdPanel::showDisconnected()
{
    if (hwnd_ != nullptr)
        KillTimer(hwnd_, lampTimer);
    if (activityLit_) {
        activityLit_ = false;
        invalidateLamp();
    }
    setState(placeholderLcdState());
}

void LcdPanel::endPulse()
{
    KillTimer(hwnd_, lampTimer);
    activityLit_ = false;
    invalidateLamp();
}

void LcdPanel::setState(LcdState state)
{
    if (state == state_)
        return;
    state_ = std::move(state);
    if (hwnd_ == nullptr)
        return;
    InvalidateRect(hwnd_, nullptr, FALSE);
    if (GetFocus() == hwnd_ && announcer_.shouldAnnounce(spokenText(), static_cast<std::int64_t>(GetTickCount64())))
        accessible_->notify(EVENT_OBJECT_VALUECHANGE);
}

void LcdPanel::setAlarm(std::optional<std::string> alarm)
{
    if (alarm == alarm_)
        return;
    alarm_ = std::move(alarm);
    if (hwnd_ == nullptr)
        return;
    InvalidateRect(hwnd_, nullptr, FALSE);
    accessible_->notify(EVENT_OBJECT_VALUECHANGE);
}

AccessibleFacts LcdPanel::accessibleFacts() const
{
    AccessibleFacts facts;
    facts.name = text::utf8ToWide(L10n::text(L10nKey::accessibleMeterDisplay, language_));
    facts.role = ROLE_SYSTEM_TEXT;
    facts.value = text::utf8ToWide(spokenText());
    facts.state = STATE_SYSTEM_READONLY;
    return facts;
}

void LcdPanel::invalidateLamp()
{
    if (hwnd_ == nullptr)
        return;
    RECT client {};
    GetClientRect(hwnd_, &client);
    const RECT lamp = toRECT(lcdGeometry(fromRECT(client), uiDpi()).lamp);
    InvalidateRect(hwnd_, &lamp, FALSE);
}

void LcdPanel::paint(HDC dc, const Rect& client)
{
    const int dpi = uiDpi();
    const LcdGeometry g = lcdGeometry(client, dpi);
    palette_ = activePalette();
    fillRect(dc, client, palette_.lcd.background);
    if (alarm_.has_value())
        frameRect(dc, client, scale(4, dpi), palette_.lcd.alarmFrame);
    else
        frameRect(dc, client, scale(2, dpi), palette_.lcd.frame);
    if (g.inner.empty())
        return;
    SetBkMode(dc, TRANSPARENT);
    paintHeader(dc, g, dpi);
    paintLamp(dc, g, dpi);
    paintLeftColumn(dc, g, dpi);
    paintBar(dc, g, dpi);
    paintUnits(dc, g, dpi);
    paintDigits(dc, g);
    if (showsKeyboardFocus(hwnd_))
        drawFocusFrame(dc, client, palette_.lcd.focus, dpi);
}

void LcdPanel::paintHeader(HDC dc, const LcdGeometry& g, int dpi)
{
    SelectGuard font(dc, themeFont(ThemeFont::header));
    std::array<int, 4> widths {};
    std::array<int, 4> heights {};
    for (std::size_t i = 0; i < headerLabels.size(); ++i) {
        const SIZE size = textSize(dc, headerLabel(i));
        widths[i] = size.cx;
        heights[i] = size.cy;
    }
    const std::array<bool, 4> on = { state_.autoRange, state_.hold, state_.maxHold, state_.minHold };
    const std::vector<int> xs = headerLabelPositions(g.header, widths, dpi);
    for (std::size_t i = 0; i < xs.size(); ++i) {
        SetTextColor(dc, colorRef(litOr(palette_.lcd, on[i] && state_.connected, palette_.lcd.unlitText)));
        const std::wstring& label = headerLabel(i);
        TextOutW(dc, xs[i], g.header.top + (g.header.height() - heights[i]) / 2, label.data(),
            static_cast<int>(label.size()));
    }
}

void LcdPanel::paintLamp(HDC dc, const LcdGeometry& g, int dpi)
{
    const Rgb color = activityLit_ ? palette_.lcd.lampLit : palette_.lcd.ghost;
    fillEllipse(dc, g.lamp, color, std::max(1, scale(1, dpi)));
}

void LcdPanel::paintLeftColumn(HDC dc, const LcdGeometry& g, int dpi)
{
    SelectGuard font(dc, themeFont(ThemeFont::label));
    const std::array<Rect, 5> rows = leftColumnRows(g.leftColumn);
    const std::array<bool, 5> on
        = { state_.isDC, state_.isAC, state_.barNegative, state_.isDiode, state_.isContinuity };
    for (int i = 0; i < 5; ++i) {
        const Rgb color = litOr(palette_.lcd, on[i] && state_.connected, palette_.lcd.unlitText);
        SetTextColor(dc, colorRef(color));
        const Rect& row = rows[i];
        if (i < 2) {
            const std::wstring_view text = i == 0 ? L"DC" : L"AC";
            const auto block = symbolWithText(row, textSize(dc, text).cy, dpi);
            if (block) {
                if (i == 0)
                    drawDcSymbol(dc, dcSymbol(block->symbol, dpi), color);
                else
                    drawAcSymbol(dc, acSymbol(block->symbol, dpi), color);
                drawCentredText(dc, text, block->text);
            } else {
                drawCentredText(dc, text, row);
            }
        } else if (i == 2) {
            drawCentredText(dc, L"\u2212", row);
        } else if (i == 3) {
            if (const auto diode = diodeSymbol(row, dpi))
                drawDiodeSymbol(dc, *diode, color);
        } else if (const auto continuity = continuitySymbol(row, dpi)) {
            drawContinuitySymbol(dc, *continuity, color);
        }
    }
}

void LcdPanel::paintBar(HDC dc, const LcdGeometry& g, int dpi)
{
    const BarGraphGeometry bar = barGraphGeometry(g.barStrip, dpi);
    const int lit = state_.connected ? state_.bar : 0;
    for (std::size_t i = 0; i < bar.segments.size(); ++i)
        fillRect(dc, bar.segments[i], static_cast<int>(i) < lit ? palette_.lcd.lit : palette_.lcd.ghost);
    for (const Rect& tick : bar.ticks)
        fillRect(dc, tick, palette_.lcd.tick);
}

void LcdPanel::paintUnits(HDC dc, const LcdGeometry& g, int dpi)
{
    SelectGuard font(dc, themeFont(ThemeFont::label));
    const UnitFlags lit = litUnits(state_);
    const auto drawRow = [&](std::span<const UnitFlag> flags, const Rect& row, const std::vector<int>& xs,
                             std::span<const SIZE> sizes) {
        for (std::size_t i = 0; i < xs.size(); ++i) {
            const std::wstring& label = unitText(flags[i]);
            SetTextColor(dc, colorRef(litOr(palette_.lcd, has(lit, flags[i]), palette_.lcd.unlitText)));
            TextOutW(
                dc, xs[i], row.top + (row.height() - sizes[i].cy) / 2, label.data(), static_cast<int>(label.size()));
        }
    };
    std::array<SIZE, unitRow1.size()> sizes1 {};
    std::array<int, unitRow1.size()> widths1 {};
    for (std::size_t i = 0; i < unitRow1.size(); ++i) {
        sizes1[i] = textSize(dc, unitText(unitRow1[i]));
        widths1[i] = sizes1[i].cx;
    }
    drawRow(unitRow1, g.unitRow1, unitRow1Positions(g.inner, widths1, dpi), sizes1);
    std::array<SIZE, unitRow2.size()> sizes2 {};
    std::array<int, unitRow2.size()> widths2 {};
    for (std::size_t i = 0; i < unitRow2.size(); ++i) {
        sizes2[i] = textSize(dc, unitText(unitRow2[i]));
        widths2[i] = sizes2[i].cx;
    }
    drawRow(unitRow2, g.unitRow2, unitRow2Positions(g.inner, widths2, dpi), sizes2);

    const StatusIconBoxes boxes = statusIconBoxes(g.inner, g.unitRow1, dpi);
    const bool batteryLit = state_.connected && state_.lowBattery;
    drawBatterySymbol(dc, batterySymbol(boxes.battery, batteryLit, dpi), litOr(palette_.lcd, batteryLit, palette_.lcd.unlitText));
    if (const auto apo = apoSymbol(boxes.apo, dpi))
        drawApoSymbol(dc, *apo, litOr(palette_.lcd, state_.connected && state_.apo, palette_.lcd.unlitText));
}

const LcdPanel::DigitLayout& LcdPanel::digitLayout(HDC dc, const Rect& area)
{
    const std::pair<int, int> key { area.width(), area.height() };
    if (digitLayout_ && digitLayoutKey_ == key)
        return *digitLayout_;
    const auto measure = [dc](int height) {
        DigitLayout layout { UniqueFont(createThemeFont(lcdFaceName(), height, FW_BOLD)), {}, height };
        SelectGuard font(dc, layout.font.get());
        const SIZE eight = textSize(dc, L"8");
        const int dotAdvance = textSize(dc, L".").cx;
        // The point's ink may reach past its advance (a negative C width),
        // and its smoothed edge a pixel further.
        int overhang = 2;
        if (ABC abc {}; GetCharABCWidthsW(dc, L'.', L'.', &abc))
            overhang += std::max(0, -abc.abcC);
        layout.metrics = { eight.cx, dotAdvance, eight.cy, overhang };
        return layout;
    };
    const int height = lcdFontHeight(area.height());
    DigitLayout layout = measure(height);
    const int required = requiredDigitWidth(layout.metrics);
    if (required > area.width())
        layout = measure(refittedFontHeight(height, area.width(), required));
    // The old font may no longer be selected anywhere before it goes.
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    digitLayout_ = std::move(layout);
    digitLayoutKey_ = key;
    return *digitLayout_;
}

void LcdPanel::paintDigits(HDC dc, const LcdGeometry& g)
{
    const Rect& area = g.digits;
    if (area.width() < 21 || area.height() < 17)
        return;
    const DigitLayout& layout = digitLayout(dc, area);
    SelectGuard font(dc, layout.font.get());
    const RECT clip = toRECT(area);
    const auto out = [&](int x, int y, std::wstring_view text, Rgb color) {
        SetTextColor(dc, colorRef(color));
        ExtTextOutW(dc, x, y, ETO_CLIPPED, &clip, text.data(), static_cast<UINT>(text.size()), nullptr);
    };
    const DigitCells cells = digitCells(state_.text);
    if (cells.overflow) {
        // Drawn whole: a smaller font when the digits' own is too wide.
        const std::wstring text = text::utf8ToWide(overflowText(state_.text));
        SIZE size = textSize(dc, text);
        std::optional<UniqueFont> smaller;
        std::optional<SelectGuard> selected;
        for (int height = layout.height; size.cx > area.width() && height > 8;) {
            height = std::min(height - 1, overflowFontHeight(height, area.width(), size.cx));
            selected.reset();
            smaller.emplace(createThemeFont(lcdFaceName(), height, FW_BOLD));
            selected.emplace(dc, smaller->get());
            size = textSize(dc, text);
        }
        out(overflowTextLeft(area, size.cx), area.top + (area.height() - size.cy) / 2, text, palette_.lcd.lit);
    } else {
        const DigitAreaGeometry d = digitAreaGeometry(area, layout.metrics);
        if (lcdFaceIsSevenSegment()) {
            for (const DigitPosition& p : d.positions) {
                out(p.glyphX, d.glyphTop, L"8", palette_.lcd.ghost);
                out(p.dotX, d.glyphTop, L".", palette_.lcd.ghost);
            }
            fillRect(dc, d.minusBar, palette_.lcd.ghost);
        }
        const std::size_t first = 4 - cells.cells.size();
        for (std::size_t i = 0; i < cells.cells.size(); ++i) {
            const DigitPosition& p = d.positions[first + i];
            const std::wstring glyph = glyphText(cells.cells[i].glyph);
            out(p.glyphX, d.glyphTop, glyph, palette_.lcd.lit);
            if (cells.cells[i].dot)
                out(p.dotX, d.glyphTop, L".", palette_.lcd.lit);
        }
        if (cells.negative)
            fillRect(dc, d.minusBar, palette_.lcd.lit);
    }
}

} // namespace zelmar::ui::win32
