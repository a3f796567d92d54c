#pragma once

// The update controller's view in the window program: the main window's
// notice, its dispatcher and deferred-dialog queue, the prompt and the
// progress task dialogs, the registry's installations and the shell.

#include "ui/dialogs_win32.h"
#include "ui/main_window_win32.h"
#include "update/deferred_ui.h"
#include "update/update_controller.h"

#include <memory>

namespace zelmar {

class UpdateWindowView final : public UpdateView {
public:
    // Both outlive the view: the application shuts the controller down
    // before its window goes.
    UpdateWindowView(ui::win32::MainWindow& window, DeferredUI& deferred)
        : window_(window)
        , deferred_(deferred)
    {
    }

    bool post(std::function<void()> action) override;
    void defer(std::function<void()> action) override;
    void setNotice(std::optional<std::string> text, bool clickable) override;
    void showMessage(MessageKind kind, const std::string& title, const std::string& text) override;
    [[nodiscard]] UpdateFlow::PromptChoice askUpdate(const UpdatePromptRequest& request) override;
    [[nodiscard]] bool runProgress(std::function<void()> shown, std::function<void()> cancel) override;
    void setProgress(int percent, const std::optional<std::string>& text) override;
    void setProgressText(const std::string& text) override;
    void closeProgress() override;
    [[nodiscard]] const InstallerLaunch::Environment& installations() const override;
    [[nodiscard]] std::expected<void, UpdateFailure> launch(const InstallerLaunch::Plan& plan) override;

private:
    ui::win32::MainWindow& window_;
    DeferredUI& deferred_;
    ui::win32::TaskProgressDialog* progress_ = nullptr; // while one is open
};

} // namespace zelmar
