#include "update/update_controller.h"

#include "core/diagnostic_log.h"
#include "core/named_thread.h"
#include "core/text_encoding.h"
#include "storage/file_io.h"
#include "update/update_downloader.h"
#include "update/update_selector.h"

#include <chrono>

namespace zelmar {

namespace {

constexpr std::size_t workerStack = 256 * 1024;

void logLine(std::string_view text)
{
    log::write(log::Module::app, text);
}

std::string_view choiceText(UpdateFlow::PromptChoice choice)
{
    switch (choice) {
    case UpdateFlow::PromptChoice::updateNow:
        return "updateNow";
    case UpdateFlow::PromptChoice::remindLater:
        return "remindLater";
    case UpdateFlow::PromptChoice::skipVersion:
        return "skipVersion";
    }
    return "remindLater";
}

std::string modeText(UpdateCheckMode mode)
{
    return std::string(checkModeText(mode));
}

} // namespace

bool UpdateController::Mailbox::post(std::function<void()> action)
{
    std::lock_guard lock(mutex);
    return view != nullptr && view->post(std::move(action));
}

std::shared_ptr<UpdateController> UpdateController::create(
    std::weak_ptr<UpdateHost> host, std::unique_ptr<UpdateView> view, UpdateControllerConfig config)
{
    return std::shared_ptr<UpdateController>(new UpdateController(std::move(host), std::move(view), std::move(config)));
}

UpdateController::UpdateController(
    std::weak_ptr<UpdateHost> host, std::unique_ptr<UpdateView> view, UpdateControllerConfig config)
    : host_(std::move(host))
    , view_(std::move(view))
    , config_(std::move(config))
    , mailbox_(std::make_shared<Mailbox>())
    , currentVersion_(SemanticVersion::parse(config_.currentVersion).value_or(SemanticVersion {}))
{
    mailbox_->view = view_.get();
    if (!config_.verifier)
        config_.verifier = std::make_shared<UpdateSignatureService>(UpdateSignatureService::shared());
    if (!config_.now)
        config_.now
            = [] { return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count(); };
}

UpdateController::~UpdateController()
{
    shutdown();
}

void UpdateController::shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    if (cancelToken_)
        cancelToken_->cancel();
    std::lock_guard lock(mailbox_->mutex);
    mailbox_->view = nullptr;
}

std::string_view UpdateController::phaseText(Phase phase) noexcept
{
    switch (phase) {
    case Phase::idle:
        return "idle";
    case Phase::checking:
        return "checking";
    case Phase::prompting:
        return "prompting";
    case Phase::downloading:
        return "downloading";
    case Phase::installing:
        return "installing";
    }
    return "idle";
}

std::shared_ptr<UpdateHost> UpdateController::liveHost() const
{
    if (shutDown_)
        return nullptr;
    auto host = host_.lock();
    return host && !host->isClosing() ? host : nullptr;
}

AppLanguage UpdateController::language() const
{
    const auto host = host_.lock();
    return host ? host->uiLanguage() : AppLanguage::zhTW;
}

std::string UpdateController::text(L10nKey key) const
{
    return std::string(L10n::text(key, language()));
}

std::string UpdateController::versionText() const
{
    return currentVersion_.text();
}

void UpdateController::start()
{
    // The installer that brought this version (or an older one) has run.
    for (const std::string& name : UpdateDownloader::removeInstalledInstallers(config_.downloadDirectory, currentVersion_))
        logLine("更新：已安裝的更新檔已刪除：" + name);
    if (!config_.hook) {
        logLine("更新：不自動檢查（僅於「關於」視窗手動檢查）");
        return;
    }
    if (*config_.hook == UpdateTestHook::check) {
        logLine("更新：測試 hook check——立即檢查（不開對話框）");
        checkForUpdates(UpdateCheckMode::automatic);
    } else {
        logLine("更新：測試 hook install——立即檢查，有新版即無人值守下載並安裝");
        checkForUpdates(UpdateCheckMode::unattendedInstall);
    }
}

