#pragma once

// Semantic versions without build metadata: major.minor.patch with optional
// pre-release identifiers (1.2.3, 1.2.3-beta.1), ordered by the precedence
// rules of Semantic Versioning 2.0.0.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar {

struct SemanticVersion {
    std::int64_t major = 0;
    std::int64_t minor = 0;
    std::int64_t patch = 0;
    std::vector<std::string> prerelease;

    // None for anything but the strict form (1 to 100 bytes).
    [[nodiscard]] static std::optional<SemanticVersion> parse(std::string_view text);
    [[nodiscard]] std::string text() const;

    friend bool operator==(const SemanticVersion&, const SemanticVersion&) = default;
    friend std::strong_ordering operator<=>(const SemanticVersion& a, const SemanticVersion& b);
};

} // namespace zelmar
