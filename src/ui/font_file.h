#pragma once

// What the program needs to know of a TrueType or OpenType font file it
// ships: the family name from its `name` table, so the face loaded privately
// is named by what the file says, and the glyph of a code point from its
// `cmap` table, so icons beyond the 16-bit range are drawn by glyph index.
//
// Layout (all big-endian): the offset table (version u32, numTables u16,
// three u16 search fields) and 16-byte table records (tag, checksum, offset,
// length). The `name` table: format u16, count u16, stringOffset u16, then
// 12-byte records (platformID, encodingID, languageID, nameID, length,
// offset). Family is nameID 1; Windows records (platform 3, encoding 1 or 0)
// hold UTF-16BE. Example of one record: 00 03 00 01 04 09 00 01 00 1A 00 00 =
// Windows, Unicode BMP, en-US, family, 26 bytes at offset 0.
// The `cmap` table: version u16, count u16, then 8-byte records (platformID,
// encodingID, offset u32). A format-12 subtable (all of Unicode): format u16
// = 12, reserved u16, length u32, language u32, nGroups u32, then 12-byte
// groups (startCharCode, endCharCode, startGlyphID). A format-4 subtable
// (16-bit code points only) maps segments through deltas or a glyph array.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zelmar::ui {

// The Windows family name (US English preferred), or none for a file that is
// not a well-formed font or has no such name.
[[nodiscard]] std::optional<std::u16string> fontFamilyName(std::span<const std::uint8_t> file);

// The glyph index of a code point in the font's Unicode character map
// (format 12, else format 4); none when the font has no glyph for it.
[[nodiscard]] std::optional<std::uint16_t> fontGlyphIndex(std::span<const std::uint8_t> file, char32_t codePoint);

} // namespace zelmar::ui
