#include "app/app_controller.h"

#include "app/version_resource.h"
#include "core/diagnostic_log.h"
#include "meter/meter_source.h"
#include "session/session_time_format.h"
#include "storage/file_io.h"
#include "ui/dialog_texts.h"
#include "ui/main_window_model.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace zelmar {

namespace {

constexpr std::string_view modelName = "DMM-5174K";

void logApp(std::string_view line)
{
    log::write(log::Module::app, line);
}

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

// The update controller's screen, with its modal windows counted as the
// application's questions.
class AppController::QuestionAwareUpdateView final : public UpdateView {
public:
    QuestionAwareUpdateView(std::unique_ptr<UpdateView> inner, std::weak_ptr<AppController> owner)
        : inner_(std::move(inner))
        , owner_(std::move(owner))
    {
    }
    template <typename Modal> decltype(auto) asQuestion(Modal modal)
    {
        const auto owner = owner_.lock();
        std::optional<Question> question;
        if (owner)
            question.emplace(*owner);
        return modal();
    }

    bool post(std::function<void()> action) override { return inner_->post(std::move(action)); }
    void defer(std::function<void()> action) override { inner_->defer(std::move(action)); }
    void setNotice(std::optional<std::string> text, bool clickable) override
    {
        inner_->setNotice(std::move(text), clickable);
    }
    void showMessage(MessageKind kind, const std::string& title, const std::string& text) override
    {
        asQuestion([&] { inner_->showMessage(kind, title, text); });
    }
    UpdateFlow::PromptChoice askUpdate(const UpdatePromptRequest& request) override
    {
        return asQuestion([&] { return inner_->askUpdate(request); });
    }
    bool runProgress(std::function<void()> shown, std::function<void()> cancel) override
    {
        return asQuestion([&] { return inner_->runProgress(std::move(shown), std::move(cancel)); });
    }
    void setProgress(int percent, const std::optional<std::string>& text) override
    {
        inner_->setProgress(percent, text);
    }
    void setProgressText(const std::string& text) override { inner_->setProgressText(text); }
    void closeProgress() override { inner_->closeProgress(); }
    const InstallerLaunch::Environment& installations() const override { return inner_->installations(); }
    std::expected<void, UpdateFailure> launch(const InstallerLaunch::Plan& plan) override
    {
        return inner_->launch(plan);
    }

private:
    std::unique_ptr<UpdateView> inner_;
    std::weak_ptr<AppController> owner_;
};

AppController::AppController(AppStartup startup)
    : startup_(std::move(startup))
    , settingsStore_(PathProvider(startup_.dataDirectory))
    , hooks_(startup_.hooks)
    , settings_(startup_.settings)
    , language_(startup_.language)
    , wallClock_(startup_.wallClock ? startup_.wallClock : [] { return PollingEngine::now(); })
    , monotonicClock_(startup_.monotonicClock ? startup_.monotonicClock : steadySeconds)
{
}

AppController::~AppController()
{
    if (updateController_)
        updateController_->shutdown();
}

std::expected<std::shared_ptr<AppController>, std::string> AppController::create(
    AppStartup startup, const ViewFactory& makeView)
{
    std::shared_ptr<AppController> self(new AppController(std::move(startup)));
    if (auto built = self->build(makeView); !built)
        return std::unexpected(built.error());
    return self;
}

std::string AppController::text(L10nKey key) const
{
    return std::string(L10n::text(key, language_));
}

std::string AppController::softwareText() const
{
    return "ZELMAR DMM-5174K " + version_;
}

std::expected<void, std::string> AppController::build(const ViewFactory& makeView)
{
    version_ = startup_.version ? *startup_.version : loadApplicationVersion();
    logWhenDevelopmentBuild();

    // The meter: the one given, the HID device, or the simulator behind
    // the same port.
    auto port = std::move(startup_.port);
    if (!port) {
        std::string selection;
        if (const auto it = startup_.environment.find("ZELMAR_TEST_METER"); it != startup_.environment.end())
            selection = it->second;
        auto made = makeMeterPort(selection);
        if (!made) {
            logApp("ZELMAR_TEST_METER 無效（" + made.error() + "），改用 USB 電錶");
            made = makeMeterPort("");
        }
        if (!made)
            return std::unexpected(made.error());
        port = std::move(*made);
    }
    session_ = std::make_unique<DMMSession>(std::move(port), startup_.dataDirectory, startup_.pollPeriodMs,
        startup_.recordLimit, startup_.pollingTiming);

    // Recovery only of a journal no other program is writing.
    std::optional<RecoveryInfo> recovery;
    if (holdDataDirectory())
        recovery = DMMSession::pendingRecovery(startup_.dataDirectory);

    auto view = makeView(language_);
    if (!view)
        return std::unexpected(view.error());
    view_ = std::move(*view);
    view_->setAppVersion(displayedVersion(version_));

    DeferredUI::Host host {
        [this](unsigned id, unsigned ms) { view_->startTimer(id, ms); },
        [this](unsigned id) { view_->stopTimer(id); },
        // Nothing held back runs while one of the application's questions
        // is open: it may be about the working set the action would change.
        [this] { return openQuestions_ == 0 && view_->canShowDialog(); },
    };
    deferredUI_ = std::make_unique<DeferredUI>(std::move(host), deferredTimer, [this] { return closing_; });

    view_->setInterval(ui::clampInterval(hooks_.intervalOverride.value_or(settings_.recordInterval)));
    if (!settings_.chartVisible)
        view_->setChartVisible(false);
    if (settings_.alwaysOnTop)
        view_->setAlwaysOnTop(true);
    if (!settings_.limits.empty())
        view_->setLimits(settings_.limits);
    if (settings_.windowPlacement)
        view_->restorePlacement(*settings_.windowPlacement);

    view_->connect(weak_from_this());
    installSessionCallbacks();
    updateTitle();
    view_->setConnection(MeterLink::disconnected, {});
    view_->showDisconnected();

    if (recovery)
        (void)askRecovery(std::move(*recovery));
    if (!session_->start())
        logApp("輪詢執行緒無法啟動");
    if (startup_.launchPath) {
        logApp("啟動參數：開啟 " + *startup_.launchPath);
        externalOpen(*startup_.launchPath);
    }
    createUpdateController();
    runStartupHooks();
    updateController_->start();
    logApp("啟動完成（版本 " + displayedVersion(version_) + "、語言 " + std::string(languageCode(language_)) + "、間隔 "
        + std::to_string(view_->currentInterval()) + " 秒" + (hooks_.anyActive() ? "、測試 hook 生效" : "") + "）");
    return {};
}

void AppController::createUpdateController()
{
    const auto& environment = startup_.environment;
    auto endpoint = UpdateEndpoint::resolve(
        [&environment](const char* name) -> std::optional<std::string> {
            const auto it = environment.find(name);
            return it == environment.end() ? std::nullopt : std::optional(it->second);
        },
        settings_.updateManifestURL);
    for (const auto& line : UpdateEndpoint::logLines(endpoint, version_))
        logApp(line);
    UpdateControllerConfig config;
    config.endpoint = std::move(endpoint);
    config.currentVersion = version_;
    config.downloadDirectory = startup_.dataDirectory / "updates";
    config.verifier = startup_.updateVerifier;
    if (hooks_.updateMode)
        config.hook = *hooks_.updateMode == UpdateMode::check ? UpdateTestHook::check : UpdateTestHook::install;
    updateController_ = UpdateController::create(weak_from_this(),
        std::make_unique<QuestionAwareUpdateView>(view_->makeUpdateView(*deferredUI_), weak_from_this()),
        std::move(config));
}

bool AppController::isRecording() const
{
    return session_->isRecording();
}

void AppController::installSessionCallbacks()
{
    // The polling thread's callbacks only post to the UI thread; the
    // controller is held weakly, so a late one does nothing.
    const std::weak_ptr<AppController> weak = weak_from_this();
    AppView* view = view_.get();
    session_->setOnReading([weak, view](const Reading& reading) {
        (void)view->post([weak, reading] {
            if (auto self = weak.lock(); self && !self->closing_) {
                self->view_->showReading(reading);
                self->onLiveReading(reading);
            }
        });
    });
    session_->setOnConnectionChanged([weak, view](const SessionConnectionState& state) {
        (void)view->post([weak, state] {
            if (auto self = weak.lock(); self && !self->closing_)
                self->onConnectionChanged(state);
        });
    });
    session_->setOnJournalFailure([weak](const std::string& message) {
        if (auto self = weak.lock())
            self->onJournalFailure(message);
    });
}

// ---- recording ----

void AppController::startRecording()
{
    if (session_->isRecording() || closing_)
        return;
    if (takeOverJournal(!hooks_.autoCloseMs) == JournalTakeover::refused)
        return;
    if (session_->recordCount() >= session_->recordLimit()) {
        showMessage(MessageKind::information, L10nKey::dialogLimitReachedBody, L10nKey::dialogLimitReachedTitle);
        return;
    }
    const int interval = std::max(1, view_->currentInterval());
    const SampleOutcome outcome = session_->startRecording(wallNow());
    viewRecording_ = session_->isRecording();
    view_->setRecording(viewRecording_);
    applyOutcome(outcome);
    if (!session_->isRecording())
        return;
    // Due times on a clock that never goes back: setting the wall clock
    // back during a recording must not leave a silent gap.
    sampleScheduler_.emplace(static_cast<double>(interval), monotonicClock_());
    const auto tick = SampleScheduler::tickMilliseconds(static_cast<double>(interval));
    view_->startTimer(sampleTimer, tick);
    logApp("開始記錄（間隔 " + std::to_string(interval) + " 秒，取樣排程 tick " + std::to_string(tick) + " ms）");
}

void AppController::dropScheduler()
{
    view_->stopTimer(sampleTimer);
    sampleScheduler_.reset();
}

void AppController::stopRecording()
{
    dropScheduler();
    session_->stopRecording();
    viewRecording_ = false;
    view_->setRecording(false);
    logApp("停止記錄（保留 " + std::to_string(session_->recordCount()) + " 筆）");
}

void AppController::sampleTick()
{
    if (!sampleScheduler_ || !sampleScheduler_->consumeIfDue(monotonicClock_()))
        return;
    applyOutcome(session_->sample(wallNow()));
}

void AppController::applyOutcome(const SampleOutcome& outcome)
{
    switch (outcome.kind) {
    case SampleOutcome::Kind::appended:
    case SampleOutcome::Kind::appendedAndStopped:
        view_->appendRecord(*outcome.reading, outcome.totalCount);
        markChanged();
        if (outcome.kind == SampleOutcome::Kind::appendedAndStopped) {
            dropScheduler();
            viewRecording_ = false;
            view_->setRecording(false);
            showMessage(MessageKind::information, L10nKey::dialogLimitReachedBody, L10nKey::dialogLimitReachedTitle);
        }
        return;
    case SampleOutcome::Kind::skipped:
    case SampleOutcome::Kind::notRecording:
        if (viewRecording_ != session_->isRecording()) {
            dropScheduler();
            viewRecording_ = session_->isRecording();
            view_->setRecording(viewRecording_);
        }
        return;
    }
}

// ---- state shown in the window ----

void AppController::markChanged()
{
    setUnsaved(session_->recordCount() > 0 || currentFilePath_.has_value());
}

void AppController::setUnsaved(bool unsaved)
{
    if (unsaved == unsaved_)
        return;
    unsaved_ = unsaved;
    updateTitle();
}

void AppController::updateTitle()
{
    std::optional<std::string> name;
    if (currentFilePath_) {
        const auto slash = currentFilePath_->find_last_of("\\/");
        name = slash == std::string::npos ? *currentFilePath_ : currentFilePath_->substr(slash + 1);
    }
    view_->setTitle(name, unsaved_);
}

void AppController::onConnectionChanged(const SessionConnectionState& state)
{
    switch (state.kind) {
    case SessionConnectionState::Kind::disconnected:
        view_->showDisconnected();
        view_->setConnection(MeterLink::disconnected, {});
        applyAlarmChange(alarm_.stop(wallNow()), "電錶離線");
        liveKey_.reset();
        break;
    case SessionConnectionState::Kind::readError:
        view_->setConnection(MeterLink::readError, {});
        break;
    case SessionConnectionState::Kind::connected:
        if (!state.model.empty())
            logApp("裝置回報型號：" + state.model);
        // The status bar names the model this program is for, whatever
        // text the meter reported.
        view_->setConnection(MeterLink::connected, modelName);
        break;
    }
    deviceConnected_ = state.kind == SessionConnectionState::Kind::connected;
    refreshChannelText();
}

void AppController::refreshChannelText()
{
    const std::string base = deviceConnected_ ? text(L10nKey::statusUsbHid) : std::string();
    if (!session_->journalFailed()) {
        view_->setChannelText(base);
        return;
    }
    std::string channel = "⚠ " + text(L10nKey::dialogJournalWriteFailedTitle);
    if (!base.empty())
        channel += "  " + base;
    view_->setChannelText(channel);
}

void AppController::onJournalFailure(const std::string& message)
{
    logApp("緩衝檔寫入失敗：" + message);
    refreshChannelText();
    // Reported from inside the record store: the box waits for a clean
    // stack, since its message loop would run sample ticks into the store.
    const std::weak_ptr<AppController> weak = weak_from_this();
    deferredUI_->enqueue([weak] {
        if (auto self = weak.lock())
            self->showMessage(
                MessageKind::warning, L10nKey::dialogJournalWriteFailedBody, L10nKey::dialogJournalWriteFailedTitle);
    });
}

void AppController::persistSettings()
{
    if (auto saved = settingsStore_.save(settings_); !saved)
        logApp("settings.json 寫入失敗：" + saved.error().text());
}

void AppController::copiedRows(std::size_t count)
{
    logApp("已複製 " + std::to_string(count) + " 列至剪貼簿");
}

void AppController::intervalChanged(int interval)
{
    settings_.recordInterval = interval;
    persistSettings();
    logApp("記錄間隔改為 " + std::to_string(interval) + " 秒");
}

void AppController::languageChanged(AppLanguage language)
{
    language_ = language;
    settings_.language = std::string(languageCode(language));
    persistSettings();
    refreshChannelText();
    if (updateController_)
        updateController_->refreshNotice();
    logApp("語言切換為 " + std::string(languageCode(language)));
}

void AppController::chartToggled(bool visible)
{
    settings_.chartVisible = visible;
    persistSettings();
}

void AppController::alwaysOnTopToggled(bool topmost)
{
    settings_.alwaysOnTop = topmost;
    persistSettings();
}

void AppController::checkForUpdates()
{
    if (!updateController_ || closing_)
        return;
    logApp("更新：使用者手動檢查");
    updateController_->checkForUpdates(UpdateCheckMode::manual);
}

void AppController::updateNoticeClicked()
{
    if (updateController_ && !closing_)
        updateController_->noticeClicked();
}

// ---- questions ----

void AppController::showMessage(MessageKind kind, L10nKey body, L10nKey title)
{
    showMessage(kind, text(body), title);
}

void AppController::showMessage(MessageKind kind, const std::string& body, L10nKey title)
{
    const Question question(*this);
    view_->showMessage(kind, body, text(title));
}

bool AppController::confirm(L10nKey body, L10nKey title)
{
    const Question question(*this);
    return view_->confirm(text(body), text(title));
}

std::optional<bool> AppController::askYesNo(const std::string& body, L10nKey title)
{
    const Question question(*this);
    return view_->askYesNo(body, text(title));
}

SaveChoice AppController::askUnsaved()
{
    const Question question(*this);
    return view_->askUnsaved(ui::unsavedQuestionText(text(L10nKey::dialogUnsavedBody), language_),
        text(L10nKey::dialogUnsavedTitle));
}

std::optional<std::string> AppController::askSavePath(const std::string& proposedName, ui::FileDialogType type)
{
    const Question question(*this);
    return view_->askSavePath(proposedName, settings_.lastSaveDirectory, type);
}

void AppController::questionClosed()
{
    --openQuestions_;
}

void AppController::runPendingClose()
{
    if (!std::exchange(closePending_, false) || closing_)
        return;
    logApp("關閉要求：詢問已回答，繼續關閉");
    requestClose();
}

// ---- recovery and the journal ----

bool AppController::holdDataDirectory()
{
    if (dataLock_)
        return true;
    auto lock = InstanceLock::acquire(startup_.dataDirectory);
    if (!lock) {
        logApp("資料夾由另一個記錄程式使用中：" + lock.error());
        return false;
    }
    dataLock_.emplace(std::move(*lock));
    return true;
}

AppController::JournalTakeover AppController::takeOverJournal(bool interactive)
{
    if (dataLock_)
        return JournalTakeover::held;
    // A close is on its way: no new question about a journal before it.
    if (closePending_) {
        logApp("關閉要求待處理：不接手緩衝檔");
        return JournalTakeover::refused;
    }
    if (!holdDataDirectory()) {
        if (interactive) {
            const Question question(*this);
            view_->showMessage(MessageKind::warning,
                L10n::dataDirectoryInUse(language_, pathText(startup_.dataDirectory)), text(L10nKey::appName));
        }
        return JournalTakeover::refused;
    }
    // The other writer is gone (or a recovery question went unanswered);
    // what is left behind is asked about first.
    recoveryUnanswered_ = false;
    std::optional<RecoveryInfo> recovery;
    {
        const BusyIndicator busy(*view_);
        recovery = DMMSession::pendingRecovery(startup_.dataDirectory);
    }
    if (recovery && askRecovery(std::move(*recovery)))
        return JournalTakeover::restored;
    // An unanswered question let the journal go again: it is not ours.
    return dataLock_ ? JournalTakeover::held : JournalTakeover::refused;
}

bool AppController::askRecovery(RecoveryInfo info)
{
    const auto first = info.records.empty() ? std::string("-") : SessionTimeFormat::dateTime(info.records.record(0).t);
    const auto last = info.records.empty()
        ? std::string("-")
        : SessionTimeFormat::dateTime(info.records.record(info.records.size() - 1).t);
    bool restore = false;
    if (hooks_.recoveryAnswer) {
        logApp("測試 hook：恢復詢問自動回答 " + std::string(recoveryAnswerText(*hooks_.recoveryAnswer)));
        restore = *hooks_.recoveryAnswer == RecoveryAnswer::restore;
    } else {
        const std::string question
            = L10n::recoveryQuestion(language_, static_cast<std::int64_t>(info.records.size()), first, last) + "\n\n"
            + ui::recoveryHint(language_);
        logApp("恢復詢問：緩衝檔有 " + std::to_string(info.records.size()) + " 筆記錄，等待使用者回答");
        const auto answer = askYesNo(question, L10nKey::dialogRecoveryTitle);
        if (!answer) {
            // Nobody chose: the journal stays for the next time it is
            // asked about, and this program lets go of it meanwhile.
            recoveryUnanswered_ = true;
            dataLock_.reset();
            logApp("恢復詢問未獲回答（詢問視窗被關閉），緩衝檔保留至下次詢問");
            return false;
        }
        restore = *answer;
    }
    if (!restore) {
        session_->discardRecovery();
        logApp("使用者放棄恢復，緩衝檔已刪除");
        return false;
    }
    const bool truncated = info.wasTruncated;
    const int dropped = info.droppedLineCount;
    {
        const BusyIndicator busy(*view_);
        session_->adoptRecovery(std::move(info));
        view_->reloadRecords(session_->recordCount());
    }
    // The restored records belong to no file.
    currentFilePath_.reset();
    unsaved_ = session_->recordCount() > 0;
    updateTitle();
    logApp("已恢復 " + std::to_string(session_->recordCount()) + " 筆記錄（刪除筆數 "
        + std::to_string(session_->deletedCount()) + "）"
        + (truncated ? "（尾端損毀，捨棄 " + std::to_string(dropped) + " 行）" : std::string()));
    return true;
}

AppController::Readiness AppController::readyToReplaceWorkingSet(bool interactive, std::string_view command)
{
    if (takeOverJournal(interactive) == JournalTakeover::refused)
        return Readiness::journalRefused;
    if (!unsaved_)
        return Readiness::ready;
    if (interactive)
        return settleUnsaved() ? Readiness::ready : Readiness::cancelled;
    logApp(std::string(command) + "：工作集有未存檔的記錄，不取代（" + std::to_string(session_->recordCount()) + " 筆）");
    return Readiness::cancelled;
}

// ---- close ----

bool AppController::answerUnsavedUnattended(std::string_view prefix)
{
    if (!hooks_.autoSavePath) {
        logApp("測試 hook：" + std::string(prefix) + "未存檔詢問自動回答『不存檔』");
        return true;
    }
    logApp("測試 hook：" + std::string(prefix) + "未存檔詢問自動回答『存檔』→ " + *hooks_.autoSavePath);
    return write(*hooks_.autoSavePath, false);
}

void AppController::requestClose()
{
    // A second request while the close's own questions are open is the
    // same request.
    if (closing_ || closeAsking_)
        return;
    // Any other open question (or a box of the window's own) may be about
    // data a close would remove: the close waits for its answer, then runs
    // from the deferred queue, which waits for every question to end.
    if (openQuestions_ > 0 || view_->hasModalDialog()) {
        if (std::exchange(closePending_, true))
            return;
        logApp("關閉要求：尚有詢問未回答，回答後再關閉");
        const std::weak_ptr<AppController> weak = weak_from_this();
        deferredUI_->enqueue([weak] {
            if (auto self = weak.lock())
                self->runPendingClose();
        });
        return;
    }
    closePending_ = false;
    closeAsking_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done { closeAsking_ };
    const bool unattended = hooks_.autoCloseMs.has_value();
    if (session_->isRecording()) {
        if (!unattended) {
            if (askYesNo(text(L10nKey::dialogRecordingCloseBody), L10nKey::dialogRecordingCloseTitle) != true)
                return;
        } else {
            logApp("測試 hook：記錄中關閉確認自動回答『是』");
        }
        stopRecording();
    }
    if (unsaved_ && !(unattended ? answerUnsavedUnattended("") : settleUnsaved()))
        return;
    finishClose("正常關閉");
}

void AppController::finishClose(std::string_view reason)
{
    if (closing_)
        return;
    closing_ = true;
    view_->stopTimer(sampleTimer);
    view_->stopTimer(deferredTimer);
    sampleScheduler_.reset();
    settings_.windowPlacement = view_->capturePlacement();
    // A journal this program never held belongs to the other writer.
    if (dataLock_) {
        session_->shutdownDiscardingJournal();
        persistSettings();
        logApp(std::string(reason) + "：緩衝檔與側檔已刪除、設定已寫入");
    } else {
        session_->shutdownKeepingJournal();
        persistSettings();
        logApp(std::string(reason)
            + (recoveryUnanswered_ ? "：恢復詢問未獲回答，緩衝檔保留、設定已寫入"
                                   : "：緩衝檔屬於另一個記錄程式而保留、設定已寫入"));
    }
    // A download still running is cancelled and nothing posts to the window.
    if (updateController_)
        updateController_->shutdown();
    if (hooks_.slowCloseMs) {
        logApp("測試 hook：關閉延遲 " + std::to_string(*hooks_.slowCloseMs) + " ms");
        std::this_thread::sleep_for(std::chrono::milliseconds(*hooks_.slowCloseMs));
    }
    view_->destroy();
}

bool AppController::beforeInstallUnsavedCheck(bool unattended)
{
    if (!unsaved_)
        return true;
    return unattended ? answerUnsavedUnattended("更新前") : settleUnsaved();
}

void AppController::closeForUpdate(std::string_view reason)
{
    updateCloseStarted_ = monotonicClock_();
    finishClose(reason);
}

void AppController::shutdownKeepingJournal()
{
    // The installer waits only so long for this process to go: say how long
    // it took, and when it was too long.
    if (updateCloseStarted_) {
        const double seconds = monotonicClock_() - *updateCloseStarted_;
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", seconds);
        logApp("線上更新：程式於安裝程式啟動後 " + std::string(text) + " 秒結束"
            + (seconds > InstallerLaunch::exitWaitSeconds
                    ? "，超過安裝程式等待的 " + std::to_string(static_cast<int>(InstallerLaunch::exitWaitSeconds))
                        + " 秒：更新未安裝"
                    : std::string()));
        updateCloseStarted_.reset();
    }
    if (updateController_)
        updateController_->shutdown();
    session_->shutdownKeepingJournal();
}

// ---- timers and start-up hooks ----

void AppController::onTimer(unsigned id)
{
    switch (id) {
    case sampleTimer:
        sampleTick();
        return;
    case autoCloseTimer:
        view_->stopTimer(autoCloseTimer);
        logApp("測試 hook：自動關閉");
        requestClose();
        return;
    case snapshotTimer: {
        view_->stopTimer(snapshotTimer);
        if (!hooks_.snapshotPath)
            return;
        const bool written = view_->captureSnapshot(*hooks_.snapshotPath, hooks_.snapshotMenu);
        logApp(std::string("測試 hook：版面擷圖") + (written ? "已輸出" : "失敗") + "：" + *hooks_.snapshotPath);
        return;
    }
    default:
        (void)deferredUI_->onTimer(id);
        return;
    }
}

void AppController::runStartupHooks()
{
    if (hooks_.openPath) {
        logApp("測試 hook：自動開啟 " + *hooks_.openPath);
        (void)openDocument(*hooks_.openPath, false);
    }
    if (hooks_.autoRecord) {
        logApp("測試 hook：自動開始記錄");
        startRecording();
    }
    if (hooks_.snapshotPath) {
        logApp("測試 hook：" + std::to_string(hooks_.snapshotDelayMs) + " ms 後擷圖至 " + *hooks_.snapshotPath);
        view_->startTimer(snapshotTimer, hooks_.snapshotDelayMs);
    }
    if (hooks_.autoCloseMs) {
        logApp("測試 hook：" + std::to_string(*hooks_.autoCloseMs) + " ms 後自動關閉");
        view_->startTimer(autoCloseTimer, *hooks_.autoCloseMs);
    }
}

} // namespace zelmar
