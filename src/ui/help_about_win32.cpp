#include "ui/help_about_win32.h"

#include "core/diagnostic_log.h"
#include "core/text_encoding.h"
#include "ui/gdi_objects_win32.h"
#include "ui/gdiplus_canvas_win32.h"
#include "ui/main_window_model.h"
#include "ui/theme_win32.h"
#include "ui/window_binding_win32.h"

#include <algorithm>
#include <shellapi.h>

namespace zelmar::ui::win32 {

namespace {

void logUi(std::string_view line)
{
    log::write(log::Module::ui, line);
}

std::string utf8(std::wstring_view wide)
{
    return text::wideToUtf8(wide);
}

std::optional<std::wstring> programFolderFile(std::wstring_view name)
{
    const auto folder = programFolder();
    if (!folder)
        return std::nullopt;
    std::wstring path = *folder + L"\\" + std::wstring(name);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return std::nullopt;
    return path;
}

using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);

// Found once per process; a failure is logged once and makes compiled help
// unavailable for the rest of the run.
HtmlHelpFn htmlHelpEntry()
{
    static const HtmlHelpFn entry = []() -> HtmlHelpFn {
        HMODULE module = LoadLibraryW(L"hhctrl.ocx");
        if (module == nullptr) {
            logUi("hhctrl.ocx 載入失敗，CHM 說明不可用");
            return nullptr;
        }
        auto fn = reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(module, "HtmlHelpW")));
        if (fn == nullptr)
            logUi("找不到 HtmlHelpW 進入點，CHM 說明不可用");
        return fn;
    }();
    return entry;
}

constexpr UINT htmlHelpDisplayTopic = 0;
constexpr UINT htmlHelpCloseAll = 0x12;

} // namespace

