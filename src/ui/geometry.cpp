#include "ui/geometry.h"

#include "core/text_encoding.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace zelmar::ui {

int scale(int value, int dpi) noexcept
{
    if (dpi == 96)
        return value;
    // MulDiv semantics: the product rounded to the nearest integer.
    const std::int64_t product = std::int64_t { value } * dpi;
    const std::int64_t half = product >= 0 ? 48 : -48;
    return static_cast<int>((product + half) / 96);
}

int scaleAtLeastOne(int value, int dpi) noexcept
{
    const int scaled = scale(value, dpi);
    return scaled < 1 ? 1 : scaled;
}

int scaleTruncated(int value, int dpi) noexcept
{
    return static_cast<int>(std::int64_t { value } * dpi / 96);
}

std::optional<int> parseUiDpi(std::string_view text) noexcept
{
    const std::string_view trimmed = text::trimWhitespace(text);
    if (trimmed.empty())
        return std::nullopt;
    int dpi = 0;
    const auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), dpi);
    if (error != std::errc {} || end != trimmed.data() + trimmed.size() || dpi < 48 || dpi > 480)
        return std::nullopt;
    return dpi;
}

int roundHalfAway(double value) noexcept
{
    return static_cast<int>(std::lround(value));
}

} // namespace zelmar::ui
