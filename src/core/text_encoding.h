#pragma once

// UTF-8 and UTF-16 conversions and the whitespace rules that readings use.
// Portable: the Windows backends use these to talk to the wide-character API.

#include <string>
#include <string_view>

namespace zelmar::text {

// Invalid input becomes U+FFFD; nothing is dropped silently.
[[nodiscard]] std::u16string utf8ToUtf16(std::string_view utf8);
[[nodiscard]] std::string utf16ToUtf8(std::u16string_view utf16);

// Windows wide strings are UTF-16.
[[nodiscard]] std::wstring utf8ToWide(std::string_view utf8);
[[nodiscard]] std::string wideToUtf8(std::wstring_view wide);

// Whether the bytes are well-formed UTF-8 (no overlongs, no surrogates).
[[nodiscard]] bool isValidUtf8(std::string_view bytes) noexcept;

// The value of a hexadecimal digit of either case; -1 for anything else.
[[nodiscard]] constexpr int hexDigitValue(char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Whether a code point is horizontal whitespace: the tab or a Unicode space
// separator (general category Zs). Line breaks are not.
[[nodiscard]] bool isHorizontalSpace(char32_t c) noexcept;

// The text without ASCII white space and line breaks at either end.
[[nodiscard]] std::string_view trimWhitespace(std::string_view text) noexcept;

// The text without horizontal whitespace at either end. Bytes that are not
// valid UTF-8 are kept as they are and stop the trimming.
[[nodiscard]] std::string_view trimHorizontalSpace(std::string_view utf8) noexcept;

} // namespace zelmar::text
