#pragma once

// The online update inside the application: checks, the notice, the
// prompt, the installer download with its progress, and the hand-over to
// the installer. It lives on the UI thread; a check and a download each run
// on a thread of their own that only computes and posts its result back.
// The application (UpdateHost) and the screen and shell (UpdateView) come
// in as interfaces, so the rules, the threads and the real HTTP transfers
// are tested in both builds; update_window_win32.h is the real view.

#include "security/signature_service.h"
#include "storage/settings.h"
#include "update/installer_launch.h"
#include "update/semantic_version.h"
#include "update/update_flow.h"

#include <expected>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <variant>

namespace zelmar {

// The download's cancel flag: set on the UI thread, read by the download.
class UpdateCancelToken {
public:
    void cancel()
    {
        std::unique_lock lock(mutex_);
        cancelled_ = true;
    }
    [[nodiscard]] bool isCancelled() const
    {
        std::unique_lock lock(mutex_);
        return cancelled_;
    }

private:
    mutable std::shared_mutex mutex_;
    bool cancelled_ = false;
};

// What the controller asks of the application.
class UpdateHost {
public:
    virtual ~UpdateHost() = default;
    [[nodiscard]] virtual bool isClosing() const = 0;
    // One of the application's modal questions is open (a close question
    // among them): results wait until it is answered, since what they would
    // do (a dialog, an installer that closes the program) must not happen
    // under it.
    [[nodiscard]] virtual bool isAskingQuestion() const { return false; }
    [[nodiscard]] virtual bool isRecording() const = 0;
    [[nodiscard]] virtual bool hasUnsavedChanges() const = 0;
    [[nodiscard]] virtual AppLanguage uiLanguage() const = 0;
    // The controller changes lastUpdateCheck and skippedUpdateVersion here,
    // then asks for them to be written.
    [[nodiscard]] virtual AppSettings& updateSettings() = 0;
    virtual void persistUpdateSettings() = 0;
    // The usual "save changes?" question; false abandons the install.
    [[nodiscard]] virtual bool beforeInstallUnsavedCheck(bool unattended) = 0;
    virtual void stopRecordingForUpdate() = 0;
    // Stops acquisition, removes the journal and exits without questions.
    virtual void closeForUpdate(std::string_view reason) = 0;
};

// What the update prompt shows.
struct UpdatePromptRequest {
    std::string currentVersion;
    std::string newVersion;
    std::string releaseDate;
    std::uint64_t sizeBytes = 0;
    std::string notes; // formatted; empty when the release has none
    bool mandatory = false;
    bool requiresElevation = false;
};

// The screen and the shell, as the controller uses them (UI thread only,
// except post).
class UpdateView {
public:
    virtual ~UpdateView() = default;
    // Any thread: runs the action on the UI thread later; false when it
    // was dropped because the window is gone.
    virtual bool post(std::function<void()> action) = 0;
    // Holds a dialog back until the main window can show one.
    virtual void defer(std::function<void()> action) = 0;
    virtual void setNotice(std::optional<std::string> text, bool clickable) = 0;
    enum class MessageKind { information, warning, error };
    virtual void showMessage(MessageKind kind, const std::string& title, const std::string& text) = 0;
    [[nodiscard]] virtual UpdateFlow::PromptChoice askUpdate(const UpdatePromptRequest& request) = 0;
    // The modal progress window: `shown` runs once it is up; the call
    // returns when closeProgress() closed it. False when no window could be
    // shown (then `shown` never ran).
    [[nodiscard]] virtual bool runProgress(std::function<void()> shown, std::function<void()> cancel) = 0;
    virtual void setProgress(int percent, const std::optional<std::string>& text) = 0;
    virtual void setProgressText(const std::string& text) = 0;
    virtual void closeProgress() = 0;
    [[nodiscard]] virtual const InstallerLaunch::Environment& installations() const = 0;
    [[nodiscard]] virtual std::expected<void, UpdateFailure> launch(const InstallerLaunch::Plan& plan) = 0;
};

enum class UpdateTestHook { check, install };

struct UpdateControllerConfig {
    UpdateEndpoint::Resolution endpoint;
    std::string currentVersion; // the version resource's text
    std::filesystem::path downloadDirectory; // "updates" in the data directory
    std::optional<UpdateTestHook> hook;
    // The built-in update key unless given (tests give the development
    // key's). Shared: a check thread may outlive the controller.
    std::shared_ptr<const ZmdVerifier> verifier;
    std::function<double()> now; // seconds since 1970
    double manifestTimeoutSeconds = 15;
    double downloadTimeoutSeconds = 30;
    double progressIntervalSeconds = 0.1;
};

class UpdateController : public std::enable_shared_from_this<UpdateController> {
public:
    enum class Phase { idle, checking, prompting, downloading, installing };
    static constexpr std::string_view productName = "ZELMAR DMM-5174K";

