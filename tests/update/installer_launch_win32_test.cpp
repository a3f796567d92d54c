// The Windows backend of the installer launch under Wine: the real
// registry and the real shell call.

#include "security/ecdsa.h"
#include "storage/file_io.h"
#include "support/temp_dir.h"
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

TEST(PinnedFile, NoOneMayWriteRenameOrDeleteWhileItIsHeld)
{
    testing::TempDir dir;
    const auto path = dir / "setup.exe";
    testing::writeFile(path, "MZ installer");
    {
        auto pinned = PinnedFile::open(path);
        ASSERT_TRUE(pinned);
        EXPECT_FALSE(DeleteFileW(path.c_str()));
        EXPECT_FALSE(MoveFileExW(path.c_str(), (dir / "other.exe").c_str(), MOVEFILE_REPLACE_EXISTING));
        HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        if (writer != INVALID_HANDLE_VALUE)
            CloseHandle(writer);
        // Reading alongside (as starting the program does) stays possible.
        HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(reader, INVALID_HANDLE_VALUE);
        if (reader != INVALID_HANDLE_VALUE)
            CloseHandle(reader);
        EXPECT_EQ(pinned->size().value(), 12u);
    }
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST(InstallerLaunchWin32, AVerifiedFileStartsWhileItIsHeld)
{
    // A real program stands in for the installer: hashed through the held
    // handle, then started by the shell while that handle is still open.
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    testing::TempDir dir;
    const auto copy = dir / "ZELMAR_DMM5174K_Setup_9.9.9.exe";
    ASSERT_TRUE(CopyFileW((std::wstring(system) + L"\\hostname.exe").c_str(), copy.c_str(), FALSE));
    const std::string bytes = testing::readFile(copy);
    const std::string hash = *EcdsaP256::sha256Hex(asBytes(bytes));

    struct PerUser final : InstallerLaunch::Environment {
        InstallerLaunch::Registration perUser() const override { return { true, std::nullopt }; }
        InstallerLaunch::Registration machine() const override { return {}; }
        std::optional<std::wstring> executableFolder() const override { return std::nullopt; }
    } environment;
    const auto launched
        = InstallerLaunch::launchVerified(copy, static_cast<std::int64_t>(bytes.size()), hash, environment, nullptr);
    ASSERT_TRUE(launched) << static_cast<int>(launched.error().kind) << " " << launched.error().number;
    EXPECT_FALSE(launched->verb);
    // The handle is closed once the launch call has returned.
    Sleep(200);
    for (int i = 0; i < 50 && !DeleteFileW(copy.c_str()); ++i)
        Sleep(100); // the started program may still hold its own image open
}

} // namespace
} // namespace zelmar
