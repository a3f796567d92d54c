#pragma once

// The modal dialogs besides plain message boxes (Windows build only): task
// dialogs with a message-box fallback, the update prompt, the progress
// dialog of a download, and the open and save file dialogs. Every failure
// degrades to "no answer" or to the fallback, with a log line.

#include "localization/localization.h"
#include "ui/dialog_texts.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar::ui::win32 {

enum class TaskDialogIcon { none, information, warning, error, shield };

struct TaskDialogButtonSpec {
    int id = 0;
    std::string text;
};

// Zero-terminated UTF-16 copies of the texts handed to one dialog, alive
// until the dialog returns.
class WideStringPool {
public:
    const wchar_t* add(std::string_view utf8);

private:
    std::vector<std::unique_ptr<wchar_t[]>> buffers_;
};

struct TaskDialogSession {
    HWND hwnd = nullptr;
    std::function<void(HWND)> onCreated;
    // Whether the dialog may close on this button.
    std::function<bool(int buttonId)> onButtonClicked;
    bool showProgressBar = false;
    std::optional<int> shieldButton;
};

struct TaskDialogRequest {
    HWND owner = nullptr;
    std::string title;
    std::string mainInstruction;
    std::string content;
    TaskDialogIcon mainIcon = TaskDialogIcon::none;
    std::vector<TaskDialogButtonSpec> buttons;
    int defaultButton = 0;
    std::optional<std::string> footer;
    TaskDialogIcon footerIcon = TaskDialogIcon::none;
    bool cancellable = true;
};

namespace TaskDialogs {
// The pressed button's id; none when no task dialog could be shown (the
// caller falls back to a message box).
[[nodiscard]] std::optional<int> show(const TaskDialogRequest& request, TaskDialogSession& session);
[[nodiscard]] bool available();
// Tests: behave as a system without task dialogs until called with false.
void setUnavailableForTesting(bool unavailable);
} // namespace TaskDialogs

// Whether the user declined (true unless "update now" was chosen).
[[nodiscard]] bool askUpdatePrompt(HWND owner, const UpdatePromptInfo& info, AppLanguage language);

// A download's progress: modal until the owner closes it; the user's Cancel
// only greys the button and reports through onCancel.
class TaskProgressDialog {
public:
    TaskProgressDialog(
        HWND owner, std::string title, std::string mainInstruction, std::string content, std::string cancelText);
    std::function<void()> onCancel;
    // Runs once the dialog is up (work it reports on starts here).
    std::function<void()> onShown;
    // Blocks in the dialog's own loop until close(); false when no dialog
    // could be shown (onShown then never ran).
    bool show();
    void setProgress(int percent);
    void setContent(std::string_view text);
    void close();
    [[nodiscard]] bool cancelRequested() const noexcept { return cancelRequested_; }
    [[nodiscard]] HWND hwnd() const noexcept { return session_.hwnd; }

private:
    HWND owner_;
    std::string title_;
    std::string mainInstruction_;
    std::string content_;
    std::string cancelText_;
    TaskDialogSession session_;
    WideStringPool contentTexts_;
    bool cancelRequested_ = false;
    bool closeRequested_ = false;
};

// The platform's common file dialogs, loaded on first use; none on cancel
// or when they cannot be loaded.
[[nodiscard]] std::optional<std::wstring> askOpenPath(
    HWND owner, const std::optional<std::wstring>& initialDirectory, AppLanguage language);
[[nodiscard]] std::optional<std::wstring> askSavePath(HWND owner, std::optional<std::string_view> proposedName,
    const std::optional<std::wstring>& initialDirectory, FileDialogType type, AppLanguage language);

} // namespace zelmar::ui::win32
