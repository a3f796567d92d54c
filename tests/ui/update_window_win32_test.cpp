// The update controller with its real view: the main window's notice,
// dispatcher and deferred-dialog timer, the prompt and progress task
// dialogs, WinHTTP on loopback and the shell starting a real program where
// the installer would be (installer_recorder.exe, which writes down its
// command line). A helper thread answers the dialogs as a user would.

#include "core/diagnostic_log.h"
#include "security/ecdsa.h"
#include "support/dev_update_key.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "ui/main_window_win32.h"
#include "update/update_window_win32.h"
#include "window_test_support_win32.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <fstream>
#include <future>
#include <iterator>

using namespace zelmar;
using namespace zelmar::ui::win32;
using namespace zelmar::ui::win32::testing;

namespace {

struct Application final : UpdateHost {
    bool closing = false;
    AppSettings settings;
    std::optional<std::string> closedFor;
    bool isClosing() const override { return closing; }
    bool isRecording() const override { return false; }
    bool hasUnsavedChanges() const override { return false; }
    AppLanguage uiLanguage() const override { return AppLanguage::enUS; }
    AppSettings& updateSettings() override { return settings; }
    void persistUpdateSettings() override { }
    bool beforeInstallUnsavedCheck(bool) override { return true; }
    void stopRecordingForUpdate() override { }
    void closeForUpdate(std::string_view reason) override
    {
        closing = true;
        closedFor = std::string(reason);
    }
};

std::string fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// Clicks a button of each task dialog the UI thread shows, in order; a
// dialog counts once it is visible, the next one once it has gone.
class DialogAnswerer {
public:
    DialogAnswerer(DWORD uiThread, std::vector<int> buttons)
        : thread_([this, uiThread, buttons] {
            for (int button : buttons) {
                HWND dialog = nullptr;
                for (int i = 0; i < 3000 && dialog == nullptr && !stop_; ++i) {
                    dialog = visibleDialogOf(uiThread);
                    if (dialog == nullptr)
                        std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                if (dialog == nullptr)
                    return;
                PostMessageW(dialog, TDM_CLICK_BUTTON, static_cast<WPARAM>(button), 0);
                ++answered;
                for (int i = 0; i < 3000 && IsWindow(dialog) && !stop_; ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        })
    {
    }
    ~DialogAnswerer()
    {
        stop_ = true;
        thread_.join();
    }
    std::atomic<int> answered = 0;

private:
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

class UpdateWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = require(MainWindow::create(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE, AppLanguage::enUS));
        DeferredUI::Host host {
            [this](unsigned id, unsigned ms) { window->startTimer(id, ms); },
            [this](unsigned id) { window->stopTimer(id); },
            [this] { return IsWindowEnabled(window->hwnd()) != FALSE; },
        };
        deferred = std::make_unique<DeferredUI>(std::move(host), 4, [this] { return app->closing; });
        window->onExternalTimer = [this](UINT_PTR id) { deferred->onTimer(static_cast<unsigned>(id)); };
        installer = fileBytes(ZELMAR_RECORDER_PATH);
        ASSERT_GT(installer.size(), 1000U);
        server.route("/setup.exe", [this](auto& c) { c.respond(200, installer); });
        SetEnvironmentVariableW(L"ZELMAR_E2E_INSTALLER_RECORD", (directory / "record.txt").wstring().c_str());
    }
    void TearDown() override
    {
        if (controller)
            controller->shutdown();
        controller.reset();
        SetEnvironmentVariableW(L"ZELMAR_E2E_INSTALLER_RECORD", nullptr);
    }

    void publish(const std::string& url)
    {
        UpdateRelease release;
        release.version = *SemanticVersion::parse("1.4.0");
        release.channel = "stable";
        release.releaseDate = "2025-03-14";
        release.url = url;
        release.size = static_cast<std::int64_t>(installer.size());
        release.sha256
            = EcdsaP256::sha256Hex(std::span(reinterpret_cast<const std::uint8_t*>(installer.data()), installer.size()))
                  .value();
        UpdateManifest manifest { "ZELMAR DMM-5174K", "1.4.0", { release } };
        const PrivateKeySigner dev("UPD-1", zelmar::testing::developmentUpdatePrivateKey());
        const auto document = UpdateManifestCodec::encode(manifest, dev).value();
        server.route("/info.json", [document](auto& c) { c.respond(200, document); });
    }

    void make()
    {
        UpdateControllerConfig config;
        config.endpoint.url = server.url("/info.json");
        config.currentVersion = "1.0.0";
        config.downloadDirectory = directory / "updates";
        config.verifier
            = std::shared_ptr<const ZmdVerifier>(&zelmar::testing::developmentUpdateService(), [](auto*) {});
        controller = UpdateController::create(app, std::make_unique<UpdateWindowView>(*window, *deferred), config);
    }

    zelmar::log::LogCapture logs;
    zelmar::testing::TempDir directory;
    // Before the server: its handler threads, joined when it goes, may
    // still be sending the installer's bytes.
    std::string installer;
    zelmar::testing::HttpTestServer server;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<DeferredUI> deferred;
    std::shared_ptr<Application> app = std::make_shared<Application>();
    std::shared_ptr<UpdateController> controller;
};

TEST_F(UpdateWindowTest, UpdateNowDownloadsInTheProgressDialogAndStartsTheInstaller)
{
    publish(server.url("/setup.exe"));
    make();
    DialogAnswerer user(GetCurrentThreadId(), { 100 }); // "Update Now"
    controller->checkForUpdates(UpdateCheckMode::manual);
    ASSERT_TRUE(pumpUntil([&] { return app->closedFor.has_value(); }));
    EXPECT_EQ(user.answered, 1);
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：新版本對話框 1.4.0 → updateNow\r\n"));
    EXPECT_TRUE(logs.contains("[DMMApp] 更新：下載 100%（"));
    EXPECT_FALSE(logs.contains("進度對話框不可用"));
    EXPECT_TRUE(
        logs.contains("[DMMApp] 更新：安裝程式已啟動，程式正常關閉收尾後結束（安裝完成會自動重新啟動新版）\r\n"));
    // The shell started the verified file with the switches.
    const auto recorded = [&] {
        std::error_code ec;
        return std::filesystem::file_size(directory / "record.txt", ec) > 0 && !ec;
    };
    ASSERT_TRUE(pumpUntil(recorded));
    const std::string record = fileBytes(directory / "record.txt");
    EXPECT_NE(record.find("ZELMAR_DMM5174K_Setup_1.4.0.exe"), std::string::npos) << record;
    EXPECT_NE(record.find("/SILENT /SUPPRESSMSGBOXES /NORESTART /CLOSEAPPLICATIONS /RELAUNCH=1"), std::string::npos)
        << record;
}

TEST_F(UpdateWindowTest, CancelInTheProgressDialogStopsTheDownloadAndLeavesNothing)
{
    std::promise<void> proceed;
    auto proceeding = proceed.get_future().share();
    server.route("/slow.exe", [this, proceeding](auto& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(installer.size()) + "\r\n\r\n"
            + installer.substr(0, installer.size() / 4));
        proceeding.wait_for(std::chrono::seconds(30));
        c.send(installer.substr(installer.size() / 4));
    });
    publish(server.url("/slow.exe"));
    make();
    DialogAnswerer user(GetCurrentThreadId(), { 100, IDCANCEL });
    bool released = false;
    controller->checkForUpdates(UpdateCheckMode::manual);
    // Once Cancel was pressed, the server goes on and the download sees it.
    ASSERT_TRUE(pumpUntil([&] {
        if (!released && logs.contains("使用者取消下載")) {
            released = true;
            proceed.set_value();
        }
        return logs.contains("[DMMApp] 更新：下載已取消\r\n");
    }));
    EXPECT_EQ(user.answered, 2);
    EXPECT_EQ(controller->phase(), UpdateController::Phase::idle);
    EXPECT_FALSE(app->closedFor);
    std::error_code ec;
    EXPECT_TRUE(
        std::filesystem::is_empty(directory / "updates", ec) || !std::filesystem::exists(directory / "updates"));
    EXPECT_FALSE(std::filesystem::exists(directory / "record.txt"));
    if (!released)
        proceed.set_value();
}

} // namespace
