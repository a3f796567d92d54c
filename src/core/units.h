#pragma once

// Units and numbers of a display: the unit text for a function code and
// range digit, and the number the seven display characters show.

#include <cstdint>
#include <optional>
#include <string_view>

namespace zelmar {

namespace DMMUnitTable {
// The unit text for a raw function code and range index; none when the code
// or range has no unit in the table. The empty text is a valid unit.
[[nodiscard]] std::optional<std::string_view> unit(std::uint8_t code, int range) noexcept;
} // namespace DMMUnitTable

namespace DMMValueParser {
// The number shown, as displayed (no unit prefix applied). None for blank
// text, overload ("OL" anywhere, any case) and anything that is not a plain
// decimal number; the result is always finite.
[[nodiscard]] std::optional<double> parse(std::string_view text) noexcept;
} // namespace DMMValueParser

} // namespace zelmar
