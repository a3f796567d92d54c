#pragma once

// The drawing vocabulary shared by every window of the user interface:
// rectangles and points in pixels, colours, and the DPI scaling rule. Pure
// values, so layout and painting arithmetic is tested in both builds.

#include <cstdint>
#include <optional>
#include <string_view>

namespace zelmar::ui {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Half-open on the right and bottom, as GDI's RECT.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    [[nodiscard]] constexpr int width() const noexcept { return right - left; }
    [[nodiscard]] constexpr int height() const noexcept { return bottom - top; }
    [[nodiscard]] constexpr bool empty() const noexcept { return right <= left || bottom <= top; }
    [[nodiscard]] constexpr Rect inset(int d) const noexcept { return { left + d, top + d, right - d, bottom - d }; }
    [[nodiscard]] constexpr bool contains(Point p) const noexcept
    {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    // GDI's COLORREF layout: 0x00BBGGRR.
    [[nodiscard]] constexpr std::uint32_t colorRef() const noexcept
    {
        return std::uint32_t { r } | (std::uint32_t { g } << 8) | (std::uint32_t { b } << 16);
    }
    // GDI+'s ARGB layout, fully opaque: 0xFFRRGGBB.
    [[nodiscard]] constexpr std::uint32_t opaqueArgb() const noexcept
    {
        return 0xFF000000u | (std::uint32_t { r } << 16) | (std::uint32_t { g } << 8) | b;
    }
    [[nodiscard]] static constexpr Rgb fromColorRef(std::uint32_t c) noexcept
    {
        return { static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>((c >> 8) & 0xFF),
            static_cast<std::uint8_t>((c >> 16) & 0xFF) };
    }
    [[nodiscard]] static constexpr Rgb fromHex(std::uint32_t rrggbb) noexcept
    {
        return { static_cast<std::uint8_t>(rrggbb >> 16), static_cast<std::uint8_t>((rrggbb >> 8) & 0xFF),
            static_cast<std::uint8_t>(rrggbb & 0xFF) };
    }
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Sizes are written at 96 DPI; value × dpi / 96 with 64-bit intermediate,
// rounded to nearest as MulDiv does.
[[nodiscard]] int scale(int value, int dpi) noexcept;
// A scaled length that never falls below one pixel.
[[nodiscard]] int scaleAtLeastOne(int value, int dpi) noexcept;
// Integer multiply-then-divide, truncating: value × dpi / 96.
[[nodiscard]] int scaleTruncated(int value, int dpi) noexcept;

// The override of the process-wide UI DPI: a whole number from 48 to 480
// after trimming white space; anything else is none.
[[nodiscard]] std::optional<int> parseUiDpi(std::string_view text) noexcept;

// Rounds to the nearest integer, halves away from zero.
[[nodiscard]] int roundHalfAway(double value) noexcept;

} // namespace zelmar::ui
