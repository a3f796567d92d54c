#include "ui/window_capture_win32.h"

#include "ui/gdi_objects_win32.h"

#include <cstring>

namespace zelmar::ui::win32 {

namespace {

enum class Source { printClient, screenClient, screenWindow };

std::optional<ClientImage> capture(HWND hwnd, Source source)
{
    RECT area {};
    if (source == Source::screenWindow) {
        GetWindowRect(hwnd, &area);
        OffsetRect(&area, -area.left, -area.top);
    } else {
        GetClientRect(hwnd, &area);
    }
    ClientImage image;
    image.width = area.right - area.left;
    image.height = area.bottom - area.top;
    if (image.width <= 0 || image.height <= 0)
        return std::nullopt;
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!bitmap || !dc)
        return std::nullopt;
    {
        SelectGuard selected(dc.get(), bitmap.get());
        if (source == Source::printClient) {
            SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
        } else {
            HDC screen = source == Source::screenWindow ? GetWindowDC(hwnd) : GetDC(hwnd);
            BitBlt(dc.get(), 0, 0, image.width, image.height, screen, 0, 0, SRCCOPY);
            ReleaseDC(hwnd, screen);
        }
        GdiFlush();
    }
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    std::memcpy(image.pixels.data(), bits, image.pixels.size() * sizeof(std::uint32_t));
    for (std::uint32_t& p : image.pixels)
        p &= 0xFFFFFF;
    return image;
}

} // namespace

std::optional<ClientImage> captureClient(HWND hwnd)
{
    return capture(hwnd, Source::printClient);
}

std::optional<ClientImage> captureOnScreen(HWND hwnd, bool wholeWindow)
{
    return capture(hwnd, wholeWindow ? Source::screenWindow : Source::screenClient);
}

} // namespace zelmar::ui::win32
