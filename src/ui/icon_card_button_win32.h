#pragma once

// The toolbar's icon card (Windows build only): a small rounded card that
// shows an icon, reacts to hover, press and keyboard focus, and tells its
// parent of a click with WM_COMMAND / BN_CLICKED like a push button.

#include "ui/accessible_win32.h"
#include "ui/card_model.h"

#include <windows.h>

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zelmar::ui::win32 {

class IconCardButton {
public:
    // `label` becomes the card's window text (read by accessibility tools).
    [[nodiscard]] static std::expected<std::unique_ptr<IconCardButton>, std::string> create(HWND parent,
        HINSTANCE instance, int controlId, ButtonIconKind icon, std::optional<Rgb> iconColor, std::string_view label);
    ~IconCardButton();
    IconCardButton(const IconCardButton&) = delete;
    IconCardButton& operator=(const IconCardButton&) = delete;

    [[nodiscard]] HWND hwnd() const noexcept { return hwnd_; }
    [[nodiscard]] int controlId() const noexcept { return controlId_; }
    void setLabel(std::string_view label);
    // What a screen reader hears: the card's tooltip, and the word for
    // pressing it. Readers see a push button.
    void setAccessibleTexts(std::string_view name, std::string_view pressWord);
    [[nodiscard]] CardLook look() const noexcept;

    void paint(HDC dc, const Rect& client);

private:
    IconCardButton() = default;
    template <typename Window> friend LRESULT CALLBACK boundWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void onMouseMove(LPARAM lParam);
    void onButtonUp(LPARAM lParam);
    bool onKeyDown(WPARAM key, LPARAM flags);
    void sendClick();
    void moveFocus(FocusStep step);
    [[nodiscard]] bool enabled() const noexcept { return IsWindowEnabled(hwnd_) != FALSE; }
    [[nodiscard]] bool showsFocus() const noexcept;
    void repaint() { InvalidateRect(hwnd_, nullptr, FALSE); }

    AccessibleFacts accessibleFacts() const;

    HWND hwnd_ = nullptr;
    std::unique_ptr<AccessibleWindow> accessible_;
    std::wstring accessibleName_;
    std::wstring pressWord_;
    int controlId_ = 0;
    ButtonIconKind icon_ = ButtonIconKind::newFile;
    Rgb iconColor_;
    bool trackingLeave_ = false;
    CardInteraction interaction_;
};

} // namespace zelmar::ui::win32
