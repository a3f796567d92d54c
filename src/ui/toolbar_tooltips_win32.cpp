#include "ui/toolbar_tooltips_win32.h"

#include "core/diagnostic_log.h"
#include "core/text_encoding.h"
#include "ui/geometry.h"
#include "ui/theme_win32.h"

#include <commctrl.h>

#include <algorithm>

namespace zelmar::ui::win32 {

namespace {

TTTOOLINFOW toolInfo(HWND owner, int controlId, HWND window, bool asWindow)
{
    TTTOOLINFOW info {};
    info.cbSize = sizeof info;
    // No TTF_SUBCLASS: a comctl32 subclass costs every message of the
    // subclassed window a property lookup (a server call under Wine), and
    // the owner gets one WM_NOTIFY per table cell. The owner's message loop
    // relays the mouse instead (relay()).
    info.uFlags = asWindow ? TTF_IDISHWND : 0;
    info.hwnd = owner;
    info.uId = asWindow ? reinterpret_cast<UINT_PTR>(window) : static_cast<UINT_PTR>(controlId);
    return info;
}

} // namespace

std::unique_ptr<ToolbarTooltips> ToolbarTooltips::create(HWND owner)
{
    std::unique_ptr<ToolbarTooltips> tips(new ToolbarTooltips());
    tips->owner_ = owner;
    tips->hwnd_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (tips->hwnd_ == nullptr) {
        log::write(log::Module::ui, "工具列提示：tooltip 控制項建立失敗（提示停用，功能不受影響）");
        return tips;
    }
    SetWindowPos(tips->hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(tips->hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(themeFont(ThemeFont::interface)), FALSE);
    SendMessageW(tips->hwnd_, TTM_SETDELAYTIME, TTDT_INITIAL, 500);
    SendMessageW(tips->hwnd_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 10000);
    SendMessageW(tips->hwnd_, TTM_SETDELAYTIME, TTDT_RESHOW, 100);
    SendMessageW(tips->hwnd_, TTM_SETMAXTIPWIDTH, 0, scaleTruncated(360, uiDpi()));
    return tips;
}

ToolbarTooltips::~ToolbarTooltips()
{
    // The owner takes its owned tooltip with it when it goes first.
    if (hwnd_ != nullptr && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
}

RECT ToolbarTooltips::rectInOwner(HWND window) const
{
    RECT r {};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, owner_, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void ToolbarTooltips::add(int controlId, HWND window, std::string_view text)
{
    controls_[controlId] = window;
    std::wstring& stored = texts_[controlId] = text::utf8ToWide(text);
    if (hwnd_ == nullptr)
        return;
    for (const bool asWindow : { true, false }) {
        TTTOOLINFOW info = toolInfo(owner_, controlId, window, asWindow);
        info.lpszText = stored.data();
        if (!asWindow)
            info.rect = rectInOwner(window);
        SendMessageW(hwnd_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void ToolbarTooltips::setText(int controlId, std::string_view text)
{
    const auto found = controls_.find(controlId);
    if (found == controls_.end())
        return;
    std::wstring& stored = texts_[controlId] = text::utf8ToWide(text);
    if (hwnd_ == nullptr)
        return;
    for (const bool asWindow : { true, false }) {
        TTTOOLINFOW info = toolInfo(owner_, controlId, found->second, asWindow);
        info.lpszText = stored.data();
        SendMessageW(hwnd_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void ToolbarTooltips::updateRects()
{
    if (hwnd_ == nullptr)
        return;
    for (const auto& [controlId, window] : controls_) {
        TTTOOLINFOW info = toolInfo(owner_, controlId, window, false);
        info.rect = rectInOwner(window);
        SendMessageW(hwnd_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void ToolbarTooltips::relay(const MSG& msg)
{
    if (hwnd_ == nullptr)
        return;
    switch (msg.message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        break;
    default:
        return;
    }
    if (msg.hwnd != owner_) {
        const bool card = std::ranges::any_of(controls_, [&](const auto& entry) { return entry.second == msg.hwnd; });
        if (!card)
            return;
    }
    SendMessageW(hwnd_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

void ToolbarTooltips::dismiss()
{
    if (hwnd_ != nullptr)
        SendMessageW(hwnd_, TTM_POP, 0, 0);
}

} // namespace zelmar::ui::win32
