#pragma once

// The running window program (Windows build only): owns the main window,
// the acquisition session and the settings; receives every user command as
// a window callback and every reading, connection change and journal
// failure from the session; decides what happens. UI thread only: the
// polling thread's callbacks post to it through the window's dispatcher and
// hold the controller weakly, so a late one does nothing.

#include "app/instance_lock.h"
#include "app/test_hooks.h"
#include "localization/localization.h"
#include "session/dmm_session.h"
#include "session/sample_scheduler.h"
#include "storage/settings.h"
#include "storage/zmd_file.h"
#include "ui/main_window_win32.h"
#include "update/deferred_ui.h"
#include "update/update_controller.h"

#include <windows.h>

#include <expected>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace zelmar {

struct AppStartup {
    HINSTANCE instance = nullptr;
    int showCommand = SW_SHOWNORMAL;
    AppSettings settings;
    AppLanguage language = AppLanguage::zhTW;
    std::filesystem::path dataDirectory;
    TestHooks hooks;
    std::optional<std::string> launchPath; // UTF-8
    Environment environment;
};

// Window timer numbers.
inline constexpr UINT_PTR sampleTimer = 1;
inline constexpr UINT_PTR autoCloseTimer = 2;
inline constexpr UINT_PTR snapshotTimer = 3;
inline constexpr UINT_PTR deferredTimer = 4;

class AppController : public std::enable_shared_from_this<AppController>, public UpdateHost {
public:
    [[nodiscard]] static std::expected<std::shared_ptr<AppController>, std::string> create(AppStartup startup);
    ~AppController() override;
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    [[nodiscard]] ui::win32::MainWindow* window() noexcept { return window_.get(); }
    [[nodiscard]] DMMSession& session() noexcept { return *session_; }
    [[nodiscard]] bool unsaved() const noexcept { return unsaved_; }
    [[nodiscard]] const AppSettings& settings() const noexcept { return settings_; }

    // Recording (the window's Start and Stop; the close sequence).
    void startRecording();
    void stopRecording();
    // The close request and the last step of every close.
    void requestClose();
    void finishClose(std::string_view reason);
    // After the message loop: polling stops, the journal stays.
    void shutdownKeepingJournal();
    [[nodiscard]] UpdateController* updates() noexcept { return updateController_.get(); }

    // What the update controller asks of the application.
    // While the close request's questions are open, an installer must not
    // start and close the window under them.
    [[nodiscard]] bool isClosing() const override { return closing_ || closeAsking_; }
    [[nodiscard]] bool isRecording() const override;
    [[nodiscard]] bool hasUnsavedChanges() const override { return unsaved_; }
    [[nodiscard]] AppLanguage uiLanguage() const override { return language_; }
    [[nodiscard]] AppSettings& updateSettings() override { return settings_; }
    void persistUpdateSettings() override { persistSettings(); }
    [[nodiscard]] bool beforeInstallUnsavedCheck(bool unattended) override;
    void stopRecordingForUpdate() override { stopRecording(); }
    void closeForUpdate(std::string_view reason) override { finishClose(reason); }

    // File commands.
    void newFile();
    void openFromMenu();
    void externalOpen(const std::string& path);
    bool openDocument(const std::string& path, bool interactive);
    bool save();
    void saveAs();
    bool write(const std::string& path, bool interactive);
    void exportCsv();
    void deleteRows(std::span<const std::size_t> rows);
    void clearAll();
    bool receiveCopyData(std::uintptr_t identifier, std::span<const std::uint8_t> bytes);
    void receiveForwardedPath(const std::string& path);

private:
    explicit AppController(AppStartup startup);
    std::expected<void, std::string> build();
    void installCallbacks();
    void applyOutcome(const SampleOutcome& outcome);
    void sampleTick();
    void markChanged();
    void updateTitle();
    void refreshChannelText();
    void onConnectionChanged(const SessionConnectionState& state);
    void onJournalFailure(const std::string& message);
    void persistSettings();
    void askRecovery(RecoveryInfo info);
    void onTimer(UINT_PTR id);
    void runStartupHooks();
    void createUpdateController();
    bool settleUnsaved();
    void rememberDirectory(const std::string& path);
    bool holdDataDirectory();
    // Before anything that writes or deletes the journal: the data
    // directory's lock, taken now if another writer has let it go (its
    // journal, when it left one, is offered for recovery first).
    bool ownJournal(bool interactive);
    // The unattended answer to an unsaved question: save to the automatic
    // path (whether that worked) or give the changes up.
    bool answerUnsavedUnattended(std::string_view prefix);
    [[nodiscard]] std::string text(L10nKey key) const;
    [[nodiscard]] std::string softwareText() const;

    AppStartup startup_;
    std::unique_ptr<ui::win32::MainWindow> window_;
    std::unique_ptr<DMMSession> session_;
    SettingsStore settingsStore_;
    TestHooks hooks_;
    AppSettings settings_;
    AppLanguage language_;
    std::optional<std::string> currentFilePath_;
    bool unsaved_ = false;
    bool closing_ = false;
    bool closeAsking_ = false; // the close request's questions are open
    bool deviceConnected_ = false;
    std::optional<SampleScheduler> sampleScheduler_;
    std::unique_ptr<DeferredUI> deferredUI_;
    std::optional<std::string> pendingForwardedPath_;
    std::optional<InstanceLock> dataLock_; // held while this program may write the journal
    std::string version_;
    std::shared_ptr<UpdateController> updateController_;
};

} // namespace zelmar
