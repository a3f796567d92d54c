#pragma once

// Tooltips over the toolbar cards (Windows build only): each card's name
// and, while recording, why it is unavailable. A card is covered twice: as
// its own window while enabled, and as a rectangle of the owner, because a
// disabled child window gets no mouse messages and its tip must still show.

#include <windows.h>

#include <expected>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace zelmar::ui::win32 {

class ToolbarTooltips {
public:
    // Without a tooltip control (creation failed, logged) every call is a no-op.
    [[nodiscard]] static std::unique_ptr<ToolbarTooltips> create(HWND owner);
    ~ToolbarTooltips();
    ToolbarTooltips(const ToolbarTooltips&) = delete;
    ToolbarTooltips& operator=(const ToolbarTooltips&) = delete;

    [[nodiscard]] HWND hwnd() const noexcept { return hwnd_; }
    void add(int controlId, HWND window, std::string_view text);
    void setText(int controlId, std::string_view text);
    // Follows the cards after the owner has laid them out.
    void updateRects();
    // The owner's message loop hands every message here before dispatch;
    // mouse messages for the owner and the cards reach the tooltip.
    void relay(const MSG& msg);
    // Hides a visible tip (before a modal dialog opens).
    void dismiss();

private:
    ToolbarTooltips() = default;
    [[nodiscard]] RECT rectInOwner(HWND window) const;

    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    std::map<int, HWND> controls_;
    std::map<int, std::wstring> texts_;
};

} // namespace zelmar::ui::win32
