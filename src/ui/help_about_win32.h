#pragma once

// The Help menu's documents (Windows build only): the usage help (compiled
// help, else the HTML topics of the language), the licence text, the about
// window, and the program's icon. Failures are logged and reported as
// false; the main window shows the fallback.

#include "localization/localization.h"
#include "ui/geometry.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zelmar::ui::win32 {

// Opens a document with the shell's default action; answers the shell's
// result (32 or less is a failure). Tests replace it to see what would open.
using ShellOpen = std::function<INT_PTR(HWND owner, const std::wstring& path)>;
[[nodiscard]] ShellOpen defaultShellOpen();

inline constexpr std::wstring_view compiledHelpAsset = L"assets\\help\\DMM5174K.chm";
[[nodiscard]] std::wstring_view htmlHelpAsset(AppLanguage language) noexcept;
[[nodiscard]] std::wstring_view installerLicenseAsset(AppLanguage language) noexcept;

namespace HelpLauncher {
// The compiled help beside the program in the help viewer, at the guide's
// first page in the language; the HTML topics through the shell without it.
[[nodiscard]] bool open(HWND owner, AppLanguage language, const ShellOpen& shellOpen = defaultShellOpen());
// Closes every help viewer this process opened.
void closeViewers();
} // namespace HelpLauncher

namespace LicenseLauncher {
// LICENSE.txt in the program's folder, else the installer's EULA for the
// language; none when neither exists.
[[nodiscard]] std::optional<std::wstring> licensePath(AppLanguage language);
[[nodiscard]] bool open(HWND owner, AppLanguage language, const ShellOpen& shellOpen = defaultShellOpen());
} // namespace LicenseLauncher

inline constexpr std::string_view makerWebAddress = "https://zelmar.example/dmm5174k";

// One about window at a time, centred over the owner, closed by a click,
// Esc or losing activation.
class AboutWindow {
public:
    struct Layout {
        RECT logoRect {};
        RECT bodyRect {};
        RECT versionRect {};
        RECT updateLinkRect {};
        RECT linkRect {};
        RECT hintRect {};
        int clientHeight = 0;
    };
    // Brings the open one to the front instead of opening a second.
    static void show(HWND owner, AppLanguage language, std::string version, std::function<void()> onCheckForUpdates,
        const ShellOpen& shellOpen = defaultShellOpen());
    [[nodiscard]] static HWND openWindow() noexcept;
    [[nodiscard]] static const Layout* openLayout() noexcept;

    ~AboutWindow();
    void paint(HDC dc, const Rect& client);
    AboutWindow(const AboutWindow&) = delete;
    AboutWindow& operator=(const AboutWindow&) = delete;

private:
    AboutWindow() = default;
    template <typename Window> friend LRESULT CALLBACK boundWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void computeLayout(HDC dc, int width);
    void onClick(POINT p);
    // The links in the order Tab visits them: the update check (when there
    // is one), then the web address.
    enum class Link { update, web };
    [[nodiscard]] std::vector<Link> links() const;
    void activate(Link link);
    void moveFocus(bool backwards);
    void close();
    [[nodiscard]] std::wstring bodyText() const;

    HWND hwnd_ = nullptr;
    AppLanguage language_ = AppLanguage::zhTW;
    std::string version_;
    std::function<void()> onCheckForUpdates_;
    std::optional<std::wstring> logoPath_;
    bool useLogoImage_ = false;
    Layout layout_;
    HFONT linkFont_ = nullptr;
    HFONT fallbackLogoFont_ = nullptr;
    bool isClosing_ = false;
    std::optional<Link> focusedLink_; // none until Tab reaches one
    ShellOpen shellOpen_;
};

// The executable's icon resource 1 at the large and small sizes for the
// DPI, set on the window; false (logged) when there is none.
bool applyAppIcon(HWND hwnd, int dpi);

} // namespace zelmar::ui::win32
