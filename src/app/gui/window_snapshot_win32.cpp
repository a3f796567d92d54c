#include "app/gui/window_snapshot_win32.h"

#include "app/window_snapshot.h"
#include "core/diagnostic_log.h"
#include "core/text_encoding.h"
#include "storage/file_io.h"
#include "ui/gdi_objects_win32.h"
#include "ui/geometry.h"
#include "ui/theme_win32.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zelmar {

namespace {

using ui::Rgb;
using ui::scale;
using ui::scaleAtLeastOne;

constexpr Rgb white = Rgb::fromHex(0xFFFFFF);
constexpr Rgb black = Rgb::fromHex(0x000000);
constexpr Rgb highlight = Rgb::fromHex(0xCCE8FF);
constexpr Rgb menuFill = Rgb::fromHex(0xF2F2F2);
constexpr Rgb menuFrame = Rgb::fromHex(0xCCCCCC);
constexpr Rgb grayedText = Rgb::fromHex(0x6D6D6D);
constexpr Rgb separatorLine = Rgb::fromHex(0xD7D7D7);

std::wstring menuItemText(HMENU menu, int position)
{
    wchar_t buffer[256] {};
    GetMenuStringW(menu, static_cast<UINT>(position), buffer, 256, MF_BYPOSITION);
    return buffer;
}

SIZE textSize(HDC dc, const std::wstring& text)
{
    SIZE size {};
    RECT r { 0, 0, 0, 0 };
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE);
    size.cx = r.right - r.left;
    size.cy = r.bottom - r.top;
    return size;
}

void drawText(HDC dc, const std::wstring& text, RECT r, UINT flags, Rgb color)
{
    SetTextColor(dc, color.colorRef());
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags | DT_SINGLELINE | DT_VCENTER);
}

// The menu bar in the band above the client, and the chosen menu opened
// below its item, over the client area.
void drawMenuPreview(HDC dc, HMENU bar, int band, int width, std::string_view selector, int dpi)
{
    NONCLIENTMETRICSW metrics {};
    metrics.cbSize = sizeof metrics;
    ui::win32::UniqueFont font(
        SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))
            ? CreateFontIndirectW(&metrics.lfMenuFont)
            : nullptr);
    if (!font)
        font.reset(ui::win32::createThemeFont(L"Microsoft JhengHei UI", scale(16, dpi), FW_NORMAL));
    const ui::win32::SelectGuard selected(dc, font.get());
    SetBkMode(dc, TRANSPARENT);
    ui::win32::fillRect(dc, { 0, 0, width, band }, white);

    const int count = GetMenuItemCount(bar);
    const auto chosen = MenuPreview::chosenMenu(selector, count);
    const int pad = scale(8, dpi);
    int x = 0;
    int chosenLeft = 0;
    for (int i = 0; i < count; ++i) {
        const auto label = menuItemText(bar, i);
        const int w = textSize(dc, label).cx + 2 * pad;
        if (chosen && *chosen == i) {
            ui::win32::fillRect(dc, { x, 0, x + w, band }, highlight);
            chosenLeft = x;
        }
        drawText(dc, label, RECT { x, 0, x + w, band }, DT_CENTER, black);
        x += w;
    }
    if (!chosen)
        return;

    HMENU menu = GetSubMenu(bar, *chosen);
    const int items = GetMenuItemCount(menu);
    std::vector<MenuPreview::Item> rows;
    for (int i = 0; i < items; ++i)
        rows.push_back(MenuPreview::item(
            text::wideToUtf8(menuItemText(menu, i)), GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION)));
    const int rowHeight = std::max<int>(scale(22, dpi), textSize(dc, L"Ag").cy + scale(8, dpi));
    const int separatorHeight = scale(9, dpi);
    const int checkColumn = scale(28, dpi);
    int widestLabel = 0;
    int widestAccelerator = 0;
    bool anyAccelerator = false;
    int height = scale(3, dpi) * 2;
    for (const auto& row : rows) {
        height += row.separator ? separatorHeight : rowHeight;
        if (row.separator)
            continue;
        widestLabel = std::max<int>(widestLabel, textSize(dc, text::utf8ToWide(row.label)).cx);
        if (!row.accelerator.empty()) {
            anyAccelerator = true;
            widestAccelerator = std::max<int>(widestAccelerator, textSize(dc, text::utf8ToWide(row.accelerator)).cx);
        }
    }
    const int menuWidth = checkColumn + widestLabel + (anyAccelerator ? scale(36, dpi) + widestAccelerator : 0)
        + scale(20, dpi) + scale(12, dpi);
    const ui::Rect box { chosenLeft, band, chosenLeft + menuWidth, band + height };
    const int line = scaleAtLeastOne(1, dpi);
    ui::win32::fillRect(dc, box, menuFrame);
    ui::win32::fillRect(dc, box.inset(line), menuFill);
    int y = box.top + scale(3, dpi);
    for (const auto& row : rows) {
        if (row.separator) {
            const int top = y + scale(4, dpi);
            ui::win32::fillRect(
                dc, { box.left + checkColumn, top, box.right - scale(4, dpi), top + line }, separatorLine);
            y += separatorHeight;
            continue;
        }
        const Rgb color = row.grayed ? grayedText : black;
        const RECT cell { box.left, y, box.right, y + rowHeight };
        if (row.checked)
            drawText(
                dc, L"\u2713", RECT { cell.left, cell.top, cell.left + checkColumn, cell.bottom }, DT_CENTER, color);
        drawText(dc, text::utf8ToWide(row.label), RECT { cell.left + checkColumn, cell.top, cell.right, cell.bottom },
            DT_LEFT, color);
        if (!row.accelerator.empty())
            drawText(dc, text::utf8ToWide(row.accelerator),
                RECT { cell.left, cell.top, cell.right - scale(20, dpi), cell.bottom }, DT_RIGHT | DT_NOPREFIX, color);
        if (row.popup)
            drawText(
                dc, L"\u203A", RECT { cell.left, cell.top, cell.right - scale(8, dpi), cell.bottom }, DT_RIGHT, color);
        y += rowHeight;
    }
}

