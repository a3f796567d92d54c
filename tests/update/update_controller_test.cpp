// The update controller with real threads and real HTTP on loopback: the
// manifest is signed with the development key, the installer is real bytes
// with their real hash. Only the screen and the shell are stand-ins; the
// test thread plays the UI thread and runs what the workers post.

#include "core/diagnostic_log.h"
#include "security/ecdsa.h"
#include "support/dev_update_key.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "update/update_controller.h"
#include "update/update_downloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <future>

namespace zelmar {
namespace {

using Choice = UpdateFlow::PromptChoice;
using Kind = UpdateView::MessageKind;

struct Installations final : InstallerLaunch::Environment {
    InstallerLaunch::Registration user { true, L"C:\\Users\\u\\AppData\\Local\\Programs\\DMM" };
    InstallerLaunch::Registration machineReg;
    InstallerLaunch::Registration perUser() const override { return user; }
    InstallerLaunch::Registration machine() const override { return machineReg; }
    std::optional<std::wstring> executableFolder() const override
    {
        return L"C:\\Users\\u\\AppData\\Local\\Programs\\DMM";
    }
};

// The UI thread's queue: workers post, the test thread runs.
struct UIQueue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> actions;
    bool open = true;

    bool post(std::function<void()> action)
    {
        std::lock_guard lock(mutex);
        if (!open)
            return false;
        actions.push_back(std::move(action));
        changed.notify_all();
        return true;
    }
    // Runs posted actions until `done` holds; false after 30 s without it.
    bool pumpUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done()) {
            std::unique_lock lock(mutex);
            if (!changed.wait_until(lock, deadline, [&] { return !actions.empty(); }))
                return false;
            auto action = std::move(actions.front());
            actions.pop_front();
            lock.unlock();
            action();
        }
        return true;
    }
};

struct Screen final : UpdateView {
    UIQueue& queue;
    Installations installs;
    std::vector<std::function<void()>> deferred;
    std::optional<std::string> notice;
    bool clickable = false;
    std::vector<std::string> notices; // every text shown, in order
    std::vector<std::tuple<Kind, std::string, std::string>> messages;
    std::vector<UpdatePromptRequest> prompts;
    Choice answer = Choice::remindLater;
    bool progressAvailable = true;
    bool progressClosed = false;
    std::vector<int> progress;
    std::vector<std::string> progressTexts;
    std::function<void(const std::function<void()>& cancel)> whileProgressShown;
    std::vector<InstallerLaunch::Plan> launches;
    std::expected<void, UpdateFailure> launchResult;

    explicit Screen(UIQueue& q)
        : queue(q)
    {
    }
    bool post(std::function<void()> action) override { return queue.post(std::move(action)); }
    void defer(std::function<void()> action) override { deferred.push_back(std::move(action)); }
    void setNotice(std::optional<std::string> text, bool isClickable) override
    {
        if (text && (notices.empty() || notices.back() != *text))
            notices.push_back(*text);
        notice = std::move(text);
        clickable = isClickable;
    }
    void showMessage(Kind kind, const std::string& title, const std::string& text) override
    {
        messages.emplace_back(kind, title, text);
    }
    Choice askUpdate(const UpdatePromptRequest& request) override
    {
        prompts.push_back(request);
        return answer;
    }
    bool runProgress(std::function<void()> shown, std::function<void()> cancel) override
    {
        if (!progressAvailable)
            return false;
        progressClosed = false;
        shown();
        if (whileProgressShown)
            whileProgressShown(cancel);
        // The dialog's own loop keeps the UI thread's queue running.
        EXPECT_TRUE(queue.pumpUntil([&] { return progressClosed; }));
        return true;
    }
    void setProgress(int percent, const std::optional<std::string>& text) override
    {
        progress.push_back(percent);
        if (text)
            progressTexts.push_back(*text);
    }
    void setProgressText(const std::string& text) override { progressTexts.push_back(text); }
    void closeProgress() override { progressClosed = true; }
    const InstallerLaunch::Environment& installations() const override { return installs; }
    std::expected<void, UpdateFailure> launch(const InstallerLaunch::Plan& plan) override
    {
        launches.push_back(plan);
        return launchResult;
    }
    // Runs what waits for the window, as its timer would.
    void runDeferred()
    {
        auto taken = std::move(deferred);
        deferred.clear();
        for (auto& action : taken)
            action();
    }
};

