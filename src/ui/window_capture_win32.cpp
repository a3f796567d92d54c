#include "ui/window_capture_win32.h"

#include "ui/gdi_objects_win32.h"

#include <cstring>

namespace zelmar::ui::win32 {

std::optional<ClientImage> captureClient(HWND hwnd)
{
    RECT client {};
    GetClientRect(hwnd, &client);
    ClientImage image;
    image.width = client.right - client.left;
    image.height = client.bottom - client.top;
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
        SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
        GdiFlush();
    }
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    std::memcpy(image.pixels.data(), bits, image.pixels.size() * sizeof(std::uint32_t));
    for (std::uint32_t& p : image.pixels)
        p &= 0xFFFFFF;
    return image;
}

} // namespace zelmar::ui::win32
