#include "ui/lcd_model.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace zelmar;
using namespace zelmar::ui;

namespace {

constexpr std::uint8_t dcv = 2;
constexpr std::uint8_t ohm = 6;
constexpr std::uint8_t continuity = 7;
constexpr std::uint8_t diode = 8;
constexpr std::uint8_t dcMicroA = 12;
constexpr std::uint8_t hfe = 18;

Reading reading(std::uint8_t code, int range, std::string_view text, DmmFlags flags = {}, int bar = 0)
{
    return Reading(1.7e9, code, range, text, flags, bar);
}

std::vector<UnitFlag> lit(const LcdState& state)
{
    std::vector<UnitFlag> out;
    const UnitFlags flags = litUnits(state);
    for (int i = 0; i < unitFlagCount; ++i) {
        if (flags.test(i))
            out.push_back(static_cast<UnitFlag>(i));
    }
    return out;
}

std::string glyphs(const DigitCells& cells)
{
    std::string out;
    for (const DigitCell& c : cells.cells) {
        out += static_cast<char>(c.glyph);
        if (c.dot)
            out += '.';
        out += '|';
    }
    return out;
}

} // namespace

TEST(LcdState, FollowsTheReadingAndShowsDashesForAnEmptyText)
{
    DmmFlags flags;
    flags.manualRange = true;
    flags.hold = true;
    flags.rel = true;
    flags.acFlag = true; // not shown: AC comes from the function
    flags.barNegative = true;
    const LcdState state = lcdStateFrom(reading(dcv, 0, "", flags, 45));
    EXPECT_TRUE(state.connected);
    EXPECT_EQ(state.text, "----");
    EXPECT_TRUE(state.isDC);
    EXPECT_FALSE(state.isAC);
    EXPECT_FALSE(state.autoRange);
    EXPECT_TRUE(state.hold);
    EXPECT_TRUE(state.rel);
    EXPECT_TRUE(state.barNegative);
    EXPECT_EQ(state.bar, 30);
    EXPECT_EQ(lcdStateFrom(reading(dcv, 0, "1.000", {}, -3)).bar, 0);
    EXPECT_TRUE(lcdStateFrom(reading(dcv, 0, "1.000")).autoRange);

    const LcdState unknown = lcdStateFrom(reading(200, 0, "1.0"));
    EXPECT_FALSE(unknown.isAC || unknown.isDC || unknown.isDiode || unknown.isContinuity || unknown.isLPF);
    EXPECT_TRUE(lcdStateFrom(reading(diode, 0, "0.512")).isDiode);
    EXPECT_TRUE(lcdStateFrom(reading(continuity, 0, "12.3")).isContinuity);

    EXPECT_EQ(placeholderLcdState(), LcdState {});
    EXPECT_FALSE(placeholderLcdState().connected);
    EXPECT_EQ(placeholderLcdState().text, "----");
}

