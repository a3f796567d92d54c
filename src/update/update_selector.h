#pragma once

// Which release of a validated manifest to offer, and whether an automatic
// check is due.

#include "update/update_manifest.h"

#include <optional>
#include <string>

namespace zelmar {

struct UpdateDecision {
    enum class Kind { available, skipped, upToDate };
    Kind kind = Kind::upToDate;
    std::optional<UpdateRelease> release;
    bool mandatory = false;

    static UpdateDecision available(UpdateRelease r, bool m) { return { Kind::available, std::move(r), m }; }
    static UpdateDecision skipped(UpdateRelease r) { return { Kind::skipped, std::move(r), false }; }
    static UpdateDecision upToDate() { return { Kind::upToDate, std::nullopt, false }; }
    friend bool operator==(const UpdateDecision&, const UpdateDecision&) = default;
};

namespace UpdateSelector {
// The greatest "stable" release (the first of equals), if newer than the
// current version; mandatory by its flag or a min_version above the current.
[[nodiscard]] UpdateDecision select(const UpdateManifest& manifest, const SemanticVersion& currentVersion,
    const std::optional<std::string>& skippedVersion);
} // namespace UpdateSelector

namespace UpdateCheckThrottle {
inline constexpr double interval = 86'400;
// Due when there was no check, the clock went back, or a day has passed.
[[nodiscard]] bool shouldCheck(std::optional<double> lastCheck, double now) noexcept;
} // namespace UpdateCheckThrottle

} // namespace zelmar