void UpdateController::checkForUpdates(UpdateCheckMode mode)
{
    if (!liveHost())
        return;
    if (phase_ == Phase::prompting || phase_ == Phase::downloading || phase_ == Phase::installing) {
        logLine("更新：目前正在" + std::string(phaseText(phase_)) + "，略過這次檢查（" + modeText(mode) + "）");
        return;
    }
    if (phase_ == Phase::checking) {
        if (mode == UpdateCheckMode::manual && checkMode_ == UpdateCheckMode::automatic) {
            checkMode_ = UpdateCheckMode::manual;
            logLine("更新：自動檢查進行中，改為手動回饋");
            refreshNotice();
        }
        return;
    }
    phase_ = Phase::checking;
    checkMode_ = mode;
    const long generation = ++generation_;
    refreshNotice();

    auto body = [mailbox = mailbox_, self = weak_from_this(), generation, url = config_.endpoint.url,
                    userAgent = "ZELMAR-DMM5174K/" + config_.currentVersion, timeout = config_.manifestTimeoutSeconds,
                    verifier = config_.verifier] {
        std::variant<UpdateManifest, UpdateFailure> result = UpdateFailure::of(UpdateFailure::Kind::manifestInvalid);
        PlatformHTTPClient client(userAgent);
        if (auto document = client.get(url, timeout, UpdateManifestCodec::maximumDocument); !document) {
            result = UpdateFailure::fromCheck(document.error());
        } else if (auto manifest = UpdateManifestCodec::decode(
                       std::string(document->begin(), document->end()), *verifier, std::string(productName));
                   !manifest) {
            result = UpdateFailure::fromCheck(manifest.error());
        } else {
            result = std::move(*manifest);
        }
        mailbox->post([self, generation, result = std::move(result)]() mutable {
            if (auto controller = self.lock())
                controller->finishCheck(generation, std::move(result));
        });
    };
    if (!startDetachedThread("DMM5174K-UpdateCheck", workerStack, std::move(body))) {
        mailbox_->post([self = weak_from_this(), generation] {
            if (auto controller = self.lock())
                controller->finishCheck(
                    generation, UpdateFailure::of(UpdateFailure::Kind::storage, 0, "無法建立檢查執行緒"));
        });
    }
    logLine("更新：開始檢查（" + modeText(mode) + "）");
}

bool UpdateController::holdWhileHostAsks(std::function<void()> retry)
{
    const auto host = liveHost();
    if (!host || !host->isAskingQuestion())
        return false;
    view_->defer(std::move(retry));
    return true;
}

void UpdateController::finishCheck(long generation, std::variant<UpdateManifest, UpdateFailure> result)
{
    if (generation != generation_ || phase_ != Phase::checking)
        return;
    if (holdWhileHostAsks([self = weak_from_this(), generation, result]() mutable {
            if (auto controller = self.lock())
                controller->finishCheck(generation, std::move(result));
        }))
        return;
    phase_ = Phase::idle;
    const auto host = liveHost();
    if (!host)
        return;
    const std::string mode = modeText(checkMode_);
    UpdateCheckOutcome outcome;
    if (auto* manifest = std::get_if<UpdateManifest>(&result)) {
        auto& settings = host->updateSettings();
        outcome.decided = UpdateSelector::select(*manifest, currentVersion_, settings.skippedUpdateVersion);
        settings.lastUpdateCheck = config_.now();
        host->persistUpdateSettings();
    } else {
        outcome.failed = std::get<UpdateFailure>(result);
    }

    if (outcome.failed) {
        logLine("更新：檢查失敗（" + mode + "）——" + outcome.failed->logText());
    } else if (outcome.decided->kind == UpdateDecision::Kind::upToDate) {
        logLine("更新：檢查完成（" + mode + "）——已是最新版本 " + versionText());
    } else {
        const auto& release = *outcome.decided->release;
        if (outcome.decided->kind == UpdateDecision::Kind::skipped)
            logLine("更新：檢查完成（" + mode + "）——有新版本 " + release.version.text() + "，但使用者已略過此版本");
        else
            logLine("更新：檢查完成（" + mode + "）——有新版本 " + release.version.text() + "（"
                + (outcome.decided->mandatory ? "強制" : "一般") + "，" + release.releaseDate + "，"
                + std::to_string(release.size) + " 位元組）");
    }
    perform(UpdateFlow::action(outcome, checkMode_, versionText()));
    refreshNotice();
}

void UpdateController::perform(const UpdateUIAction& action)
{
    using Kind = UpdateUIAction::Kind;
    switch (action.kind) {
    case Kind::showUpToDate:
        view_->defer([self = weak_from_this(), version = action.currentVersion] {
            if (auto controller = self.lock(); controller && controller->liveHost())
                controller->view_->showMessage(UpdateView::MessageKind::information,
                    controller->text(L10nKey::dialogUpdateTitle), L10n::upToDate(controller->language(), version));
        });
        break;
    case Kind::showNotice:
        available_ = Available { *action.release, false };
        break;
    case Kind::showNoticeAndPrompt:
        available_ = Available { *action.release, action.mandatory };
        if (config_.hook == UpdateTestHook::check) {
            logLine("更新：測試 hook check——對話框不開啟，只顯示狀態列提示");
            break;
        }
        queuePrompt();
        break;
    case Kind::showError:
        report(*action.failure, false);
        break;
    case Kind::installUnattended:
        startDownload(*action.release, true);
        break;
    case Kind::logOnly:
        break;
    }
}

