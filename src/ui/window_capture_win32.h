#pragma once

// Pictures of what a window paints itself (Windows build only): the client
// area rendered through WM_PRINTCLIENT into a 32-bit DIB. Tests read pixels
// from it; the screenshot tool writes it out as PNG.

#include "ui/geometry.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace zelmar::ui::win32 {

struct ClientImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, top row first

    [[nodiscard]] Rgb at(int x, int y) const
    {
        return Rgb::fromHex(pixels[static_cast<std::size_t>(y) * width + x] & 0xFFFFFF);
    }
};

// None when the client is empty or no bitmap can be made.
[[nodiscard]] std::optional<ClientImage> captureClient(HWND hwnd);
// What the screen shows of the window: its client area, or the whole window
// with its frame and menu bar (children included, as composed on screen).
[[nodiscard]] std::optional<ClientImage> captureOnScreen(HWND hwnd, bool wholeWindow);

} // namespace zelmar::ui::win32