TEST(LcdState, UnitAnnunciatorsFromPrefixAndBase)
{
    EXPECT_EQ(lit(lcdStateFrom(reading(ohm, 4, "1.234"))), (std::vector { UnitFlag::mega, UnitFlag::ohm }));
    EXPECT_EQ(lit(lcdStateFrom(reading(dcMicroA, 0, "12.3"))), (std::vector { UnitFlag::micro, UnitFlag::ampere }));
    EXPECT_EQ(lit(lcdStateFrom(reading(hfe, 0, "123"))), std::vector<UnitFlag> {});
    DmmFlags rel;
    rel.rel = true;
    EXPECT_EQ(lit(lcdStateFrom(reading(hfe, 0, "123", rel))), std::vector { UnitFlag::delta });

    LcdState state = placeholderLcdState();
    state.connected = true;
    const auto units = [&](std::string unit) {
        state.unit = std::move(unit);
        return lit(state);
    };
    EXPECT_EQ(units("k\u03A9"), (std::vector { UnitFlag::kilo, UnitFlag::ohm }));
    EXPECT_EQ(units("mV"), (std::vector { UnitFlag::milli, UnitFlag::volt }));
    EXPECT_EQ(units("\u00B0C"), std::vector { UnitFlag::celsius });
    EXPECT_EQ(units("\u2109"), std::vector { UnitFlag::fahrenheit });
    EXPECT_EQ(units("uF"), (std::vector { UnitFlag::micro, UnitFlag::farad }));
    EXPECT_EQ(units("Hz"), std::vector { UnitFlag::hertz });
    EXPECT_EQ(units("kHz"), (std::vector { UnitFlag::kilo, UnitFlag::hertz }));
    EXPECT_EQ(units("MHz"), (std::vector { UnitFlag::mega, UnitFlag::hertz }));
    EXPECT_EQ(units("mA"), (std::vector { UnitFlag::milli, UnitFlag::ampere }));
    EXPECT_EQ(units("%"), std::vector { UnitFlag::percent });
    EXPECT_EQ(units(""), std::vector<UnitFlag> {});
    state.isLPF = true;
    EXPECT_EQ(units("V"), (std::vector { UnitFlag::vfc, UnitFlag::volt }));
    state.connected = false;
    EXPECT_EQ(units("V"), std::vector<UnitFlag> {});
}

TEST(DigitCells, SignPointsAndOverflow)
{
    const DigitCells negative = digitCells("-0.052");
    EXPECT_TRUE(negative.negative);
    EXPECT_EQ(glyphs(negative), "0.|0|5|2|");
    EXPECT_FALSE(negative.overflow);

    EXPECT_EQ(glyphs(digitCells("-1.234")), "1.|2|3|4|");
    EXPECT_EQ(glyphs(digitCells(" OL.")), " |0|L.|");
    EXPECT_EQ(glyphs(digitCells("OL")), "0|L|");
    const DigitCells dashes = digitCells("--.-");
    EXPECT_FALSE(dashes.negative);
    EXPECT_EQ(glyphs(dashes), "-|-.|-|");
    EXPECT_EQ(glyphs(digitCells(".5")), " .|5|");
    EXPECT_EQ(glyphs(digitCells("1,5")), "1.|5|");
    EXPECT_TRUE(digitCells("12345").overflow);
    EXPECT_FALSE(digitCells("1234").overflow);
    EXPECT_EQ(overflowText("1O.OL5"), "10.0L5");
}

TEST(LcdGeometry, RectanglesAtTwoDpis)
{
    const LcdGeometry g = lcdGeometry({ 0, 0, 400, 240 }, 96);
    EXPECT_EQ(g.inner, (Rect { 7, 7, 393, 233 }));
    EXPECT_EQ(g.lamp, (Rect { 381, 14, 390, 23 }));
    EXPECT_EQ(g.header, (Rect { 55, 7, 375, 29 }));
    EXPECT_EQ(g.leftColumn, (Rect { 7, 29, 51, 180 }));
    EXPECT_EQ(g.digits, (Rect { 55, 29, 393, 178 }));
    EXPECT_EQ(g.barStrip, (Rect { 55, 180, 393, 193 }));
    EXPECT_EQ(g.unitRow1, (Rect { 7, 193, 393, 213 }));
    EXPECT_EQ(g.unitRow2, (Rect { 7, 213, 393, 233 }));

    const LcdGeometry big = lcdGeometry({ 0, 0, 600, 360 }, 144);
    EXPECT_EQ(big.inner, (Rect { 11, 11, 589, 349 })); // 7 × 1.5 = 10.5 rounds to 11
    EXPECT_EQ(big.lamp.width(), 14);
    EXPECT_EQ(big.header.height(), 33);

    EXPECT_TRUE(lcdGeometry({ 0, 0, 14, 14 }, 96).inner.empty());
}

