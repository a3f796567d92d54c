#include "update/update_window_win32.h"

namespace zelmar {

bool UpdateWindowView::post(std::function<void()> action)
{
    return window_.dispatcher().post(std::move(action));
}

void UpdateWindowView::defer(std::function<void()> action)
{
    deferred_.enqueue(std::move(action));
}

void UpdateWindowView::setNotice(std::optional<std::string> text, bool clickable)
{
    if (text)
        window_.setUpdateNotice(ui::win32::UpdateNotice { std::move(*text), clickable });
    else
        window_.setUpdateNotice(std::nullopt);
}

void UpdateWindowView::showMessage(MessageKind kind, const std::string& title, const std::string& text)
{
    switch (kind) {
    case MessageKind::information:
        window_.showInformation(text, title);
        break;
    case MessageKind::warning:
        window_.showWarning(text, title);
        break;
    case MessageKind::error:
        window_.showError(text, title);
        break;
    }
}

UpdateFlow::PromptChoice UpdateWindowView::askUpdate(const UpdatePromptRequest& request)
{
    const ui::UpdatePromptInfo info {
        .currentVersion = request.currentVersion,
        .newVersion = request.newVersion,
        .releaseDate = request.releaseDate,
        .sizeBytes = request.sizeBytes,
        .notes = request.notes,
        .mandatory = request.mandatory,
        .requiresElevation = request.requiresElevation,
    };
    return window_.askUpdate(info) ? UpdateFlow::PromptChoice::remindLater : UpdateFlow::PromptChoice::updateNow;
}

bool UpdateWindowView::runProgress(std::function<void()> shown, std::function<void()> cancel)
{
    const auto language = window_.language();
    window_.dismissTooltips();
    ui::win32::TaskProgressDialog dialog(window_.hwnd(), std::string(L10n::text(L10nKey::dialogUpdateTitle, language)),
        std::string(L10n::text(L10nKey::dialogUpdateDownloadingHeading, language)),
        L10n::downloadingPercent(language, 0), std::string(L10n::text(L10nKey::buttonCancel, language)));
    dialog.onShown = std::move(shown);
    dialog.onCancel = std::move(cancel);
    progress_ = &dialog;
    const bool wasShown = dialog.show();
    progress_ = nullptr;
    return wasShown;
}

void UpdateWindowView::setProgress(int percent, const std::optional<std::string>& text)
{
    if (progress_ == nullptr)
        return;
    progress_->setProgress(percent);
    if (text)
        progress_->setContent(*text);
}

void UpdateWindowView::setProgressText(const std::string& text)
{
    if (progress_ != nullptr)
        progress_->setContent(text);
}

void UpdateWindowView::closeProgress()
{
    if (progress_ != nullptr)
        progress_->close();
}

const InstallerLaunch::Environment& UpdateWindowView::installations() const
{
    return InstallerLaunch::systemEnvironment();
}

std::expected<void, UpdateFailure> UpdateWindowView::launch(const InstallerLaunch::Plan& plan)
{
    return InstallerLaunch::launch(plan, window_.hwnd());
}

} // namespace zelmar
