#include "ui/font_file.h"
#include "ui/geometry.h"
#include "ui/png_encode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zelmar::ui;

namespace {

std::vector<std::uint8_t> bytes(std::string_view s)
{
    return { s.begin(), s.end() };
}

std::uint32_t be32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return (std::uint32_t { b[at] } << 24) | (std::uint32_t { b[at + 1] } << 16) | (std::uint32_t { b[at + 2] } << 8)
        | b[at + 3];
}

void put16(std::vector<std::uint8_t>& b, std::uint32_t v)
{
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}
void put32(std::vector<std::uint8_t>& b, std::uint32_t v)
{
    put16(b, v >> 16);
    put16(b, v & 0xFFFF);
}

// A font file of two tables: a `name` with a Macintosh and a Windows family
// record, and a `cmap` with one format-12 group.
// format 12: one group from U+F0800; format 4: one segment from U+F400.
enum class CharacterMap { full, basic };

std::vector<std::uint8_t> tinyFont(CharacterMap map = CharacterMap::full)
{
    std::vector<std::uint8_t> name;
    put16(name, 0);
    put16(name, 2);
    put16(name, 6 + 24);
    const std::u16string family = u"Tiny Seg";
    put16(name, 1), put16(name, 0), put16(name, 0), put16(name, 1), put16(name, 4), put16(name, 0); // Mac "Mac!"
    put16(name, 3), put16(name, 1), put16(name, 0x409), put16(name, 1), put16(name, 16), put16(name, 4);
    for (char c : std::string("Mac!"))
        name.push_back(static_cast<std::uint8_t>(c));
    for (char16_t c : family)
        put16(name, c);

    std::vector<std::uint8_t> cmap;
    put16(cmap, 0);
    put16(cmap, 1);
    if (map == CharacterMap::full) {
        put16(cmap, 3), put16(cmap, 10), put32(cmap, 12);
        put16(cmap, 12), put16(cmap, 0), put32(cmap, 28), put32(cmap, 0), put32(cmap, 1);
        put32(cmap, 0xF0800), put32(cmap, 0xF0820), put32(cmap, 100);
    } else {
        put16(cmap, 3), put16(cmap, 1), put32(cmap, 12);
        put16(cmap, 4), put16(cmap, 32), put16(cmap, 0), put16(cmap, 4), put16(cmap, 4), put16(cmap, 1), put16(cmap, 0);
        put16(cmap, 0xF40F), put16(cmap, 0xFFFF), put16(cmap, 0); // ends, pad
        put16(cmap, 0xF400), put16(cmap, 0xFFFF); // starts
        put16(cmap, (7 - 0xF400) & 0xFFFF), put16(cmap, 1); // deltas
        put16(cmap, 0), put16(cmap, 0); // range offsets
    }

    std::vector<std::uint8_t> file;
    put32(file, 0x00010000);
    put16(file, 2), put16(file, 0), put16(file, 0), put16(file, 0);
    const std::uint32_t nameAt = 12 + 32;
    const auto cmapAt = static_cast<std::uint32_t>(nameAt + name.size());
    put32(file, 0x636D6170), put32(file, 0), put32(file, cmapAt), put32(file, static_cast<std::uint32_t>(cmap.size()));
    put32(file, 0x6E616D65), put32(file, 0), put32(file, nameAt), put32(file, static_cast<std::uint32_t>(name.size()));
    file.insert(file.end(), name.begin(), name.end());
    file.insert(file.end(), cmap.begin(), cmap.end());
    return file;
}

} // namespace

TEST(PngEncode, ChecksumsMatchTheirStandardValues)
{
    EXPECT_EQ(crc32(bytes("123456789")), 0xCBF43926u);
    EXPECT_EQ(crc32(bytes("IEND")), 0xAE426082u);
    EXPECT_EQ(adler32(bytes("Wikipedia")), 0x11E60398u);
}

