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

namespace {

std::optional<std::uint16_t> glyphFromFormat12(const Reader& cmap, std::size_t at, char32_t codePoint)
{
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

// Format 4: segCountX2 at +6, then endCode[], a pad, startCode[],
// idDelta[], idRangeOffset[] (each segCount u16), then the glyph array.
std::optional<std::uint16_t> glyphFromFormat4(const Reader& cmap, std::size_t at, char32_t codePoint)
{
    if (codePoint > 0xFFFF || !cmap.has(at, 14))
        return std::nullopt;
    const std::size_t segments = cmap.u16(at + 6) / 2;
    const std::size_t ends = at + 14;
    const std::size_t starts = ends + 2 * segments + 2;
    const std::size_t deltas = starts + 2 * segments;
    const std::size_t offsets = deltas + 2 * segments;
    if (!cmap.has(ends, 8 * segments + 2))
        return std::nullopt;
    for (std::size_t i = 0; i < segments; ++i) {
        const std::uint32_t end = cmap.u16(ends + 2 * i);
        const std::uint32_t start = cmap.u16(starts + 2 * i);
        if (codePoint < start || codePoint > end)
            continue;
        const std::uint32_t delta = cmap.u16(deltas + 2 * i);
        const std::uint32_t rangeOffset = cmap.u16(offsets + 2 * i);
        std::uint32_t glyph = 0;
        if (rangeOffset == 0) {
            glyph = (codePoint + delta) & 0xFFFF;
        } else {
            const std::size_t entry = offsets + 2 * i + rangeOffset + 2 * (codePoint - start);
            if (!cmap.has(entry, 2))
                return std::nullopt;
            glyph = cmap.u16(entry);
            if (glyph != 0)
                glyph = (glyph + delta) & 0xFFFF;
        }
        if (glyph == 0)
            return std::nullopt;
        return static_cast<std::uint16_t>(glyph);
    }
    return std::nullopt;
}

} // namespace

std::optional<std::uint16_t> fontGlyphIndex(std::span<const std::uint8_t> file, char32_t codePoint)
{
    const auto bytes = table(file, 0x636D6170u); // "cmap"
    if (!bytes || bytes->size() < 4)
        return std::nullopt;
    const Reader cmap { *bytes };
    const std::size_t count = cmap.u16(2);
    std::optional<std::size_t> full;
    std::optional<std::size_t> basic;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = 4 + 8 * i;
        if (!cmap.has(record, 8))
            return std::nullopt;
        const std::uint32_t platform = cmap.u16(record);
        const std::uint32_t encoding = cmap.u16(record + 2);
        const std::size_t at = cmap.u32(record + 4);
        if (!cmap.has(at, 16))
            continue;
        const bool unicode = platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
        if (unicode && cmap.u16(at) == 12)
            full = at;
        else if (unicode && cmap.u16(at) == 4)
            basic = at;
    }
    if (full)
        return glyphFromFormat12(cmap, *full, codePoint);
    if (basic)
        return glyphFromFormat4(cmap, *basic, codePoint);
    return std::nullopt;
}

} // namespace zelmar::ui
