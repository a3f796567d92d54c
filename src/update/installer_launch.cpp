#include "update/installer_launch.h"

#include "update/update_downloader.h"

#include <cwctype>

namespace zelmar::InstallerLaunch {

std::string_view scopeText(Scope scope) noexcept
{
    return scope == Scope::perUser ? "perUser" : "machine";
}

Plan plan(const std::wstring& file, Scope scope)
{
    Plan p;
    p.file = file;
    p.scope = scope;
    p.parameters = L"/SILENT /SUPPRESSMSGBOXES /NORESTART /CLOSEAPPLICATIONS /RELAUNCH=1";
    if (scope == Scope::perUser)
        p.parameters += L" /CURRENTUSER";
    else
        p.verb = L"runas";
    return p;
}

std::wstring normalizePath(std::wstring_view path)
{
    const auto trim = [](std::wstring_view s, auto strip) {
        while (!s.empty() && strip(s.front()))
            s.remove_prefix(1);
        while (!s.empty() && strip(s.back()))
            s.remove_suffix(1);
        return s;
    };
    path = trim(path, [](wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; });
    path = trim(path, [](wchar_t c) { return c == L'"'; });
    std::wstring out(path);
    for (wchar_t& c : out) {
        if (c == L'/')
            c = L'\\';
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    while (out.size() > 3 && out.back() == L'\\')
        out.pop_back();
    return out;
}

bool samePath(std::wstring_view a, std::wstring_view b)
{
    const std::wstring na = normalizePath(a);
    return !na.empty() && na == normalizePath(b);
}

Scope detectScope(const Environment& environment)
{
    const Registration user = environment.perUser();
    if (!user.present)
        return Scope::machine;
    const auto folder = environment.executableFolder();
    if (!folder)
        return Scope::perUser;
    if (user.location && samePath(*user.location, *folder))
        return Scope::perUser;
    const Registration machine = environment.machine();
    if (machine.location && samePath(*machine.location, *folder))
        return Scope::machine;
    return Scope::perUser;
}

std::expected<Plan, UpdateFailure> launchVerified(const std::filesystem::path& installer, std::int64_t size,
    const std::string& sha256, const Environment& environment, void* ownerWindow)
{
    return launchVerified(
        installer, size, sha256, environment, [ownerWindow](const Plan& p) { return launch(p, ownerWindow); });
}

std::expected<Plan, UpdateFailure> launchVerified(const std::filesystem::path& installer, std::int64_t size,
    const std::string& sha256, const Environment& environment, const Starter& start)
{
    // Hashed through a handle that stays open, and on Windows denies writing
    // and deleting to others, until the shell has started the file: what
    // runs is what was hashed.
    auto pinned = PinnedFile::open(installer);
    if (!pinned)
        return std::unexpected(UpdateFailure::of(UpdateFailure::Kind::storage, 0, pinned.error().text()));
    if (!UpdateDownloader::stillVerified(*pinned, size, sha256)) {
        // Not what was verified: it must not be started later either.
        pinned = PinnedFile();
        std::error_code ignored;
        std::filesystem::remove(installer, ignored);
        return std::unexpected(UpdateFailure::of(UpdateFailure::Kind::integrityMismatch));
    }
    const Plan p = plan(installer.wstring(), detectScope(environment));
    auto launched = start(p);
    pinned = PinnedFile();
    if (!launched)
        return std::unexpected(launched.error());
    return p;
}

} // namespace zelmar::InstallerLaunch
