#pragma once

// The toolbar's icons (Windows build only): glyphs of the icon font shipped
// in assets\fonts, or simple geometric drawings when the font cannot be used
// (or ZELMAR_UI_FORCE_ICON_FALLBACK=1). Each kind, size and colour is drawn
// once per process and kept.

#include "ui/card_model.h"
#include "ui/gdi_objects_win32.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace zelmar::ui::win32 {

class ButtonIcons {
public:
    // The process's icons; UI thread only.
    [[nodiscard]] static ButtonIcons& instance();

    // A size × size top-down 32-bit DIB with premultiplied alpha, owned by
    // the cache; null when it cannot be made.
    [[nodiscard]] HBITMAP draw(ButtonIconKind kind, int size, Rgb color);
    // Whether the kind is drawn from the font (false: geometric drawing).
    [[nodiscard]] bool usesFont(ButtonIconKind kind);
    // Forgets the font, the glyphs and the drawn icons, so the next use
    // decides again (tests of the fallback).
    void resetForTesting();

private:
    ButtonIcons() = default;
    void initialise();
    [[nodiscard]] UniqueBitmap drawGlyph(ButtonIconKind kind, int size, Rgb color);

    bool initialised_ = false;
    std::wstring face_;
    std::array<std::optional<std::uint16_t>, buttonIconKindCount> glyphs_ {};
    std::map<std::tuple<int, int, std::uint32_t>, UniqueBitmap> cache_;
};

// The coverage of an icon's geometric drawing, size × size values 0..255
// row by row from the top (exposed for tests).
[[nodiscard]] std::vector<std::uint8_t> geometricIconCoverage(ButtonIconKind kind, int size);

} // namespace zelmar::ui::win32
