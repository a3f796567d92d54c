#include "ui/palette.h"

#include "ui/chart_model.h"
#include "ui/lcd_model.h"
#include "ui/main_window_model.h"

namespace zelmar::ui {

CardColors Palette::card(CardLook look) const noexcept
{
    switch (look) {
    case CardLook::hot:
        return cards.hot;
    case CardLook::pressed:
        return cards.pressed;
    case CardLook::disabled:
        return cards.disabled;
    case CardLook::normal:
        break;
    }
    return cards.normal;
}

Rgb Palette::cardIcon(CardLook look, Rgb ownColor) const noexcept
{
    if (look == CardLook::disabled)
        return cards.disabledIcon;
    if (!cards.systemIconColors)
        return ownColor;
    return look == CardLook::normal ? cards.icon : cards.iconHot;
}

const Palette& standardPalette() noexcept
{
    namespace w = main_window_colors;
    namespace c = chart_colors;
    namespace l = lcd_colors;
    static const Palette palette {
        .highContrast = false,
        .window = { w::band, w::bandLine, w::background, w::text, w::mutedText, w::link, w::nearLimit,
            w::frameBorder, w::frameFillRecording, w::frameBorderRecording, w::separator, w::text, w::mutedText,
            w::link, w::nearLimit, focusRingColor, w::alarm, Rgb::fromHex(0xFFFFFF) },
        .chart = { c::background, c::border, c::grid, c::axis, c::label, c::caption, c::trace, c::overload,
            focusRingColor, c::limit, c::cursor },
        .lcd = { l::background, l::frame, l::lit, l::unlitText, l::ghost, l::tick, l::lampLit, focusRingColor,
            w::alarm },
        .cards = { Rgb::fromHex(0xFFFFFF), cardColors(CardLook::normal), cardColors(CardLook::hot),
            cardColors(CardLook::pressed), cardColors(CardLook::disabled), disabledIconColor, focusRingColor, false,
            {}, {} },
        .table = { Rgb::fromHex(0x464A50), Rgb::fromHex(0x6A6F76), Rgb::fromHex(0xFFFFFF) },
    };
    return palette;
}

Palette highContrastPalette(const SystemColors& s) noexcept
{
    Palette p;
    p.highContrast = true;
    p.window = { s.window, s.windowText, s.buttonFace, s.windowText, s.grayText, s.hotLight, s.highlight,
        s.windowText, s.window, s.grayText, s.windowText, s.buttonText, s.buttonText, s.hotLight, s.buttonText,
        s.windowText, s.highlight, s.highlightText };
    p.chart = { s.window, s.windowText, s.grayText, s.windowText, s.windowText, s.windowText, s.highlight,
        s.hotLight, s.windowText, s.hotLight, s.windowText };
    // Unlit segments and annunciators take the background: only what the
    // meter shows is drawn, in the window's text colour.
    p.lcd = { s.window, s.windowText, s.windowText, s.window, s.window, s.windowText, s.highlight, s.windowText,
        s.highlight };
    p.cards = { s.window, { s.buttonFace, s.buttonText }, { s.highlight, s.highlightText },
        { s.highlight, s.highlightText }, { s.buttonFace, s.grayText }, s.grayText, s.buttonText, true, s.buttonText,
        s.highlightText };
    p.table = { s.buttonFace, s.buttonText, s.buttonText };
    return p;
}

} // namespace zelmar::ui