ShellOpen defaultShellOpen()
{
    return [](HWND owner, const std::wstring& path) {
        return reinterpret_cast<INT_PTR>(ShellExecuteW(owner, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    };
}

std::wstring_view htmlHelpAsset(AppLanguage language) noexcept
{
    return language == AppLanguage::enUS ? L"help\\topics\\en\\index.htm" : L"help\\topics\\index.htm";
}

std::wstring_view installerLicenseAsset(AppLanguage language) noexcept
{
    return language == AppLanguage::enUS ? L"Installer\\EULA\\en-US.txt" : L"Installer\\EULA\\zh-Hant.txt";
}

bool HelpLauncher::open(HWND owner, AppLanguage language, const ShellOpen& shellOpen)
{
    if (const auto chm = assetPath(compiledHelpAsset)) {
        if (const auto entry = htmlHelpEntry()) {
            const std::wstring topic
                = *chm + (language == AppLanguage::enUS ? L"::/topics/en/index.htm" : L"::/topics/index.htm");
            if (entry(owner, topic.c_str(), htmlHelpDisplayTopic, 0) != nullptr)
                return true;
            logUi("HtmlHelpW 開啟失敗：" + utf8(*chm));
        }
    }
    const auto relative = htmlHelpAsset(language);
    const auto html = assetPath(relative);
    if (!html) {
        logUi("找不到說明 HTML 原始檔：" + utf8(relative));
        return false;
    }
    if (shellOpen(owner, *html) <= 32) {
        logUi("ShellExecuteW 開啟說明 HTML 失敗：" + utf8(*html));
        return false;
    }
    return true;
}

void HelpLauncher::closeViewers()
{
    if (const auto entry = htmlHelpEntry())
        entry(nullptr, nullptr, htmlHelpCloseAll, 0);
}

std::optional<std::wstring> LicenseLauncher::licensePath(AppLanguage language)
{
    if (auto beside = programFolderFile(L"LICENSE.txt"))
        return beside;
    return assetPath(installerLicenseAsset(language));
}

bool LicenseLauncher::open(HWND owner, AppLanguage language, const ShellOpen& shellOpen)
{
    const auto path = licensePath(language);
    if (!path) {
        logUi("找不到授權條款（LICENSE.txt／Installer\\EULA）");
        return false;
    }
    if (shellOpen(owner, *path) <= 32) {
        logUi("ShellExecuteW 開啟授權條款失敗：" + utf8(*path));
        return false;
    }
    return true;
}

// ---- About window ----

namespace {

std::unique_ptr<AboutWindow>& currentAbout()
{
    static std::unique_ptr<AboutWindow> about;
    return about;
}

constexpr Rgb aboutBackground = Rgb::fromHex(0xFFFFFF);
constexpr Rgb logoColor = Rgb::fromHex(0x1C1E22);
constexpr Rgb logoAccent = Rgb::fromHex(0x1565C0);

// The box of a text set at (left, top) within width: the full width for
// paragraphs, the text's own for a link, which is all a click may hit.
RECT textBox(HDC dc, HFONT font, const std::wstring& text, int left, int top, int width, UINT flags, bool fullWidth = true)
{
    const SelectGuard selected(dc, font);
    RECT r { left, top, left + width, top };
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags | DT_CALCRECT);
    if (fullWidth || r.right > left + width)
        r.right = left + width;
    return r;
}

bool inside(const RECT& r, POINT p)
{
    return PtInRect(&r, p) != FALSE;
}

} // namespace

HWND AboutWindow::openWindow() noexcept
{
    const auto& about = currentAbout();
    return about ? about->hwnd_ : nullptr;
}

const AboutWindow::Layout* AboutWindow::openLayout() noexcept
{
    const auto& about = currentAbout();
    return about ? &about->layout_ : nullptr;
}

AboutWindow::~AboutWindow()
{
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (linkFont_ != nullptr)
        DeleteObject(linkFont_);
    if (fallbackLogoFont_ != nullptr)
        DeleteObject(fallbackLogoFont_);
}

void AboutWindow::show(HWND owner, AppLanguage language, std::string version, std::function<void()> onCheckForUpdates,
    const ShellOpen& shellOpen)
{
    if (HWND open = openWindow()) {
        SetForegroundWindow(open);
        return;
    }
    std::unique_ptr<AboutWindow> self(new AboutWindow);
    self->language_ = language;
    self->version_ = std::move(version);
    self->onCheckForUpdates_ = std::move(onCheckForUpdates);
    self->shellOpen_ = shellOpen;
    self->logoPath_ = assetPath(L"assets\\images\\ZELMAR_LOGO.png");
    self->useLogoImage_ = self->logoPath_ && GdiPlusCanvas::imageSize(self->logoPath_->c_str()).has_value();
    const int dpi = uiDpi();
    // The body's face and size (createThemeFont takes the character height).
    self->linkFont_ = createThemeFont(L"Microsoft JhengHei UI", MulDiv(10, dpi, 72), FW_NORMAL);
    LOGFONTW lf {};
    GetObjectW(self->linkFont_, sizeof lf, &lf);
    lf.lfUnderline = TRUE;
    DeleteObject(self->linkFont_);
    self->linkFont_ = CreateFontIndirectW(&lf);
    self->fallbackLogoFont_ = createThemeFont(L"Segoe UI", scale(30, dpi), FW_BOLD);

    static const ChildWindowClass aboutClass { L"DMM5174KAboutWindowClass", CS_DROPSHADOW, nullptr, "about" };
    const int width = scale(420, dpi);
    if (!createChildWindow(*self, aboutClass, GetModuleHandleW(nullptr), owner, 0, WS_POPUP | WS_BORDER,
            text::utf8ToWide(L10n::text(L10nKey::dialogAboutTitle, language)).c_str(), width, 100)) {
        logUi("關於視窗建立失敗");
        return;
    }
    {
        WindowDc dc(self->hwnd_);
        self->computeLayout(dc.get(), width);
    }
    RECT ownerRect {};
    GetWindowRect(owner, &ownerRect);
    const int outer = self->layout_.clientHeight + 2 * GetSystemMetrics(SM_CYBORDER);
    const int x = (ownerRect.left + ownerRect.right - width) / 2;
    const int y = (ownerRect.top + ownerRect.bottom - outer) / 2;
    HWND hwnd = self->hwnd_;
    currentAbout() = std::move(self);
    SetWindowPos(hwnd, HWND_TOP, x, y, width, outer, SWP_SHOWWINDOW);
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
}

std::wstring AboutWindow::bodyText() const
{
    return text::utf8ToWide(std::string(L10n::text(L10nKey::aboutCompany, language_)) + "\n"
        + std::string(L10n::text(L10nKey::aboutBodyText, language_)));
}

void AboutWindow::computeLayout(HDC dc, int width)
{
    const int dpi = uiDpi();
    const int pad = scale(20, dpi);
    const int gap = scale(10, dpi);
    const int inner = width - 2 * pad;
    const UINT wrap = DT_WORDBREAK | DT_NOPREFIX;
    int y = pad;
    int logoHeight = scale(44, dpi);
    if (useLogoImage_) {
        const auto size = GdiPlusCanvas::imageSize(logoPath_->c_str());
        if (size && size->first > 0)
            logoHeight = std::min(scale(80, dpi), MulDiv(inner, size->second, size->first));
    }
    layout_.logoRect = { pad, y, pad + inner, y + logoHeight };
    y = layout_.logoRect.bottom + gap;
    layout_.bodyRect = textBox(dc, themeFont(ThemeFont::interface), bodyText(), pad, y, inner, wrap);
    y = layout_.bodyRect.bottom + gap;
    const auto version = text::utf8ToWide(L10n::versionLine(language_, version_));
    layout_.versionRect = textBox(dc, themeFont(ThemeFont::interfaceBold), version, pad, y, inner, wrap);
    y = layout_.versionRect.bottom + gap;
    layout_.updateLinkRect = {};
    if (onCheckForUpdates_) {
        const auto link = text::utf8ToWide(L10n::text(L10nKey::aboutCheckForUpdates, language_));
        layout_.updateLinkRect = textBox(dc, linkFont_, link, pad, y, inner, DT_SINGLELINE | DT_NOPREFIX, false);
        y = layout_.updateLinkRect.bottom + scale(4, dpi);
    }
    const auto web = text::utf8ToWide(makerWebAddress);
    layout_.linkRect = textBox(dc, linkFont_, web, pad, y, inner, DT_SINGLELINE | DT_NOPREFIX, false);
    y = layout_.linkRect.bottom + gap;
    const auto hint = text::utf8ToWide(L10n::text(L10nKey::aboutCloseHint, language_));
    layout_.hintRect = textBox(dc, themeFont(ThemeFont::interface), hint, pad, y, inner, wrap);
    layout_.clientHeight = layout_.hintRect.bottom + pad;
}

void AboutWindow::paint(HDC dc, const Rect& client)
{
    fillRect(dc, client, aboutBackground);
    SetBkMode(dc, TRANSPARENT);
    const UINT wrap = DT_WORDBREAK | DT_NOPREFIX;
    auto draw = [dc](HFONT font, Rgb color, const std::wstring& text, RECT r, UINT flags) {
        const SelectGuard selected(dc, font);
        SetTextColor(dc, color.colorRef());
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
    };
    const Rect logo = fromRECT(layout_.logoRect);
    if (!(useLogoImage_ && GdiPlusCanvas::drawImage(logoPath_->c_str(), dc, logo))) {
        // The maker's name as a word mark, with an accent rule beneath.
        draw(fallbackLogoFont_, logoColor, L"ZELMAR", layout_.logoRect, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        const int rule = scaleAtLeastOne(3, uiDpi());
        fillRect(dc, { logo.left, logo.bottom - rule, logo.left + scale(64, uiDpi()), logo.bottom }, logoAccent);
    }
    draw(themeFont(ThemeFont::interface), main_window_colors::text, bodyText(), layout_.bodyRect, wrap);
    draw(themeFont(ThemeFont::interfaceBold), main_window_colors::text,
        text::utf8ToWide(L10n::versionLine(language_, version_)), layout_.versionRect, wrap);
    if (onCheckForUpdates_)
        draw(linkFont_, main_window_colors::link,
            text::utf8ToWide(L10n::text(L10nKey::aboutCheckForUpdates, language_)), layout_.updateLinkRect,
            DT_SINGLELINE | DT_NOPREFIX);
    draw(linkFont_, main_window_colors::link, text::utf8ToWide(makerWebAddress), layout_.linkRect,
        DT_SINGLELINE | DT_NOPREFIX);
    // The focused link, reached by Tab, is always marked.
    if (focusedLink_) {
        RECT focus = *focusedLink_ == Link::update ? layout_.updateLinkRect : layout_.linkRect;
        InflateRect(&focus, 2, 1);
        SetTextColor(dc, main_window_colors::text.colorRef());
        DrawFocusRect(dc, &focus);
    }
    draw(themeFont(ThemeFont::interface), main_window_colors::mutedText,
        text::utf8ToWide(L10n::text(L10nKey::aboutCloseHint, language_)), layout_.hintRect, wrap);
}

std::vector<AboutWindow::Link> AboutWindow::links() const
{
    if (onCheckForUpdates_)
        return { Link::update, Link::web };
    return { Link::web };
}

void AboutWindow::activate(Link link)
{
    if (link == Link::update && onCheckForUpdates_) {
        auto check = onCheckForUpdates_; // this object goes with the window
        close();
        check();
        return;
    }
    if (link == Link::web && shellOpen_(hwnd_, text::utf8ToWide(makerWebAddress)) <= 32)
        logUi("ShellExecuteW 開啟網站失敗：" + std::string(makerWebAddress));
}

void AboutWindow::moveFocus(bool backwards)
{
    const std::vector<Link> order = links();
    std::size_t at = 0;
    if (focusedLink_) {
        const auto current = std::find(order.begin(), order.end(), *focusedLink_) - order.begin();
        at = (static_cast<std::size_t>(current) + (backwards ? order.size() - 1 : 1)) % order.size();
    } else if (backwards) {
        at = order.size() - 1;
    }
    focusedLink_ = order[at];
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void AboutWindow::onClick(POINT p)
{
    if (onCheckForUpdates_ && inside(layout_.updateLinkRect, p))
        return activate(Link::update);
    if (inside(layout_.linkRect, p))
        return activate(Link::web);
    close();
}

void AboutWindow::close()
{
    if (isClosing_)
        return;
    isClosing_ = true;
    DestroyWindow(hwnd_);
}

LRESULT AboutWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (answerPaintMessage(*this, hwnd_, message, wParam, result))
        return result;
    switch (message) {
    case WM_SETCURSOR: {
        POINT p {};
        GetCursorPos(&p);
        ScreenToClient(hwnd_, &p);
        if ((onCheckForUpdates_ && inside(layout_.updateLinkRect, p)) || inside(layout_.linkRect, p)) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    }
    case WM_LBUTTONUP:
        onClick({ static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)) });
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            close();
            return 0;
        }
        if (wParam == VK_TAB) {
            moveFocus((GetKeyState(VK_SHIFT) & 0x8000) != 0);
            return 0;
        }
        if ((wParam == VK_RETURN || wParam == VK_SPACE) && focusedLink_) {
            activate(*focusedLink_);
            return 0;
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            // Closed after the activation change has finished.
            PostMessageW(hwnd_, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_CLOSE:
        close();
        return 0;
    case WM_DESTROY: {
        // The object is freed here; the window procedure must not find it
        // again at WM_NCDESTROY.
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        hwnd_ = nullptr;
        auto owned = std::move(currentAbout());
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool applyAppIcon(HWND hwnd, int dpi)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    // The shell's 32 and 16 pixel icons at the UI DPI (the system metrics
    // of a DPI-aware process are already scaled to the system's DPI).
    const int large = scale(32, dpi);
    const int small = scale(16, dpi);
    auto* bigIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, large, large, 0));
    auto* smallIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, small, small, 0));
    if (bigIcon == nullptr || smallIcon == nullptr) {
        logUi("應用程式圖示：執行檔內找不到圖示資源（ID 1），維持系統預設圖示");
        if (bigIcon != nullptr)
            DestroyIcon(bigIcon);
        if (smallIcon != nullptr)
            DestroyIcon(smallIcon);
        return false;
    }
    // The window keeps the icons it was given; the old ones are ours to free.
    if (auto* old
        = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon))))
        DestroyIcon(old);
    if (auto* old
        = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon))))
        DestroyIcon(old);
    return true;
}

} // namespace zelmar::ui::win32