void UpdateController::queuePrompt()
{
    // One prompt waits at a time, however it was asked for.
    if (promptQueued_)
        return;
    promptQueued_ = true;
    view_->defer([self = weak_from_this()] {
        if (auto controller = self.lock()) {
            controller->promptQueued_ = false;
            controller->showPrompt();
        }
    });
}

void UpdateController::showPrompt()
{
    const auto host = liveHost();
    if (phase_ != Phase::idle || !available_ || !host)
        return;
    // The prompt is modal: the controller stays alive until it returns,
    // whatever the application does meanwhile.
    const auto keepAlive = shared_from_this();
    phase_ = Phase::prompting;
    const auto release = available_->release;
    const std::string tag = language() == AppLanguage::zhTW ? "zh-TW" : "en-US";
    const auto notes = UpdateFlow::notes(release, tag);
    UpdatePromptRequest request {
        .currentVersion = versionText(),
        .newVersion = release.version.text(),
        .releaseDate = release.releaseDate,
        .sizeBytes = static_cast<std::uint64_t>(release.size),
        .notes = notes ? UpdateFlow::formatNotes(*notes) : std::string(),
        .mandatory = available_->mandatory,
        .requiresElevation = InstallerLaunch::detectScope(view_->installations()) == InstallerLaunch::Scope::machine,
    };
    logLine("更新：開啟新版本對話框 " + release.version.text());
    const auto choice = view_->askUpdate(request);
    phase_ = Phase::idle;
    if (shutDown_)
        return;
    logLine("更新：新版本對話框 " + release.version.text() + " → " + std::string(choiceText(choice)));
    applyPromptChoice(choice);
}

void UpdateController::applyPromptChoice(UpdateFlow::PromptChoice choice)
{
    if (!available_)
        return;
    const auto release = available_->release;
    const auto effects = UpdateFlow::effects(choice, release.version.text(), available_->mandatory);
    if (effects.skipVersion) {
        if (const auto host = liveHost()) {
            host->updateSettings().skippedUpdateVersion = effects.skipVersion;
            host->persistUpdateSettings();
        }
    }
    if (!effects.keepNotice)
        available_.reset();
    refreshNotice();
    if (effects.startDownload)
        startDownload(release, false);
}

void UpdateController::noticeClicked()
{
    // Not from inside the click: the prompt, the download and the close
    // that may follow must not run under the status bar's own handler.
    if (phase_ == Phase::idle && available_)
        queuePrompt();
}

void UpdateController::logFailure(const UpdateFailure& failure)
{
    logLine("更新：失敗——" + failure.logText());
}

void UpdateController::report(const UpdateFailure& failure, bool unattended)
{
    if (unattended)
        return;
    view_->defer([self = weak_from_this(), failure] {
        auto controller = self.lock();
        if (!controller || !controller->liveHost())
            return;
        const auto kind = failure.isWarning() ? UpdateView::MessageKind::warning : UpdateView::MessageKind::error;
        controller->view_->showMessage(
            kind, controller->text(failure.dialogTitle()), failure.userMessage(controller->language()));
    });
}

