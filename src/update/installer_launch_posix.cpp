#include "update/installer_launch.h"

namespace zelmar::InstallerLaunch {

namespace {

// Installers are Windows programs; elsewhere there is no installation.
class NoInstallation final : public Environment {
public:
    Registration perUser() const override { return {}; }
    Registration machine() const override { return {}; }
    std::optional<std::wstring> executableFolder() const override { return std::nullopt; }
};

} // namespace

const Environment& systemEnvironment()
{
    static const NoInstallation environment;
    return environment;
}

std::expected<void, UpdateFailure> launch(const Plan&, void*)
{
    constexpr std::int64_t notSupported = 50; // ERROR_NOT_SUPPORTED
    return std::unexpected(UpdateFailure::of(UpdateFailure::Kind::launchFailed, notSupported));
}

} // namespace zelmar::InstallerLaunch
