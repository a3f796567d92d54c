#pragma once

// A byte-level JSON structure scanner: finds where values begin and end
// without building a document, so that signed bytes can be located exactly
// and big files classified in one pass. Shared by the signed envelope and
// the measurement-file scanner. Whitespace is space, TAB, LF and CR.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zelmar::JsonScan {

inline constexpr int maximumNesting = 64;

[[nodiscard]] bool isSpace(char c) noexcept;
void skipSpace(std::string_view bytes, std::size_t& pos, std::size_t end) noexcept;

// Skips one string starting at a quotation mark; a backslash skips the byte
// after it; the content is not validated. False without a closing quote.
[[nodiscard]] bool skipString(std::string_view bytes, std::size_t& pos, std::size_t end) noexcept;

// Skips whitespace, then one value at the given nesting level (top-level
// member values are level 1). False on malformed input, at the end of the
// bytes, or beyond the nesting limit.
[[nodiscard]] bool skipValue(std::string_view bytes, std::size_t& pos, std::size_t end, int level) noexcept;

// Reads `"key"` (raw bytes, escapes not decoded), the colon after it and
// the space before the value; pos ends where the value starts.
[[nodiscard]] bool readKey(std::string_view bytes, std::size_t& pos, std::size_t end, std::string_view& key) noexcept;

// After an object member or array element: ',' (another follows), the
// closing byte ('}' or ']'; pos is then past it), or anything else.
enum class AfterMember { another, closed, invalid };
[[nodiscard]] AfterMember afterItem(std::string_view bytes, std::size_t& pos, std::size_t end, char close) noexcept;
[[nodiscard]] inline AfterMember afterMember(std::string_view bytes, std::size_t& pos, std::size_t end) noexcept
{
    return afterItem(bytes, pos, end, '}');
}

// The content of a string written without escapes, as a full JSON decoder
// reads it back unchanged: no backslash, no quote, no control byte, and
// well-formed UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF).
[[nodiscard]] bool isPlainStringContent(std::string_view content) noexcept;

// The length of the JSON number starting at text[pos], exactly as the
// grammar has it: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?; 0 when
// there is none. `integer` tells whether it has neither fraction nor exponent.
[[nodiscard]] std::size_t numberLength(std::string_view text, std::size_t pos, bool& integer) noexcept;

// An optional '-' and one or more digits, nothing else; magnitudes beyond
// 64 bits saturate.
[[nodiscard]] bool parseInteger(std::string_view text, std::int64_t& value) noexcept;

} // namespace zelmar::JsonScan