TEST(LcdGeometry, HeaderDropsWhatDoesNotFitAndUnitRowsReachBothEdges)
{
    const std::vector<int> widths = { 36, 38, 30, 26 };
    EXPECT_EQ(headerLabelPositions({ 100, 0, 300, 22 }, widths, 96), (std::vector { 100, 148, 198, 240 }));
    // MIN would end at 266 > 250: AUTO HOLD MAX only.
    EXPECT_EQ(headerLabelPositions({ 100, 0, 250, 22 }, widths, 96), (std::vector { 100, 148, 198 }));

    const Rect inner { 7, 7, 593, 233 };
    std::vector<int> row1(7, 20);
    const std::vector<int> xs1 = unitRow1Positions(inner, row1, 96);
    ASSERT_EQ(xs1.size(), 7u);
    EXPECT_EQ(xs1.front(), inner.left);
    EXPECT_EQ(unitRow1Positions({ 7, 7, 120, 233 }, row1, 96).size(), 3u); // 7, 39, 71; 103 ≥ 120 - 48

    const std::vector<int> row2 = { 10, 10, 12, 18, 10, 14, 14, 16 };
    const std::vector<int> xs2 = unitRow2Positions(inner, row2, 96);
    EXPECT_EQ(xs2.back() + row2.back(), inner.right);
    const std::vector<int> narrow = unitRow2Positions({ 7, 7, 100, 233 }, row2, 96);
    EXPECT_EQ(narrow.front(), 7);
    EXPECT_EQ(narrow.size(), 8u);

    const StatusIconBoxes boxes = statusIconBoxes(inner, { 7, 193, 593, 213 }, 96);
    EXPECT_EQ(boxes.battery, (Rect { 551, 197, 569, 209 }));
    EXPECT_EQ(boxes.apo, (Rect { 575, 197, 593, 209 }));
}

TEST(LcdGeometry, BarGraphSegmentsAndTicks)
{
    const BarGraphGeometry bar = barGraphGeometry({ 55, 180, 393, 193 }, 96);
    ASSERT_EQ(bar.segments.size(), 30u);
    EXPECT_EQ(bar.segments[0], (Rect { 55, 182, 65, 191 })); // (338 - 29) / 30 = 10 wide, 13 - 4 = 9 high
    EXPECT_EQ(bar.segments[29].left, 55 + 29 * 11);
    ASSERT_EQ(bar.ticks.size(), 5u);
    EXPECT_EQ(bar.ticks[0], (Rect { 109, 191, 110, 193 }));
    EXPECT_TRUE(barGraphGeometry({ 0, 0, 30, 13 }, 96).segments.empty());
    EXPECT_TRUE(barGraphGeometry({ 0, 0, 60, 4 }, 96).segments.empty());
}

TEST(LcdGeometry, DigitLayoutArithmetic)
{
    EXPECT_EQ(lcdFontHeight(100), 94);
    EXPECT_EQ(lcdFontHeight(5), 8);
    const DigitMetrics m { 40, 10, 64 };
    EXPECT_EQ(requiredDigitWidth(m), 4 * 50 + 24);
    EXPECT_EQ(refittedFontHeight(94, 112, 224), 47);
    EXPECT_EQ(refittedFontHeight(10, 10, 224), 8);

    const DigitAreaGeometry d = digitAreaGeometry({ 55, 29, 393, 178 }, m);
    EXPECT_EQ(d.glyphTop, 29 + (149 - 64) / 2);
    EXPECT_EQ(d.positions[0].glyphX, 393 - 200);
    EXPECT_EQ(d.positions[3].dotX, 393 - 50 + 40);
    // 9 × 40 / 20 = 18 long, 64 / 12 = 5 thick, ending 40 / 8 left of the first cell.
    EXPECT_EQ(d.minusBar, (Rect { 193 - 5 - 18, 29 + 42 + 29, 193 - 5, 29 + 42 + 29 + 5 }));
    const DigitAreaGeometry small = digitAreaGeometry({ 0, 0, 100, 30 }, { 4, 1, 20 });
    EXPECT_EQ(small.minusBar.width(), 2);
    EXPECT_EQ(small.minusBar.height(), 2);

    // A point whose ink reaches 6 past its advance: everything moves left
    // by that, and the area must be that much wider.
    const DigitMetrics inked { 40, 10, 64, 6 };
    EXPECT_EQ(requiredDigitWidth(inked), 4 * 50 + 24 + 6);
    const DigitAreaGeometry shifted = digitAreaGeometry({ 55, 29, 393, 178 }, inked);
    EXPECT_EQ(shifted.positions[3].dotX + inked.dotWidth + inked.dotOverhang, 393);

    EXPECT_EQ(overflowFontHeight(90, 300, 250), 90);
    EXPECT_EQ(overflowFontHeight(90, 300, 450), 60);
    EXPECT_EQ(overflowFontHeight(10, 10, 450), 8);

    EXPECT_EQ(overflowTextLeft({ 55, 0, 393, 10 }, 100), 293);
    EXPECT_EQ(overflowTextLeft({ 55, 0, 393, 10 }, 500), 55);
}

