#pragma once

// A 5 × 7 pixel font for drawing the chart without a font engine (the
// command-line logger's pictures): printable ASCII and the few symbols the
// meter's units use (Ω, µ, °, Δ). Anything else draws as a hollow box.

#include <array>
#include <cstdint>
#include <string_view>

namespace zelmar::ui {

inline constexpr int glyphWidth = 5;
inline constexpr int glyphHeight = 7;
inline constexpr int glyphAdvance = 6; // a column of space after each

// Five columns, the lowest bit the top row.
[[nodiscard]] std::array<std::uint8_t, 5> glyphColumns(char32_t c) noexcept;

// The code points of a UTF-8 text; an invalid byte counts as one point.
template <typename Each> void forEachCodePoint(std::string_view utf8, Each&& each)
{
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
        if (length == 1 || i + static_cast<std::size_t>(length) > utf8.size()) {
            each(static_cast<char32_t>(b < 0x80 ? b : 0xFFFD));
            ++i;
            continue;
        }
        char32_t c = b & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
        each(c);
        i += static_cast<std::size_t>(length);
    }
}

// The width of a text in pixels at a scale (each font pixel scale × scale).
[[nodiscard]] int bitmapTextWidth(std::string_view utf8, int scale) noexcept;

} // namespace zelmar::ui
