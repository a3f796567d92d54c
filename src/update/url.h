#pragma once

// Just enough URL parsing for the update rules: whether a text is a URL at
// all, and its scheme and host.

#include <optional>
#include <string>
#include <string_view>

namespace zelmar {

struct ParsedUrl {
    std::string scheme; // lower case; empty for a relative reference
    std::string host; // empty when there is none
};

// None for texts that cannot be a URL (empty, spaces, control characters,
// non-ASCII bytes, broken percent escapes).
[[nodiscard]] std::optional<ParsedUrl> parseUrl(std::string_view text);

// An absolute http or https URL with a host.
[[nodiscard]] bool isHttpUrl(std::string_view text);

} // namespace zelmar
