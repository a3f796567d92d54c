#pragma once

// The record table (Windows build only): a virtual report list view that
// holds only a count and asks the row provider for a row whenever a cell is
// painted, so 600,000 records cost nothing to show. Keeps the newest row in
// view until the user scrolls away; builds the clipboard text of selections.

#include "localization/localization.h"
#include "ui/record_table_model.h"

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <cstddef>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zelmar::ui::win32 {

class RecordTableView {
public:
    [[nodiscard]] static std::expected<std::unique_ptr<RecordTableView>, std::string> create(
        HWND parent, HINSTANCE instance, int controlId, AppLanguage language);
    ~RecordTableView();
    RecordTableView(const RecordTableView&) = delete;
    RecordTableView& operator=(const RecordTableView&) = delete;

    [[nodiscard]] HWND hwnd() const noexcept { return hwnd_; }
    [[nodiscard]] HWND headerHwnd() const noexcept { return headerHwnd_; }
    [[nodiscard]] std::size_t itemCount() const noexcept { return itemCount_; }
    [[nodiscard]] bool followingLatest() const noexcept { return followingLatest_; }
    [[nodiscard]] AppLanguage language() const noexcept { return language_; }

    void setRowProvider(RowProvider provider) { rowProvider_ = std::move(provider); }
    // Values the marker picks (outside the limits) are drawn in the alarm
    // colours; none draws every cell alike.
    void setValueMarker(std::function<bool(const Reading&)> marker);
    // A record was added: only the count changes; nothing visible repaints.
    void setItemCountAppending(std::size_t count);
    // The rows were replaced: repaint and size the columns again.
    void setItemCountResetting(std::size_t count);
    void followLatest();
    [[nodiscard]] std::vector<std::size_t> selectedRows() const;
    void selectAll();
    [[nodiscard]] std::string clipboardText(std::span<const std::size_t> rows) const;
    void relabel(AppLanguage language);
    void applyFonts();
    // The five data columns split the usable width (after a resize).
    void layoutColumns();

    // WM_NOTIFY sent to the parent by the list; true when answered.
    bool onParentNotify(const NMHDR& header, LRESULT& result);

private:
    RecordTableView() = default;
    static LRESULT CALLBACK listProc(HWND, UINT, WPARAM, LPARAM);
    void updateFollowing();
    LRESULT drawHeader(NMCUSTOMDRAW& draw);
    LRESULT drawCell(NMLVCUSTOMDRAW& draw);
    void answerCellText(NMLVDISPINFOW& info);

    HWND hwnd_ = nullptr;
    HWND headerHwnd_ = nullptr;
    WNDPROC listProc_ = nullptr;
    RowProvider rowProvider_;
    std::function<bool(const Reading&)> valueMarker_;
    std::size_t itemCount_ = 0;
    bool followingLatest_ = true;
    AppLanguage language_ = AppLanguage::zhTW;
    std::array<wchar_t, 512> textBuffer_ {};
    std::array<std::wstring, recordTableColumns> headerTitles_;
};

// Puts the text on the clipboard as Unicode text; false when the clipboard
// cannot be opened or filled.
bool setClipboardText(HWND owner, std::string_view utf8);
[[nodiscard]] std::optional<std::string> clipboardUnicodeText(HWND owner);

} // namespace zelmar::ui::win32
