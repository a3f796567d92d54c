#pragma once

// The LCD panel child window (Windows build only): paints an LcdState as the
// meter's display and blinks the activity lamp once per reading. It knows
// nothing of the meter; the controller hands it readings on the UI thread.
// Screen readers read it as read-only text whose value is the reading; with
// the focus on it they hear a changed reading at most once a second.

#include "core/reading.h"
#include "ui/accessible_win32.h"
#include "ui/gdi_objects_win32.h"
#include "ui/lcd_model.h"
#include "ui/palette.h"

#include <windows.h>

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace zelmar::ui::win32 {

class LcdPanel {
public:
    // Creates the child window (100 × 100; the parent positions it).
    [[nodiscard]] static std::expected<std::unique_ptr<LcdPanel>, std::string> create(HWND parent, int controlId);
    ~LcdPanel();
    LcdPanel(const LcdPanel&) = delete;
    LcdPanel& operator=(const LcdPanel&) = delete;

    [[nodiscard]] HWND hwnd() const noexcept { return hwnd_; }
    void show(const Reading& reading);
    void showDisconnected();
    [[nodiscard]] bool isShowingPlaceholder() const noexcept { return !state_.connected; }
    [[nodiscard]] const LcdState& state() const noexcept { return state_; }
    [[nodiscard]] bool activityLit() const noexcept { return activityLit_; }
    void setLanguage(AppLanguage language) noexcept { language_ = language; }
    // A reading outside the limits: the frame turns the alarm's colour, and
    // a screen reader hears the alarm's text after the reading.
    void setAlarm(std::optional<std::string> alarm);
    [[nodiscard]] bool alarm() const noexcept { return alarm_.has_value(); }
    // What a screen reader reads as the panel's value.
    [[nodiscard]] std::string spokenText() const
    {
        return lcdSpokenText(state_, language_) + (alarm_ ? ", " + *alarm_ : std::string());
    }

    // Paints the whole panel into a DC over the client rectangle; the same
    // drawing serves WM_PAINT's back buffer and WM_PRINTCLIENT.
    void paint(HDC dc, const Rect& client);

private:
    LcdPanel() = default;
    template <typename Window> friend LRESULT CALLBACK boundWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void setState(LcdState state);
    void invalidateLamp();
    void endPulse();
    AccessibleFacts accessibleFacts() const;

    struct DigitLayout {
        UniqueFont font;
        DigitMetrics metrics;
        int height = 0;
    };
    const DigitLayout& digitLayout(HDC dc, const Rect& area);

    void paintHeader(HDC dc, const LcdGeometry& g, int dpi);
    void paintLamp(HDC dc, const LcdGeometry& g, int dpi);
    void paintLeftColumn(HDC dc, const LcdGeometry& g, int dpi);
    void paintBar(HDC dc, const LcdGeometry& g, int dpi);
    void paintUnits(HDC dc, const LcdGeometry& g, int dpi);
    void paintDigits(HDC dc, const LcdGeometry& g);

    HWND hwnd_ = nullptr;
    std::unique_ptr<AccessibleWindow> accessible_;
    ReadingAnnouncer announcer_;
    AppLanguage language_ = AppLanguage::zhTW;
    Palette palette_; // of the paint in progress
    LcdState state_;
    std::optional<DigitLayout> digitLayout_;
    std::pair<int, int> digitLayoutKey_ { -1, -1 };
    bool activityLit_ = false;
    std::optional<std::string> alarm_;
};

} // namespace zelmar::ui::win32
