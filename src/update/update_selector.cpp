#include "update/update_selector.h"

namespace zelmar {

UpdateDecision UpdateSelector::select(
    const UpdateManifest& manifest, const SemanticVersion& current, const std::optional<std::string>& skippedVersion)
{
    const UpdateRelease* best = nullptr;
    for (const UpdateRelease& r : manifest.releases)
        if (r.channel == "stable" && (best == nullptr || r.version > best->version))
            best = &r;
    if (best == nullptr || !(current < best->version))
        return UpdateDecision::upToDate();
    const bool mandatory = best->mandatory || (best->minVersion && current < *best->minVersion);
    if (mandatory || !skippedVersion)
        return UpdateDecision::available(*best, mandatory);
    const auto skipped = SemanticVersion::parse(*skippedVersion);
    if (!skipped || *skipped != best->version)
        return UpdateDecision::available(*best, false);
    return UpdateDecision::skipped(*best);
}

bool UpdateCheckThrottle::shouldCheck(std::optional<double> lastCheck, double now) noexcept
{
    if (!lastCheck || *lastCheck > now)
        return true;
    return now - *lastCheck >= interval;
}

} // namespace zelmar
