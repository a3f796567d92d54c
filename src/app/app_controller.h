#pragma once

// The running window program's decisions, apart from any window: recording
// and sampling, live status, settings, the crash-recovery question, the
// close sequence, the file commands with their questions, forwarded opens
// and the update hand-over. It owns the acquisition session and talks to
// the window through AppView, so every answer to every question, and a
// close or a forwarded open arriving while one is open, is tested in both
// builds. UI thread only: the polling thread's callbacks post to it through
// the view and hold the controller weakly, so a late one does nothing.
//
// Questions are modal and run nested message loops. While one is open the
// controller never replaces the working set or deletes the journal under
// it: a close request waits until the question is answered, forwarded opens
// and update results wait in the deferred queue, which runs only when no
// question is open.

#include "app/app_view.h"
#include "app/instance_lock.h"
#include "app/test_hooks.h"
#include "core/limits.h"
#include "localization/localization.h"
#include "session/dmm_session.h"
#include "session/sample_scheduler.h"
#include "storage/settings.h"
#include "update/deferred_ui.h"
#include "update/update_controller.h"

#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zelmar {

// Window timer numbers.
inline constexpr unsigned sampleTimer = 1;
inline constexpr unsigned autoCloseTimer = 2;
inline constexpr unsigned snapshotTimer = 3;
inline constexpr unsigned deferredTimer = 4;

struct AppStartup {
    AppSettings settings;
    AppLanguage language = AppLanguage::zhTW;
    std::filesystem::path dataDirectory;
    TestHooks hooks;
    std::optional<std::string> launchPath; // UTF-8
    Environment environment;
    // The meter; none chooses by ZELMAR_TEST_METER (the USB meter unless
    // it names the simulator).
    std::unique_ptr<DMMDevicePort> port;
    int pollPeriodMs = DMMSession::applicationPollPeriodMs;
    int recordLimit = DMMSession::applicationRecordLimit;
    PollingTiming pollingTiming;
    // Time stamps come from the wall clock; whether a sample is due comes
    // from a clock that never goes back (seconds, any origin).
    std::function<double()> wallClock;
    std::function<double()> monotonicClock;
    // The version text; none reads the program's own.
    std::optional<std::string> version;
    // Update controller settings that tests change (the verifier).
    std::shared_ptr<const ZmdVerifier> updateVerifier;
};

class AppController : public std::enable_shared_from_this<AppController>, public UpdateHost {
public:
    using ViewFactory = std::function<std::expected<std::unique_ptr<AppView>, std::string>(AppLanguage)>;

    // Builds everything in order, asks the recovery question when an
    // earlier run left a journal, and runs the start-up hooks.
    [[nodiscard]] static std::expected<std::shared_ptr<AppController>, std::string> create(
        AppStartup startup, const ViewFactory& makeView);
    ~AppController() override;
    AppController(const AppController&) = delete;
    AppController& operator=(const AppController&) = delete;

    [[nodiscard]] DMMSession& session() noexcept { return *session_; }
    [[nodiscard]] AppView& view() noexcept { return *view_; }
    [[nodiscard]] bool unsaved() const noexcept { return unsaved_; }
    [[nodiscard]] bool closing() const noexcept { return closing_; }
    [[nodiscard]] const std::optional<std::string>& currentFilePath() const noexcept { return currentFilePath_; }
    [[nodiscard]] const AppSettings& settings() const noexcept { return settings_; }
    [[nodiscard]] AppLanguage language() const noexcept { return language_; }
    [[nodiscard]] UpdateController* updates() noexcept { return updateController_.get(); }
    // How many modal questions are open now (nested ones count each).
    [[nodiscard]] int openQuestions() const noexcept { return openQuestions_; }
    [[nodiscard]] bool holdsDataDirectory() const noexcept { return dataLock_.has_value(); }

    // The window's commands.
    void startRecording();
    void stopRecording();
    void requestClose();
    void newFile();
    void openFromMenu();
    bool save();
    void saveAs();
    void exportCsv();
    void deleteRows(std::span<const std::size_t> rows);
    void clearAll();
    void copiedRows(std::size_t count);
    void intervalChanged(int interval);
    void languageChanged(AppLanguage language);
    void chartToggled(bool visible);
    void alwaysOnTopToggled(bool topmost);
    void checkForUpdates();
    void updateNoticeClicked();
    // Edit > Limits and Alarm: the limits of the meter's current function
    // and unit.
    void editLimits();
    // File > Export Chart Image.
    void exportChartImage();
    // A forwarded open message; whether it was one.
    bool receiveCopyData(std::uintptr_t identifier, std::span<const std::uint8_t> bytes);
    void receiveForwardedPath(const std::string& path);
    // A window timer expired.
    void onTimer(unsigned id);

    // Opens a file; interactive shows its failures in a box. Also the
    // start-up hook's open.
    bool openDocument(const std::string& path, bool interactive);
    // Writes the working set to a path as a signed file.
    bool write(const std::string& path, bool interactive);
    // The last step of every close; the journal goes with it.
    void finishClose(std::string_view reason);
    // After the message loop: polling stops, the journal stays for the
    // next start unless a completed close removed it.
    void shutdownKeepingJournal();

