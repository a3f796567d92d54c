#include "security/ecdsa.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "update/installer_launch.h"
#include "update/update_downloader.h"
#include "update/update_flow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>

namespace zelmar {
namespace {

using testing::HttpTestServer;
using testing::TempDir;
using FK = UpdateFailure::Kind;

std::string installer(std::size_t n)
{
    std::string body(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        body[i] = static_cast<char>(i * 31 % 251);
    return body;
}

std::string hashOf(const std::string& bytes)
{
    return *EcdsaP256::sha256Hex(asBytes(bytes));
}

struct DownloadRig {
    DownloadRig()
    {
        server.route("/setup.exe", [this](auto& c) { c.respond(200, body); });
        server.route("/nolength-plus-one",
            [this](auto& c) { c.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + body + "x"); });
        server.route("/announces-more", [this](auto& c) { c.respond(200, body + "x"); });
        // No length, and far more than the installer: counts what it sent.
        server.route("/endless", [this](auto& c) {
            if (!c.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"))
                return;
            const std::string chunk(65'536, 'z');
            for (int i = 0; i < 1600 && c.send(chunk); ++i)
                endlessSent += chunk.size();
        });
    }
    std::string body = installer(300'000);
    std::atomic<std::size_t> endlessSent { 0 };
    HttpTestServer server;
    PlatformHTTPClient client { "test" };
    TempDir dir;
    UpdateDownloader downloader { client, dir / "updates", 10 };
    const std::string name = UpdateDownloader::installerFileName("1.4.0");
};

TEST(UpdateDownloader, VerifiedInstallersOnly)
{
    DownloadRig rig;
    const auto size = static_cast<std::int64_t>(rig.body.size());
    int progressCalls = 0;
    const auto file = rig.downloader.download(rig.server.url("/setup.exe"), rig.name, size, hashOf(rig.body),
        [&](std::int64_t received, std::int64_t expected) {
            EXPECT_EQ(expected, size);
            EXPECT_LE(received, size);
            ++progressCalls;
            return true;
        });
    ASSERT_TRUE(file) << file.error().description();
    EXPECT_EQ(file->filename().string(), "ZELMAR_DMM5174K_Setup_1.4.0.exe");
    EXPECT_EQ(testing::readFile(*file), rig.body);
    EXPECT_GT(progressCalls, 0);

    // A second download finds the verified file: no request, no progress.
    const int requests = rig.server.requests();
    ASSERT_TRUE(rig.downloader.download(
        rig.server.url("/setup.exe"), rig.name, size, hashOf(rig.body), [](std::int64_t, std::int64_t) {
            ADD_FAILURE() << "no transfer expected";
            return true;
        }));
    EXPECT_EQ(rig.server.requests(), requests);
    // An upper-case hash given directly is lower-cased and accepted.
    std::string upper = hashOf(rig.body);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(rig.downloader.download(rig.server.url("/setup.exe"), rig.name, size, upper, {}));
}

TEST(UpdateDownloader, RefusalsLeaveNothingBehind)
{
    DownloadRig rig;
    const auto size = static_cast<std::int64_t>(rig.body.size());
    const auto updates = rig.dir / "updates";
    const auto empty = [&] {
        std::error_code ec;
        return !std::filesystem::exists(updates) || std::filesystem::is_empty(updates, ec);
    };
    EXPECT_EQ(rig.downloader.download(rig.server.url("/announces-more"), rig.name, size, hashOf(rig.body), {}).error(),
        UpdateHTTPError::sizeMismatch(size, size + 1));
    EXPECT_TRUE(empty());
    EXPECT_EQ(
        rig.downloader.download(rig.server.url("/nolength-plus-one"), rig.name, size, hashOf(rig.body), {}).error(),
        UpdateHTTPError::sizeMismatch(size, size + 1));
    EXPECT_TRUE(empty());
    EXPECT_EQ(rig.downloader.download(rig.server.url("/setup.exe"), rig.name, size, std::string(64, 'a'), {}).error(),
        UpdateHTTPError::checksumMismatch());
    EXPECT_TRUE(empty());
    EXPECT_EQ(rig.downloader
                  .download(rig.server.url("/setup.exe"), rig.name, size, hashOf(rig.body),
                      [](std::int64_t, std::int64_t) { return false; })
                  .error(),
        UpdateHTTPError::cancelled());
    EXPECT_TRUE(empty());
    EXPECT_EQ(rig.downloader.download(rig.server.url("/missing"), rig.name, size, hashOf(rig.body), {}).error(),
        UpdateHTTPError::httpStatus(404));
    EXPECT_EQ(rig.downloader.download(rig.server.url("/setup.exe"), rig.name, size, "xyz", {}).error(),
        UpdateHTTPError::checksumMismatch());
    EXPECT_EQ(rig.downloader.download(rig.server.url("/setup.exe"), rig.name, 0, hashOf(rig.body), {}).error(),
        UpdateHTTPError::sizeMismatch(0, 0));
    EXPECT_EQ(rig.downloader.download(rig.server.url("/setup.exe"), "con.exe", size, hashOf(rig.body), {}).error(),
        UpdateHTTPError::io("不安全的檔名：con.exe"));
    EXPECT_TRUE(empty());
}

TEST(UpdateDownloader, AFileOfTheRightSizeButOtherContentIsNeverReused)
{
    DownloadRig rig;
    const auto size = static_cast<std::int64_t>(rig.body.size());
    const auto planted = rig.dir / "updates" / rig.name;
    std::string other = rig.body;
    other[size / 2] ^= 0x55; // same size, one byte different
    testing::writeFile(planted, other);
    const int requests = rig.server.requests();
    const auto file = rig.downloader.download(rig.server.url("/setup.exe"), rig.name, size, hashOf(rig.body), {});
    ASSERT_TRUE(file) << file.error().description();
    EXPECT_EQ(rig.server.requests(), requests + 1);
    EXPECT_EQ(testing::readFile(*file), rig.body);
}

TEST(UpdateDownloader, ABodyPastTheInstallerSizeIsStoppedEarly)
{
    DownloadRig rig;
    const auto size = static_cast<std::int64_t>(rig.body.size());
    std::int64_t mostReceived = 0;
    const auto result = rig.downloader.download(
        rig.server.url("/endless"), rig.name, size, hashOf(rig.body), [&](std::int64_t received, std::int64_t) {
            mostReceived = std::max(mostReceived, received);
            return true;
        });
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind, UpdateHTTPError::Kind::sizeMismatch);
    EXPECT_LE(mostReceived, size);
    // The server could send 100 MiB; the client hung up near the size
    // (what is in flight in the socket buffers aside).
    EXPECT_LT(rig.endlessSent.load(), std::size_t { 32 } << 20);
    EXPECT_FALSE(std::filesystem::exists(rig.dir / "updates" / (rig.name + ".part")));
}

TEST(UpdateDownloader, InstallersAreHashedAsAStream)
{
    TempDir dir;
    // Bigger than any one read, hashed piece by piece: the same digest as
    // the whole at once, and one byte changed anywhere is another digest.
    const std::string body = installer(3 * (1 << 20) + 12'345);
    testing::writeFile(dir / "a.exe", body);
    EXPECT_EQ(UpdateDownloader::sha256Hex(dir / "a.exe").value(), hashOf(body));
    std::string changed = body;
    changed.back() ^= 1;
    testing::writeFile(dir / "b.exe", changed);
    EXPECT_NE(UpdateDownloader::sha256Hex(dir / "b.exe").value(), hashOf(body));
    EXPECT_FALSE(UpdateDownloader::sha256Hex(dir / "missing.exe"));
    std::filesystem::create_directories(dir / "folder.exe");
    EXPECT_FALSE(UpdateDownloader::sha256Hex(dir / "folder.exe"));
}

TEST(UpdateDownloader, SafeNamesAndCleanup)
{
    for (const char* bad :
        { "con.exe", "Con.Setup.exe", ".hidden.exe", "setup.exe.", "a.exe.PART", "a b.exe", "../x.exe", "LPT9", "" })
        EXPECT_FALSE(UpdateDownloader::isSafeFileName(bad)) << bad;
    EXPECT_TRUE(UpdateDownloader::isSafeFileName("ZELMAR_DMM5174K_Setup_1.4.0-rc.1.exe"));
    EXPECT_FALSE(UpdateDownloader::isSafeFileName(std::string(129, 'a')));

    DownloadRig rig;
    const auto updates = rig.dir / "updates";
    std::filesystem::create_directories(updates / "old.exe");
    for (const char* f : { "ZELMAR_DMM5174K_SETUP_1.4.0.EXE", "old-1.exe", "x.part", "notes.txt" })
        testing::writeFile(updates / f, "x");
    ASSERT_TRUE(rig.downloader.removeOldInstallers(rig.name));
    EXPECT_TRUE(std::filesystem::exists(updates / "ZELMAR_DMM5174K_SETUP_1.4.0.EXE"));
    EXPECT_FALSE(std::filesystem::exists(updates / "old-1.exe"));
    EXPECT_FALSE(std::filesystem::exists(updates / "x.part"));
    EXPECT_TRUE(std::filesystem::exists(updates / "notes.txt"));
    EXPECT_TRUE(std::filesystem::is_directory(updates / "old.exe"));
}

TEST(UpdateEndpoint, OverridesAndRejections)
{
    const auto env = [](std::optional<std::string> value) { return [value](const char*) { return value; }; };
    auto r = UpdateEndpoint::resolve(env("ftp://host/x"), "https://mirror.example/info.json");
    EXPECT_EQ(r.url, "https://mirror.example/info.json");
    EXPECT_EQ(r.source, UpdateEndpoint::Source::settings);
    EXPECT_EQ(r.rejected, std::vector<std::string> { "environment=ftp://host/x" });
    r = UpdateEndpoint::resolve(env("  \n"), " ");
    EXPECT_EQ(r.source, UpdateEndpoint::Source::builtIn);
    EXPECT_TRUE(r.rejected.empty());
    EXPECT_TRUE(r.url.ends_with("/swupdata/dmm5174k/info.json"));
    r = UpdateEndpoint::resolve(env(" http://127.0.0.1:8080/x "), std::nullopt);
    EXPECT_EQ(r.url, "http://127.0.0.1:8080/x");
    EXPECT_EQ(r.source, UpdateEndpoint::Source::environment);
    EXPECT_EQ(UpdateEndpoint::logLines(r, "1.0.0").back(),
        "更新：清單網址 http://127.0.0.1:8080/x（來源 environment）、目前版本 1.0.0");
}

TEST(UpdateFlow, ActionsEffectsAndPreflight)
{
    using AK = UpdateUIAction::Kind;
    using Mode = UpdateCheckMode;
    UpdateRelease r;
    r.version = *SemanticVersion::parse("1.4.0");
    const auto act = [&](UpdateCheckOutcome o, Mode m) { return UpdateFlow::action(o, m, "1.0.0"); };
    const UpdateCheckOutcome skipped { UpdateDecision::skipped(r), std::nullopt };
    const UpdateCheckOutcome optional { UpdateDecision::available(r, false), std::nullopt };
    const UpdateCheckOutcome mandatory { UpdateDecision::available(r, true), std::nullopt };
    const UpdateCheckOutcome current { UpdateDecision::upToDate(), std::nullopt };
    const UpdateCheckOutcome failed { std::nullopt, UpdateFailure::of(FK::network, 12029) };
    EXPECT_EQ(act(skipped, Mode::automatic).kind, AK::logOnly);
    EXPECT_EQ(act(skipped, Mode::manual).kind, AK::showNoticeAndPrompt);
    EXPECT_EQ(act(skipped, Mode::unattendedInstall).kind, AK::installUnattended);
    EXPECT_EQ(act(optional, Mode::automatic).kind, AK::showNotice);
    EXPECT_EQ(act(mandatory, Mode::automatic).kind, AK::showNoticeAndPrompt);
    EXPECT_TRUE(act(mandatory, Mode::unattendedInstall).mandatory);
    EXPECT_EQ(act(current, Mode::manual).kind, AK::showUpToDate);
    EXPECT_EQ(act(current, Mode::automatic).kind, AK::logOnly);
    EXPECT_EQ(act(failed, Mode::automatic).kind, AK::logOnly);
    EXPECT_EQ(act(failed, Mode::manual).kind, AK::showError);
    EXPECT_EQ(act(failed, Mode::manual).failure->dialogTitle(), L10nKey::dialogUpdateCheckFailedTitle);

    using C = UpdateFlow::PromptChoice;
    EXPECT_EQ(
        UpdateFlow::effects(C::updateNow, "1.4.0", false), (UpdateFlow::PromptEffects { std::nullopt, true, true }));
    EXPECT_EQ(
        UpdateFlow::effects(C::remindLater, "1.4.0", false), (UpdateFlow::PromptEffects { std::nullopt, true, false }));
    EXPECT_EQ(
        UpdateFlow::effects(C::skipVersion, "1.4.0", false), (UpdateFlow::PromptEffects { "1.4.0", false, false }));
    EXPECT_EQ(
        UpdateFlow::effects(C::skipVersion, "1.4.0", true), (UpdateFlow::PromptEffects { std::nullopt, true, false }));
    EXPECT_EQ(UpdateFlow::preflight(true, true), UpdateFlow::InstallPreflight::blockedByRecording);
    EXPECT_EQ(UpdateFlow::preflight(false, true), UpdateFlow::InstallPreflight::askToSaveChanges);
    EXPECT_EQ(UpdateFlow::preflight(false, false), UpdateFlow::InstallPreflight::ready);
    EXPECT_EQ(parseCheckMode("unattendedInstall"), Mode::unattendedInstall);
    EXPECT_FALSE(parseCheckMode("auto"));
}

TEST(UpdateFlow, FailuresFromErrors)
{
    EXPECT_EQ(UpdateFailure::fromCheck(UpdateHTTPError::httpStatus(404)), UpdateFailure::of(FK::serverStatus, 404));
    EXPECT_EQ(UpdateFailure::fromCheck(UpdateHTTPError::tooLarge()), UpdateFailure::of(FK::manifestInvalid));
    EXPECT_EQ(UpdateFailure::fromCheck(UpdateManifestError::nameMismatch("X")),
        UpdateFailure::of(FK::manifestWrongProduct, 0, "X"));
    EXPECT_EQ(
        UpdateFailure::fromDownload(UpdateHTTPError::network(12002)), UpdateFailure::of(FK::downloadNetwork, 12002));
    EXPECT_EQ(UpdateFailure::fromDownload(UpdateHTTPError::tooLarge()), UpdateFailure::of(FK::integrityMismatch));
    EXPECT_EQ(UpdateFailure::fromDownload(UpdateHTTPError::io("x")), UpdateFailure::of(FK::storage, 0, "x"));
    EXPECT_EQ(UpdateFailure::of(FK::storage, 0, "x").logText(), "檔案錯誤：x");
    EXPECT_EQ(UpdateFailure::of(FK::manifestUnsupported, 2).logText(), "清單 formatVersion 2 較新，不支援");
    EXPECT_EQ(UpdateFailure::of(FK::serverStatus, 404).userMessage(AppLanguage::enUS),
        L10n::manifestHttpStatus(AppLanguage::enUS, 404));
    EXPECT_EQ(UpdateFailure::of(FK::cancelled).userMessage(AppLanguage::zhTW), "正在取消下載，請稍候…");
    EXPECT_TRUE(UpdateFailure::of(FK::recordingInProgress).isWarning());
    EXPECT_EQ(UpdateFailure::of(FK::recordingInProgress).dialogTitle(), L10nKey::dialogUpdateTitle);
    EXPECT_EQ(UpdateFailure::of(FK::integrityMismatch).dialogTitle(), L10nKey::dialogUpdateFailedTitle);
}

TEST(UpdateFlow, NotesAndPercent)
{
    UpdateRelease r;
    r.notes = { { "en-GB", "gb" }, { "en-US", "us" }, { "zh-Hant", "hant" }, { "ja", "ja" } };
    EXPECT_EQ(UpdateFlow::notes(r, "en-US"), "us");
    EXPECT_EQ(UpdateFlow::notes(r, "zh-TW"), "hant");
    r.notes.erase("zh-Hant");
    EXPECT_EQ(UpdateFlow::notes(r, "zh-TW"), "us");
    r.notes = { { "ja", "ja" }, { "de", "de" } };
    EXPECT_EQ(UpdateFlow::notes(r, "zh-TW"), "de");
    r.notes.clear();
    EXPECT_FALSE(UpdateFlow::notes(r, "zh-TW"));

    std::string lines;
    for (int i = 0; i < 25; ++i)
        lines += "line " + std::to_string(i) + "\r\n";
    const std::string shown = UpdateFlow::formatNotes(lines);
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 19);
    EXPECT_TRUE(shown.ends_with("line 19…"));
    std::string exact;
    for (int i = 0; i < 20; ++i)
        exact += (i ? "\n" : "") + std::string(i == 0 ? 1500 - 19 * 3 : 2, 'a');
    ASSERT_EQ(exact.size(), 1500u);
    EXPECT_EQ(UpdateFlow::formatNotes(exact), exact);
    EXPECT_EQ(UpdateFlow::formatNotes(std::string(1501, 'b')), std::string(1500, 'b') + "…");
    EXPECT_EQ(UpdateFlow::formatNotes("  a\rb  "), "a\nb");

    EXPECT_EQ(UpdateFlow::percent(150, 100), 100);
    EXPECT_EQ(UpdateFlow::percent(5, 0), 0);
    EXPECT_EQ(UpdateFlow::percent(5, std::nullopt), 0);
    EXPECT_EQ(UpdateFlow::percent(-5, 100), 0);
    EXPECT_EQ(UpdateFlow::percent(1, 3), 33);
}

struct FakeInstallations final : InstallerLaunch::Environment {
    InstallerLaunch::Registration user, machineReg;
    std::optional<std::wstring> folder;
    InstallerLaunch::Registration perUser() const override { return user; }
    InstallerLaunch::Registration machine() const override { return machineReg; }
    std::optional<std::wstring> executableFolder() const override { return folder; }
};

TEST(InstallerLaunch, ScopeAndPlan)
{
    using InstallerLaunch::Scope;
    FakeInstallations env;
    env.folder = L"C:\\Users\\a\\AppData\\Local\\Programs\\DMM";
    EXPECT_EQ(InstallerLaunch::detectScope(env), Scope::machine); // no per-user key
    env.user = { true, L"c:/users/a/appdata/local/programs/dmm/" };
    EXPECT_EQ(InstallerLaunch::detectScope(env), Scope::perUser);
    env.user = { true, L"D:\\Elsewhere" };
    env.machineReg = { true, L"\"C:\\Users\\a\\AppData\\Local\\Programs\\DMM\\\"" };
    EXPECT_EQ(InstallerLaunch::detectScope(env), Scope::machine);
    env.machineReg = {};
    EXPECT_EQ(InstallerLaunch::detectScope(env), Scope::perUser);

    EXPECT_TRUE(InstallerLaunch::samePath(L"C:\\Program Files\\App\\", L"c:/program files/app"));
    EXPECT_TRUE(InstallerLaunch::samePath(L"C:\\", L"c:\\"));
    EXPECT_FALSE(InstallerLaunch::samePath(L"C:\\", L"c:\\app"));
    EXPECT_FALSE(InstallerLaunch::samePath(L"  ", L""));
    EXPECT_EQ(InstallerLaunch::normalizePath(L"C:\\"), L"c:\\");

    const auto user = InstallerLaunch::plan(L"C:\\u\\setup.exe", Scope::perUser);
    EXPECT_EQ(user.parameters, L"/SILENT /SUPPRESSMSGBOXES /NORESTART /CLOSEAPPLICATIONS /RELAUNCH=1 /CURRENTUSER");
    EXPECT_FALSE(user.verb);
    const auto machine = InstallerLaunch::plan(L"C:\\u\\setup.exe", Scope::machine);
    EXPECT_EQ(machine.parameters, L"/SILENT /SUPPRESSMSGBOXES /NORESTART /CLOSEAPPLICATIONS /RELAUNCH=1");
    EXPECT_EQ(machine.verb, L"runas");
}

TEST(InstallerLaunch, ASwappedInstallerIsNeverStarted)
{
    TempDir dir;
    const std::string body = installer(1000);
    const auto file = dir / "ZELMAR_DMM5174K_Setup_1.4.0.exe";
    testing::writeFile(file, body);
    const std::string hash = hashOf(body);
    testing::writeFile(file, installer(999) + "!"); // swapped after verification
    FakeInstallations env;
    const auto launched = InstallerLaunch::launchVerified(file, 1000, hash, env, nullptr);
    ASSERT_FALSE(launched);
    EXPECT_EQ(launched.error(), UpdateFailure::of(FK::integrityMismatch));
}

} // namespace
} // namespace zelmar
