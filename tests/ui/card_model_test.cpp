#include "ui/card_model.h"

#include <gtest/gtest.h>

using namespace zelmar::ui;

TEST(CardModel, IconsColoursAndLooks)
{
    EXPECT_EQ(iconCodePoint(ButtonIconKind::save), 0xF0818u);
    EXPECT_EQ(defaultIconColor(ButtonIconKind::play), Rgb::fromHex(0x169444));
    EXPECT_EQ(defaultIconColor(ButtonIconKind::open), Rgb::fromHex(0x424850));
    EXPECT_EQ(cardColors(CardLook::pressed).fill, Rgb::fromHex(0xCDE0F7));
    EXPECT_EQ(cardColors(CardLook::normal).border, Rgb::fromHex(0xC8CCD2));
    // The drawing layer's conversions.
    EXPECT_EQ(Rgb::fromHex(0x1565C0).opaqueArgb(), 0xFF1565C0u);
    EXPECT_EQ(Rgb::fromHex(0x1565C0).colorRef(), 0x00C06515u);
    EXPECT_EQ(Rgb::fromColorRef(0x00C06515u), Rgb::fromHex(0x1565C0));
}

TEST(CardInteraction, PressDragOutAndBackIn)
{
    CardInteraction card;
    EXPECT_TRUE(card.mousePressed(true));
    EXPECT_EQ(card.look(true), CardLook::pressed);
    card.mouseMoved(false);
    EXPECT_EQ(card.look(true), CardLook::normal);
    EXPECT_FALSE(card.mouseReleased(false, true)); // released outside: no click
    EXPECT_EQ(card.look(true), CardLook::normal);

    EXPECT_TRUE(card.mousePressed(true));
    card.mouseMoved(false);
    card.mouseMoved(true);
    EXPECT_TRUE(card.mouseReleased(true, true));
    EXPECT_EQ(card.look(true), CardLook::hot);
    card.mouseLeft();
    EXPECT_EQ(card.look(true), CardLook::normal);

    EXPECT_TRUE(card.mousePressed(true));
    card.captureLost();
    EXPECT_FALSE(card.mouseReleased(true, true));
    EXPECT_FALSE(card.mousePressed(false)); // a disabled card takes no press
    EXPECT_EQ(card.look(false), CardLook::disabled);
}

TEST(CardInteraction, SpaceClicksOnReleaseOnly)
{
    CardInteraction card;
    card.spacePressed(true);
    EXPECT_TRUE(card.pressed());
    EXPECT_TRUE(card.spaceReleased(true));
    EXPECT_FALSE(card.spaceReleased(true)); // one click per press
    card.spacePressed(true);
    card.focusLost();
    EXPECT_FALSE(card.spaceReleased(true));
    card.spacePressed(false);
    EXPECT_FALSE(card.spaceReleased(false));
}

TEST(CardModel, IconAndFocusRingRectangles)
{
    EXPECT_EQ(cardIconRect({ 0, 0, 40, 36 }, 96, false), (Rect { 10, 8, 30, 28 }));
    EXPECT_EQ(cardIconRect({ 0, 0, 40, 36 }, 96, true), (Rect { 11, 9, 31, 29 }));
    EXPECT_EQ(cardIconRect({ 0, 0, 60, 54 }, 144, false), (Rect { 15, 12, 45, 42 }));

    const auto ring = focusRing({ 0, 0, 40, 36 }, 96);
    ASSERT_TRUE(ring);
    EXPECT_EQ(ring->rect, (Rect { 2, 2, 38, 34 }));
    EXPECT_DOUBLE_EQ(ring->radius, 3);
    EXPECT_EQ(focusRing({ 0, 0, 60, 54 }, 144)->rect, (Rect { 3, 3, 57, 51 }));
    EXPECT_DOUBLE_EQ(focusRing({ 0, 0, 6, 5 }, 96)->radius, 0.5); // half the smaller side
    EXPECT_FALSE(focusRing({ 0, 0, 4, 4 }, 96));
}

TEST(CardModel, ArrowKeysWrapAmongFocusableCards)
{
    const bool all[] = { true, true, true, true, true };
    EXPECT_EQ(nextFocusedCard(all, 4, FocusStep::next), 0u);
    EXPECT_EQ(nextFocusedCard(all, 0, FocusStep::previous), 4u);
    // While recording only Stop (the last) is enabled: the focus stays.
    const bool recording[] = { false, false, false, false, true };
    EXPECT_EQ(nextFocusedCard(recording, 4, FocusStep::next), 4u);
    EXPECT_EQ(nextFocusedCard(recording, 4, FocusStep::previous), 4u);
    const bool some[] = { true, false, true, false, false };
    EXPECT_EQ(nextFocusedCard(some, 2, FocusStep::next), 0u);
    EXPECT_EQ(nextFocusedCard(some, 0, FocusStep::previous), 2u);
}
