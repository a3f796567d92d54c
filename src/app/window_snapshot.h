#pragma once

// The picture a test asks of the main window (ZELMAR_TEST_SHOT): the BMP
// file it is written as, and the menu drawn opened over it. The capture and
// the drawing are Win32 (gui/window_snapshot_win32.cpp); what is fixed about
// the bytes and the menu is here, portable and tested in both builds.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar {

namespace WindowSnapshot {

// A 54-byte header ("BM", 40-byte information header, positive height so
// rows run bottom-up, 32 bits per pixel, 2835 pixels per metre) and the
// pixel rows as given: width × height × 4 bytes, bottom row first.
[[nodiscard]] std::vector<std::uint8_t> bmpFile(int width, int height, std::span<const std::uint8_t> bottomUpPixels);

} // namespace WindowSnapshot

namespace MenuPreview {

// The top-level menu a selector names: "file", "edit", "view", "help" or a
// whole number as a zero-based position; none for anything else or a
// position outside the bar.
[[nodiscard]] std::optional<int> chosenMenu(std::string_view selector, int menuCount);

struct Item {
    std::string label;
    std::string accelerator;
    bool separator = false;
    bool checked = false;
    bool grayed = false;
    bool popup = false;
    friend bool operator==(const Item&, const Item&) = default;
};
// An item from its text (label, tab, accelerator) and its menu state bits.
[[nodiscard]] Item item(std::string_view text, unsigned state);

} // namespace MenuPreview

} // namespace zelmar
