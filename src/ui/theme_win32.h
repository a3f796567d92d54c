#pragma once

// Process-wide look of the user interface (Windows build only): the one UI
// DPI every size is scaled by, the shared fonts made once at first use, the
// asset folders beside the program, and the fonts it loads privately.

#include "ui/palette.h"

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace zelmar::ui::win32 {

// ZELMAR_UI_DPI when it holds a whole number from 48 to 480, else the system
// DPI (96 when the system reports none). Decided once per process.
[[nodiscard]] int uiDpi() noexcept;

enum class ThemeFont {
    header, // "Segoe UI" bold 11 pt: the LCD's mode annunciators
    label, // "Segoe UI" bold 12 pt: the LCD's left column and units
    chart, // "Segoe UI" 8 pt: the chart's caption and axis labels, narrow enough for "-20.35" left of the plot
    interface, // "Microsoft JhengHei UI" 10 pt
    interfaceBold,
};
// Made once per process for uiDpi(); owned by the process, never deleted by
// the windows that select them.
[[nodiscard]] HFONT themeFont(ThemeFont font) noexcept;

// A font of the given face and character height in pixels with the theme's
// other parameters (default charset, TrueType precision, ClearType quality).
[[nodiscard]] HFONT createThemeFont(std::wstring_view face, int pixelHeight, int weight) noexcept;

// Whether the user asked for high contrast. Read anew on every call, so a
// change of the setting shows at the next paint. Wine cannot switch the
// setting: there the variable ZELMAR_TEST_HIGH_CONTRAST=1 stands for it.
[[nodiscard]] bool highContrastIsOn() noexcept;
// The colours to paint with now: the system's pairs under high contrast.
[[nodiscard]] Palette activePalette() noexcept;

// The folder of the program's executable, without a trailing separator.
[[nodiscard]] std::optional<std::wstring> programFolder();
// The first of the program's folder and its parent that holds the relative
// path as a file; none when neither does.
[[nodiscard]] std::optional<std::wstring> assetPath(std::wstring_view relative);

// A font file added for this process only: the family name the file
// declares and the file's bytes (for its character map).
struct PrivateFont {
    std::wstring family;
    std::string file;
};
// None when the file cannot be read, named or added.
[[nodiscard]] std::optional<PrivateFont> loadPrivateFont(const std::wstring& path);

// The seven-segment face for the LCD, loaded once per process from
// assets\fonts\DSEG7Classic-Bold.ttf and logged; "Consolas" when missing.
[[nodiscard]] const std::wstring& lcdFaceName();
[[nodiscard]] bool lcdFaceIsSevenSegment();

} // namespace zelmar::ui::win32
