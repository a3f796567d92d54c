#pragma once

// The main window as the application controller uses it. The controller
// decides; the view shows and asks. The Win32 window program implements it
// with the real main window (gui/window_app_view_win32.h); tests implement
// it with a script of answers, so every decision of the controller runs on
// Linux and under Wine without a screen.
//
// Every method runs on the UI thread, except post().

#include "core/limits.h"
#include "core/reading.h"
#include "storage/settings.h"
#include "ui/dialog_texts.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelmar {

class AppController;
class DeferredUI;
class UpdateView;

enum class MeterLink { connected, disconnected, readError };
enum class MessageKind { information, warning, error };
// The unsaved-changes question's answer.
enum class SaveChoice { save, dontSave, cancel };

class AppView {
public:
    virtual ~AppView() = default;

    // Hands every user command of the window to the controller; each one
    // holds it weakly, so a command after it is gone does nothing.
    virtual void connect(const std::weak_ptr<AppController>& controller) = 0;
    // Any thread: runs the action on the UI thread later; false when it
    // was dropped because the window is gone.
    [[nodiscard]] virtual bool post(std::function<void()> action) = 0;

    // What the window shows.
    virtual void setAppVersion(const std::string& version) = 0;
    virtual void setTitle(const std::optional<std::string>& fileName, bool unsaved) = 0;
    virtual void setConnection(MeterLink link, std::string_view model) = 0;
    virtual void setChannelText(const std::string& text) = 0;
    virtual void showReading(const Reading& reading) = 0;
    virtual void showDisconnected() = 0;
    virtual void setRecording(bool recording) = 0;
    virtual void appendRecord(const Reading& reading, std::int64_t totalCount) = 0;
    virtual void reloadRecords(std::int64_t count) = 0;
    virtual void resetRecords() = 0;
    virtual void setInterval(int interval) = 0;
    // The interval field, parsed, or the last committed value.
    [[nodiscard]] virtual int currentInterval() const = 0;
    virtual void setChartVisible(bool visible) = 0;
    virtual void setAlwaysOnTop(bool topmost) = 0;
    virtual void restorePlacement(const WindowPlacement& placement) = 0;
    [[nodiscard]] virtual std::optional<WindowPlacement> capturePlacement() const = 0;
    virtual void bringToFront() = 0;
    // The system's busy indication while a file is read or written.
    virtual void setBusy(bool busy) = 0;
    // The limits set: the chart draws those of what it shows, the table
    // marks the values outside them.
    virtual void setLimits(const std::vector<LimitsFor>& limits) = 0;
    // An alarm in progress, with the status bar's text for it, or none:
    // the display's frame and the status bar follow.
    virtual void setAlarm(const std::optional<std::string>& status) = 0;
    virtual void beep() = 0;
    // The chart as drawn now (its view, at its size) as PNG bytes; empty
    // when there is nothing to draw it from.
    [[nodiscard]] virtual std::vector<std::uint8_t> chartPicture() = 0;

    // Window timers by number; their expiry comes back as onTimer().
    virtual void startTimer(unsigned id, unsigned milliseconds) = 0;
    virtual void stopTimer(unsigned id) = 0;
    // Whether a dialog may open now: no menu, move or size loop, no
    // capture, no modal window of someone else's over the main window.
    [[nodiscard]] virtual bool canShowDialog() const = 0;
    // A modal dialog of the window's own is open (a help or licence box):
    // the window is disabled under it.
    [[nodiscard]] virtual bool hasModalDialog() const = 0;

    // Modal questions. Each runs a nested message loop: timers, posted
    // actions and window messages (a close request among them) arrive
    // before it returns.
    virtual void showMessage(MessageKind kind, std::string_view text, std::string_view title) = 0;
    // OK/Cancel: true for OK.
    [[nodiscard]] virtual bool confirm(std::string_view text, std::string_view title) = 0;
    // Yes/No: true for Yes; none when the box went without an answer (a
    // close request sent to every window of the program closes it).
    [[nodiscard]] virtual std::optional<bool> askYesNo(std::string_view text, std::string_view title) = 0;
    [[nodiscard]] virtual SaveChoice askUnsaved(std::string_view text, std::string_view title) = 0;
    // File dialogs; paths are UTF-8.
    [[nodiscard]] virtual std::optional<std::string> askOpenPath(const std::optional<std::string>& directory) = 0;
    // The limits dialog for one function and unit (`forWhat` names them):
    // the limits entered (none set removes them), or none when cancelled.
    [[nodiscard]] virtual std::optional<Limits> askLimits(std::string_view forWhat, const Limits& current) = 0;
    [[nodiscard]] virtual std::optional<std::string> askSavePath(
        std::string_view proposedName, const std::optional<std::string>& directory, ui::FileDialogType type)
        = 0;

    // The test hook's picture of the window; whether it was written.
    [[nodiscard]] virtual bool captureSnapshot(const std::string& path, const std::optional<std::string>& menu) = 0;
    // The update controller's screen, over this window and its queue.
    [[nodiscard]] virtual std::unique_ptr<UpdateView> makeUpdateView(DeferredUI& deferred) = 0;
    // The last step of a close: the window goes and the message loop ends.
    virtual void destroy() = 0;
};

} // namespace zelmar
