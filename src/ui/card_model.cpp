#include "ui/card_model.h"

#include <algorithm>

namespace zelmar::ui {

Rgb defaultIconColor(ButtonIconKind kind) noexcept
{
    switch (kind) {
    case ButtonIconKind::play:
        return Rgb::fromHex(0x169444);
    case ButtonIconKind::stop:
        return Rgb::fromHex(0xC42C2C);
    case ButtonIconKind::newFile:
    case ButtonIconKind::open:
    case ButtonIconKind::save:
        break;
    }
    return Rgb::fromHex(0x424850);
}

char32_t iconCodePoint(ButtonIconKind kind) noexcept
{
    switch (kind) {
    case ButtonIconKind::newFile:
        return 0xF0EED;
    case ButtonIconKind::open:
        return 0xF0DCF;
    case ButtonIconKind::save:
        return 0xF0818;
    case ButtonIconKind::play:
        return 0xF040A;
    case ButtonIconKind::stop:
        return 0xF04DB;
    }
    return 0;
}

char32_t packagedIconCodePoint(ButtonIconKind kind) noexcept
{
    switch (kind) {
    case ButtonIconKind::newFile:
        return 0xF39D; // note-plus-outline
    case ButtonIconKind::open:
        return 0xF256; // folder-outline
    case ButtonIconKind::save:
        return 0xF193; // content-save
    case ButtonIconKind::play:
        return 0xF40A;
    case ButtonIconKind::stop:
        return 0xF4DB;
    }
    return 0;
}

CardColors cardColors(CardLook look) noexcept
{
    switch (look) {
    case CardLook::disabled:
        return { Rgb::fromHex(0xFAFAFB), Rgb::fromHex(0xE1E4E8) };
    case CardLook::pressed:
        return { Rgb::fromHex(0xCDE0F7), Rgb::fromHex(0x1565C0) };
    case CardLook::hot:
        return { Rgb::fromHex(0xE5EFFB), Rgb::fromHex(0x1565C0) };
    case CardLook::normal:
        break;
    }
    return { Rgb::fromHex(0xFFFFFF), Rgb::fromHex(0xC8CCD2) };
}

bool CardInteraction::mousePressed(bool enabled) noexcept
{
    if (!enabled)
        return false;
    mouseDown_ = true;
    mouseInside_ = true;
    return true;
}

void CardInteraction::mouseMoved(bool inside) noexcept
{
    mouseInside_ = inside;
    hot_ = inside;
}

bool CardInteraction::mouseReleased(bool inside, bool enabled) noexcept
{
    const bool click = mouseDown_ && inside && enabled;
    mouseDown_ = false;
    mouseInside_ = inside;
    return click;
}

void CardInteraction::mouseLeft() noexcept
{
    hot_ = false;
    mouseInside_ = false;
}

void CardInteraction::captureLost() noexcept
{
    mouseDown_ = false;
}

void CardInteraction::spacePressed(bool enabled) noexcept
{
    if (enabled)
        keyDown_ = true;
}

bool CardInteraction::spaceReleased(bool enabled) noexcept
{
    const bool click = keyDown_ && enabled;
    keyDown_ = false;
    return click;
}

CardLook CardInteraction::look(bool enabled) const noexcept
{
    if (!enabled)
        return CardLook::disabled;
    if (pressed())
        return CardLook::pressed;
    return hot_ ? CardLook::hot : CardLook::normal;
}

int cardCornerRadius(int dpi) noexcept
{
    return scaleTruncated(5, dpi);
}

Rect cardIconRect(const Rect& card, int dpi, bool pressed) noexcept
{
    const int size = scaleTruncated(20, dpi);
    const int shift = pressed ? scaleTruncated(1, dpi) : 0;
    const int left = card.left + (card.width() - size) / 2 + shift;
    const int top = card.top + (card.height() - size) / 2 + shift;
    return { left, top, left + size, top + size };
}

std::optional<FocusRing> focusRing(const Rect& card, int dpi) noexcept
{
    const Rect rect = card.inset(std::max(2, scaleTruncated(2, dpi)));
    if (rect.empty())
        return std::nullopt;
    const int inset = rect.left - card.left;
    double radius = std::max(1, cardCornerRadius(dpi) - inset);
    radius = std::min(radius, std::min(rect.width(), rect.height()) / 2.0);
    if (radius < 0.5)
        radius = 0;
    return FocusRing { rect, radius };
}

std::size_t nextFocusedCard(std::span<const bool> focusable, std::size_t current, FocusStep step) noexcept
{
    const std::size_t n = focusable.size();
    if (n == 0)
        return current;
    std::size_t i = current;
    for (std::size_t tried = 0; tried + 1 < n; ++tried) {
        i = step == FocusStep::next ? (i + 1) % n : (i + n - 1) % n;
        if (focusable[i])
            return i;
    }
    return current;
}

} // namespace zelmar::ui