    // What the update controller asks of the application.
    [[nodiscard]] bool isClosing() const override { return closing_; }
    [[nodiscard]] bool isAskingQuestion() const override { return openQuestions_ > 0; }
    [[nodiscard]] bool isRecording() const override;
    [[nodiscard]] bool hasUnsavedChanges() const override { return unsaved_; }
    [[nodiscard]] AppLanguage uiLanguage() const override { return language_; }
    [[nodiscard]] AppSettings& updateSettings() override { return settings_; }
    void persistUpdateSettings() override { persistSettings(); }
    [[nodiscard]] bool beforeInstallUnsavedCheck(bool unattended) override;
    void stopRecordingForUpdate() override { stopRecording(); }
    void closeForUpdate(std::string_view reason) override;

private:
    // What taking over the journal found.
    enum class JournalTakeover { refused, held, restored };
    // Whether a command may replace the working set now.
    enum class Readiness { ready, journalRefused, cancelled };
    // One open modal question: counted while it is up, and a close that
    // came in meanwhile is taken up once the last one is answered.
    class Question {
    public:
        explicit Question(AppController& controller)
            : controller_(controller)
        {
            ++controller_.openQuestions_;
        }
        ~Question() { controller_.questionClosed(); }
        Question(const Question&) = delete;
        Question& operator=(const Question&) = delete;

    private:
        AppController& controller_;
    };
    // The busy indication while a file is read or written.
    class BusyIndicator {
    public:
        explicit BusyIndicator(AppView& view)
            : view_(view)
        {
            view_.setBusy(true);
        }
        ~BusyIndicator() { view_.setBusy(false); }
        BusyIndicator(const BusyIndicator&) = delete;
        BusyIndicator& operator=(const BusyIndicator&) = delete;

    private:
        AppView& view_;
    };
    class QuestionAwareUpdateView;

    explicit AppController(AppStartup startup);
    std::expected<void, std::string> build(const ViewFactory& makeView);
    void installSessionCallbacks();
    void createUpdateController();
    void runStartupHooks();

    // Recording.
    void sampleTick();
    void applyOutcome(const SampleOutcome& outcome);
    void dropScheduler();
    [[nodiscard]] double wallNow() const { return wallClock_(); }

    // State shown in the window.
    void markChanged();
    void setUnsaved(bool unsaved);
    void updateTitle();
    void refreshChannelText();
    void onConnectionChanged(const SessionConnectionState& state);
    void onJournalFailure(const std::string& message);

    // Limits and the alarm, on every reading the meter shows.
    void onLiveReading(const Reading& reading);
    void applyAlarmChange(const std::optional<AlarmChange>& change, std::string_view endReason = {});
    [[nodiscard]] Limits limitsOf(std::uint8_t function, const std::string& unit) const;
    void persistSettings();

    // Questions: every modal interaction goes through these, so the
    // controller knows when one is open.
    void showMessage(MessageKind kind, L10nKey body, L10nKey title);
    void showMessage(MessageKind kind, const std::string& body, L10nKey title);
    [[nodiscard]] bool confirm(L10nKey body, L10nKey title);
    [[nodiscard]] std::optional<bool> askYesNo(const std::string& body, L10nKey title);
    [[nodiscard]] SaveChoice askUnsaved();
    [[nodiscard]] std::optional<std::string> askSavePath(const std::string& proposedName, ui::FileDialogType type);
    void questionClosed();

    // Recovery and the journal.
    bool holdDataDirectory();
    // Before anything that writes or deletes the journal: the data
    // directory's lock, taken now if another writer has let it go; what it
    // left behind is asked about first (and may be restored).
    JournalTakeover takeOverJournal(bool interactive);
    // Before a command replaces the working set: the journal taken over
    // and whatever is unsaved (restored records too) settled.
    Readiness readyToReplaceWorkingSet(bool interactive, std::string_view command);
    // Whether the records were restored.
    bool askRecovery(RecoveryInfo info);

    // The unsaved-changes question with its answer carried out: whether
    // the command that asked may go on.
    bool settleUnsaved();
    // The unattended answer: save to the automatic path or give up the
    // changes.
    bool answerUnsavedUnattended(std::string_view prefix);
    void externalOpen(const std::string& path);
    void runPendingClose();
    void rememberDirectory(const std::string& path);
    [[nodiscard]] std::string text(L10nKey key) const;
    [[nodiscard]] std::string softwareText() const;

    AppStartup startup_;
    std::unique_ptr<AppView> view_;
    std::unique_ptr<DMMSession> session_;
    SettingsStore settingsStore_;
    TestHooks hooks_;
    AppSettings settings_;
    AppLanguage language_;
    std::function<double()> wallClock_;
    std::function<double()> monotonicClock_;
    std::optional<std::string> currentFilePath_;
    bool unsaved_ = false;
    bool closing_ = false; // the close sequence has run; never cleared
    bool closeAsking_ = false; // the close request's own questions are open
    bool recoveryUnanswered_ = false; // the recovery question went without an answer
    std::optional<double> updateCloseStarted_; // monotonic time the installer was started
    bool closePending_ = false; // a close arrived while a question was open
    int openQuestions_ = 0;
    bool viewRecording_ = false; // what the window shows
    bool deviceConnected_ = false;
    std::optional<SampleScheduler> sampleScheduler_;
    std::unique_ptr<DeferredUI> deferredUI_;
    std::optional<std::string> pendingForwardedPath_;
    std::optional<InstanceLock> dataLock_; // held while this program may write the journal
    std::string version_;
    std::shared_ptr<UpdateController> updateController_;
    // The function and unit of the last reading shown, and its alarm.
    std::optional<std::pair<std::uint8_t, std::string>> liveKey_;
    AlarmMonitor alarm_;
};

} // namespace zelmar
