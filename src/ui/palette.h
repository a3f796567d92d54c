#pragma once

// Every colour the program's own painting uses, as one value: the standard
// look, or the high-contrast look made from the system's colour pairs so
// that a dark or light high-contrast theme reads as the user chose it.

#include "ui/card_model.h"
#include "ui/geometry.h"

namespace zelmar::ui {

// The system colours a high-contrast look is made of (GetSysColor's
// COLOR_WINDOW, COLOR_WINDOWTEXT, ... in the Windows build).
struct SystemColors {
    Rgb window;
    Rgb windowText;
    Rgb buttonFace;
    Rgb buttonText;
    Rgb highlight;
    Rgb highlightText;
    Rgb grayText;
    Rgb hotLight;
};

struct Palette {
    bool highContrast = false;
    struct Window {
        Rgb band; // the toolbar band and the field backgrounds
        Rgb bandLine;
        Rgb background;
        Rgb text;
        Rgb mutedText;
        Rgb link;
        Rgb nearLimit;
        Rgb frameBorder;
        Rgb frameFillRecording;
        Rgb frameBorderRecording;
        Rgb separator;
        Rgb statusText; // the status bar's own parts, on the status bar's face
        Rgb statusMuted;
        Rgb statusLink;
        Rgb statusNearLimit;
        Rgb focus;
        Rgb alarm; // the status bar's alarm part and a table cell outside the limits
        Rgb alarmText; // on the alarm colour
        friend bool operator==(const Window&, const Window&) = default;
    } window;
    struct Chart {
        Rgb background;
        Rgb border;
        Rgb grid;
        Rgb axis;
        Rgb label;
        Rgb caption;
        Rgb trace;
        Rgb overload;
        Rgb focus;
        Rgb limit; // the dashed limit lines
        Rgb cursor;
        friend bool operator==(const Chart&, const Chart&) = default;
    } chart;
    struct Lcd {
        Rgb background;
        Rgb frame;
        Rgb lit;
        Rgb unlitText;
        Rgb ghost;
        Rgb tick;
        Rgb lampLit;
        Rgb focus;
        Rgb alarmFrame; // the frame while a reading is outside the limits
        friend bool operator==(const Lcd&, const Lcd&) = default;
    } lcd;
    struct Cards {
        Rgb surround; // behind the rounded card
        CardColors normal;
        CardColors hot;
        CardColors pressed;
        CardColors disabled;
        Rgb disabledIcon;
        Rgb focusRing;
        bool systemIconColors = false; // every icon in one colour instead of its own
        Rgb icon; // that colour, when systemIconColors
        Rgb iconHot; // on the hot and pressed fill
        friend bool operator==(const Cards&, const Cards&) = default;
    } cards;
    struct Table {
        Rgb headerFill;
        Rgb headerLine;
        Rgb headerText;
        friend bool operator==(const Table&, const Table&) = default;
    } table;
    friend bool operator==(const Palette&, const Palette&) = default;

    [[nodiscard]] CardColors card(CardLook look) const noexcept;
    // The colour of a card's icon: its own colour in the standard look.
    [[nodiscard]] Rgb cardIcon(CardLook look, Rgb ownColor) const noexcept;
};

[[nodiscard]] const Palette& standardPalette() noexcept;
// Every foreground drawn on a background uses the system's pair for it:
// window text on window, button text on button face, highlight text on
// highlight; unlit LCD segments vanish into the background.
[[nodiscard]] Palette highContrastPalette(const SystemColors& system) noexcept;

} // namespace zelmar::ui
