#include "ui/button_icons_win32.h"

#include "core/diagnostic_log.h"
#include "ui/font_file.h"
#include "ui/theme_win32.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace zelmar::ui::win32 {

namespace {

// A top-down 32-bit DIB section and its pixels.
struct Dib {
    UniqueBitmap bitmap;
    std::uint32_t* pixels = nullptr;
};

Dib makeDib(int width, int height)
{
    BITMAPINFO info {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Dib dib;
    dib.bitmap.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    dib.pixels = dib.bitmap ? static_cast<std::uint32_t*>(bits) : nullptr;
    return dib;
}

// Turns white-on-black coverage into the colour with premultiplied alpha.
UniqueBitmap colouredBitmap(std::span<const std::uint8_t> coverage, int size, Rgb color)
{
    Dib dib = makeDib(size, size);
    if (!dib.pixels)
        return {};
    for (std::size_t i = 0; i < coverage.size(); ++i) {
        const std::uint32_t a = coverage[i];
        dib.pixels[i] = (a << 24) | ((color.r * a / 255) << 16) | ((color.g * a / 255) << 8) | (color.b * a / 255);
    }
    return std::move(dib.bitmap);
}

std::string_view kindName(ButtonIconKind kind)
{
    switch (kind) {
    case ButtonIconKind::newFile:
        return "newFile";
    case ButtonIconKind::open:
        return "open";
    case ButtonIconKind::save:
        return "save";
    case ButtonIconKind::play:
        return "play";
    case ButtonIconKind::stop:
        return "stop";
    }
    return "?";
}

std::string codePointText(char32_t c)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%05X", static_cast<unsigned>(c));
    return buffer;
}

// The geometric drawings on a 24-unit grid: white shapes, black holes.
struct Shape {
    bool hole = false;
    bool ellipse = false;
    std::vector<POINT> points; // polygon, or the ellipse's two corners
};

std::vector<Shape> shapes(ButtonIconKind kind)
{
    switch (kind) {
    case ButtonIconKind::newFile:
        return { { false, false, { { 5, 2 }, { 14, 2 }, { 19, 7 }, { 19, 22 }, { 5, 22 } } },
            { true, false, { { 7, 4 }, { 13, 4 }, { 13, 8 }, { 17, 8 }, { 17, 20 }, { 7, 20 } } },
            { false, false, { { 11, 10 }, { 13, 10 }, { 13, 18 }, { 11, 18 } } },
            { false, false, { { 8, 13 }, { 16, 13 }, { 16, 15 }, { 8, 15 } } } };
    case ButtonIconKind::open:
        return { { false, false,
                     { { 2, 4 }, { 9, 4 }, { 11, 6 }, { 21, 6 }, { 21, 9 }, { 23, 9 }, { 19, 20 }, { 2, 20 } } },
            { true, false, { { 4, 8 }, { 19, 8 }, { 19, 9 }, { 7, 9 }, { 4, 17 } } },
            { true, false, { { 8, 11 }, { 20, 11 }, { 17, 18 }, { 5, 18 } } } };
    case ButtonIconKind::save:
        return { { false, false, { { 3, 3 }, { 17, 3 }, { 21, 7 }, { 21, 21 }, { 3, 21 } } },
            { true, false, { { 6, 5 }, { 15, 5 }, { 15, 9 }, { 6, 9 } } }, { true, true, { { 9, 12 }, { 15, 18 } } } };
    case ButtonIconKind::play:
        return { { false, false, { { 7, 4 }, { 19, 12 }, { 7, 20 } } } };
    case ButtonIconKind::stop:
        return { { false, false, { { 6, 6 }, { 18, 6 }, { 18, 18 }, { 6, 18 } } } };
    }
    return {};
}

} // namespace

std::vector<std::uint8_t> geometricIconCoverage(ButtonIconKind kind, int size)
{
    // Drawn four times larger without antialiasing, then averaged down.
    constexpr int factor = 4;
    const int big = size * factor;
    std::vector<std::uint8_t> coverage(static_cast<std::size_t>(size) * size, 0);
    Dib dib = makeDib(big, big);
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dib.pixels || !dc)
        return coverage;
    {
        SelectGuard selected(dc.get(), dib.bitmap.get());
        SelectGuard pen(dc.get(), GetStockObject(NULL_PEN));
        for (const Shape& shape : shapes(kind)) {
            SelectGuard brush(dc.get(), GetStockObject(shape.hole ? BLACK_BRUSH : WHITE_BRUSH));
            std::vector<POINT> points;
            for (const POINT& p : shape.points)
                points.push_back({ p.x * big / 24, p.y * big / 24 });
            if (shape.ellipse)
                Ellipse(dc.get(), points[0].x, points[0].y, points[1].x, points[1].y);
            else
                Polygon(dc.get(), points.data(), static_cast<int>(points.size()));
        }
        GdiFlush();
    }
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            int sum = 0;
            for (int dy = 0; dy < factor; ++dy) {
                for (int dx = 0; dx < factor; ++dx)
                    sum += dib.pixels[(y * factor + dy) * big + x * factor + dx] & 0xFF;
            }
            coverage[static_cast<std::size_t>(y) * size + x] = static_cast<std::uint8_t>(sum / (factor * factor));
        }
    }
    return coverage;
}

