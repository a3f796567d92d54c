#include "ui/lcd_model.h"

#include "core/text_encoding.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zelmar::ui {

LcdState placeholderLcdState()
{
    return LcdState {};
}

LcdState lcdStateFrom(const Reading& reading)
{
    const DmmFunction function = reading.function();
    const DmmFlags& flags = reading.flags();
    LcdState state;
    state.connected = true;
    state.text = reading.text().empty() ? std::string("----") : reading.text();
    state.isAC = function.isAC();
    state.isDC = function.isDC();
    state.isDiode = function.isDiode();
    state.isContinuity = function.isContinuity();
    state.isLPF = function.isLPF();
    state.unit = reading.unit();
    state.autoRange = !flags.manualRange;
    state.hold = flags.hold;
    state.maxHold = flags.max;
    state.minHold = flags.min;
    state.rel = flags.rel;
    state.lowBattery = flags.lowBattery;
    state.apo = flags.apo;
    state.barNegative = flags.barNegative;
    state.bar = std::clamp(reading.barGraph(), 0, 30);
    return state;
}

std::string lcdSpokenText(const LcdState& state, AppLanguage language)
{
    if (!state.connected)
        return std::string(L10n::text(L10nKey::statusDisconnected, language));
    std::string spoken = state.text;
    const auto add = [&spoken](std::string_view word) {
        if (!word.empty())
            spoken.append(spoken.empty() ? "" : " ").append(word);
    };
    add(state.unit);
    add(state.isAC ? "AC" : "");
    add(state.isDC ? "DC" : "");
    add(state.isDiode ? L10n::text(L10nKey::accessibleDiode, language) : "");
    add(state.isContinuity ? L10n::text(L10nKey::accessibleContinuity, language) : "");
    add(state.isLPF ? "LPF" : "");
    add(state.autoRange ? "AUTO" : "");
    add(state.hold ? "HOLD" : "");
    add(state.maxHold ? "MAX" : "");
    add(state.minHold ? "MIN" : "");
    add(state.rel ? "REL" : "");
    add(state.lowBattery ? L10n::text(L10nKey::accessibleLowBattery, language) : "");
    return spoken;
}

bool ReadingAnnouncer::shouldAnnounce(std::string_view text, std::int64_t nowMs)
{
    if (last_ && (last_->text == text || nowMs - last_->atMs < minimumGapMs))
        return false;
    last_ = Announced { std::string(text), nowMs };
    return true;
}

std::string_view unitLabel(UnitFlag flag) noexcept
{
    switch (flag) {
    case UnitFlag::vfc:
        return "VFC";
    case UnitFlag::delta:
        return "\u0394";
    case UnitFlag::mega:
        return "M";
    case UnitFlag::kilo:
        return "k";
    case UnitFlag::ohm:
        return "\u03A9";
    case UnitFlag::hertz:
        return "Hz";
    case UnitFlag::nano:
        return "n";
    case UnitFlag::milli:
        return "m";
    case UnitFlag::volt:
        return "V";
    case UnitFlag::micro:
        return "\u00B5";
    case UnitFlag::ampere:
        return "A";
    case UnitFlag::farad:
        return "F";
    case UnitFlag::celsius:
        return "\u2103";
    case UnitFlag::fahrenheit:
        return "\u2109";
    case UnitFlag::percent:
        return "%";
    }
    return "";
}

bool has(const UnitFlags& flags, UnitFlag flag) noexcept
{
    return flags.test(static_cast<std::size_t>(flag));
}

