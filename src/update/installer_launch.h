#pragma once

// Starting a verified installer: in which scope it runs (the user's own
// installation or the machine-wide one), its command line, and the shell
// call that starts it. The registry and the shell are behind small seams so
// the rules are tested in both builds; the Windows backend uses the real ones.

#include "update/update_flow.h"

#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zelmar::InstallerLaunch {

// How long the installer waits for the program to exit before it gives up
// without touching a file (ProgramExitWaitMs in packaging/windows/setup.iss).
inline constexpr double exitWaitSeconds = 120;

enum class Scope { perUser, machine };
[[nodiscard]] std::string_view scopeText(Scope scope) noexcept;

// The installer's application ID: its uninstall key is
// Software\Microsoft\Windows\CurrentVersion\Uninstall\<ID>_is1.
inline constexpr std::wstring_view applicationId = L"{6B2F1E0A-5174-4D2A-9E1C-0D3E5174E429}";

struct Plan {
    std::wstring file;
    std::wstring parameters;
    std::optional<std::wstring> verb;
    Scope scope = Scope::perUser;
};

[[nodiscard]] Plan plan(const std::wstring& file, Scope scope);

// "  \"C:/Program Files/App/\" " and "c:\program files\app" are the same.
[[nodiscard]] std::wstring normalizePath(std::wstring_view path);
[[nodiscard]] bool samePath(std::wstring_view a, std::wstring_view b);

struct Registration {
    bool present = false;
    std::optional<std::wstring> location; // InstallLocation
};

// What the scope decision reads.
class Environment {
public:
    virtual ~Environment() = default;
    [[nodiscard]] virtual Registration perUser() const = 0;
    [[nodiscard]] virtual Registration machine() const = 0;
    [[nodiscard]] virtual std::optional<std::wstring> executableFolder() const = 0;
};

[[nodiscard]] Scope detectScope(const Environment& environment);

// The running system: the registry and the module path on Windows; on
// other platforms there is no installation to find.
[[nodiscard]] const Environment& systemEnvironment();

// Starts the plan through the shell; a failure is elevationCancelled (the
// user declined elevation) or launchFailed(code).
[[nodiscard]] std::expected<void, UpdateFailure> launch(const Plan& plan, void* ownerWindow);

// The whole start of a verified installer: hashed once more right before it
// starts (a file swapped in the folder after verification is never run),
// scope decided, plan built and launched. Answers the plan that ran.
[[nodiscard]] std::expected<Plan, UpdateFailure> launchVerified(const std::filesystem::path& installer,
    std::int64_t size, const std::string& sha256, const Environment& environment, void* ownerWindow);
// The same with the start given: the caller logs the plan and starts it.
using Starter = std::function<std::expected<void, UpdateFailure>(const Plan&)>;
[[nodiscard]] std::expected<Plan, UpdateFailure> launchVerified(const std::filesystem::path& installer,
    std::int64_t size, const std::string& sha256, const Environment& environment, const Starter& start);

} // namespace zelmar::InstallerLaunch
