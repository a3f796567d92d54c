#pragma once

// The application's one top-level window (Windows build only): the toolbar
// band with five cards and the interval field, the LCD panel and the trend
// chart side by side, the record table and a four-part status bar, with the
// menus, accelerators and tooltips. Every user action becomes a callback;
// every state arrives through a setter. It knows nothing of files or the
// meter: the application controller decides.

#include "core/limits.h"
#include "core/reading.h"
#include "localization/localization.h"
#include "storage/settings.h"
#include "ui/dialog_texts.h"
#include "ui/main_window_model.h"
#include "ui/palette.h"
#include "ui/record_table_model.h"
#include "ui/ui_dispatcher.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zelmar::ui::win32 {

class LcdPanel;
class ChartView;
class RecordTableView;
class IconCardButton;
class ToolbarTooltips;

struct ConnectionStatus {
    enum class Kind { connected, disconnected, readError };
    Kind kind = Kind::disconnected;
    std::string model;
    static ConnectionStatus connected(std::string model) { return { Kind::connected, std::move(model) }; }
    static ConnectionStatus disconnected() { return {}; }
    static ConnectionStatus readError() { return { Kind::readError, {} }; }
};

enum class SaveChoice { save, dontSave, cancel };

struct UpdateNotice {
    std::string text;
    bool clickable = false;
};

inline constexpr UINT dispatcherMessage = WM_APP + 1;

class MainWindow {
public:
    [[nodiscard]] static std::expected<std::unique_ptr<MainWindow>, std::string> create(
        HINSTANCE instance, int showCommand, AppLanguage language);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Callbacks the controller installs; every one is optional.
    std::function<void()> onStart, onStop, onNewFile, onOpen, onSave, onSaveAs, onExportCSV;
    std::function<void(int interval)> onIntervalChanged;
    std::function<void(AppLanguage)> onLanguageChanged;
    std::function<void()> onCloseRequested;
    std::function<void(std::span<const std::size_t> rows)> onDeleteRows;
    std::function<void()> onClearAll;
    std::function<void(std::span<const std::size_t> rows)> onCopyRows;
    std::function<void()> onSelectAll;
    std::function<void(bool visible)> onToggleChart;
    std::function<void(bool topmost)> onToggleAlwaysOnTop;
    std::function<void()> onHelp, onAbout, onCheckForUpdates, onShowLicense, onUpdateNoticeClicked;
    std::function<void()> onExportChartImage, onLimits;
    std::function<bool(std::uintptr_t identifier, std::span<const std::uint8_t> bytes)> onCopyData;
    std::function<void(UINT_PTR timerId)> onExternalTimer;

    [[nodiscard]] HWND hwnd() const noexcept { return hwnd_; }
    [[nodiscard]] UIDispatcher& dispatcher() noexcept { return dispatcher_; }
    [[nodiscard]] LcdPanel& lcdPanel() noexcept { return *lcdPanel_; }
    [[nodiscard]] ChartView& chartView() noexcept { return *chartView_; }
    [[nodiscard]] RecordTableView& recordTable() noexcept { return *recordTable_; }
    [[nodiscard]] HWND intervalEdit() const noexcept { return intervalEdit_; }
    [[nodiscard]] HWND statusBar() const noexcept { return statusBar_; }
    [[nodiscard]] HWND cardWindow(ToolbarCard card) const noexcept;
    [[nodiscard]] IconCardButton* cardButton(ToolbarCard card) const noexcept;
    [[nodiscard]] HMENU menuBar() const noexcept { return menuBar_; }
    [[nodiscard]] HWND tooltipWindow() const noexcept;
    [[nodiscard]] AppLanguage language() const noexcept { return language_; }
    [[nodiscard]] bool isRecording() const noexcept { return isRecording_; }
    [[nodiscard]] bool isChartVisible() const noexcept { return isChartVisible_; }
    [[nodiscard]] bool isAlwaysOnTop() const noexcept { return isAlwaysOnTop_; }
    [[nodiscard]] std::int64_t recordCount() const noexcept { return recordCount_; }
    [[nodiscard]] int committedInterval() const noexcept { return committedInterval_; }
    [[nodiscard]] const std::optional<ContentLayout>& contentLayout() const noexcept { return content_; }
    [[nodiscard]] const ToolbarLayout& toolbar() const noexcept { return toolbar_; }
    [[nodiscard]] std::string tooltipText(ToolbarCard card) const;
    [[nodiscard]] std::string statusText(int part) const;

    // Setters.
    void setTitle(std::optional<std::string> fileName, bool unsaved);
    void setAppVersion(std::string version) { appVersion_ = std::move(version); }
    void setConnection(ConnectionStatus status);
    void setChannelText(std::string text);
    void setRecording(bool recording);
    void appendRecord(const Reading& reading, std::int64_t totalCount);
    void reloadRecords(std::int64_t count);
    void resetRecords();
    void setRowProvider(RowProvider provider);
    void setInterval(int interval);
    [[nodiscard]] int currentInterval() const;
    void setChartVisible(bool visible);
    void setAlwaysOnTop(bool topmost);
    void setUpdateNotice(std::optional<UpdateNotice> notice);
    // The limits set: dashed on the chart, the values outside them marked
    // in the table.
    void setLimits(std::vector<LimitsFor> limits);
    // An alarm in progress, or none: the display's frame turns red and the
    // status bar shows the text in the alarm's colours.
    void setAlarm(std::optional<std::string> status);
    [[nodiscard]] const std::optional<std::string>& alarm() const noexcept { return alarm_; }
    // The chart as drawn, without the cursor, as PNG bytes.
    [[nodiscard]] std::vector<std::uint8_t> chartPicture();
    // The line under the display and the chart.
    [[nodiscard]] std::string statisticsText() const;
    void setLanguage(AppLanguage language);
    void bringToFront();
    void startTimer(UINT_PTR id, UINT milliseconds);
    void stopTimer(UINT_PTR id);
    [[nodiscard]] std::optional<WindowPlacement> capturePlacement() const;
    void restorePlacement(const WindowPlacement& placement);

