#pragma once

// Standard Base64 with padding, no line breaks. Decoding is strict: only
// the standard alphabet, padding required, and the text must be exactly what
// encoding the decoded bytes gives back.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar::Base64 {

[[nodiscard]] std::string encode(std::span<const std::uint8_t> bytes);
[[nodiscard]] std::optional<std::vector<std::uint8_t>> decode(std::string_view text);

} // namespace zelmar::Base64
