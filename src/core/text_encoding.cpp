#include "core/text_encoding.h"

#include <cstdint>
#include <optional>

namespace zelmar::text {

namespace {

struct Decoded {
    char32_t codePoint;
    std::size_t length;
};

// Decodes one UTF-8 sequence at the start of s; none when it is malformed,
// overlong, a surrogate or beyond U+10FFFF.
std::optional<Decoded> decodeAt(std::string_view s, std::size_t i) noexcept
{
    const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
    const std::uint8_t b0 = byte(i);
    if (b0 < 0x80)
        return Decoded { b0, 1 };
    std::size_t length;
    char32_t cp;
    char32_t minimum;
    if ((b0 & 0xE0) == 0xC0) {
        length = 2, cp = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        length = 3, cp = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        length = 4, cp = b0 & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (s.size() - i < length)
        return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
        const std::uint8_t b = byte(i + k);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    return Decoded { cp, length };
}

// The start of the UTF-8 sequence that ends just before position end, or
// none when the bytes there do not form one.
std::optional<Decoded> decodeBefore(std::string_view s, std::size_t end, std::size_t& start) noexcept
{
    std::size_t i = end;
    for (int k = 0; k < 4 && i > 0; ++k) {
        --i;
        if ((static_cast<std::uint8_t>(s[i]) & 0xC0) != 0x80) {
            auto decoded = decodeAt(s, i);
            if (decoded && i + decoded->length == end) {
                start = i;
                return decoded;
            }
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        auto decoded = decodeAt(utf8, i);
        if (!decoded) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        const char32_t cp = decoded->codePoint;
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += decoded->length;
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size() * 3);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        const char16_t u = utf16[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(utf16[i + 1]) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::wstring utf8ToWide(std::string_view utf8)
{
    const std::u16string u16 = utf8ToUtf16(utf8);
    return std::wstring(u16.begin(), u16.end());
}

std::string wideToUtf8(std::wstring_view wide)
{
    std::u16string u16;
    u16.reserve(wide.size());
    for (wchar_t c : wide)
        u16 += static_cast<char16_t>(c);
    return utf16ToUtf8(u16);
}

bool isValidUtf8(std::string_view bytes) noexcept
{
    for (std::size_t i = 0; i < bytes.size();) {
        const auto decoded = decodeAt(bytes, i);
        if (!decoded)
            return false;
        i += decoded->length;
    }
    return true;
}

bool isHorizontalSpace(char32_t c) noexcept
{
    switch (c) {
    case U'\t':
    case U'\u0020':
    case U'\u00A0':
    case U'\u1680':
    case U'\u202F':
    case U'\u205F':
    case U'\u3000':
        return true;
    default:
        return c >= U'\u2000' && c <= U'\u200A';
    }
}

std::string_view trimWhitespace(std::string_view text) noexcept
{
    constexpr std::string_view space = " \t\r\n\v\f";
    const auto first = text.find_first_not_of(space);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::string_view trimHorizontalSpace(std::string_view utf8) noexcept
{
    std::size_t begin = 0;
    while (begin < utf8.size()) {
        auto decoded = decodeAt(utf8, begin);
        if (!decoded || !isHorizontalSpace(decoded->codePoint))
            break;
        begin += decoded->length;
    }
    std::size_t end = utf8.size();
    while (end > begin) {
        std::size_t start = end;
        auto decoded = decodeBefore(utf8, end, start);
        if (!decoded || start < begin || !isHorizontalSpace(decoded->codePoint))
            break;
        end = start;
    }
    return utf8.substr(begin, end - begin);
}

} // namespace zelmar::text
