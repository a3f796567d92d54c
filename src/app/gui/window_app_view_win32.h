#pragma once

// The application controller's view in the window program (Windows build
// only): the real main window, its message boxes, file dialogs, timers,
// dispatcher and wait cursor, and the window callbacks that reach the
// controller.

#include "app/app_controller.h"
#include "app/app_view.h"
#include "ui/main_window_win32.h"

#include <windows.h>

#include <memory>

namespace zelmar {

class WindowAppView final : public AppView {
public:
    [[nodiscard]] static std::expected<std::unique_ptr<WindowAppView>, std::string> create(
        HINSTANCE instance, int showCommand, AppLanguage language);
    ~WindowAppView() override;

    [[nodiscard]] ui::win32::MainWindow& window() noexcept { return *window_; }

    void connect(const std::weak_ptr<AppController>& controller) override;
    bool post(std::function<void()> action) override;
    void setAppVersion(const std::string& version) override { window_->setAppVersion(version); }
    void setTitle(const std::optional<std::string>& fileName, bool unsaved) override
    {
        window_->setTitle(fileName, unsaved);
    }
    void setConnection(MeterLink link, std::string_view model) override;
    void setChannelText(const std::string& text) override { window_->setChannelText(text); }
    void showReading(const Reading& reading) override;
    void showDisconnected() override;
    void setRecording(bool recording) override { window_->setRecording(recording); }
    void appendRecord(const Reading& reading, std::int64_t totalCount) override
    {
        window_->appendRecord(reading, totalCount);
    }
    void reloadRecords(std::int64_t count) override { window_->reloadRecords(count); }
    void resetRecords() override { window_->resetRecords(); }
    void setInterval(int interval) override { window_->setInterval(interval); }
    int currentInterval() const override { return window_->currentInterval(); }
    void setChartVisible(bool visible) override { window_->setChartVisible(visible); }
    void setAlwaysOnTop(bool topmost) override { window_->setAlwaysOnTop(topmost); }
    void restorePlacement(const WindowPlacement& placement) override { window_->restorePlacement(placement); }
    std::optional<WindowPlacement> capturePlacement() const override { return window_->capturePlacement(); }
    void bringToFront() override { window_->bringToFront(); }
    void setBusy(bool busy) override;
    void setLimits(const std::vector<LimitsFor>& limits) override { window_->setLimits(limits); }
    void setAlarm(const std::optional<std::string>& status) override { window_->setAlarm(status); }
    void beep() override { MessageBeep(MB_ICONWARNING); }
    std::vector<std::uint8_t> chartPicture() override { return window_->chartPicture(); }
    std::optional<Limits> askLimits(std::string_view forWhat, const Limits& current) override;
    void startTimer(unsigned id, unsigned milliseconds) override { window_->startTimer(id, milliseconds); }
    void stopTimer(unsigned id) override { window_->stopTimer(id); }
    bool canShowDialog() const override;
    bool hasModalDialog() const override { return !IsWindowEnabled(window_->hwnd()); }
    void showMessage(MessageKind kind, std::string_view text, std::string_view title) override;
    bool confirm(std::string_view text, std::string_view title) override { return window_->confirm(text, title); }
    std::optional<bool> askYesNo(std::string_view text, std::string_view title) override
    {
        return window_->askYesNo(text, title);
    }
    SaveChoice askUnsaved(std::string_view text, std::string_view title) override;
    std::optional<std::string> askOpenPath(const std::optional<std::string>& directory) override;
    std::optional<std::string> askSavePath(std::string_view proposedName, const std::optional<std::string>& directory,
        ui::FileDialogType type) override;
    bool captureSnapshot(const std::string& path, const std::optional<std::string>& menu) override;
    std::unique_ptr<UpdateView> makeUpdateView(DeferredUI& deferred) override;
    void destroy() override { window_->destroy(); }

private:
    explicit WindowAppView(std::unique_ptr<ui::win32::MainWindow> window);

    std::unique_ptr<ui::win32::MainWindow> window_;
    int busyDepth_ = 0;
    HCURSOR cursorBeforeBusy_ = nullptr;
};

// The window program's controller over its real window.
struct WindowProgram {
    std::shared_ptr<AppController> controller;
    ui::win32::MainWindow* window = nullptr; // owned by the controller's view
};

[[nodiscard]] std::expected<WindowProgram, std::string> createWindowProgram(
    AppStartup startup, HINSTANCE instance, int showCommand);

} // namespace zelmar