void UpdateController::startDownload(const UpdateRelease& release, bool unattended)
{
    const auto host = liveHost();
    if (phase_ != Phase::idle || !host)
        return;
    if (host->isRecording()) {
        const auto failure = UpdateFailure::of(UpdateFailure::Kind::recordingInProgress);
        logFailure(failure);
        report(failure, unattended);
        return;
    }
    const auto keepAlive = shared_from_this(); // the progress window is modal
    unattendedInstall_ = unattended;
    ++generation_;
    cancelToken_ = std::make_shared<UpdateCancelToken>();
    cancelRequested_ = false;
    lastLoggedPercent_ = -1;
    pendingDownloadResult_.reset();
    downloading_ = release;
    const auto fileName = UpdateDownloader::installerFileName(release.version.text());
    logLine("更新：開始下載 " + release.url + " → " + pathText(config_.downloadDirectory) + "\\" + fileName);
    phase_ = Phase::downloading;

    if (unattended) {
        refreshNotice();
        startDownloadThread(release);
        return;
    }
    progressOpen_ = true;
    const bool shown = view_->runProgress([this, release] { startDownloadThread(release); },
        [self = weak_from_this()] {
            if (auto controller = self.lock())
                controller->cancelDownload();
        });
    progressOpen_ = false;
    if (shutDown_)
        return;
    if (!shown) {
        logLine("更新：進度對話框不可用，改於背景下載");
        refreshNotice();
        startDownloadThread(release);
        return;
    }
    if (auto result = std::exchange(pendingDownloadResult_, std::nullopt)) {
        finishDownload(std::move(*result));
    } else {
        logLine("更新：進度對話框結束但沒有下載結果（不應發生）");
        phase_ = Phase::idle;
        cancelToken_->cancel(); // the transfer may still run: stop it
        cancelToken_.reset();
        refreshNotice();
    }
}

void UpdateController::startDownloadThread(const UpdateRelease& release)
{
    const long generation = generation_;
    auto body = [mailbox = mailbox_, self = weak_from_this(), generation, release, token = cancelToken_,
                    directory = config_.downloadDirectory, userAgent = "ZELMAR-DMM5174K/" + config_.currentVersion,
                    timeout = config_.downloadTimeoutSeconds, interval = config_.progressIntervalSeconds] {
        using Clock = std::chrono::steady_clock;
        PlatformHTTPClient client(userAgent);
        UpdateDownloader downloader(client, directory, timeout);
        const auto fileName = UpdateDownloader::installerFileName(release.version.text());
        int lastPercent = -1;
        std::optional<Clock::time_point> lastPost;
        const auto progress = [&](std::int64_t received, std::int64_t expected) {
            if (token->isCancelled())
                return false;
            const int percent = UpdateFlow::percent(received, expected);
            const auto now = Clock::now();
            if (percent != lastPercent
                && (!lastPost || percent == 100
                    || std::chrono::duration<double>(now - *lastPost).count() >= interval)) {
                lastPercent = percent;
                lastPost = now;
                mailbox->post([self, generation, received, expected] {
                    if (auto controller = self.lock())
                        controller->onProgress(generation, received, expected);
                });
            }
            return true;
        };
        DownloadResult result;
        if (auto file = downloader.download(release.url, fileName, release.size, release.sha256, progress)) {
            // Logged on the UI thread: this thread may outlive the program's
            // static state.
            if (auto cleaned = downloader.removeOldInstallers(fileName); !cleaned)
                mailbox->post([text = cleaned.error().description()] {
                    logLine("更新：清理舊安裝檔失敗（不影響更新）：" + text);
                });
            result = std::move(*file);
        } else {
            result = std::unexpected(token->isCancelled() ? UpdateFailure::of(UpdateFailure::Kind::cancelled)
                                                          : UpdateFailure::fromDownload(file.error()));
        }
        mailbox->post([self, generation, result = std::move(result)]() mutable {
            if (auto controller = self.lock())
                controller->onDownloadResult(generation, std::move(result));
        });
    };
    if (!startDetachedThread("DMM5174K-UpdateDownload", workerStack, std::move(body))) {
        mailbox_->post([self = weak_from_this(), generation] {
            if (auto controller = self.lock())
                controller->onDownloadResult(generation,
                    std::unexpected(UpdateFailure::of(UpdateFailure::Kind::storage, 0, "無法建立下載執行緒")));
        });
    }
}

void UpdateController::onProgress(long generation, std::int64_t received, std::int64_t expected)
{
    if (generation != generation_ || phase_ != Phase::downloading || shutDown_)
        return;
    const int percent = UpdateFlow::percent(received, expected);
    if (progressOpen_) {
        std::optional<std::string> content;
        if (!cancelRequested_)
            content = L10n::downloadProgress(language(), L10n::byteSize(static_cast<std::uint64_t>(received)),
                L10n::byteSize(static_cast<std::uint64_t>(expected)), percent);
        view_->setProgress(percent, content);
    } else {
        view_->setNotice(L10n::downloadingPercent(language(), percent), false);
    }
    if (lastLoggedPercent_ < 0 || percent / 10 != lastLoggedPercent_ / 10) {
        lastLoggedPercent_ = percent;
        logLine("更新：下載 " + std::to_string(percent) + "%（" + std::to_string(received) + "/"
            + std::to_string(expected) + " 位元組）");
    }
}

