#include "update/installer_launch.h"

#include <windows.h>

#include <shellapi.h>

namespace zelmar::InstallerLaunch {

namespace {

Registration readRegistration(HKEY root)
{
    const std::wstring key
        = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + std::wstring(applicationId) + L"_is1";
    HKEY handle = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS)
        return {};
    Registration registration { true, std::nullopt };
    wchar_t buffer[2048] = {};
    DWORD type = 0;
    DWORD size = sizeof(buffer);
    if (RegQueryValueExW(handle, L"InstallLocation", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size)
            == ERROR_SUCCESS
        && (type == REG_SZ || type == REG_EXPAND_SZ)) {
        buffer[std::min<DWORD>(size / sizeof(wchar_t), 2047)] = L'\0';
        registration.location = std::wstring(buffer);
    }
    RegCloseKey(handle);
    return registration;
}

class SystemEnvironment final : public Environment {
public:
    Registration perUser() const override { return readRegistration(HKEY_CURRENT_USER); }
    Registration machine() const override { return readRegistration(HKEY_LOCAL_MACHINE); }
    std::optional<std::wstring> executableFolder() const override
    {
        std::wstring path(32'768, L'\0');
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0 || length >= path.size())
            return std::nullopt;
        path.resize(length);
        const auto slash = path.rfind(L'\\');
        if (slash == std::wstring::npos)
            return std::nullopt;
        return path.substr(0, slash);
    }
};

} // namespace

const Environment& systemEnvironment()
{
    static const SystemEnvironment environment;
    return environment;
}

std::expected<void, UpdateFailure> launch(const Plan& plan, void* ownerWindow)
{
    const auto slash = plan.file.rfind(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : plan.file.substr(0, slash);
    SHELLEXECUTEINFOW info {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = static_cast<HWND>(ownerWindow);
    info.lpVerb = plan.verb ? plan.verb->c_str() : nullptr;
    info.lpFile = plan.file.c_str();
    info.lpParameters = plan.parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) {
        if (info.hProcess != nullptr)
            CloseHandle(info.hProcess);
        return {};
    }
    const DWORD error = GetLastError();
    if (error == ERROR_CANCELLED)
        return std::unexpected(UpdateFailure::of(UpdateFailure::Kind::elevationCancelled));
    return std::unexpected(UpdateFailure::of(UpdateFailure::Kind::launchFailed, error));
}

} // namespace zelmar::InstallerLaunch
