#pragma once

// What the LCD panel shows and where, computed before any painting: the
// panel state made from a reading, the lit annunciators, the digit cells of
// the display text, the panel's rectangles at a DPI and the shapes of its
// symbols. The Win32 panel (lcd_panel_win32.cpp) only draws these.

#include "core/reading.h"
#include "localization/localization.h"
#include "ui/geometry.h"

#include <array>
#include <bitset>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar::ui {

struct LcdState {
    bool connected = false;
    std::string text = "----";
    bool isAC = false;
    bool isDC = false;
    bool isDiode = false;
    bool isContinuity = false;
    bool isLPF = false;
    std::string unit;
    bool autoRange = false;
    bool hold = false;
    bool maxHold = false;
    bool minHold = false;
    bool rel = false;
    bool lowBattery = false;
    bool apo = false;
    bool barNegative = false;
    int bar = 0;

    friend bool operator==(const LcdState&, const LcdState&) = default;
};

// The placeholder look: nothing lit, "----".
[[nodiscard]] LcdState placeholderLcdState();
[[nodiscard]] LcdState lcdStateFrom(const Reading& reading);

// What a screen reader says for the panel: the reading as shown, its unit
// and the lit modes in the panel's own words, "12.34 V DC AUTO"; without a
// meter, the status bar's words for that.
[[nodiscard]] std::string lcdSpokenText(const LcdState& state, AppLanguage language);

// A reader hears a changed reading at most once a second: the meter sends
// two a second, and every one spoken would drown the user's own keys.
class ReadingAnnouncer {
public:
    static constexpr std::int64_t minimumGapMs = 1000;
    // Whether the text, shown at `nowMs` on a monotonic clock, is announced.
    [[nodiscard]] bool shouldAnnounce(std::string_view text, std::int64_t nowMs);
    // The next changed text is announced at once (the panel took the focus).
    void reset() noexcept { last_.reset(); }

private:
    struct Announced {
        std::string text;
        std::int64_t atMs = 0;
    };
    std::optional<Announced> last_;
};

enum class UnitFlag {
    vfc,
    delta,
    mega,
    kilo,
    ohm,
    hertz,
    nano,
    milli,
    volt,
    micro,
    ampere,
    farad,
    celsius,
    fahrenheit,
    percent,
};
inline constexpr int unitFlagCount = 15;
using UnitFlags = std::bitset<unitFlagCount>;

[[nodiscard]] std::string_view unitLabel(UnitFlag flag) noexcept;
[[nodiscard]] bool has(const UnitFlags& flags, UnitFlag flag) noexcept;
// The unit annunciators a state lights; none while disconnected.
[[nodiscard]] UnitFlags litUnits(const LcdState& state);

// The annunciators of the two unit rows, left to right.
inline constexpr std::array<UnitFlag, 7> unitRow1 = { UnitFlag::vfc, UnitFlag::delta, UnitFlag::nano, UnitFlag::micro,
    UnitFlag::milli, UnitFlag::kilo, UnitFlag::mega };
inline constexpr std::array<UnitFlag, 8> unitRow2 = { UnitFlag::volt, UnitFlag::ampere, UnitFlag::ohm, UnitFlag::hertz,
    UnitFlag::farad, UnitFlag::celsius, UnitFlag::fahrenheit, UnitFlag::percent };

struct DigitCell {
    char32_t glyph = U' ';
    bool dot = false;
    friend bool operator==(const DigitCell&, const DigitCell&) = default;
};

struct DigitCells {
    std::vector<DigitCell> cells;
    bool negative = false;
    // Five or more cells: the text is drawn as one plain string.
    bool overflow = false;
};

[[nodiscard]] DigitCells digitCells(std::string_view text);

// The rectangles of the panel for a client rectangle at a DPI.
struct LcdGeometry {
    Rect client;
    Rect inner; // empty: nothing but background and frame is drawn
    Rect lamp;
    Rect header;
    Rect leftColumn;
    Rect digits;
    Rect barStrip;
    Rect unitRow1;
    Rect unitRow2;
};

[[nodiscard]] LcdGeometry lcdGeometry(Rect client, int dpi);

// Left edges of the header labels AUTO, HOLD, MAX, MIN that fit in the band;
// labels past its right edge, and those after, are dropped.
inline constexpr std::array<std::string_view, 4> headerLabels = { "AUTO", "HOLD", "MAX", "MIN" };
[[nodiscard]] std::vector<int> headerLabelPositions(Rect band, std::span<const int> widths, int dpi);