TEST(PngEncode, WritesAWellFormedImage)
{
    const std::vector<std::uint32_t> pixels = { 0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0xFFFFFF, 0x000000 };
    const std::vector<std::uint8_t> png = encodePng(3, 2, pixels);
    ASSERT_GT(png.size(), 8u + 25 + 12);
    EXPECT_EQ(std::vector<std::uint8_t>(png.begin(), png.begin() + 8),
        (std::vector<std::uint8_t> { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' }));
    EXPECT_EQ(be32(png, 8), 13u);
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(be32(png, 16), 3u);
    EXPECT_EQ(be32(png, 20), 2u);
    EXPECT_EQ(png[24], 8);
    EXPECT_EQ(png[25], 2);
    EXPECT_EQ(be32(png, 29), crc32(std::span(png).subspan(12, 17)));
    // IDAT: zlib header, one final stored block of 2 × (1 + 9) bytes.
    const std::size_t idat = 33;
    EXPECT_EQ(std::string(png.begin() + idat + 4, png.begin() + idat + 8), "IDAT");
    const std::size_t z = idat + 8;
    EXPECT_EQ(png[z], 0x78);
    EXPECT_EQ(png[z + 2], 1); // final, stored
    EXPECT_EQ(png[z + 3] | (png[z + 4] << 8), 20);
    const std::vector<std::uint8_t> raw(png.begin() + z + 7, png.begin() + z + 27);
    EXPECT_EQ(raw,
        (std::vector<std::uint8_t> {
            0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0x12, 0x34, 0x56, 255, 255, 255, 0, 0, 0 }));
    EXPECT_EQ(be32(png, z + 27), adler32(raw));
    EXPECT_EQ(std::string(png.end() - 8, png.end() - 4), "IEND");

    EXPECT_TRUE(encodePng(3, 3, pixels).empty());
    // Larger than one stored block.
    const std::vector<std::uint32_t> big(300 * 100, 0x808080);
    const std::vector<std::uint8_t> large = encodePng(300, 100, big);
    EXPECT_GT(large.size(), 300u * 100 * 3);
}

TEST(FontFile, FamilyNameAndGlyphsFromTheTables)
{
    const std::vector<std::uint8_t> font = tinyFont();
    EXPECT_EQ(fontFamilyName(font), u"Tiny Seg");
    EXPECT_EQ(fontGlyphIndex(font, 0xF0818), 100 + 0x18);
    EXPECT_FALSE(fontGlyphIndex(font, 0xF0EED));
    EXPECT_FALSE(fontGlyphIndex(font, U'A'));

    const std::vector<std::uint8_t> older = tinyFont(CharacterMap::basic);
    EXPECT_EQ(fontGlyphIndex(older, 0xF40A), 7 + 10);
    EXPECT_FALSE(fontGlyphIndex(older, 0xF0818));
    EXPECT_FALSE(fontGlyphIndex(older, 0xF410));

    // Damaged files are none, never a read past the end.
    for (const auto& whole : { font, older }) {
        for (std::size_t cut = 0; cut < whole.size(); ++cut) {
            const std::span<const std::uint8_t> part(whole.data(), cut);
            (void)fontFamilyName(part);
            (void)fontGlyphIndex(part, 0xF0818);
            (void)fontGlyphIndex(part, 0xF40A);
        }
    }
    EXPECT_FALSE(fontFamilyName(bytes("not a font at all")));
}

TEST(UiDpi, OverrideAndScaling)
{
    EXPECT_EQ(parseUiDpi(" 144 "), 144);
    EXPECT_EQ(parseUiDpi("48"), 48);
    EXPECT_EQ(parseUiDpi("480"), 480);
    EXPECT_FALSE(parseUiDpi("47"));
    EXPECT_FALSE(parseUiDpi("481"));
    EXPECT_FALSE(parseUiDpi("96dpi"));
    EXPECT_FALSE(parseUiDpi(""));
    EXPECT_EQ(scale(7, 144), 11);
    EXPECT_EQ(scale(9, 120), 11);
    EXPECT_EQ(scale(1, 48), 1); // MulDiv rounds 0.5 up
    EXPECT_EQ(scaleAtLeastOne(1, 48), 1);
    EXPECT_EQ(scaleTruncated(5, 120), 6);
    EXPECT_EQ(scaleTruncated(1, 144), 1);
    EXPECT_EQ(roundHalfAway(-2.5), -3);
    EXPECT_EQ(roundHalfAway(2.5), 3);
}
