#include "ui/font_file.h"

namespace zelmar::ui {

namespace {

struct Reader {
    std::span<const std::uint8_t> bytes;

    [[nodiscard]] bool has(std::size_t at, std::size_t n) const noexcept
    {
        return at <= bytes.size() && n <= bytes.size() - at;
    }
    [[nodiscard]] std::uint32_t u16(std::size_t at) const noexcept
    {
        return (std::uint32_t { bytes[at] } << 8) | bytes[at + 1];
    }
    [[nodiscard]] std::uint32_t u32(std::size_t at) const noexcept { return (u16(at) << 16) | u16(at + 2); }
};

// The bytes of the table with the given tag, or none.
std::optional<std::span<const std::uint8_t>> table(std::span<const std::uint8_t> file, std::uint32_t tag)
{
    const Reader r { file };
    if (!r.has(0, 12))
        return std::nullopt;
    const std::size_t tables = r.u16(4);
    for (std::size_t i = 0; i < tables; ++i) {
        const std::size_t record = 12 + 16 * i;
        if (!r.has(record, 16))
            return std::nullopt;
        if (r.u32(record) == tag) {
            const std::size_t at = r.u32(record + 8);
            const std::size_t length = r.u32(record + 12);
            if (!r.has(at, length))
                return std::nullopt;
            return file.subspan(at, length);
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::u16string> fontFamilyName(std::span<const std::uint8_t> file)
{
    const auto bytes = table(file, 0x6E616D65u); // "name"
    if (!bytes || bytes->size() < 6)
        return std::nullopt;
    const Reader name { *bytes };
    const std::size_t count = name.u16(2);
    const std::size_t strings = name.u16(4);
    std::optional<std::u16string> best;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = 6 + 12 * i;
        if (!name.has(record, 12))
            return std::nullopt;
        const std::uint32_t platform = name.u16(record);
        const std::uint32_t encoding = name.u16(record + 2);
        const std::uint32_t language = name.u16(record + 4);
        const std::uint32_t id = name.u16(record + 6);
        const std::size_t length = name.u16(record + 8);
        const std::size_t offset = strings + name.u16(record + 10);
        if (platform != 3 || (encoding != 1 && encoding != 0) || id != 1 || length % 2 != 0
            || !name.has(offset, length))
            continue;
        std::u16string text;
        for (std::size_t k = 0; k < length; k += 2)
            text.push_back(static_cast<char16_t>(name.u16(offset + k)));
        if (language == 0x0409)
            return text;
        if (!best)
            best = std::move(text);
    }
    return best;
}

std::optional<std::uint16_t> fontGlyphIndex(std::span<const std::uint8_t> file, char32_t codePoint)
{
    const auto bytes = table(file, 0x636D6170u); // "cmap"
    if (!bytes || bytes->size() < 4)
        return std::nullopt;
    const Reader cmap { *bytes };
    const std::size_t count = cmap.u16(2);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = 4 + 8 * i;
        if (!cmap.has(record, 8))
            return std::nullopt;
        const std::uint32_t platform = cmap.u16(record);
        const std::uint32_t encoding = cmap.u16(record + 2);
        const std::size_t at = cmap.u32(record + 4);
        const bool unicodeFull
            = (platform == 3 && encoding == 10) || (platform == 0 && (encoding == 4 || encoding == 6));
        if (!unicodeFull || !cmap.has(at, 16) || cmap.u16(at) != 12)
            continue;
        const std::size_t groups = cmap.u32(at + 12);
        for (std::size_t g = 0; g < groups; ++g) {
            const std::size_t group = at + 16 + 12 * g;
            if (!cmap.has(group, 12))
                return std::nullopt;
            const std::uint32_t first = cmap.u32(group);
            const std::uint32_t last = cmap.u32(group + 4);
            if (codePoint >= first && codePoint <= last) {
                const std::uint32_t glyph = cmap.u32(group + 8) + (codePoint - first);
                if (glyph == 0 || glyph > 0xFFFF)
                    return std::nullopt;
                return static_cast<std::uint16_t>(glyph);
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace zelmar::ui
