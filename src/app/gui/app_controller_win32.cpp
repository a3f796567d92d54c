#include "app/gui/app_controller_win32.h"
#include "app/gui/controller_support_win32.h"

#include "app/gui/window_snapshot_win32.h"
#include "app/version_resource.h"
#include "core/diagnostic_log.h"
#include "core/text_encoding.h"
#include "meter/meter_source.h"
#include "session/polling_engine.h"
#include "session/session_time_format.h"
#include "ui/dialog_texts.h"
#include "ui/lcd_panel_win32.h"
#include "update/update_window_win32.h"

namespace zelmar {

using namespace gui;

using ui::win32::ConnectionStatus;
using ui::win32::MainWindow;

namespace {

bool canShowDialogNow(HWND window)
{
    if (window == nullptr || !IsWindow(window) || !IsWindowEnabled(window))
        return false;
    GUITHREADINFO info {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)
        && (info.flags & (GUI_INMENUMODE | GUI_INMOVESIZE | GUI_POPUPMENUMODE)) != 0)
        return false;
    return GetCapture() == nullptr;
}

} // namespace

AppController::AppController(AppStartup startup)
    : startup_(std::move(startup))
    , settingsStore_(PathProvider(startup_.dataDirectory))
    , hooks_(startup_.hooks)
    , settings_(startup_.settings)
    , language_(startup_.language)
{
}

AppController::~AppController()
{
    if (updateController_)
        updateController_->shutdown();
}