ButtonIcons& ButtonIcons::instance()
{
    static ButtonIcons icons;
    return icons;
}

void ButtonIcons::initialise()
{
    if (initialised_)
        return;
    initialised_ = true;
    if (const char* force = std::getenv("ZELMAR_UI_FORCE_ICON_FALLBACK");
        force != nullptr && std::strcmp(force, "1") == 0) {
        log::write(log::Module::ui, "按鈕圖示：ZELMAR_UI_FORCE_ICON_FALLBACK=1，強制走幾何後援");
        return;
    }
    const auto path = assetPath(L"assets\\fonts\\materialdesignicons-webfont.ttf");
    std::optional<PrivateFont> font = path ? loadPrivateFont(*path) : std::nullopt;
    if (!font) {
        log::write(log::Module::ui, "按鈕圖示：MDI 字型載入失敗，改走 GDI 幾何自繪後援");
        return;
    }
    face_ = font->family;
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(font->file.data()), font->file.size());
    for (int k = 0; k < buttonIconKindCount; ++k) {
        const auto kind = static_cast<ButtonIconKind>(k);
        const char32_t code = iconCodePoint(kind);
        glyphs_[k] = fontGlyphIndex(bytes, code);
        if (!glyphs_[k])
            glyphs_[k] = fontGlyphIndex(bytes, packagedIconCodePoint(kind));
        if (!glyphs_[k])
            log::write(log::Module::ui, "按鈕圖示：字型缺 " + codePointText(code) + "，該圖示走幾何後援");
    }
}

void ButtonIcons::resetForTesting()
{
    initialised_ = false;
    face_.clear();
    glyphs_ = {};
    cache_.clear();
}

bool ButtonIcons::usesFont(ButtonIconKind kind)
{
    initialise();
    return glyphs_[static_cast<std::size_t>(kind)].has_value();
}

UniqueBitmap ButtonIcons::drawGlyph(ButtonIconKind kind, int size, Rgb color)
{
    const auto glyph = glyphs_[static_cast<std::size_t>(kind)];
    Dib dib = makeDib(size, size);
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    if (!glyph || !dib.pixels || !dc)
        return {};
    LOGFONTW lf {};
    lf.lfHeight = -size;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfQuality = ANTIALIASED_QUALITY; // grey coverage, no colour fringes
    face_.copy(lf.lfFaceName, std::min(face_.size(), std::size_t { LF_FACESIZE - 1 }));
    const UniqueFont font(CreateFontIndirectW(&lf));
    {
        SelectGuard selected(dc.get(), dib.bitmap.get());
        SelectGuard selectedFont(dc.get(), font.get());
        SetBkMode(dc.get(), TRANSPARENT);
        SetTextColor(dc.get(), RGB(255, 255, 255));
        const WORD index = *glyph;
        SIZE extent {};
        GetTextExtentPointI(dc.get(), const_cast<WORD*>(&index), 1, &extent);
        ExtTextOutW(dc.get(), (size - extent.cx) / 2, (size - extent.cy) / 2, ETO_GLYPH_INDEX, nullptr,
            reinterpret_cast<LPCWSTR>(&index), 1, nullptr);
        GdiFlush();
    }
    std::vector<std::uint8_t> coverage(static_cast<std::size_t>(size) * size);
    for (std::size_t i = 0; i < coverage.size(); ++i) {
        const std::uint32_t p = dib.pixels[i];
        coverage[i] = static_cast<std::uint8_t>(std::max({ p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF }));
    }
    if (std::all_of(coverage.begin(), coverage.end(), [](std::uint8_t c) { return c == 0; })) {
        log::write(log::Module::ui, std::string(kindName(kind)) + " 字符繪製結果為空白，改走幾何後援");
        glyphs_[static_cast<std::size_t>(kind)].reset();
        return {};
    }
    return colouredBitmap(coverage, size, color);
}

HBITMAP ButtonIcons::draw(ButtonIconKind kind, int size, Rgb color)
{
    if (size <= 0)
        return nullptr;
    initialise();
    const auto key = std::tuple { static_cast<int>(kind), size, color.colorRef() };
    if (const auto found = cache_.find(key); found != cache_.end())
        return found->second.get();
    UniqueBitmap bitmap = drawGlyph(kind, size, color);
    if (!bitmap)
        bitmap = colouredBitmap(geometricIconCoverage(kind, size), size, color);
    const HBITMAP handle = bitmap.get();
    if (handle != nullptr) // a failure is tried again next time
        cache_.emplace(key, std::move(bitmap));
    return handle;
}

} // namespace zelmar::ui::win32