    [[nodiscard]] static std::shared_ptr<UpdateController> create(
        std::weak_ptr<UpdateHost> host, std::unique_ptr<UpdateView> view, UpdateControllerConfig config);
    ~UpdateController();
    UpdateController(const UpdateController&) = delete;
    UpdateController& operator=(const UpdateController&) = delete;

    void start();
    void checkForUpdates(UpdateCheckMode mode);
    void showPrompt();
    void startDownload(const UpdateRelease& release, bool unattended);
    void refreshNotice();
    // The notice clicked: the prompt again, once the window can show it,
    // when idle with a release waiting.
    void noticeClicked();
    // The prompt's answer, also for callers offering "skip this version".
    void applyPromptChoice(UpdateFlow::PromptChoice choice);
    // The progress window's Cancel.
    void cancelDownload();

    [[nodiscard]] Phase phase() const noexcept { return phase_; }
    [[nodiscard]] bool hasAvailableRelease() const noexcept { return available_.has_value(); }
    [[nodiscard]] const SemanticVersion& currentVersion() const noexcept { return currentVersion_; }
    // The application is closing: the download is cancelled and nothing
    // touches the window again (called before the window goes).
    void shutdown();
    [[nodiscard]] static std::string_view phaseText(Phase phase) noexcept;

private:
    struct Available {
        UpdateRelease release;
        bool mandatory = false;
    };
    using DownloadResult = std::expected<std::filesystem::path, UpdateFailure>;
    // Results and progress come back through here; it forgets the view
    // when the controller goes, so a late thread posts nothing.
    struct Mailbox {
        std::mutex mutex;
        UpdateView* view = nullptr;
        bool post(std::function<void()> action);
    };

    UpdateController(std::weak_ptr<UpdateHost> host, std::unique_ptr<UpdateView> view, UpdateControllerConfig config);
    [[nodiscard]] std::shared_ptr<UpdateHost> liveHost() const;
    void finishCheck(long generation, std::variant<UpdateManifest, UpdateFailure> result);
    // True when the host has a question open: the action then runs again
    // from the deferred queue once it can.
    bool holdWhileHostAsks(std::function<void()> retry);
    void perform(const UpdateUIAction& action);
    void queuePrompt();
    void onProgress(long generation, std::int64_t received, std::int64_t expected);
    void onDownloadResult(long generation, DownloadResult result);
    void finishDownload(DownloadResult result);
    void launchInstaller(const std::filesystem::path& file, const UpdateRelease& release);
    [[nodiscard]] std::string text(L10nKey key) const;
    [[nodiscard]] AppLanguage language() const;
    // The failure's dialog, held back until the window can show it; none
    // for unattended runs, which only log.
    void report(const UpdateFailure& failure, bool unattended);
    void logFailure(const UpdateFailure& failure);
    void startDownloadThread(const UpdateRelease& release);
    [[nodiscard]] std::string versionText() const;

    std::weak_ptr<UpdateHost> host_;
    std::unique_ptr<UpdateView> view_;
    UpdateControllerConfig config_;
    std::shared_ptr<Mailbox> mailbox_;
    SemanticVersion currentVersion_; // 0.0.0 when the text does not parse
    bool shutDown_ = false;
    bool cancelRequested_ = false;
    Phase phase_ = Phase::idle;
    UpdateCheckMode checkMode_ = UpdateCheckMode::manual;
    long generation_ = 0;
    std::optional<Available> available_;
    std::optional<UpdateRelease> downloading_;
    bool unattendedInstall_ = false;
    std::shared_ptr<UpdateCancelToken> cancelToken_;
    bool progressOpen_ = false;
    std::optional<DownloadResult> pendingDownloadResult_;
    int lastLoggedPercent_ = -1;
    bool promptQueued_ = false;
};

} // namespace zelmar