    // Message boxes owned by the window; a missing title is the app name.
    void showInformation(std::string_view text, std::optional<std::string_view> title = std::nullopt);
    void showWarning(std::string_view text, std::optional<std::string_view> title = std::nullopt);
    void showError(std::string_view text, std::optional<std::string_view> title = std::nullopt);
    [[nodiscard]] bool confirm(std::string_view text, std::optional<std::string_view> title = std::nullopt);
    // None when the box was closed without an answer (a close sent to it).
    [[nodiscard]] std::optional<bool> askYesNo(std::string_view text, std::optional<std::string_view> title = std::nullopt);
    // The whole question, its answer hint included (unsavedQuestionText).
    [[nodiscard]] SaveChoice askUnsaved(std::string_view text, std::optional<std::string_view> title = std::nullopt);
    // The update question (task dialog, or a Yes/No box without one):
    // whether the user declined.
    [[nodiscard]] bool askUpdate(const UpdatePromptInfo& info);
    // Hides a showing toolbar tip before a dialog of someone else's opens.
    void dismissTooltips();
    // File dialogs.
    [[nodiscard]] std::optional<std::wstring> askOpenPath(const std::optional<std::wstring>& initialDirectory);
    [[nodiscard]] std::optional<std::wstring> askSavePath(std::optional<std::string_view> proposedName,
        const std::optional<std::wstring>& initialDirectory, FileDialogType type);

    // Runs a command as the menu, an accelerator or a card would.
    void runCommand(CommandId id);
    // Leaving the interval field.
    void commitIntervalField();
    void destroy();
    // Until the quit message; its parameter is the exit code.
    int runMessageLoop();
    // One message of the loop (tests pump with this): true when it was
    // taken care of before dispatch (Tab, Enter, accelerators).
    bool preTranslate(MSG& msg);

private:
    MainWindow();
    template <typename Window> friend LRESULT CALLBACK boundWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    std::expected<void, std::string> createChildren();
    void buildMenus();
    void buildAccelerators();
    void applyEnablingRules();
    void updateTooltips();
    void relabel();
    void layout();
    void updateStatusParts();
    void refreshStatus();
    void paintBackground(HDC dc);
    void paintStatistics(HDC dc, const Palette::Window& colors);
    void invalidateStatistics();
    void rebuildBrushes();
    // The user switched high contrast or changed a system colour.
    void onSystemColorsChanged();
    void drawStatusPart(const DRAWITEMSTRUCT& item);
    bool onNotify(const NMHDR& header, LRESULT& result);
    bool cursorOverNotice() const;
    void copySelectedRows();
    void selectAll();
    void onCardClicked(CommandId id);
    void rebuildNoticeFont();
    int messageBox(std::string_view text, std::optional<std::string_view> title, UINT flags);
    [[nodiscard]] std::string text(L10nKey key) const;
    [[nodiscard]] bool intervalHasFocus() const noexcept;

    HWND hwnd_ = nullptr;
    HINSTANCE hInstance_ = nullptr;
    std::unique_ptr<LcdPanel> lcdPanel_;
    std::unique_ptr<ChartView> chartView_;
    std::unique_ptr<RecordTableView> recordTable_;
    UIDispatcher dispatcher_;
    std::unique_ptr<IconCardButton> startCard_, stopCard_, newFileCard_, openCard_, saveCard_;
    HWND intervalLabel_ = nullptr;
    HWND intervalEdit_ = nullptr;
    HWND secondsLabel_ = nullptr;
    HWND statusBar_ = nullptr;
    std::unique_ptr<ToolbarTooltips> tooltips_;
    HMENU menuBar_ = nullptr;
    HMENU viewMenu_ = nullptr;
    HACCEL accelerators_ = nullptr;
    ToolbarLayout toolbar_;
    std::optional<ContentLayout> content_;
    HWND savedFocus_ = nullptr;
    AppLanguage language_ = AppLanguage::zhTW;
    bool isRecording_ = false;
    std::int64_t recordCount_ = 0;
    bool isChartVisible_ = true;
    bool isAlwaysOnTop_ = false;
    bool quitOnDestroy_ = false;
    ConnectionStatus connection_;
    std::string channelText_;
    int committedInterval_ = defaultInterval;
    std::optional<std::string> fileName_;
    bool unsaved_ = false;
    std::string appVersion_ = "1.0.0";
    std::optional<UpdateNotice> updateNotice_;
    RowProvider rowProvider_;
    HFONT noticeFont_ = nullptr;
    std::optional<std::string> alarm_;
    bool statusBarClassic_ = false; // drawn without the visual style (high contrast)
    HBRUSH bandBrush_ = nullptr;
    HBRUSH disabledFieldBrush_ = nullptr;
};

} // namespace zelmar::ui::win32