namespace {

// The text as code points; a byte that is not valid UTF-8 stands for itself.
std::u32string codePoints(std::string_view text)
{
    std::u32string out;
    const std::u16string wide = text::utf8ToUtf16(text);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const char16_t c = wide[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
            out.push_back(0x10000 + ((char32_t { c } - 0xD800) << 10) + (char32_t { wide[i + 1] } - 0xDC00));
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

void set(UnitFlags& flags, UnitFlag flag)
{
    flags.set(static_cast<std::size_t>(flag));
}

std::optional<UnitFlag> prefixFlag(char32_t c)
{
    switch (c) {
    case U'M':
        return UnitFlag::mega;
    case U'K':
    case U'k':
        return UnitFlag::kilo;
    case U'n':
        return UnitFlag::nano;
    case U'm':
        return UnitFlag::milli;
    case U'\u00B5':
    case U'u':
        return UnitFlag::micro;
    default:
        return std::nullopt;
    }
}

std::optional<UnitFlag> baseFlag(std::u32string_view base)
{
    if (base == U"\u03A9")
        return UnitFlag::ohm;
    if (base == U"Hz")
        return UnitFlag::hertz;
    if (base == U"V")
        return UnitFlag::volt;
    if (base == U"A")
        return UnitFlag::ampere;
    if (base == U"F")
        return UnitFlag::farad;
    if (base == U"\u00B0C" || base == U"\u2103")
        return UnitFlag::celsius;
    if (base == U"\u00B0F" || base == U"\u2109")
        return UnitFlag::fahrenheit;
    if (base == U"%")
        return UnitFlag::percent;
    return std::nullopt;
}

bool isDigit(char32_t c)
{
    return (c >= U'0' && c <= U'9') || (c >= U'\uFF10' && c <= U'\uFF19');
}

} // namespace

UnitFlags litUnits(const LcdState& state)
{
    UnitFlags flags;
    if (!state.connected)
        return flags;
    if (state.isLPF)
        set(flags, UnitFlag::vfc);
    if (state.rel)
        set(flags, UnitFlag::delta);
    const std::u32string unit = codePoints(state.unit);
    std::u32string_view base = unit;
    // Only a recognised prefix is split off: "Hz" and "°C" are bases whole.
    if (unit.size() >= 2) {
        if (const auto prefix = prefixFlag(unit.front())) {
            set(flags, *prefix);
            base.remove_prefix(1);
        }
    }
    if (const auto flag = baseFlag(base))
        set(flags, *flag);
    return flags;
}

DigitCells digitCells(std::string_view text)
{
    DigitCells result;
    std::u32string chars = codePoints(text);
    std::u32string_view rest = chars;
    if (!rest.empty() && rest.front() == U'-' && std::any_of(rest.begin() + 1, rest.end(), isDigit)) {
        result.negative = true;
        rest.remove_prefix(1);
    }
    for (const char32_t c : rest) {
        if (c == U'.' || c == U',') {
            if (result.cells.empty())
                result.cells.push_back({ U' ', true });
            else
                result.cells.back().dot = true;
        } else {
            result.cells.push_back({ c == U'O' ? U'0' : c, false });
        }
    }
    result.overflow = result.cells.size() >= 5;
    return result;
}

LcdGeometry lcdGeometry(Rect client, int dpi)
{
    const auto s = [dpi](int v) { return scale(v, dpi); };
    LcdGeometry g;
    g.client = client;
    g.inner = client.inset(s(7));
    const Rect& in = g.inner;
    if (in.empty())
        return g;
    const int diameter = s(9);
    const int cx = in.right - s(8);
    const int cy = in.top + s(11);
    g.lamp = { cx - diameter / 2, cy - diameter / 2, cx - diameter / 2 + diameter, cy - diameter / 2 + diameter };
    g.header = { in.left + s(48), in.top, g.lamp.left - s(6), in.top + s(22) };
    g.leftColumn = { in.left, in.top + s(22), in.left + s(44), in.bottom - s(53) };
    g.digits = { in.left + s(48), in.top + s(22), in.right, in.bottom - s(55) };
    g.barStrip = { in.left + s(48), in.bottom - s(53), in.right, in.bottom - s(40) };
    g.unitRow1 = { in.left, in.bottom - s(40), in.right, in.bottom - s(20) };
    g.unitRow2 = { in.left, in.bottom - s(20), in.right, in.bottom };
    return g;
}

std::vector<int> headerLabelPositions(Rect band, std::span<const int> widths, int dpi)
{
    std::vector<int> positions;
    int x = band.left;
    for (const int width : widths) {
        if (x + width > band.right)
            break;
        positions.push_back(x);
        x += width + scale(12, dpi);
    }
    return positions;
}

std::vector<int> unitRow1Positions(const Rect& inner, std::span<const int> widths, int dpi)
{
    std::vector<int> positions;
    int x = inner.left;
    const int limit = inner.right - scale(48, dpi);
    for (const int width : widths) {
        if (x >= limit)
            break;
        positions.push_back(x);
        x += width + scale(12, dpi);
    }
    return positions;
}

std::vector<int> unitRow2Positions(const Rect& inner, std::span<const int> widths, int dpi)
{
    const int gap = scale(14, dpi);
    int total = 0;
    for (const int width : widths)
        total += width;
    total += gap * static_cast<int>(widths.empty() ? 0 : widths.size() - 1);
    std::vector<int> positions;
    int x = std::max(inner.left, inner.right - total);
    for (const int width : widths) {
        positions.push_back(x);
        x += width + gap;
    }
    return positions;
}

StatusIconBoxes statusIconBoxes(const Rect& inner, const Rect& row1, int dpi)
{
    const int height = std::max(std::min(scale(12, dpi), row1.height() - 2), 4);
    const int top = row1.top + (row1.height() - height) / 2;
    return { { inner.right - scale(42, dpi), top, inner.right - scale(24, dpi), top + height },
        { inner.right - scale(18, dpi), top, inner.right, top + height } };
}

std::array<Rect, 5> leftColumnRows(const Rect& column)
{
    const int rh = column.height() / 5;
    std::array<Rect, 5> rows;
    for (int i = 0; i < 5; ++i)
        rows[i] = { column.left, column.top + i * rh, column.right, column.top + (i + 1) * rh };
    return rows;
}

std::optional<SymbolWithText> symbolWithText(const Rect& row, int textHeight, int dpi)
{
    const int sw = std::min(row.width() - scale(10, dpi), scale(28, dpi));
    const int sh = scale(9, dpi);
    const int gap = scale(3, dpi);
    const int block = sh + gap + textHeight;
    if (sw <= scale(8, dpi) || row.height() < block)
        return std::nullopt;
    const int x = row.left + (row.width() - sw) / 2;
    const int y = row.top + (row.height() - block) / 2;
    SymbolWithText out;
    out.symbol = { x, y, x + sw, y + sh };
    out.text = { row.left, y + sh + gap, row.right, y + block };
    return out;
}

BarGraphGeometry barGraphGeometry(const Rect& strip, int dpi)
{
    BarGraphGeometry g;
    if (strip.width() < 31 || strip.height() < 5)
        return g;
    const int gap = std::max(1, scale(1, dpi));
    const int width = std::max(1, (strip.width() - 29 * gap) / 30);
    const int height = std::max(2, strip.height() - 4);
    const int top = strip.top + (strip.height() - height) / 2;
    for (int i = 0; i < 30; ++i) {
        const int left = strip.left + i * (width + gap);
        g.segments.push_back({ left, top, left + width, top + height });
    }
    const int tickLength = scaleAtLeastOne(2, dpi);
    for (int i = 5; i < 30; i += 5) {
        const int left = g.segments[i].left - gap;
        g.ticks.push_back({ left, top + height, left + gap, top + height + tickLength });
    }
    return g;
}

int lcdFontHeight(int areaHeight) noexcept
{
    return std::max(static_cast<int>(areaHeight * 0.94), 8);
}

int requiredDigitWidth(const DigitMetrics& m) noexcept
{
    return 4 * (m.cellWidth + m.dotWidth) + (3 * m.cellWidth) / 5 + std::max(m.dotOverhang, 0);
}

int refittedFontHeight(int height, int areaWidth, int requiredWidth) noexcept
{
    if (requiredWidth <= 0)
        return height;
    return std::max(static_cast<int>(static_cast<double>(height) * areaWidth / requiredWidth), 8);
}

DigitAreaGeometry digitAreaGeometry(const Rect& area, const DigitMetrics& m)
{
    DigitAreaGeometry g;
    g.glyphTop = area.top + (area.height() - m.glyphHeight) / 2;
    const int pitch = m.cellWidth + m.dotWidth;
    const int first = area.right - 4 * pitch - std::max(m.dotOverhang, 0);
    for (int i = 0; i < 4; ++i)
        g.positions[i] = { first + i * pitch, first + i * pitch + m.cellWidth };
    const int length = 9 * m.cellWidth >= 40 ? 9 * m.cellWidth / 20 : 2;
    const int thickness = m.glyphHeight >= 24 ? m.glyphHeight / 12 : 2;
    const int right = first - m.cellWidth / 8;
    const int top = g.glyphTop + (m.glyphHeight - thickness) / 2;
    g.minusBar = { right - length, top, right, top + thickness };
    return g;
}

int overflowTextLeft(const Rect& area, int textWidth) noexcept
{
    return std::max(area.left, area.right - textWidth);
}

int overflowFontHeight(int digitHeight, int areaWidth, int textWidth) noexcept
{
    if (textWidth <= areaWidth || textWidth <= 0)
        return digitHeight;
    // Rounded down: text widths grow at most in proportion to the height.
    return std::max(static_cast<int>(static_cast<double>(digitHeight) * areaWidth / textWidth), 8);
}

std::string overflowText(std::string_view text)
{
    std::string out(text);
    std::replace(out.begin(), out.end(), 'O', '0');
    return out;
}

DcSymbol dcSymbol(const Rect& box, int dpi)
{
    const int w = box.width();
    const int t = scaleAtLeastOne(2, dpi);
    const int g = dpi == 96 ? (w >= 14 ? w / 7 : 2) : std::max(w / 7, scaleAtLeastOne(2, dpi));
    const int d = (w - 2 * g) / 3;
    DcSymbol s;
    s.bar = { box.left, box.top, box.right, box.top + t };
    const int y0 = box.bottom - t;
    s.dashes = { Rect { box.left, y0, box.left + d, box.bottom },
        Rect { box.left + d + g, y0, box.left + 2 * d + g, box.bottom },
        Rect { box.right - d, y0, box.right, box.bottom } };
    return s;
}

AcSymbol acSymbol(const Rect& box, int dpi)
{
    AcSymbol s;
    s.penWidth = scaleAtLeastOne(2, dpi);
    const double w = box.width();
    // Halves are integer divisions, as everywhere in the panel's geometry.
    const int mid = (box.top + box.bottom) / 2;
    const int amplitude = (box.height() - s.penWidth) / 2;
    for (int i = 0; i <= 32; ++i) {
        const double phase = 2.0 * std::numbers::pi * i / 32.0;
        s.points[i] = { box.left + roundHalfAway(w * i / 32.0), roundHalfAway(mid - std::sin(phase) * amplitude) };
    }
    return s;
}

std::optional<DiodeSymbol> diodeSymbol(const Rect& row, int dpi)
{
    // At most 34 × 16 at 96 DPI, scaled with its neighbours.
    const int dw = std::min(row.width() - scale(6, dpi), scale(34, dpi));
    const int dh = std::min(row.height() - scale(4, dpi), scale(16, dpi));
    if (dw < 9 || dh < 5)
        return std::nullopt;
    const int sx = row.left + (row.width() - dw) / 2;
    const int sy = row.top + (row.height() - dh) / 2;
    const int cy = (sy + (sy + dh)) / 2;
    const int t = scaleAtLeastOne(2, dpi);
    const int u = scaleAtLeastOne(2, dpi);
    const int q = dw / 4;
    const int ax = sx + dw - q - t;
    DiodeSymbol s;
    s.line = { sx, cy - u / 2, sx + dw, cy - u / 2 + u };
    s.triangle = { Point { sx + q, sy }, Point { sx + q, sy + dh }, Point { ax, cy } };
    s.bar = { ax, sy, ax + t, sy + dh };
    return s;
}

std::optional<ContinuitySymbol> continuitySymbol(const Rect& row, int dpi)
{
    const int k = scaleAtLeastOne(4, dpi);
    const int p = scaleAtLeastOne(2, dpi);
    const int s = scale(4, dpi);
    const int needed = 3 * s + (k / 2) * 2 + p;
    if (needed >= row.width())
        return std::nullopt;
    const int cy = (row.top + row.bottom) / 2;
    const int left = row.left + (row.width() - needed) / 2;
    ContinuitySymbol c;
    c.dot = { left, cy - k / 2, left + k, cy - k / 2 + k };
    c.centre = { left + k / 2, cy };
    c.radii = { s + k / 2, 2 * s + k / 2, 3 * s + k / 2 };
    c.penWidth = p;
    return c;
}

BatterySymbol batterySymbol(const Rect& box, bool lit, int dpi)
{
    const int m = scaleAtLeastOne(2, dpi);
    const int h = box.height();
    const int cy = (box.top + box.bottom) / 2;
    const int v = h >= 6 ? h / 6 : 1;
    BatterySymbol s;
    s.body = { box.left, box.top, box.right - m, box.bottom };
    s.outline = scaleAtLeastOne(1, dpi);
    s.nub = { box.right - m, cy - v, box.right, cy + v };
    if (lit) {
        const int e = scaleAtLeastOne(2, dpi);
        const int width = s.body.width() >= 4 ? s.body.width() / 4 : 1;
        s.level = Rect { s.body.left + e, s.body.top + e, s.body.left + e + width, s.body.bottom - e };
    }
    return s;
}

std::optional<ApoSymbol> apoSymbol(const Rect& box, int dpi)
{
    const int z = std::min(box.width(), box.height());
    if (z < 5)
        return std::nullopt;
    const int left = box.left + (box.width() - z) / 2;
    const int top = box.top + (box.height() - z) / 2;
    ApoSymbol s;
    s.square = { left, top, left + z, top + z };
    s.penWidth = scaleAtLeastOne(1, dpi);
    const int cx = left + z / 2;
    // The arc runs the long way round below, leaving the gap at the top
    // where the stroke stands, as the familiar power symbol does.
    s.arcStart = { cx - z / 3, top };
    s.arcEnd = { cx + z / 3, top };
    s.strokeTop = { cx, top };
    s.strokeBottom = { cx, top + z / 2 };
    return s;
}

} // namespace zelmar::ui