struct Application final : UpdateHost {
    bool closing = false;
    bool recording = false;
    bool unsaved = false;
    bool saveAnswer = true;
    std::vector<bool> saveQuestions; // the unattended flag of each
    AppSettings settings;
    int persisted = 0;
    std::optional<std::string> closedFor;
    bool isClosing() const override { return closing; }
    bool isRecording() const override { return recording; }
    bool hasUnsavedChanges() const override { return unsaved; }
    AppLanguage uiLanguage() const override { return AppLanguage::enUS; }
    AppSettings& updateSettings() override { return settings; }
    void persistUpdateSettings() override { ++persisted; }
    bool beforeInstallUnsavedCheck(bool unattended) override
    {
        saveQuestions.push_back(unattended);
        return saveAnswer;
    }
    void stopRecordingForUpdate() override { recording = false; }
    void closeForUpdate(std::string_view reason) override
    {
        closing = true;
        closedFor = std::string(reason);
    }
};

std::string sha256Hex(const std::string& bytes)
{
    return EcdsaP256::sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())).value();
}

class UpdateControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        installer.resize(300'000);
        for (std::size_t i = 0; i < installer.size(); ++i)
            installer[i] = static_cast<char>(i * 7 + i / 251);
        server.route("/setup.exe", [&](auto& c) { c.respond(200, installer); });
        publish({});
    }

    // Serves a manifest offering 1.4.0 (with the given changes) signed with
    // the development key, or with `signer` when given.
    void publish(const std::function<void(UpdateRelease&)>& change, const ZmdSigner* signer = nullptr)
    {
        UpdateRelease release;
        release.version = *SemanticVersion::parse("1.4.0");
        release.channel = "stable";
        release.releaseDate = "2025-03-14";
        release.notes = { { "en-US", "Faster saves." } };
        release.url = server.url("/setup.exe");
        release.size = static_cast<std::int64_t>(installer.size());
        release.sha256 = sha256Hex(installer);
        if (change)
            change(release);
        UpdateManifest manifest { "ZELMAR DMM-5174K", release.version.text(), { release } };
        const PrivateKeySigner dev("UPD-1", testing::developmentUpdatePrivateKey());
        const auto document = UpdateManifestCodec::encode(manifest, signer ? *signer : dev).value();
        server.route("/info.json", [document](auto& c) { c.respond(200, document); });
    }

    std::shared_ptr<UpdateController> make(std::optional<UpdateTestHook> hook = std::nullopt)
    {
        auto owned = std::make_unique<Screen>(queue);
        screen = owned.get();
        UpdateControllerConfig config;
        config.endpoint.url = server.url("/info.json");
        config.currentVersion = "1.0.0";
        config.downloadDirectory = directory / "updates";
        config.hook = hook;
        config.verifier = std::shared_ptr<const ZmdVerifier>(&testing::developmentUpdateService(), [](auto*) {});
        config.now = [] { return 1'700'000'000.0; };
        config.progressIntervalSeconds = 0;
        controller = UpdateController::create(app, std::move(owned), std::move(config));
        return controller;
    }

    bool settle(UpdateController::Phase phase = UpdateController::Phase::idle)
    {
        return queue.pumpUntil([&] { return controller->phase() == phase; });
    }

    [[nodiscard]] std::vector<std::string> filesInUpdates() const
    {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(directory / "updates", ec))
            names.push_back(entry.path().filename().string());
        return names;
    }

    log::LogCapture logs;
    testing::TempDir directory;
    // Before the server: its handler threads, joined when it goes, may
    // still be sending the installer's bytes.
    std::string installer;
    testing::HttpTestServer server;
    UIQueue queue;
    std::shared_ptr<Application> app = std::make_shared<Application>();
    Screen* screen = nullptr;
    std::shared_ptr<UpdateController> controller;
};