TEST(LcdSymbols, LeftColumnBlocksAtTheirThresholds)
{
    // At 96 DPI a column 18 wide gives a symbol 8 wide: text alone.
    EXPECT_FALSE(symbolWithText({ 0, 0, 18, 30 }, 16, 96));
    const auto wide = symbolWithText({ 0, 0, 44, 30 }, 16, 96);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->symbol, (Rect { 8, 1, 36, 10 }));
    EXPECT_EQ(wide->text, (Rect { 0, 13, 44, 29 }));
    EXPECT_FALSE(symbolWithText({ 0, 0, 44, 27 }, 16, 96)); // 9 + 3 + 16 = 28 needed
    EXPECT_EQ(leftColumnRows({ 7, 29, 51, 180 })[4], (Rect { 7, 29 + 4 * 30, 51, 29 + 5 * 30 }));

    const DcSymbol narrow = dcSymbol({ 0, 0, 8, 9 }, 96);
    EXPECT_EQ(narrow.dashes[1], (Rect { 3, 7, 4, 9 })); // w < 14: gap 2, dash (8 - 4) / 3 = 1
    const DcSymbol dc = dcSymbol({ 0, 0, 28, 9 }, 96);
    EXPECT_EQ(dc.bar, (Rect { 0, 0, 28, 2 }));
    EXPECT_EQ(dc.dashes[0], (Rect { 0, 7, 6, 9 })); // gap 4, dash (28 - 8) / 3 = 6
    EXPECT_EQ(dc.dashes[1], (Rect { 10, 7, 16, 9 }));
    EXPECT_EQ(dc.dashes[2], (Rect { 22, 7, 28, 9 }));

    // A box 9 high, as at 96 DPI: centre row 4, amplitude (9 - 2) / 2 = 3.
    const AcSymbol ac = acSymbol({ 0, 0, 32, 9 }, 96);
    EXPECT_EQ(ac.points[0], (Point { 0, 4 }));
    EXPECT_EQ(ac.points[8], (Point { 8, 1 })); // the first half rises
    EXPECT_EQ(ac.points[16], (Point { 16, 4 }));
    EXPECT_EQ(ac.points[24], (Point { 24, 7 }));
    EXPECT_EQ(ac.points[32], (Point { 32, 4 }));

    EXPECT_FALSE(diodeSymbol({ 0, 0, 14, 30 }, 96)); // width 8
    EXPECT_FALSE(diodeSymbol({ 0, 0, 44, 8 }, 96)); // height 4
    const auto d = diodeSymbol({ 0, 0, 44, 30 }, 96);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->triangle[0], (Point { 5 + 8, 7 }));
    EXPECT_EQ(d->bar, (Rect { 5 + 34 - 8 - 2, 7, 5 + 34 - 8, 23 }));
    // At 192 DPI in a row of twice the size: twice as large.
    const auto large = diodeSymbol({ 0, 0, 88, 60 }, 192);
    ASSERT_TRUE(large);
    EXPECT_EQ(large->line.width(), 68);
    EXPECT_EQ(large->bar.height(), 32);

    EXPECT_FALSE(continuitySymbol({ 0, 0, 18, 30 }, 96)); // needs 18 < width
    const auto c = continuitySymbol({ 0, 0, 19, 30 }, 96);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->dot, (Rect { 0, 13, 4, 17 }));
    EXPECT_EQ(c->radii, (std::array { 6, 10, 14 }));
}

