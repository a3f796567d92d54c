#include "ui/palette.h"

#include <gtest/gtest.h>

using namespace zelmar::ui;

// Under high contrast every foreground the program draws sits on the
// background the system pairs it with, so a dark theme stays readable.
TEST(Palette, HighContrastUsesTheSystemsPairs)
{
    const SystemColors black { Rgb::fromHex(0x000000), Rgb::fromHex(0xFFFFFF), Rgb::fromHex(0x101010),
        Rgb::fromHex(0xF0F0F0), Rgb::fromHex(0x1AEBFF), Rgb::fromHex(0x000001), Rgb::fromHex(0x3FF23F),
        Rgb::fromHex(0xFFFF00) };
    const Palette p = highContrastPalette(black);
    EXPECT_TRUE(p.highContrast);
    // Window text on window.
    for (const Rgb& c : { p.lcd.background, p.chart.background, p.window.band, p.cards.surround })
        EXPECT_EQ(c, black.window);
    for (const Rgb& c : { p.lcd.lit, p.lcd.frame, p.chart.caption, p.chart.label, p.chart.axis, p.window.text,
             p.lcd.focus, p.chart.focus })
        EXPECT_EQ(c, black.windowText);
    // Unlit segments vanish; nothing is drawn in a colour of its own.
    EXPECT_EQ(p.lcd.ghost, black.window);
    EXPECT_EQ(p.lcd.unlitText, black.window);
    // Button text on button face: cards, table header, the status bar's parts.
    EXPECT_EQ(p.card(CardLook::normal).fill, black.buttonFace);
    EXPECT_EQ(p.cardIcon(CardLook::normal, Rgb::fromHex(0x169444)), black.buttonText);
    EXPECT_EQ(p.table.headerFill, black.buttonFace);
    EXPECT_EQ(p.table.headerText, black.buttonText);
    EXPECT_EQ(p.window.statusText, black.buttonText);
    EXPECT_EQ(p.window.statusNearLimit, black.buttonText);
    // Highlight text on highlight.
    EXPECT_EQ(p.card(CardLook::hot).fill, black.highlight);
    EXPECT_EQ(p.cardIcon(CardLook::pressed, Rgb::fromHex(0x169444)), black.highlightText);
    EXPECT_EQ(p.cardIcon(CardLook::disabled, Rgb::fromHex(0x169444)), black.grayText);
}

TEST(Palette, TheStandardLookKeepsEachIconsOwnColour)
{
    const Palette& p = standardPalette();
    EXPECT_FALSE(p.highContrast);
    EXPECT_EQ(p.cardIcon(CardLook::normal, Rgb::fromHex(0x169444)), Rgb::fromHex(0x169444));
    EXPECT_EQ(p.cardIcon(CardLook::hot, Rgb::fromHex(0xC42C2C)), Rgb::fromHex(0xC42C2C));
    EXPECT_EQ(p.cardIcon(CardLook::disabled, Rgb::fromHex(0x169444)), disabledIconColor);
    EXPECT_EQ(p.card(CardLook::pressed).fill, cardColors(CardLook::pressed).fill);
}