// The installer that brought the running version has done its work: the
// next start removes it, and nothing newer or unrelated.
TEST_F(UpdateControllerTest, InstallersThatHaveRunAreRemovedAtStart)
{
    for (const char* name : { "ZELMAR_DMM5174K_Setup_0.9.0.exe", "ZELMAR_DMM5174K_Setup_1.0.0.exe",
             "ZELMAR_DMM5174K_Setup_1.4.0.exe", "ZELMAR_DMM5174K_Setup_x.exe", "notes.txt" })
        testing::writeFile(directory / "updates" / name, "bytes");
    make()->start();
    EXPECT_EQ(filesInUpdates().size(), 3u);
    EXPECT_FALSE(std::filesystem::exists(directory / "updates" / "ZELMAR_DMM5174K_Setup_1.0.0.exe"));
    EXPECT_FALSE(std::filesystem::exists(directory / "updates" / "ZELMAR_DMM5174K_Setup_0.9.0.exe"));
    EXPECT_TRUE(std::filesystem::exists(directory / "updates" / "ZELMAR_DMM5174K_Setup_1.4.0.exe"));
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：已安裝的更新檔已刪除：ZELMAR_DMM5174K_Setup_1.0.0.exe\r\n"));
}

TEST_F(UpdateControllerTest, WithoutAHookNothingIsChecked)
{
    make()->start();
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：不自動檢查（僅於「關於」視窗手動檢查）\r\n"));
    EXPECT_EQ(controller->phase(), UpdateController::Phase::idle);
    EXPECT_EQ(server.requests(), 0);
}

