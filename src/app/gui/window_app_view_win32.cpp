#include "app/gui/window_app_view_win32.h"

#include "ui/limits_dialog_win32.h"

#include "app/gui/window_snapshot_win32.h"
#include "core/text_encoding.h"
#include "ui/lcd_panel_win32.h"
#include "update/update_window_win32.h"

namespace zelmar {

using ui::win32::ConnectionStatus;
using ui::win32::MainWindow;

namespace {

std::optional<std::wstring> wideDirectory(const std::optional<std::string>& directory)
{
    if (!directory)
        return std::nullopt;
    return text::utf8ToWide(*directory);
}

} // namespace

std::expected<std::unique_ptr<WindowAppView>, std::string> WindowAppView::create(
    HINSTANCE instance, int showCommand, AppLanguage language)
{
    auto window = MainWindow::create(instance, showCommand, language);
    if (!window)
        return std::unexpected(window.error());
    return std::unique_ptr<WindowAppView>(new WindowAppView(std::move(*window)));
}

WindowAppView::WindowAppView(std::unique_ptr<MainWindow> window)
    : window_(std::move(window))
{
}

WindowAppView::~WindowAppView() = default;

void WindowAppView::connect(const std::weak_ptr<AppController>& controller)
{
    const std::weak_ptr<AppController> weak = controller;
    // Every callback holds the controller weakly: one that fires after it
    // is gone does nothing.
    auto call = [weak](auto method) {
        return [weak, method](auto&&... args) {
            if (auto self = weak.lock())
                (void)((*self).*method)(std::forward<decltype(args)>(args)...);
        };
    };
    MainWindow& w = *window_;
    w.setRowProvider([weak](std::size_t row) -> std::optional<Reading> {
        auto self = weak.lock();
        if (!self || row > static_cast<std::size_t>(INT32_MAX))
            return std::nullopt;
        return self->session().record(static_cast<int>(row));
    });
    w.onStart = call(&AppController::startRecording);
    w.onStop = call(&AppController::stopRecording);
    w.onNewFile = call(&AppController::newFile);
    w.onOpen = call(&AppController::openFromMenu);
    w.onSave = call(&AppController::save);
    w.onSaveAs = call(&AppController::saveAs);
    w.onExportCSV = call(&AppController::exportCsv);
    w.onExportChartImage = call(&AppController::exportChartImage);
    w.onLimits = call(&AppController::editLimits);
    w.onDeleteRows = call(&AppController::deleteRows);
    w.onClearAll = call(&AppController::clearAll);
    w.onCopyRows = [weak](std::span<const std::size_t> rows) {
        if (auto self = weak.lock())
            self->copiedRows(rows.size());
    };
    w.onCloseRequested = call(&AppController::requestClose);
    w.onIntervalChanged = call(&AppController::intervalChanged);
    w.onLanguageChanged = call(&AppController::languageChanged);
    w.onToggleChart = call(&AppController::chartToggled);
    w.onToggleAlwaysOnTop = call(&AppController::alwaysOnTopToggled);
    w.onCopyData = [weak](std::uintptr_t identifier, std::span<const std::uint8_t> bytes) {
        auto self = weak.lock();
        return self && self->receiveCopyData(identifier, bytes);
    };
    w.onCheckForUpdates = call(&AppController::checkForUpdates);
    w.onUpdateNoticeClicked = call(&AppController::updateNoticeClicked);
    w.onExternalTimer = [weak](UINT_PTR id) {
        if (auto self = weak.lock())
            self->onTimer(static_cast<unsigned>(id));
    };
}

bool WindowAppView::post(std::function<void()> action)
{
    return window_->dispatcher().post(std::move(action));
}

void WindowAppView::setConnection(MeterLink link, std::string_view model)
{
    switch (link) {
    case MeterLink::connected:
        window_->setConnection(ConnectionStatus::connected(std::string(model)));
        return;
    case MeterLink::disconnected:
        window_->setConnection(ConnectionStatus::disconnected());
        return;
    case MeterLink::readError:
        window_->setConnection(ConnectionStatus::readError());
        return;
    }
}

void WindowAppView::showReading(const Reading& reading)
{
    window_->lcdPanel().show(reading);
}

void WindowAppView::showDisconnected()
{
    window_->lcdPanel().showDisconnected();
}

void WindowAppView::setBusy(bool busy)
{
    // The standard wait cursor, the one before it restored at the end.
    if (busy) {
        if (busyDepth_++ == 0)
            cursorBeforeBusy_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    } else if (busyDepth_ > 0 && --busyDepth_ == 0) {
        SetCursor(cursorBeforeBusy_);
    }
}

bool WindowAppView::canShowDialog() const
{
    HWND window = window_->hwnd();
    if (window == nullptr || !IsWindow(window) || !IsWindowEnabled(window))
        return false;
    GUITHREADINFO info {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)
        && (info.flags & (GUI_INMENUMODE | GUI_INMOVESIZE | GUI_POPUPMENUMODE)) != 0)
        return false;
    return GetCapture() == nullptr;
}

void WindowAppView::showMessage(MessageKind kind, std::string_view text, std::string_view title)
{
    switch (kind) {
    case MessageKind::information:
        window_->showInformation(text, title);
        return;
    case MessageKind::warning:
        window_->showWarning(text, title);
        return;
    case MessageKind::error:
        window_->showError(text, title);
        return;
    }
}

SaveChoice WindowAppView::askUnsaved(std::string_view text, std::string_view title)
{
    switch (window_->askUnsaved(text, title)) {
    case ui::win32::SaveChoice::save:
        return SaveChoice::save;
    case ui::win32::SaveChoice::dontSave:
        return SaveChoice::dontSave;
    case ui::win32::SaveChoice::cancel:
        break;
    }
    return SaveChoice::cancel;
}

std::optional<std::string> WindowAppView::askOpenPath(const std::optional<std::string>& directory)
{
    const auto path = window_->askOpenPath(wideDirectory(directory));
    if (!path)
        return std::nullopt;
    return text::wideToUtf8(*path);
}

std::optional<Limits> WindowAppView::askLimits(std::string_view forWhat, const Limits& current)
{
    window_->dismissTooltips();
    return ui::win32::askLimits(window_->hwnd(), window_->language(), forWhat, current);
}

std::optional<std::string> WindowAppView::askSavePath(
    std::string_view proposedName, const std::optional<std::string>& directory, ui::FileDialogType type)
{
    const auto path = window_->askSavePath(proposedName, wideDirectory(directory), type);
    if (!path)
        return std::nullopt;
    return text::wideToUtf8(*path);
}

bool WindowAppView::captureSnapshot(const std::string& path, const std::optional<std::string>& menu)
{
    return captureWindowSnapshot(*window_, std::filesystem::path(text::utf8ToWide(path)), menu);
}

std::unique_ptr<UpdateView> WindowAppView::makeUpdateView(DeferredUI& deferred)
{
    return std::make_unique<UpdateWindowView>(*window_, deferred);
}

std::expected<WindowProgram, std::string> createWindowProgram(AppStartup startup, HINSTANCE instance, int showCommand)
{
    MainWindow* window = nullptr;
    auto controller = AppController::create(std::move(startup),
        [&](AppLanguage language) -> std::expected<std::unique_ptr<AppView>, std::string> {
            auto view = WindowAppView::create(instance, showCommand, language);
            if (!view)
                return std::unexpected(view.error());
            window = &(*view)->window();
            return std::unique_ptr<AppView>(std::move(*view));
        });
    if (!controller)
        return std::unexpected(controller.error());
    return WindowProgram { std::move(*controller), window };
}

} // namespace zelmar
