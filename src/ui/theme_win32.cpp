#include "ui/theme_win32.h"

#include "core/diagnostic_log.h"
#include "core/text_encoding.h"
#include "storage/file_io.h"
#include "ui/font_file.h"
#include "ui/gdi_objects_win32.h"
#include "ui/geometry.h"

#include <array>
#include <cstdlib>
#include <filesystem>

namespace zelmar::ui::win32 {

int uiDpi() noexcept
{
    static const int dpi = [] {
        if (const char* text = std::getenv("ZELMAR_UI_DPI"); text != nullptr) {
            if (const auto parsed = parseUiDpi(text))
                return *parsed;
        }
        const UINT system = GetDpiForSystem();
        return system == 0 ? 96 : static_cast<int>(system);
    }();
    return dpi;
}

HFONT createThemeFont(std::wstring_view face, int pixelHeight, int weight) noexcept
{
    LOGFONTW lf {};
    lf.lfHeight = -pixelHeight;
    lf.lfWeight = weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = CLEARTYPE_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    const std::size_t n = std::min(face.size(), std::size_t { LF_FACESIZE - 1 });
    face.copy(lf.lfFaceName, n);
    return CreateFontIndirectW(&lf);
}

HFONT themeFont(ThemeFont font) noexcept
{
    static const std::array<UniqueFont, 5> fonts = [] {
        const int dpi = uiDpi();
        const auto points = [dpi](int pt) { return MulDiv(pt, dpi, 72); };
        return std::array<UniqueFont, 5> {
            UniqueFont(createThemeFont(L"Segoe UI", points(11), FW_BOLD)),
            UniqueFont(createThemeFont(L"Segoe UI", points(12), FW_BOLD)),
            UniqueFont(createThemeFont(L"Segoe UI", points(8), FW_NORMAL)),
            UniqueFont(createThemeFont(L"Microsoft JhengHei UI", points(10), FW_NORMAL)),
            UniqueFont(createThemeFont(L"Microsoft JhengHei UI", points(10), FW_BOLD)),
        };
    }();
    return fonts[static_cast<std::size_t>(font)].get();
}

bool highContrastIsOn() noexcept
{
    HIGHCONTRASTW setting { sizeof setting, 0, nullptr };
    if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) != FALSE
        && (setting.dwFlags & HCF_HIGHCONTRASTON) != 0)
        return true;
    wchar_t standIn[4] {};
    return GetEnvironmentVariableW(L"ZELMAR_TEST_HIGH_CONTRAST", standIn, 4) == 1 && standIn[0] == L'1';
}

Palette activePalette() noexcept
{
    if (!highContrastIsOn())
        return standardPalette();
    const auto system = [](int index) { return Rgb::fromColorRef(GetSysColor(index)); };
    return highContrastPalette({ system(COLOR_WINDOW), system(COLOR_WINDOWTEXT), system(COLOR_BTNFACE),
        system(COLOR_BTNTEXT), system(COLOR_HIGHLIGHT), system(COLOR_HIGHLIGHTTEXT), system(COLOR_GRAYTEXT),
        system(COLOR_HOTLIGHT) });
}

std::optional<std::wstring> programFolder()
{
    wchar_t module[1024];
    const DWORD n = GetModuleFileNameW(nullptr, module, 1024);
    if (n == 0 || n >= 1024)
        return std::nullopt;
    std::wstring folder(module, n);
    folder.resize(folder.find_last_of(L"\\/") == std::wstring::npos ? 0 : folder.find_last_of(L"\\/"));
    return folder;
}

std::optional<std::wstring> assetPath(std::wstring_view relative)
{
    const auto program = programFolder();
    if (!program)
        return std::nullopt;
    std::wstring folder = *program;
    std::wstring parent
        = folder.substr(0, folder.find_last_of(L"\\/") == std::wstring::npos ? 0 : folder.find_last_of(L"\\/"));
    for (std::wstring* base : { &folder, &parent }) {
        if (base == &parent && parent.size() < 3)
            break;
        std::wstring candidate = *base + L"\\" + std::wstring(relative);
        const DWORD attributes = GetFileAttributesW(candidate.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return candidate;
    }
    return std::nullopt;
}

std::optional<PrivateFont> loadPrivateFont(const std::wstring& path)
{
    auto bytes = readWholeFile(std::filesystem::path(path));
    if (!bytes)
        return std::nullopt;
    const auto family = fontFamilyName(std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
    if (!family || AddFontResourceExW(path.c_str(), FR_PRIVATE, nullptr) == 0)
        return std::nullopt;
    return PrivateFont { std::wstring(family->begin(), family->end()), std::move(*bytes) };
}

namespace {

struct LcdFace {
    std::wstring name;
    bool sevenSegment = false;
};

const LcdFace& lcdFace()
{
    static const LcdFace face = [] {
        if (const auto path = assetPath(L"assets\\fonts\\DSEG7Classic-Bold.ttf")) {
            if (auto font = loadPrivateFont(*path)) {
                log::write(log::Module::ui, "七段字型已載入：" + text::wideToUtf8(font->family));
                return LcdFace { std::move(font->family), true };
            }
        }
        log::write(log::Module::ui, "assets\\fonts 內找不到 DSEG7Classic-Bold.ttf，LCD 改用 Consolas");
        return LcdFace { L"Consolas", false };
    }();
    return face;
}

} // namespace

const std::wstring& lcdFaceName()
{
    return lcdFace().name;
}

bool lcdFaceIsSevenSegment()
{
    return lcdFace().sevenSegment;
}

} // namespace zelmar::ui::win32
