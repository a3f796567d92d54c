#pragma once

// The toolbar cards without a window: which icon each shows in what colour,
// how a card looks in each state, where its icon and focus ring go, how the
// pointer and the keyboard turn into clicks, and where the arrow keys move
// the focus. The Win32 card (icon_card_button_win32.cpp) feeds it messages.

#include "ui/geometry.h"

#include <cstddef>
#include <optional>
#include <span>

namespace zelmar::ui {

enum class ButtonIconKind { newFile, open, save, play, stop };
inline constexpr int buttonIconKindCount = 5;

[[nodiscard]] Rgb defaultIconColor(ButtonIconKind kind) noexcept;
// The glyph of the icon font that shows the kind.
[[nodiscard]] char32_t iconCodePoint(ButtonIconKind kind) noexcept;
// The same or the nearest icon in the older numbering of the icon font as
// packaged by Debian (1.6), whose code points lie below U+10000 and which
// lacks the outlined file and open-folder icons.
[[nodiscard]] char32_t packagedIconCodePoint(ButtonIconKind kind) noexcept;

enum class CardLook { normal, hot, pressed, disabled };
struct CardColors {
    Rgb fill;
    Rgb border;
    friend bool operator==(const CardColors&, const CardColors&) = default;
};
[[nodiscard]] CardColors cardColors(CardLook look) noexcept;
inline constexpr Rgb disabledIconColor = Rgb::fromHex(0xB8BCC2);
inline constexpr Rgb focusRingColor = Rgb::fromHex(0x3C424A);

// Pointer and keyboard state of one card, and the clicks they make.
class CardInteraction {
public:
    // A left press (or double click) on the card: true when the card takes
    // the mouse capture.
    bool mousePressed(bool enabled) noexcept;
    void mouseMoved(bool inside) noexcept;
    // Released: true when the click is sent (pressed and released inside).
    [[nodiscard]] bool mouseReleased(bool inside, bool enabled) noexcept;
    void mouseLeft() noexcept;
    void captureLost() noexcept;
    // Space held: the card shows pressed; released: the click.
    void spacePressed(bool enabled) noexcept;
    [[nodiscard]] bool spaceReleased(bool enabled) noexcept;
    void focusLost() noexcept { keyDown_ = false; }

    [[nodiscard]] CardLook look(bool enabled) const noexcept;
    [[nodiscard]] bool hot() const noexcept { return hot_; }
    [[nodiscard]] bool pressed() const noexcept { return (mouseDown_ && mouseInside_) || keyDown_; }

private:
    bool hot_ = false;
    bool mouseDown_ = false;
    bool mouseInside_ = false;
    bool keyDown_ = false;
};

[[nodiscard]] int cardCornerRadius(int dpi) noexcept;
// The icon's square, centred, shifted a pixel right and down while pressed.
[[nodiscard]] Rect cardIconRect(const Rect& card, int dpi, bool pressed) noexcept;

struct FocusRing {
    Rect rect;
    double radius = 0; // 0: square corners
};
// None when the inset rectangle is empty.
[[nodiscard]] std::optional<FocusRing> focusRing(const Rect& card, int dpi) noexcept;

enum class FocusStep { previous, next };
// The card the arrow keys move the focus to among those that can take it,
// wrapping at either end; the current card when no other can.
[[nodiscard]] std::size_t nextFocusedCard(
    std::span<const bool> focusable, std::size_t current, FocusStep step) noexcept;

} // namespace zelmar::ui