TEST(LcdSymbols, BatteryAndPowerIcons)
{
    const BatterySymbol off = batterySymbol({ 0, 0, 18, 12 }, false, 96);
    EXPECT_EQ(off.body, (Rect { 0, 0, 16, 12 }));
    EXPECT_EQ(off.nub, (Rect { 16, 4, 18, 8 }));
    EXPECT_FALSE(off.level);
    const BatterySymbol on = batterySymbol({ 0, 0, 18, 12 }, true, 96);
    ASSERT_TRUE(on.level);
    EXPECT_EQ(*on.level, (Rect { 2, 2, 6, 10 }));

    EXPECT_FALSE(apoSymbol({ 0, 0, 18, 4 }, 96));
    const auto apo = apoSymbol({ 0, 0, 18, 12 }, 96);
    ASSERT_TRUE(apo);
    EXPECT_EQ(apo->square, (Rect { 3, 0, 15, 12 }));
    EXPECT_EQ(apo->arcStart, (Point { 5, 0 }));
    EXPECT_EQ(apo->arcEnd, (Point { 13, 0 }));
    EXPECT_EQ(apo->strokeBottom, (Point { 9, 6 }));
}

// What a screen reader reads as the panel's value: the reading with its
// unit and the modes the panel lights, in the panel's order.
TEST(LcdSpeech, TheReadingWithItsUnitAndModes)
{
    EXPECT_EQ(lcdSpokenText(lcdStateFrom(reading(dcv, 0, "12.34")), AppLanguage::enUS), "12.34 V DC AUTO");
    DmmFlags held;
    held.hold = true;
    held.manualRange = true;
    held.rel = true;
    held.lowBattery = true;
    EXPECT_EQ(lcdSpokenText(lcdStateFrom(reading(dcv, 0, "-0.012", held)), AppLanguage::enUS),
        "-0.012 V DC HOLD REL low battery");
    EXPECT_EQ(lcdSpokenText(lcdStateFrom(reading(diode, 0, "0.512")), AppLanguage::zhTW), "0.512 V 二極體 AUTO");
    EXPECT_EQ(lcdSpokenText(lcdStateFrom(reading(continuity, 0, "OL")), AppLanguage::enUS),
        "OL \u03A9 continuity AUTO");
    EXPECT_EQ(lcdSpokenText(placeholderLcdState(), AppLanguage::zhTW), "未連線");
}

// Two readings a second would drown everything else a reader says: a
// changed text is announced at most once a second, an unchanged one never.
TEST(LcdSpeech, AnnouncementsAtMostOnceASecond)
{
    ReadingAnnouncer announcer;
    EXPECT_TRUE(announcer.shouldAnnounce("1.000 V", 10'000));
    EXPECT_FALSE(announcer.shouldAnnounce("1.000 V", 12'000)); // unchanged
    EXPECT_TRUE(announcer.shouldAnnounce("1.001 V", 12'000));
    EXPECT_FALSE(announcer.shouldAnnounce("1.002 V", 12'500)); // too soon
    EXPECT_FALSE(announcer.shouldAnnounce("1.003 V", 12'999));
    EXPECT_TRUE(announcer.shouldAnnounce("1.003 V", 13'000));
    announcer.reset(); // the panel took the focus again
    EXPECT_TRUE(announcer.shouldAnnounce("1.003 V", 13'100));
}