struct ChildPrint {
    HWND main;
    HDC dc;
    int band;
    int drawn = 0;
    int total = 0;
};

BOOL CALLBACK printChild(HWND child, LPARAM data)
{
    auto& print = *reinterpret_cast<ChildPrint*>(data);
    ++print.total;
    if (!IsWindowVisible(child) || GetParent(child) != print.main)
        return TRUE;
    RECT r {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, print.main, reinterpret_cast<POINT*>(&r), 2);
    // Each child gets the DC as it was: a control may leave a clip region
    // or other state behind.
    const int saved = SaveDC(print.dc);
    SetViewportOrgEx(print.dc, r.left, r.top + print.band, nullptr);
    SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(print.dc), PRF_NONCLIENT | PRF_CLIENT | PRF_CHILDREN);
    RestoreDC(print.dc, saved);
    ++print.drawn;
    return TRUE;
}

} // namespace

bool captureWindowSnapshot(
    ui::win32::MainWindow& window, const std::filesystem::path& path, const std::optional<std::string>& menu)
{
    HWND hwnd = window.hwnd();
    if (hwnd == nullptr)
        return false;
    RECT client {};
    GetClientRect(hwnd, &client);
    const int width = client.right;
    const int height = client.bottom;
    if (width <= 0 || height <= 0)
        return false;
    const int dpi = ui::win32::uiDpi();
    const int band = GetMenu(hwnd) != nullptr && menu ? GetSystemMetricsForDpi(SM_CYMENU, static_cast<UINT>(dpi)) : 0;

    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -(height + band);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const ui::win32::UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const ui::win32::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!bitmap || !dc || bits == nullptr)
        return false;
    {
        const ui::win32::SelectGuard selected(dc.get(), bitmap.get());
        const int saved = SaveDC(dc.get());
        SetViewportOrgEx(dc.get(), 0, band, nullptr);
        SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
        RestoreDC(dc.get(), saved);
        ChildPrint print { hwnd, dc.get(), band };
        EnumChildWindows(hwnd, &printChild, reinterpret_cast<LPARAM>(&print));
        log::write(log::Module::ui,
            "Snapshot：已繪製控制項 " + std::to_string(print.drawn) + "/" + std::to_string(print.total));
        if (band > 0)
            drawMenuPreview(dc.get(), GetMenu(hwnd), band, width, *menu, dpi);
        GdiFlush();
    }
    const std::size_t row = static_cast<std::size_t>(width) * 4;
    std::vector<std::uint8_t> bottomUp(row * static_cast<std::size_t>(height + band));
    const auto* top = static_cast<const std::uint8_t*>(bits);
    for (int y = 0; y < height + band; ++y)
        std::memcpy(bottomUp.data() + row * static_cast<std::size_t>(height + band - 1 - y),
            top + row * static_cast<std::size_t>(y), row);
    const auto file = WindowSnapshot::bmpFile(width, height + band, bottomUp);
    return writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()))
        .has_value();
}

} // namespace zelmar