std::expected<std::shared_ptr<AppController>, std::string> AppController::create(AppStartup startup)
{
    std::shared_ptr<AppController> self(new AppController(std::move(startup)));
    if (auto built = self->build(); !built)
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

bool AppController::ownJournal(bool interactive)
{
    if (dataLock_)
        return true;
    if (!holdDataDirectory()) {
        if (interactive)
            window_->showWarning(
                L10n::dataDirectoryInUse(language_, text::wideToUtf8(startup_.dataDirectory.wstring())));
        return false;
    }
    // The other writer is gone; what it left behind is asked about first.
    std::optional<RecoveryInfo> recovery;
    {
        const WaitCursor wait;
        recovery = DMMSession::pendingRecovery(startup_.dataDirectory);
    }
    if (recovery)
        askRecovery(std::move(*recovery));
    return true;
}

std::expected<void, std::string> AppController::build()
{
    version_ = loadApplicationVersion();

    // The meter: the HID device, or the simulator behind the same port.
    std::string selection;
    if (const auto it = startup_.environment.find("ZELMAR_TEST_METER"); it != startup_.environment.end())
        selection = it->second;
    auto port = makeMeterPort(selection);
    if (!port) {
        logApp("ZELMAR_TEST_METER 無效（" + port.error() + "），改用 USB 電錶");
        port = makeMeterPort("");
    }
    session_ = std::make_unique<DMMSession>(std::move(*port), startup_.dataDirectory);

    // Recovery only of a journal no other program is writing.
    std::optional<RecoveryInfo> recovery;
    if (holdDataDirectory()) {
        const WaitCursor wait;
        recovery = DMMSession::pendingRecovery(startup_.dataDirectory);
    }

    auto window = MainWindow::create(startup_.instance, startup_.showCommand, language_);
    if (!window)
        return std::unexpected(window.error());
    window_ = std::move(*window);
    window_->setAppVersion(version_);

    HWND hwnd = window_->hwnd();
    DeferredUI::Host host {
        [this](unsigned id, unsigned ms) { window_->startTimer(id, ms); },
        [this](unsigned id) { window_->stopTimer(id); },
        [hwnd] { return canShowDialogNow(hwnd); },
    };
    deferredUI_ = std::make_unique<DeferredUI>(
        std::move(host), static_cast<unsigned>(deferredTimer), [this] { return closing_; });

    window_->setInterval(
        static_cast<int>(ui::clampInterval(hooks_.intervalOverride.value_or(settings_.recordInterval))));
    if (!settings_.chartVisible)
        window_->setChartVisible(false);
    if (settings_.alwaysOnTop)
        window_->setAlwaysOnTop(true);
    if (settings_.windowPlacement)
        window_->restorePlacement(*settings_.windowPlacement);

    installCallbacks();
    updateTitle();
    window_->setConnection(ConnectionStatus::disconnected());
    window_->lcdPanel().showDisconnected();

    if (recovery)
        askRecovery(std::move(*recovery));
    if (!session_->start())
        logApp("輪詢執行緒無法啟動");
    if (startup_.launchPath) {
        logApp("啟動參數：開啟 " + *startup_.launchPath);
        externalOpen(*startup_.launchPath);
    }
    createUpdateController();
    runStartupHooks();
    updateController_->start();
    logApp("啟動完成（版本 " + version_ + "、語言 " + std::string(languageCode(language_)) + "、間隔 "
        + std::to_string(window_->currentInterval()) + " 秒" + (hooks_.anyActive() ? "、測試 hook 生效" : "") + "）");
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
    config.downloadDirectory = startup_.dataDirectory / L"updates";
    if (hooks_.updateMode)
        config.hook = *hooks_.updateMode == UpdateMode::check ? UpdateTestHook::check : UpdateTestHook::install;
    updateController_ = UpdateController::create(
        weak_from_this(), std::make_unique<UpdateWindowView>(*window_, *deferredUI_), std::move(config));
}

bool AppController::isRecording() const
{
    return session_->isRecording();
}

void AppController::installCallbacks()
{
    const std::weak_ptr<AppController> weak = weak_from_this();
    // Every callback holds the controller weakly: one that fires after it
    // is gone does nothing.
    auto call = [weak](auto method) {
        return [weak, method](auto&&... args) {
            if (auto self = weak.lock())
                ((*self).*method)(std::forward<decltype(args)>(args)...);
        };
    };
    MainWindow& w = *window_;
    w.setRowProvider([weak](std::size_t row) -> std::optional<Reading> {
        auto self = weak.lock();
        if (!self || row > static_cast<std::size_t>(INT32_MAX))
            return std::nullopt;
        return self->session_->record(static_cast<int>(row));
    });
    w.onStart = call(&AppController::startRecording);
    w.onStop = call(&AppController::stopRecording);
    w.onNewFile = call(&AppController::newFile);
    w.onOpen = call(&AppController::openFromMenu);
    w.onSave = [weak] {
        if (auto self = weak.lock())
            (void)self->save();
    };
    w.onSaveAs = call(&AppController::saveAs);
    w.onExportCSV = call(&AppController::exportCsv);
    w.onDeleteRows = [weak](std::span<const std::size_t> rows) {
        if (auto self = weak.lock())
            self->deleteRows(rows);
    };
    w.onClearAll = call(&AppController::clearAll);
    w.onCopyRows
        = [](std::span<const std::size_t> rows) { logApp("已複製 " + std::to_string(rows.size()) + " 列至剪貼簿"); };
    w.onCloseRequested = call(&AppController::requestClose);
    w.onIntervalChanged = [weak](int interval) {
        if (auto self = weak.lock()) {
            self->settings_.recordInterval = interval;
            self->persistSettings();
            logApp("記錄間隔改為 " + std::to_string(interval) + " 秒");
        }
    };
    w.onLanguageChanged = [weak](AppLanguage language) {
        if (auto self = weak.lock()) {
            self->language_ = language;
            self->settings_.language = std::string(languageCode(language));
            self->persistSettings();
            self->refreshChannelText();
            if (self->updateController_)
                self->updateController_->refreshNotice();
            logApp("語言切換為 " + std::string(languageCode(language)));
        }
    };
    w.onToggleChart = [weak](bool visible) {
        if (auto self = weak.lock()) {
            self->settings_.chartVisible = visible;
            self->persistSettings();
        }
    };
    w.onToggleAlwaysOnTop = [weak](bool topmost) {
        if (auto self = weak.lock()) {
            self->settings_.alwaysOnTop = topmost;
            self->persistSettings();
        }
    };
    w.onCopyData = [weak](std::uintptr_t identifier, std::span<const std::uint8_t> bytes) {
        auto self = weak.lock();
        return self && self->receiveCopyData(identifier, bytes);
    };
    w.onCheckForUpdates = [weak] {
        if (auto self = weak.lock(); self && self->updateController_) {
            logApp("更新：使用者手動檢查");
            self->updateController_->checkForUpdates(UpdateCheckMode::manual);
        }
    };
    w.onUpdateNoticeClicked = [weak] {
        if (auto self = weak.lock(); self && self->updateController_)
            self->updateController_->noticeClicked();
    };
    w.onExternalTimer = [weak](UINT_PTR id) {
        if (auto self = weak.lock())
            self->onTimer(id);
    };

    // The polling thread's callbacks only post to the UI thread.
    ui::UIDispatcher& dispatcher = w.dispatcher();
    session_->setOnReading([weak, &dispatcher](const Reading& reading) {
        dispatcher.post([weak, reading] {
            if (auto self = weak.lock(); self && self->window_)
                self->window_->lcdPanel().show(reading);
        });
    });
    session_->setOnConnectionChanged([weak, &dispatcher](const SessionConnectionState& state) {
        dispatcher.post([weak, state] {
            if (auto self = weak.lock())
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
    if (session_->isRecording())
        return;
    if (!ownJournal(!hooks_.autoCloseMs))
        return;
    if (session_->recordCount() >= session_->recordLimit()) {
        window_->showInformation(text(L10nKey::dialogLimitReachedBody), text(L10nKey::dialogLimitReachedTitle));
        return;
    }
    const double anchor = PollingEngine::now();
    const int interval = std::max(1, window_->currentInterval());
    const SampleOutcome outcome = session_->startRecording(anchor);
    window_->setRecording(session_->isRecording());
    applyOutcome(outcome);
    if (!session_->isRecording())
        return;
    sampleScheduler_.emplace(static_cast<double>(interval), anchor);
    const auto tick = SampleScheduler::tickMilliseconds(static_cast<double>(interval));
    window_->startTimer(sampleTimer, tick);
    logApp("開始記錄（間隔 " + std::to_string(interval) + " 秒，取樣排程 tick " + std::to_string(tick) + " ms）");
}

void AppController::stopRecording()
{
    window_->stopTimer(sampleTimer);
    sampleScheduler_.reset();
    session_->stopRecording();
    window_->setRecording(false);
    logApp("停止記錄（保留 " + std::to_string(session_->recordCount()) + " 筆）");
}

void AppController::sampleTick()
{
    if (!sampleScheduler_)
        return;
    const double now = PollingEngine::now();
    if (!sampleScheduler_->consumeIfDue(now))
        return;
    applyOutcome(session_->sample(now));
}

void AppController::applyOutcome(const SampleOutcome& outcome)
{
    switch (outcome.kind) {
    case SampleOutcome::Kind::appended:
    case SampleOutcome::Kind::appendedAndStopped:
        window_->appendRecord(*outcome.reading, outcome.totalCount);
        markChanged();
        if (outcome.kind == SampleOutcome::Kind::appendedAndStopped) {
            window_->stopTimer(sampleTimer);
            sampleScheduler_.reset();
            window_->setRecording(false);
            window_->showInformation(text(L10nKey::dialogLimitReachedBody), text(L10nKey::dialogLimitReachedTitle));
        }
        return;
    case SampleOutcome::Kind::skipped:
    case SampleOutcome::Kind::notRecording:
        if (window_->isRecording() != session_->isRecording()) {
            window_->stopTimer(sampleTimer);
            sampleScheduler_.reset();
            window_->setRecording(session_->isRecording());
        }
        return;
    }
}

void AppController::markChanged()
{
    const bool value = session_->recordCount() > 0 || currentFilePath_.has_value();
    if (value == unsaved_)
        return;
    unsaved_ = value;
    updateTitle();
}

void AppController::updateTitle()
{
    std::optional<std::string> name;
    if (currentFilePath_)
        name = lastComponent(*currentFilePath_);
    window_->setTitle(name, unsaved_);
}

// ---- live status ----

void AppController::onConnectionChanged(const SessionConnectionState& state)
{
    switch (state.kind) {
    case SessionConnectionState::Kind::disconnected:
        window_->lcdPanel().showDisconnected();
        window_->setConnection(ConnectionStatus::disconnected());
        break;
    case SessionConnectionState::Kind::readError:
        window_->setConnection(ConnectionStatus::readError());
        break;
    case SessionConnectionState::Kind::connected:
        if (!state.model.empty())
            logApp("裝置回報型號：" + state.model);
        window_->setConnection(ConnectionStatus::connected(std::string(modelName)));
        break;
    }
    deviceConnected_ = state.kind == SessionConnectionState::Kind::connected;
    refreshChannelText();
}

void AppController::refreshChannelText()
{
    const std::string base = deviceConnected_ ? text(L10nKey::statusUsbHid) : std::string();
    if (!session_->journalFailed()) {
        window_->setChannelText(base);
        return;
    }
    std::string channel = "⚠ " + text(L10nKey::dialogJournalWriteFailedTitle);
    if (!base.empty())
        channel += "  " + base;
    window_->setChannelText(channel);
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
            self->window_->showWarning(
                self->text(L10nKey::dialogJournalWriteFailedBody), self->text(L10nKey::dialogJournalWriteFailedTitle));
    });
}

void AppController::persistSettings()
{
    if (auto saved = settingsStore_.save(settings_); !saved)
        logApp("settings.json 寫入失敗：" + saved.error().text());
}

// ---- recovery and close ----

void AppController::askRecovery(RecoveryInfo info)
{
    const auto first
        = info.records.empty() ? std::string("-") : SessionTimeFormat::dateTime(info.records.front().timestamp());
    const auto last
        = info.records.empty() ? std::string("-") : SessionTimeFormat::dateTime(info.records.back().timestamp());
    const std::string question
        = L10n::recoveryQuestion(language_, static_cast<std::int64_t>(info.records.size()), first, last) + "\n\n"
        + ui::recoveryHint(language_);
    bool restore = false;
    if (hooks_.recoveryAnswer) {
        logApp("測試 hook：恢復詢問自動回答 " + std::string(recoveryAnswerText(*hooks_.recoveryAnswer)));
        restore = *hooks_.recoveryAnswer == RecoveryAnswer::restore;
    } else {
        restore = window_->askYesNo(question, text(L10nKey::dialogRecoveryTitle));
    }
    if (!restore) {
        session_->discardRecovery();
        logApp("使用者放棄恢復，緩衝檔已刪除");
        return;
    }
    const bool truncated = info.wasTruncated;
    const int dropped = info.droppedLineCount;
    {
        const WaitCursor wait;
        session_->adoptRecovery(std::move(info));
        window_->reloadRecords(session_->recordCount());
    }
    unsaved_ = session_->recordCount() > 0;
    updateTitle();
    logApp("已恢復 " + std::to_string(session_->recordCount()) + " 筆記錄（刪除筆數 "
        + std::to_string(session_->deletedCount()) + "）"
        + (truncated ? "（尾端損毀，捨棄 " + std::to_string(dropped) + " 行）" : std::string()));
}

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
    // A second request while this one's questions are open (their message
    // loop dispatches a posted WM_CLOSE) waits for the first.
    if (closing_ || closeAsking_)
        return;
    closeAsking_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done { closeAsking_ };
    const bool unattended = hooks_.autoCloseMs.has_value();
    if (session_->isRecording()) {
        if (!unattended) {
            if (!window_->askYesNo(text(L10nKey::dialogRecordingCloseBody), text(L10nKey::dialogRecordingCloseTitle)))
                return;
        } else {
            logApp("測試 hook：記錄中關閉確認自動回答『是』");
        }
        stopRecording();
    }
    if (unsaved_) {
        if (!(unattended ? answerUnsavedUnattended("") : settleUnsaved()))
            return;
    }
    finishClose("正常關閉");
}

void AppController::finishClose(std::string_view reason)
{
    if (closing_)
        return;
    closing_ = true;
    window_->stopTimer(sampleTimer);
    window_->stopTimer(deferredTimer);
    settings_.windowPlacement = window_->capturePlacement();
    // A journal this program never held belongs to the other writer.
    if (dataLock_) {
        session_->shutdownDiscardingJournal();
        persistSettings();
        logApp(std::string(reason) + "：緩衝檔與側檔已刪除、設定已寫入");
    } else {
        session_->shutdownKeepingJournal();
        persistSettings();
        logApp(std::string(reason) + "：緩衝檔屬於另一個記錄程式而保留、設定已寫入");
    }
    // A download still running is cancelled and nothing posts to the window.
    if (updateController_)
        updateController_->shutdown();
    window_->destroy();
}

bool AppController::beforeInstallUnsavedCheck(bool unattended)
{
    if (!unsaved_)
        return true;
    return unattended ? answerUnsavedUnattended("更新前") : settleUnsaved();
}

void AppController::shutdownKeepingJournal()
{
    if (updateController_)
        updateController_->shutdown();
    session_->shutdownKeepingJournal();
}

// ---- timers and start-up hooks ----

void AppController::onTimer(UINT_PTR id)
{
    switch (id) {
    case sampleTimer:
        sampleTick();
        return;
    case autoCloseTimer:
        window_->stopTimer(autoCloseTimer);
        logApp("測試 hook：自動關閉");
        requestClose();
        return;
    case snapshotTimer: {
        window_->stopTimer(snapshotTimer);
        if (!hooks_.snapshotPath)
            return;
        const bool written = captureWindowSnapshot(*window_, fsPath(*hooks_.snapshotPath), hooks_.snapshotMenu);
        logApp(std::string("測試 hook：版面擷圖") + (written ? "已輸出" : "失敗") + "：" + *hooks_.snapshotPath);
        return;
    }
    default:
        (void)deferredUI_->onTimer(static_cast<unsigned>(id));
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
        window_->startTimer(snapshotTimer, hooks_.snapshotDelayMs);
    }
    if (hooks_.autoCloseMs) {
        logApp("測試 hook：" + std::to_string(*hooks_.autoCloseMs) + " ms 後自動關閉");
        window_->startTimer(autoCloseTimer, *hooks_.autoCloseMs);
    }
}

} // namespace zelmar