TEST_F(UpdateControllerTest, TheCheckHookShowsTheNoticeAndNeverAsks)
{
    make(UpdateTestHook::check)->start();
    EXPECT_EQ(controller->phase(), UpdateController::Phase::checking);
    EXPECT_FALSE(screen->notice) << "automatic checks show nothing while they run";
    ASSERT_TRUE(settle());
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：測試 hook check——立即檢查（不開對話框）\r\n"));
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：開始檢查（automatic）\r\n"));
    EXPECT_TRUE(
        logs.contains("[DMMApp] 更新：檢查完成（automatic）——有新版本 1.4.0（一般，2025-03-14，300000 位元組）\r\n"));
    EXPECT_EQ(screen->notice, "Update available: 1.4.0");
    EXPECT_TRUE(screen->clickable);
    EXPECT_TRUE(screen->deferred.empty());
    EXPECT_EQ(app->settings.lastUpdateCheck, 1'700'000'000.0);
    EXPECT_EQ(app->persisted, 1);
    EXPECT_NE(server.lastRequest().find("User-Agent: ZELMAR-DMM5174K/1.0.0"), std::string::npos);

    // A mandatory release would prompt, but not under the check hook.
    publish([](UpdateRelease& r) { r.mandatory = true; });
    controller->checkForUpdates(UpdateCheckMode::automatic);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：測試 hook check——對話框不開啟，只顯示狀態列提示\r\n"));
    EXPECT_TRUE(screen->deferred.empty());
    EXPECT_TRUE(screen->prompts.empty());
}

TEST_F(UpdateControllerTest, ManualChecksAnswerWithDialogs)
{
    make();
    controller->checkForUpdates(UpdateCheckMode::manual);
    EXPECT_EQ(screen->notice, "Checking for updates...");
    ASSERT_TRUE(settle());
    // The prompt waits for the window, then offers the release.
    ASSERT_EQ(screen->deferred.size(), 1U);
    screen->runDeferred();
    ASSERT_EQ(screen->prompts.size(), 1U);
    const auto& asked = screen->prompts[0];
    EXPECT_EQ(asked.currentVersion, "1.0.0");
    EXPECT_EQ(asked.newVersion, "1.4.0");
    EXPECT_EQ(asked.sizeBytes, 300'000U);
    EXPECT_EQ(asked.notes, "Faster saves.");
    EXPECT_FALSE(asked.requiresElevation);
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：新版本對話框 1.4.0 → remindLater\r\n"));
    EXPECT_EQ(screen->notice, "Update available: 1.4.0") << "remind later keeps the notice";

    // A click on the notice asks again, once the window can show it; two
    // clicks before then ask once.
    controller->noticeClicked();
    controller->noticeClicked();
    EXPECT_EQ(screen->prompts.size(), 1U);
    ASSERT_EQ(screen->deferred.size(), 1U);
    screen->runDeferred();
    EXPECT_EQ(screen->prompts.size(), 2U);
    EXPECT_EQ(logs.count("[DMMApp] 更新：開啟新版本對話框 1.4.0\r\n"), 2);

    // Up to date.
    publish([](UpdateRelease& r) { r.version = *SemanticVersion::parse("1.0.0"); });
    controller->checkForUpdates(UpdateCheckMode::manual);
    ASSERT_TRUE(settle());
    screen->runDeferred();
    ASSERT_EQ(screen->messages.size(), 1U);
    EXPECT_EQ(screen->messages[0],
        std::make_tuple(Kind::information, std::string("Software Update"), L10n::upToDate(AppLanguage::enUS, "1.0.0")));
    EXPECT_TRUE(logs.contains("更新：檢查完成（manual）——已是最新版本 1.0.0"));
}

TEST_F(UpdateControllerTest, CheckFailuresAreLoggedAndShownOnlyWhenAsked)
{
    const PrivateKeySigner stranger("UPD-1", EcdsaP256::generateKeyPair().value().privateKey);
    publish({}, &stranger);
    make(UpdateTestHook::check)->start();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(logs.contains("更新：檢查失敗（automatic）——清單驗章失敗（可能遭竄改、keyId 不明或非發行端所簽）"));
    EXPECT_TRUE(screen->deferred.empty());
    EXPECT_FALSE(screen->notice);
    EXPECT_FALSE(app->settings.lastUpdateCheck) << "a failed check does not count";

    server.route("/info.json", [](auto& c) { c.respond(404, "gone"); });
    controller->checkForUpdates(UpdateCheckMode::manual);
    ASSERT_TRUE(settle());
    screen->runDeferred();
    EXPECT_TRUE(logs.contains("更新：檢查失敗（manual）——取清單伺服器回應 HTTP 404"));
    ASSERT_EQ(screen->messages.size(), 1U);
    EXPECT_EQ(std::get<0>(screen->messages[0]), Kind::error);
    EXPECT_EQ(std::get<1>(screen->messages[0]), "Unable to Check for Updates");
}

TEST_F(UpdateControllerTest, SkippedReleasesStaySilentOnlyForAutomaticChecks)
{
    app->settings.skippedUpdateVersion = "1.4.0";
    make(UpdateTestHook::check)->start();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(logs.contains("——有新版本 1.4.0，但使用者已略過此版本"));
    EXPECT_FALSE(screen->notice);

    controller->checkForUpdates(UpdateCheckMode::manual);
    ASSERT_TRUE(settle());
    EXPECT_EQ(screen->deferred.size(), 0U) << "the check hook never prompts";
    EXPECT_EQ(screen->notice, "Update available: 1.4.0");

    // "Skip this version" stores the version and drops the notice.
    controller->applyPromptChoice(Choice::skipVersion);
    EXPECT_EQ(app->settings.skippedUpdateVersion, "1.4.0");
    EXPECT_FALSE(screen->notice);
}

TEST_F(UpdateControllerTest, AManualRequestTakesOverARunningAutomaticCheck)
{
    std::promise<void> release;
    auto released = release.get_future().share();
    server.route("/info.json", [released](auto& c) {
        released.wait();
        c.respond(404, "none");
    });
    make(UpdateTestHook::check)->start();
    controller->checkForUpdates(UpdateCheckMode::manual);
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：自動檢查進行中，改為手動回饋\r\n"));
    EXPECT_EQ(screen->notice, "Checking for updates...");
    controller->checkForUpdates(UpdateCheckMode::manual); // no second request
    release.set_value();
    ASSERT_TRUE(settle());
    screen->runDeferred();
    EXPECT_EQ(server.requests(), 1);
    EXPECT_EQ(logs.count("開始檢查"), 1);
    EXPECT_TRUE(logs.contains("更新：檢查失敗（manual）——取清單伺服器回應 HTTP 404"));
    EXPECT_EQ(screen->messages.size(), 1U);
}

TEST_F(UpdateControllerTest, UpdateNowDownloadsVerifiesLaunchesAndCloses)
{
    std::filesystem::create_directories(directory / "updates");
    std::ofstream(directory / "updates" / "ZELMAR_DMM5174K_Setup_1.2.0.exe") << "old";
    make();
    screen->answer = Choice::updateNow;
    controller->checkForUpdates(UpdateCheckMode::manual);
    ASSERT_TRUE(settle());
    screen->runDeferred(); // prompt → progress window → download → launch
    ASSERT_TRUE(app->closedFor);
    EXPECT_EQ(*app->closedFor, "線上更新：安裝程式已啟動，正常關閉");
    EXPECT_FALSE(screen->progress.empty());
    EXPECT_EQ(screen->progress.back(), 100);
    ASSERT_EQ(screen->launches.size(), 1U);
    const auto& plan = screen->launches[0];
    EXPECT_EQ(plan.parameters, L"/SILENT /SUPPRESSMSGBOXES /NORESTART /CLOSEAPPLICATIONS /RELAUNCH=1 /CURRENTUSER");
    EXPECT_FALSE(plan.verb);
    EXPECT_EQ(std::filesystem::path(plan.file).filename(), "ZELMAR_DMM5174K_Setup_1.4.0.exe");
    EXPECT_EQ(filesInUpdates(), std::vector<std::string> { "ZELMAR_DMM5174K_Setup_1.4.0.exe" })
        << "older installers are removed";
    EXPECT_FALSE(screen->notice);
    EXPECT_TRUE(logs.contains("更新：下載 0%（"));
    EXPECT_TRUE(logs.contains("更新：下載 100%（300000/300000 位元組）"));
    EXPECT_TRUE(logs.contains("更新：安裝檔下載並校驗完成（大小與 SHA-256 相符）："));
    EXPECT_TRUE(logs.contains("更新：啟動安裝程式（perUser）："));
    EXPECT_TRUE(
        logs.contains("[DMMApp] 更新：安裝程式已啟動，程式正常關閉收尾後結束（安裝完成會自動重新啟動新版）\r\n"));
    EXPECT_TRUE(screen->messages.empty());
}

TEST_F(UpdateControllerTest, AMachineInstallationAsksForElevation)
{
    make(UpdateTestHook::install);
    screen->installs.user = { true, L"C:\\Users\\u\\AppData\\Local\\Programs\\Other" };
    screen->installs.machineReg = { true, L"C:\\Users\\u\\AppData\\Local\\Programs\\DMM\\" };
    controller->start();
    ASSERT_TRUE(queue.pumpUntil([&] { return app->closedFor.has_value(); }));
    ASSERT_EQ(screen->launches.size(), 1U);
    EXPECT_EQ(screen->launches[0].verb, L"runas");
    EXPECT_EQ(screen->launches[0].parameters, L"/SILENT /SUPPRESSMSGBOXES /NORESTART /CLOSEAPPLICATIONS /RELAUNCH=1");
    EXPECT_TRUE(logs.contains("更新：啟動安裝程式（machine、動詞 runas）："));
    EXPECT_TRUE(screen->prompts.empty()) << "the install hook never asks";

    // The prompt carries the shield for the same installation.
    app->closing = false;
    make();
    screen->installs.user = { false, std::nullopt };
    controller->checkForUpdates(UpdateCheckMode::manual);
    ASSERT_TRUE(settle());
    screen->runDeferred();
    ASSERT_EQ(screen->prompts.size(), 1U);
    EXPECT_TRUE(screen->prompts[0].requiresElevation);
}

TEST_F(UpdateControllerTest, BadDownloadsLeaveNothingAndKeepRunning)
{
    struct Case {
        std::string name;
        std::function<void(UpdateRelease&)> change;
        std::string logged;
    };
    const std::vector<Case> cases {
        { "hash", [](UpdateRelease& r) { r.sha256 = std::string(64, 'a'); }, "安裝檔大小或 SHA-256 不符（已刪除）" },
        { "size", [](UpdateRelease& r) { r.size -= 1; }, "安裝檔大小或 SHA-256 不符（已刪除）" },
        { "404", [&](UpdateRelease& r) { r.url = server.url("/missing.exe"); }, "下載伺服器回應 HTTP 404" },
        { "server gone", [&](UpdateRelease& r) { r.url = server.url("/cut.exe"); }, "更新：失敗——下載網路錯誤（代碼 " },
    };
    server.route("/missing.exe", [](auto& c) { c.respond(404, "no"); });
    server.route("/cut.exe", [&](auto& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(installer.size()) + "\r\n\r\n"
            + installer.substr(0, 100'000));
    });
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        const log::LogCapture caseLogs;
        publish(item.change);
        make(UpdateTestHook::install)->start();
        ASSERT_TRUE(queue.pumpUntil([&] { return caseLogs.contains("更新：失敗——"); }));
        EXPECT_TRUE(caseLogs.contains(item.logged));
        EXPECT_EQ(controller->phase(), UpdateController::Phase::idle);
        EXPECT_TRUE(screen->launches.empty());
        EXPECT_TRUE(screen->deferred.empty()) << "unattended runs only log";
        EXPECT_TRUE(filesInUpdates().empty());
        EXPECT_FALSE(app->closedFor);
    }
}

TEST_F(UpdateControllerTest, AnOlderReleaseOrRecordingInstallsNothing)
{
    publish([](UpdateRelease& r) { r.version = *SemanticVersion::parse("0.9.0"); });
    make(UpdateTestHook::install)->start();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(logs.contains("更新：檢查完成（unattendedInstall）——已是最新版本 1.0.0"));
    EXPECT_EQ(server.requests(), 1);

    publish({});
    app->recording = true;
    controller->checkForUpdates(UpdateCheckMode::unattendedInstall);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：失敗——記錄中，不可更新\r\n"));
    EXPECT_TRUE(screen->deferred.empty());
    EXPECT_EQ(server.requests(), 2) << "no download while recording";
    EXPECT_TRUE(filesInUpdates().empty());

    // Asked by hand, the refusal is a warning.
    app->recording = false;
    screen->answer = Choice::updateNow;
    controller->checkForUpdates(UpdateCheckMode::manual);
    ASSERT_TRUE(settle());
    app->recording = true;
    screen->runDeferred();
    screen->runDeferred();
    ASSERT_EQ(screen->messages.size(), 1U);
    EXPECT_EQ(screen->messages[0],
        std::make_tuple(Kind::warning, std::string("Software Update"),
            std::string(L10n::text(L10nKey::updateErrorRecording, AppLanguage::enUS))));
}

TEST_F(UpdateControllerTest, CancellingTheDownloadLeavesNoFileAndNoError)
{
    // The server sends part of the file and holds the rest until the test
    // has cancelled: the cancel is seen at the next chunk.
    std::promise<void> proceed;
    auto proceeding = proceed.get_future().share();
    server.route("/slow.exe", [&, proceeding](auto& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(installer.size()) + "\r\n\r\n"
            + installer.substr(0, 70'000));
        proceeding.wait_for(std::chrono::seconds(30));
        c.send(installer.substr(70'000));
    });
    publish([&](UpdateRelease& r) { r.url = server.url("/slow.exe"); });
    make();
    screen->answer = Choice::updateNow;
    screen->whileProgressShown = [&](const std::function<void()>& cancel) {
        ASSERT_TRUE(queue.pumpUntil([&] { return !screen->progress.empty(); }));
        // A check asked for now is refused.
        controller->checkForUpdates(UpdateCheckMode::manual);
        cancel();
        proceed.set_value();
    };
    controller->checkForUpdates(UpdateCheckMode::manual);
    ASSERT_TRUE(settle());
    screen->runDeferred();
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：目前正在downloading，略過這次檢查（manual）\r\n"));
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：使用者取消下載，等待背景下載結束\r\n"));
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：下載已取消\r\n"));
    EXPECT_EQ(screen->progressTexts.back(), "Cancelling the download, please wait...");
    EXPECT_TRUE(screen->deferred.empty());
    EXPECT_TRUE(screen->messages.empty());
    EXPECT_TRUE(filesInUpdates().empty());
    EXPECT_EQ(controller->phase(), UpdateController::Phase::idle);
    EXPECT_EQ(screen->notice, "Update available: 1.4.0");
}

TEST_F(UpdateControllerTest, UnsavedChangesAndLaunchFailuresKeepTheInstaller)
{
    app->unsaved = true;
    app->saveAnswer = false;
    make(UpdateTestHook::install)->start();
    ASSERT_TRUE(queue.pumpUntil([&] { return logs.contains("中止安裝"); }));
    EXPECT_EQ(app->saveQuestions, std::vector<bool> { true });
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：未存檔詢問取消或存檔失敗，中止安裝（安裝檔保留，下次可直接使用）\r\n"));
    EXPECT_TRUE(screen->launches.empty());
    EXPECT_EQ(filesInUpdates(), std::vector<std::string> { "ZELMAR_DMM5174K_Setup_1.4.0.exe" });
    EXPECT_EQ(controller->phase(), UpdateController::Phase::idle);

    // The shell refuses: reported, still running, the installer kept (and
    // reused without a second transfer).
    app->saveAnswer = true;
    screen->launchResult = std::unexpected(UpdateFailure::of(UpdateFailure::Kind::launchFailed, 2));
    const int before = server.requests();
    controller->checkForUpdates(UpdateCheckMode::manual);
    screen->answer = Choice::updateNow;
    ASSERT_TRUE(settle());
    screen->runDeferred();
    screen->runDeferred();
    EXPECT_TRUE(logs.contains("更新：失敗——無法啟動安裝程式（Win32 錯誤 2）"));
    ASSERT_EQ(screen->messages.size(), 1U);
    EXPECT_EQ(std::get<1>(screen->messages[0]), "Update Failed");
    EXPECT_FALSE(app->closedFor);
    EXPECT_EQ(controller->phase(), UpdateController::Phase::idle);
    EXPECT_EQ(server.requests(), before + 1) << "only the manifest";
    EXPECT_EQ(filesInUpdates(), std::vector<std::string> { "ZELMAR_DMM5174K_Setup_1.4.0.exe" });
}

TEST_F(UpdateControllerTest, WithoutAProgressWindowTheDownloadRunsBehindTheNotice)
{
    make();
    screen->answer = Choice::updateNow;
    screen->progressAvailable = false;
    controller->checkForUpdates(UpdateCheckMode::manual);
    ASSERT_TRUE(settle());
    screen->runDeferred();
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：進度對話框不可用，改於背景下載\r\n"));
    EXPECT_EQ(controller->phase(), UpdateController::Phase::downloading);
    ASSERT_TRUE(queue.pumpUntil([&] { return app->closedFor.has_value(); }));
    EXPECT_EQ(screen->notices.front(), "Checking for updates...");
    EXPECT_NE(
        std::find(screen->notices.begin(), screen->notices.end(), "Downloading update... 0%"), screen->notices.end());
    EXPECT_NE(
        std::find(screen->notices.begin(), screen->notices.end(), "Downloading update... 100%"), screen->notices.end());
    EXPECT_TRUE(screen->progress.empty());
    EXPECT_EQ(screen->launches.size(), 1U);
}

TEST_F(UpdateControllerTest, FailuresOfADownloadAskedForAreShown)
{
    publish([](UpdateRelease& r) { r.sha256 = std::string(64, 'b'); });
    make();
    screen->answer = Choice::updateNow;
    controller->checkForUpdates(UpdateCheckMode::manual);
    ASSERT_TRUE(settle());
    screen->runDeferred(); // prompt, download, failure
    screen->runDeferred(); // its dialog
    ASSERT_EQ(screen->messages.size(), 1U);
    EXPECT_EQ(screen->messages[0],
        std::make_tuple(Kind::error, std::string("Update Failed"),
            std::string(L10n::text(L10nKey::updateErrorIntegrity, AppLanguage::enUS))));
    EXPECT_TRUE(filesInUpdates().empty());

    // The user declines elevation: reported as such, the installer kept.
    publish({});
    screen->launchResult = std::unexpected(UpdateFailure::of(UpdateFailure::Kind::elevationCancelled));
    controller->checkForUpdates(UpdateCheckMode::manual);
    ASSERT_TRUE(settle());
    screen->runDeferred();
    screen->runDeferred();
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：失敗——使用者取消 UAC 權限確認\r\n"));
    ASSERT_EQ(screen->messages.size(), 2U);
    EXPECT_EQ(std::get<2>(screen->messages[1]),
        std::string(L10n::text(L10nKey::updateErrorElevationCancelled, AppLanguage::enUS)));
    EXPECT_EQ(filesInUpdates(), std::vector<std::string> { "ZELMAR_DMM5174K_Setup_1.4.0.exe" });
    EXPECT_FALSE(app->closedFor);
}

TEST_F(UpdateControllerTest, AResultAfterShutdownTouchesNothing)
{
    std::promise<void> answer;
    auto answering = answer.get_future().share();
    std::atomic<bool> answered = false;
    server.route("/info.json", [&, answering](auto& c) {
        answering.wait_for(std::chrono::seconds(30));
        c.respond(404, "none");
        answered = true;
    });
    make(UpdateTestHook::check)->start();
    controller->shutdown();
    controller.reset(); // and its view: a late result must not reach either
    answer.set_value();
    for (int i = 0; i < 3000 && !answered; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(answered);
    std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the worker posts, or would
    std::lock_guard lock(queue.mutex);
    EXPECT_TRUE(queue.actions.empty());
}

} // namespace
} // namespace zelmar
