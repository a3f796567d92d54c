// The Windows backend of the installer launch under Wine: the real
// registry and the real shell call.

#include "update/installer_launch.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace zelmar {
namespace {

const std::wstring kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    + std::wstring(InstallerLaunch::applicationId) + L"_is1";

TEST(InstallerLaunchWin32, ReadsTheUninstallRegistration)
{
    RegDeleteKeyW(HKEY_CURRENT_USER, kKey.c_str());
    const auto& system = InstallerLaunch::systemEnvironment();
    EXPECT_FALSE(system.perUser().present);
    const auto folder = system.executableFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(InstallerLaunch::detectScope(system), InstallerLaunch::Scope::machine);

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                  &key, nullptr),
        ERROR_SUCCESS);
    const std::wstring location = *folder + L"\\";
    RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(location.c_str()),
        static_cast<DWORD>((location.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    const auto registration = system.perUser();
    EXPECT_TRUE(registration.present);
    EXPECT_EQ(registration.location, location);
    EXPECT_EQ(InstallerLaunch::detectScope(system), InstallerLaunch::Scope::perUser);
    RegDeleteKeyW(HKEY_CURRENT_USER, kKey.c_str());
}

TEST(InstallerLaunchWin32, AMissingInstallerIsALaunchFailure)
{
    const auto plan
        = InstallerLaunch::plan(L"C:\\no\\such\\ZELMAR_DMM5174K_Setup_9.9.9.exe", InstallerLaunch::Scope::perUser);
    const auto launched = InstallerLaunch::launch(plan, nullptr);
    ASSERT_FALSE(launched);
    EXPECT_EQ(launched.error().kind, UpdateFailure::Kind::launchFailed);
    EXPECT_NE(launched.error().number, 0);
}

} // namespace
} // namespace zelmar