// Left edges of row 1's labels that are drawn (one per label of unitRow1, in
// order, stopping at the first that would start at or beyond R - 48).
[[nodiscard]] std::vector<int> unitRow1Positions(const Rect& inner, std::span<const int> widths, int dpi);
// Left edges of all eight labels of row 2, right-aligned.
[[nodiscard]] std::vector<int> unitRow2Positions(const Rect& inner, std::span<const int> widths, int dpi);
// The battery and auto-power-off icon boxes at the right of row 1.
struct StatusIconBoxes {
    Rect battery;
    Rect apo;
};
[[nodiscard]] StatusIconBoxes statusIconBoxes(const Rect& inner, const Rect& row1, int dpi);

// The left column's five rows (DC, AC, minus, diode, continuity).
[[nodiscard]] std::array<Rect, 5> leftColumnRows(const Rect& column);
// For the DC and AC rows: the symbol box and the text box below it, or none
// when only the text fits (then the text is centred in the whole row).
struct SymbolWithText {
    Rect symbol;
    Rect text;
};
[[nodiscard]] std::optional<SymbolWithText> symbolWithText(const Rect& row, int textHeight, int dpi);

// The 30 segments of the bar graph and the five ticks; empty when the strip is
// too small.
struct BarGraphGeometry {
    std::vector<Rect> segments;
    std::vector<Rect> ticks;
};
[[nodiscard]] BarGraphGeometry barGraphGeometry(const Rect& strip, int dpi);

// Digit area: the seven-segment font's metrics and what follows from them.
struct DigitMetrics {
    int cellWidth = 0;
    int dotWidth = 0;
    int glyphHeight = 0;
    // How far the point's ink reaches past its advance: the last point sits
    // this much further left, so that its ink stays inside the area.
    int dotOverhang = 0;
};
// The first font height to try for a digit area of the given height.
[[nodiscard]] int lcdFontHeight(int areaHeight) noexcept;
// Room four digits, their points and the minus bar need.
[[nodiscard]] int requiredDigitWidth(const DigitMetrics& metrics) noexcept;
// The smaller font height when the digits do not fit the area's width.
[[nodiscard]] int refittedFontHeight(int height, int areaWidth, int requiredWidth) noexcept;

struct DigitPosition {
    int glyphX = 0;
    int dotX = 0;
};
struct DigitAreaGeometry {
    int glyphTop = 0;
    std::array<DigitPosition, 4> positions;
    Rect minusBar;
};
[[nodiscard]] DigitAreaGeometry digitAreaGeometry(const Rect& area, const DigitMetrics& metrics);
// Left edge of the plain string drawn instead of cells: right-aligned, never
// left of the area.
[[nodiscard]] int overflowTextLeft(const Rect& area, int textWidth) noexcept;
// The font height for the plain string: the digits' own when the text fits
// the area's width, else smaller in proportion (at least 8).
[[nodiscard]] int overflowFontHeight(int digitHeight, int areaWidth, int textWidth) noexcept;
// The text drawn when there are too many cells: every "O" becomes "0".
[[nodiscard]] std::string overflowText(std::string_view text);

// Symbol shapes.
struct DcSymbol {
    Rect bar;
    std::array<Rect, 3> dashes;
};
[[nodiscard]] DcSymbol dcSymbol(const Rect& box, int dpi);

struct AcSymbol {
    std::array<Point, 33> points;
    int penWidth = 1;
};
[[nodiscard]] AcSymbol acSymbol(const Rect& box, int dpi);

struct DiodeSymbol {
    Rect line;
    std::array<Point, 3> triangle;
    Rect bar;
};
[[nodiscard]] std::optional<DiodeSymbol> diodeSymbol(const Rect& row, int dpi);

struct ContinuitySymbol {
    Rect dot;
    Point centre;
    std::array<int, 3> radii;
    int penWidth = 1;
};
[[nodiscard]] std::optional<ContinuitySymbol> continuitySymbol(const Rect& row, int dpi);

struct BatterySymbol {
    Rect body;
    int outline = 1;
    Rect nub;
    std::optional<Rect> level; // lit only
};
[[nodiscard]] BatterySymbol batterySymbol(const Rect& box, bool lit, int dpi);

// The power symbol: an arc of the inscribed circle from `arcStart` round the
// bottom to `arcEnd` (counterclockwise on screen), and a stroke from the
// middle of the top edge down to the centre.
struct ApoSymbol {
    Rect square;
    int penWidth = 1;
    Point arcStart;
    Point arcEnd;
    Point strokeTop;
    Point strokeBottom;
};
[[nodiscard]] std::optional<ApoSymbol> apoSymbol(const Rect& box, int dpi);

namespace lcd_colors {
inline constexpr Rgb background { 247, 249, 244 };
inline constexpr Rgb frame { 24, 26, 30 };
inline constexpr Rgb lit { 26, 30, 28 };
inline constexpr Rgb unlitText { 214, 220, 211 };
inline constexpr Rgb ghost { 223, 228, 220 };
inline constexpr Rgb tick { 150, 158, 148 };
inline constexpr Rgb lampLit { 22, 163, 74 };
} // namespace lcd_colors

} // namespace zelmar::ui