void UpdateController::cancelDownload()
{
    if (phase_ != Phase::downloading || !cancelToken_ || cancelRequested_)
        return;
    logLine("更新：使用者取消下載，等待背景下載結束");
    cancelToken_->cancel();
    cancelRequested_ = true;
    if (progressOpen_)
        view_->setProgressText(text(L10nKey::dialogUpdateCancelling));
}

void UpdateController::onDownloadResult(long generation, DownloadResult result)
{
    if (generation != generation_ || phase_ != Phase::downloading || shutDown_)
        return;
    if (progressOpen_) {
        pendingDownloadResult_ = std::move(result);
        view_->closeProgress();
        return;
    }
    if (holdWhileHostAsks([self = weak_from_this(), generation, result]() mutable {
            if (auto controller = self.lock())
                controller->onDownloadResult(generation, std::move(result));
        }))
        return;
    finishDownload(std::move(result));
}

void UpdateController::finishDownload(DownloadResult result)
{
    phase_ = Phase::idle;
    cancelToken_.reset();
    refreshNotice();
    const auto release = std::exchange(downloading_, std::nullopt);
    if (result && release) {
        logLine("更新：安裝檔下載並校驗完成（大小與 SHA-256 相符）：" + pathText(*result));
        launchInstaller(*result, *release);
        return;
    }
    if (!result && result.error().kind == UpdateFailure::Kind::cancelled) {
        logLine("更新：下載已取消");
        return;
    }
    const auto failure = result ? UpdateFailure::of(UpdateFailure::Kind::storage) : result.error();
    logFailure(failure);
    report(failure, unattendedInstall_);
}

void UpdateController::launchInstaller(const std::filesystem::path& file, const UpdateRelease& release)
{
    auto host = liveHost();
    if (!host)
        return;
    const auto keepAlive = shared_from_this(); // the save question is modal
    phase_ = Phase::installing;
    const auto stop = [this](std::optional<UpdateFailure> failure) {
        phase_ = Phase::idle;
        if (failure) {
            logFailure(*failure);
            report(*failure, unattendedInstall_);
        }
    };
    const auto recording = UpdateFailure::of(UpdateFailure::Kind::recordingInProgress);
    switch (UpdateFlow::preflight(host->isRecording(), host->hasUnsavedChanges())) {
    case UpdateFlow::InstallPreflight::blockedByRecording:
        return stop(recording);
    case UpdateFlow::InstallPreflight::askToSaveChanges:
        if (!host->beforeInstallUnsavedCheck(unattendedInstall_)) {
            logLine("更新：未存檔詢問取消或存檔失敗，中止安裝（安裝檔保留，下次可直接使用）");
            return stop(std::nullopt);
        }
        host = liveHost();
        if (!host)
            return stop(std::nullopt);
        if (host->isRecording())
            return stop(recording);
        break;
    case UpdateFlow::InstallPreflight::ready:
        break;
    }

    const auto launched = InstallerLaunch::launchVerified(
        file, release.size, release.sha256, view_->installations(), [this](const InstallerLaunch::Plan& plan) {
            std::string how(InstallerLaunch::scopeText(plan.scope));
            if (plan.verb)
                how += "、動詞 " + zelmar::text::wideToUtf8(*plan.verb);
            logLine("更新：啟動安裝程式（" + how + "）：" + zelmar::text::wideToUtf8(plan.file) + " "
                + zelmar::text::wideToUtf8(plan.parameters));
            return view_->launch(plan);
        });
    if (!launched)
        return stop(launched.error());
    logLine("更新：安裝程式已啟動，程式正常關閉收尾後結束（安裝完成會自動重新啟動新版）");
    available_.reset();
    view_->setNotice(std::nullopt, false);
    if (host->isRecording())
        host->stopRecordingForUpdate();
    host->closeForUpdate("線上更新：安裝程式已啟動，正常關閉");
}

void UpdateController::refreshNotice()
{
    if (shutDown_)
        return;
    if (phase_ == Phase::downloading && !progressOpen_)
        view_->setNotice(L10n::downloadingPercent(language(), std::max(lastLoggedPercent_, 0)), false);
    else if (phase_ == Phase::checking && checkMode_ == UpdateCheckMode::manual)
        view_->setNotice(text(L10nKey::statusCheckingForUpdates), false);
    else if (available_)
        view_->setNotice(L10n::updateAvailable(language(), available_->release.version.text()), true);
    else
        view_->setNotice(std::nullopt, false);
}

} // namespace zelmar
